// Global job info: what the RIP needs to know about a job as a whole. The
// input file type (asked of the file server), the rotation, the placement,
// the page selection, the CIP3 contents, the original job name, the dot
// shape and the screening family; then the job inks and the ink selection.
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "fs_tproxy.h"
#include "job_inks.h"
#include "ticket2dict_msbasetask.h"

namespace {

constexpr const char* kStep = "AddJobInfoGlobal";
constexpr const char* kAdded = "Added by Mistral base task";
// Room of an item value, of the page list and of the dot shape, terminator
// included.
constexpr size_t kValueCapacity = 260;
constexpr size_t kPageListTextCapacity = 1000;
constexpr size_t kDotShapeCapacity = 200;

// The RIP's input file type for the file server's type name.
const char* FileType(const QX_TString& serverType, bool& isPdf) {
  for (const char* pdfType : {"pdfsc", "pdfpla", "pdfsta"}) {
    if (serverType.CompareWith(pdfType, true) == 0) {
      isPdf = true;
      return "pdf";
    }
  }
  return serverType.CompareWith("EPS", true) == 0 ? "ps" : "gro";
}

struct ScreeningClass {
  const char* name;
  const char* family;
  bool gro;
};

// The screening family of each screening class the user may choose.
constexpr ScreeningClass kScreeningClasses[] = {
    {"Corvane Classic (Precalculated)", "CorvaneClassic", false},
    {"Corvane Classic (Apexa for C, E, R, S)", "CorvaneClassic", false},
    {"Tessaro", "CorvaneClassic", true},
    {"ApexaXM", "ApexaXM", false},
    {"Tessaro ApexaXM", "ApexaXM", true},
    {"Seamless", "Seamless", false},
};

}  // namespace

void CTicket2Dict_msbasetask::AddJobInfoGlobal(AT_TTicket& ticket, QX_TDict& job, int jobNumber, int jobFlag,
                                               QX_TArray& jobArray) {
  FileServerProxy fileServer("");
  bool isPdfJob = false;

  // A value of the job section, refused when it exceeds the value text.
  auto value = [this](const char* key, const char* format, const char* text) {
    return FormatBounded(kStep, key, kValueCapacity, format, text);
  };
  auto write = [this, jobNumber](const char* key, const std::string& text, const char* comment) {
    AddItemJob(jobNumber, key, text.c_str(), comment);
  };

  // File type.
  if (job.HasKey("FileSpec")) {
    QX_TDict query;
    query.Add("Type", QX_TAny::Illegal());
    const QX_TURL& file = T2D_CAST(QX_TURL, job["FileSpec"]);
    fileServer.Query(QX_TAny(file), query, false);
    const QX_TString& type = T2D_CAST(QX_TString, query["Type"]);
    write("type", FileType(type, isPdfJob), kAdded);
  }

  // Rotation in quarter turns, truncated toward zero.
  const bool rotated = job.HasKey("Rotation");
  const int32_t rotation = rotated ? T2D_CAST(QX_TInt32, job["Rotation"]).Value() : 0;
  write("rot", Format("%d", static_cast<int>(rotation / 90)), kAdded);
  if (Deriving())
    Derived("rot", Format("Rotation %d / 90 = %d; quarter turns, truncated toward zero%s", static_cast<int>(rotation),
                          static_cast<int>(rotation / 90), rotated ? "" : " (no \"Rotation\": 0)"),
            {"Rotation"});

  RunStep("AddPositionInfo", [&] { AddPositionInfo(ticket, job, jobNumber); });

  // Page ranges of the ticket: "first-last" pairs joined by ",".
  if (job.HasKey("PageRange")) {
    const QX_TArray& ranges = T2D_CAST(QX_TArray, job["PageRange"]);
    std::string pages;
    if (ranges.Size() > 0) {
      for (int i = ranges.LowerBound(), upper = ranges.UpperBound(); i <= upper; ++i) {
        const QX_TArray& range = T2D_CAST(QX_TArray, ranges[i]);
        const uint32_t first = T2D_CAST(QX_TUInt32, range[0]).Value();
        const uint32_t last = T2D_CAST(QX_TUInt32, range[1]).Value();
        if (!pages.empty()) pages += ',';
        pages += Format("%u-%u", static_cast<unsigned>(first), static_cast<unsigned>(last));
        if (i == upper) break;
      }
    }
    if (!pages.empty()) {
      write("rd_s_PAGELIST", FormatBounded(kStep, "rd_s_PAGELIST", kPageListTextCapacity, "%s", pages.c_str()),
            kAdded);
      if (Deriving())
        Derived("rd_s_PAGELIST",
                Format("the ticket's \"PageRange\": its %d ranges as first-last, joined by \",\"",
                       static_cast<int>(ranges.Size())),
                {"PageRange"});
    }
    AddItemSetup("omode", "multipage", "Changed because \"PageRange\" detected");
    if (Deriving()) Derived("omode", "\"PageRange\" given: multipage, whatever the page flags", {"PageRange"});
  }

  // A single page, unless the host selects pages itself.
  HeardPageFlags();
  if (job.HasKey("Page") && (pageFlag2 == 0 || pageFlag1 == 0)) {
    write("page", Format("%d", static_cast<int>(T2D_CAST(QX_TInt32, job["Page"]).Value())), kAdded);
    if (Deriving())
      Derived("page",
              Format("\"Page\" as a number; pageFlag1 %d, pageFlag2 %d: the host selects no pages (it does when "
                     "both are 1), so the ticket's page counts",
                     pageFlag1, pageFlag2),
              {"Page", "pageFlag1", "pageFlag2"});
  }

  // The host's page selection.
  if (pageFlag1 == 1 && pageFlag2 == 1) {
    HeardArgument("pageList", pageList);
    // The rule in words, for whoever hears the writes.
    const auto derive = [this](const char* key, const char* how) {
      if (Deriving())
        Derived(key, Format("pageFlag1 1 and pageFlag2 1: the host selects the pages; pageFlag4 %d, %s", pageFlag4, how),
                {"pageFlag1", "pageFlag2", "pageFlag4", "pageList"});
    };
    if (pageFlag4 == 0) {
      if (pageList[0] == '\0') {
        AddItemSetup("omode", "multipage", "Changed because all pages should be in output");
        derive("omode", "an empty pageList: multipage, every page in the output");
      } else {
        AddItemJob(jobNumber, "rd_s_PAGELIST", pageList, "");
        derive("rd_s_PAGELIST", "the host's pageList as it is");
        AddItemSetup("omode", "multipage", "Changed because \"PageRange\" detected");
        derive("omode", "a pageList: multipage, the listed pages in the output");
      }
    } else if (pageList[0] != '\0') {
      AddItemJob(jobNumber, "rd_s_PAGELIST", pageList, "");
      derive("rd_s_PAGELIST", "the host's pageList as it is (\"omode\" left as it was)");
    }
  }

  // CIP3 contents.
  if (job.HasKey("Contents")) {
    const QX_TDict& contents = T2D_CAST(QX_TDict, job["Contents"]);
    const struct {
      const char* ticketKey;
      const char* itemKey;
    } texts[] = {{"Web", "cip_web"}, {"PrintGroup", "cip_printgroup"}, {"Sides", "cip_sides"}};
    for (const auto& text : texts) {
      if (contents.HasKey(text.ticketKey))
        write(text.itemKey, value(text.itemKey, "\"%s\"", T2D_CAST(QX_TString, contents[text.ticketKey]).Text()),
              kAdded);
    }
    if (contents.HasKey("Layers")) {
      const QX_TArray& layers = T2D_CAST(QX_TArray, contents["Layers"]);
      // Counted in 64 bits: the bounds are 32-bit integers.
      const int64_t count = static_cast<int64_t>(layers.UpperBound()) - layers.LowerBound() + 1;
      if (count > INT_MAX) Fail(kStep, nullptr, Format("\"cip_nroflayers\" of %lld layers is out of range",
                                                       static_cast<long long>(count)));
      write("cip_nroflayers", Format("%d", static_cast<int>(count)), kAdded);
      if (count > 0) {
        for (int i = layers.LowerBound(), upper = layers.UpperBound(); i <= upper; ++i) {
          const std::string key = Format("cip_layer.%d", i);
          write(key.c_str(), value(key.c_str(), "\"%s\"", T2D_CAST(QX_TString, layers[i]).Text()), kAdded);
          if (i == upper) break;
        }
      }
    }
    // The imposition file is optional: a value that can't be read leaves the
    // item out.
    if (contents.HasKey("InFile")) {
      try {
        const QX_TURL& inFile = T2D_CAST(QX_TURL, contents["InFile"]);
        write("cip_impfile", Format("\"%s\"", inFile.Text().Text()), kAdded);
      } catch (...) {
      }
    }
  }

  // Original job name: the ticket's own, or the imposition file of the
  // CIP3 contents. A path: formatted without a length limit.
  {
    std::string originalName;
    bool hasName = false;
    if (job.HasKey("OrigJobName") && !job.HasKey("Contents")) {
      originalName = T2D_CAST(QX_TURL, job["OrigJobName"]).Text().Str();
      hasName = true;
    } else if (job.HasKey("Contents") && T2D_CAST(QX_TDict, job["Contents"]).HasKey("InFile")) {
      originalName = T2D_CAST(QX_TURL, T2D_CAST(QX_TDict, job["Contents"])["InFile"]).Text().Str();
      hasName = true;
    }
    if (hasName) write("originalname", Format("\"%s\"", originalName.c_str()), kAdded);
  }

  // Dot shape, written as a word.
  if (job.HasKey("Dotshape"))
    write("dot", FormatBounded(kStep, "dot", kDotShapeCapacity, "%s", T2D_CAST(QX_TString, job["Dotshape"]).Text()),
          "");

  // Screening family: from the user's screening class when there is one,
  // else from the ticket's own screening type and Tessaro flag.
  std::string family;
  bool gro = false;
  if (job.HasKey("ScreeningClass")) {
    const QX_TString& screeningClass = T2D_CAST(QX_TString, job["ScreeningClass"]);
    for (const ScreeningClass& row : kScreeningClasses) {
      if (screeningClass == row.name) {
        family = row.family;
        gro = row.gro;
        break;
      }
    }
  } else {
    if (job.HasKey("Tessaro_GRO")) gro = job["Tessaro_GRO"].AsBool();
    if (job.HasKey("ScreeningType")) family = T2D_CAST(QX_TString, job["ScreeningType"]).Str();
  }
  write("Tessaro_GRO", gro ? "1" : "0", kAdded);
  write("ScreeningType", value("ScreeningType", "%s", family.c_str()), kAdded);
  if (family == "ApexaXM") {
    write("Highlights", value("Highlights", "%s", T2D_CAST(QX_TString, job["Highlights"]).Text()), kAdded);
    write("Shadows", value("Shadows", "%s", T2D_CAST(QX_TString, job["Shadows"]).Text()), kAdded);
  }
  if (job.HasKey("YellowMoire")) {
    const QX_TString& yellowMoire = T2D_CAST(QX_TString, job["YellowMoire"]);
    write("YellowMoire", value("YellowMoire", "%s", yellowMoire.Text()), kAdded);
    if (yellowMoire == "1" || yellowMoire == "2")
      write("YMSteps", value("YMSteps", "%s", T2D_CAST(QX_TString, job["YMSteps"]).Text()), kAdded);
  }

  // Inks and ink selection.
  t2d_job::InkHooks hooks;
  hooks.buildEntry = [this](QX_TDict& ink, int index, char* key, char* entry, bool isPdf) {
    inkEntryDerivation.clear();
    RunStep("Ink2IniEntry", [&] { Ink2IniEntry(ink, index, key, entry, isPdf); });
  };
  hooks.writeItem = [this, jobNumber](const char* key, const char* entry) {
    AddItemJob(jobNumber, key, entry, "");
    if (Deriving() && !inkEntryDerivation.empty() && std::strcmp(key, "inksel") != 0)
      Derived(key, inkEntryDerivation, inkEntryInputs);
  };
  hooks.log = [this](int level, const char* text) { Task().LogMessage(level, text); };
  hooks.fail = [this](const char* sentence, const char* problem) { Fail(kStep, sentence, problem); };
  t2d_job::AddJobInks(hooks, job, jobFlag, jobArray, isPdfJob);
}
