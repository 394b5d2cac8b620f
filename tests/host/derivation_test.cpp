// The derivations of `run --trace` and `explain`: the numbers a derivation
// shows reproduce the value written, for every placement and plate scale of
// the examples and of a table of generated placements; and `explain` finds
// sub-runs, the ticket's own values and the items a key path fed.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <set>
#include <stdexcept>

#include "conversion.h"
#include "conversion_trace.h"
#include "host_program.h"
#include "task_file.h"

namespace {

namespace fs = std::filesystem;
using t2dhost::Json;

std::string Example(const std::string& name) {
  return (fs::path(T2D_SOURCE_DIR) / "examples" / (name + ".json")).string();
}

// Evaluates the arithmetic of a derivation ("(HPos 12700 + VScale 1 *
// TopMargin 2540) * HDistortion 1 / 254"): the words name the numbers and
// are skipped; + - * / and parentheses as usual, left to right.
class Arithmetic {
 public:
  explicit Arithmetic(const std::string& text) : text_(text) {}
  double Evaluate() {
    const double value = Sum();
    Skip();
    if (at_ != text_.size()) throw std::runtime_error("unexpected text at " + text_.substr(at_));
    return value;
  }

 private:
  void Skip() {
    for (;;) {
      while (at_ < text_.size() && text_[at_] == ' ') ++at_;
      if (at_ >= text_.size() || !std::isalpha(static_cast<unsigned char>(text_[at_]))) return;
      while (at_ < text_.size() && text_[at_] != ' ') ++at_;  // a word: HPos, SelectArea[1]
    }
  }
  double Sum() {
    double value = Product();
    for (Skip(); at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-'); Skip())
      value = text_[at_++] == '+' ? value + Product() : value - Product();
    return value;
  }
  double Product() {
    double value = Factor();
    for (Skip(); at_ < text_.size() && (text_[at_] == '*' || text_[at_] == '/'); Skip())
      value = text_[at_++] == '*' ? value * Factor() : value / Factor();
    return value;
  }
  double Factor() {
    Skip();
    if (at_ < text_.size() && text_[at_] == '(') {
      ++at_;
      const double value = Sum();
      Skip();
      if (at_ >= text_.size() || text_[at_++] != ')') throw std::runtime_error("missing ) in " + text_);
      return value;
    }
    char* end = nullptr;
    const double value = std::strtod(text_.c_str() + at_, &end);
    if (end == text_.c_str() + at_) throw std::runtime_error("no number at " + text_.substr(at_));
    at_ = static_cast<size_t>(end - text_.c_str());
    return value;
  }
  const std::string text_;
  size_t at_ = 0;
};

std::string Shortest(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

// Checks every derived placement or plate scale of a traced conversion:
// the arithmetic before " = " gives the number after it, and that is the
// value written. Answers how many it checked.
size_t CheckArithmetic(const t2dhost::Conversion& conversion) {
  static const std::set<std::string> kArithmetic = {"hpos",     "vpos",     "job_mtop", "job_mbot",
                                                    "job_mlft", "job_mrit", "rsx",      "rsy"};
  size_t checked = 0;
  for (const t2dhost::StepRun& run : conversion.Watch().Runs())
    for (const t2dhost::TraceWrite& write : run.writes) {
      if (!kArithmetic.count(write.key)) continue;
      SCOPED_TRACE(run.step + " " + write.key + ": " + write.derivation);
      EXPECT_FALSE(write.derivation.empty());
      EXPECT_FALSE(write.inputs.empty());
      const size_t equals = write.derivation.find(" = ");
      const size_t end = write.derivation.find(';', equals);
      if (equals == std::string::npos) {
        ADD_FAILURE() << "no result";
        continue;
      }
      EXPECT_EQ(write.derivation.substr(equals + 3, end - equals - 3), write.value);
      EXPECT_EQ(Shortest(Arithmetic(write.derivation.substr(0, equals)).Evaluate()), write.value);
      ++checked;
    }
  return checked;
}

TEST(Derivation, ReproducesEveryPlacementAndPlateScaleOfTheExamples) {
  ASSERT_TRUE(__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__());
  // On copies: the CIP3 example writes beside its templates.
  hosttest::TempDir dir;
  hosttest::CopyCip3Templates(dir.File("cip3-ipl"));
  for (const char* name : {"typical", "multi-job", "cip3"}) {
    SCOPED_TRACE(name);
    fs::copy_file(Example(name), dir.File(std::string(name) + ".json"));
    const t2dhost::TaskFile file = t2dhost::ReadTaskFile(dir.File(std::string(name) + ".json"));
    t2dhost::ConversionOptions options;
    options.trace = true;
    t2dhost::Conversion conversion(file, nullptr, options);
    testing::internal::CaptureStdout();  // the IPL proxy's connection lines
    conversion.Run();
    testing::internal::GetCapturedStdout();
    EXPECT_GE(CheckArithmetic(conversion), 6u);
  }
}

// Every quarter turn and a turn count outside 0 to 3, with and without a
// crop, scales and distortions that are not 1.
TEST(Derivation, ReproducesGeneratedPlacements) {
  ASSERT_TRUE(__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__());
  const std::string typical = hosttest::ReadFile(Example("typical"));
  for (const char* rotation : {"0", "90", "180", "270", "-90", "450", "89"})
    for (const char* area : {"", "\"SelectArea\": [{\"@uint32\": 1000}, {\"@uint32\": 2000}, {\"@uint32\": 250000}, "
                                 "{\"@uint32\": 200000}],"})
      for (const char* scales : {"\"VScale\": 1.0, \"HScale\": 1.0", "\"VScale\": 0.97, \"HScale\": 1.031"}) {
        std::string task = typical;
        hosttest::ReplaceAll(task, "\"Rotation\": 90,", std::string("\"Rotation\": ") + rotation + "," + area);
        hosttest::ReplaceAll(task, "\"VScale\": 1.0,\n              \"HScale\": 1.0", scales);
        hosttest::ReplaceAll(task, "\"VDistortion\": 1.0", "\"VDistortion\": 1.0007");
        hosttest::ReplaceAll(task, "\"HDistortion\": 1.0", "\"HDistortion\": 0.9993");
        SCOPED_TRACE(std::string("Rotation ") + rotation + (*area ? ", cropped" : "") + ", " + scales);
        const t2dhost::TaskFile file = t2dhost::ReadTaskFileText(task, "placement.json", "/base");
        t2dhost::ConversionOptions options;
        options.trace = true;
        t2dhost::Conversion conversion(file, nullptr, options);
        conversion.Run();
        EXPECT_EQ(CheckArithmetic(conversion), 10u);  // 4 margins, hpos, vpos, rsx and rsy twice
      }
}

// Each rule that chooses the way is named in the derivation, with an input
// that the task file gives; the changes are made to the typical example.
TEST(Derivation, NamesTheRuleThatChoseTheWay) {
  ASSERT_TRUE(__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__());
  const std::string typical = hosttest::ReadFile(Example("typical"));
  const struct {
    const char* what;
    const char* with;
    const char* item;    // "section.key", its last write
    const char* says;    // in the derivation
    const char* input;   // the end of one input's key path
    const char* alsoWhat = "";
    const char* alsoWith = "";
  } rows[] = {
      {"\"HDistortion\": 1.0", "\"HDistortion\": 1.0, \"HTopDistortion\": 1.001, \"HDownDistortion\": 1.002",
       "jobs.1.hpos", "HTopDistortion 1.001 and HDownDistortion 1.002 differ: no horizontal factor", "HDownDistortion"},
      {"\"HDistortion\": 1.0", "\"HDistortion\": 0.999, \"HTopDistortion\": 1.001, \"HDownDistortion\": 1.001",
       "setup.shrexp", "(VDistortion 1 * 10000, HDistortion 0.999 * 10000) = (10000,9990)", "HTopDistortion"},
      {"\"Corvane Classic (Precalculated)\"", "\"Seamless\"", "setup.shrexp",
       "ActualResolution 2400 * WidthM 510000 / 254 / 1000 = 4818.89763779528 thousand, rounded up to 4819",
       "Info.WidthM"},
      {"\"Corvane Classic (Precalculated)\"", "\"Seamless\"", "setup.shrexp", "no resolution above 0: not stretched",
       "ScreeningClass", "\"ActualResolution\": 2400.0", "\"ActualResolution\": 0.0"},
      {"704000", "702000", "setup.shrexp", "DispatcherVersion 702000 is below 703000", "DispatcherVersion"},
      {"\"PDF-class\"", "\"PS\"", "setup.shrexp", "(10000,10000); ten-thousandths; not \"FileType\" \"PDF-class\"",
       "FileType"},
      {"\"Corvane Classic (Precalculated)\"", "\"Seamless\"", "setup.shrexp", "no plate width above 0: not stretched",
       "ScreeningClass", "\"WidthM\": 510000", "\"WidthM\": -5"},
      {"\"FileName\": \"\"", "\"FileName\": \"<file>_<nosuch>\"", "setup.Output",
       "a placeholder names no template name: the first job's base name instead", "nosuch"},
      {"\"FileName\": \"\"", "\"FileName\": \"Plate\"", "setup.Output", "\"Plate\" has no placeholder: the fixed name; one job",
       "FileName"},
      {"\"pageFlags\": [0, 0, 0, 0],\n    \"pageList\": \"\"", "\"pageFlags\": [1, 1, 0, 1],\n    \"pageList\": \"2-3\"",
       "jobs.1.rd_s_PAGELIST", "pageFlag4 1, the host's pageList as it is", "setup.pageList"},
      {"\"pageFlags\": [0, 0, 0, 0],\n    \"pageList\": \"\"", "\"pageFlags\": [1, 1, 0, 0],\n    \"pageList\": \"\"",
       "setup.omode", "an empty pageList: multipage", "setup.pageFlags[3]"},
      {"\"pageFlags\": [0, 0, 0, 0],\n    \"pageList\": \"\"", "\"pageFlags\": [1, 1, 0, 0],\n    \"pageList\": \"5\"",
       "setup.omode", "a pageList: multipage, the listed pages", "setup.pageList"},
      {"", "", "setup.numcopies", "\"Copies\" 1 as a number", "Copies"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.item) + " with " + row.with);
    std::string task = typical;
    for (const auto& [what, with] : {std::pair(row.what, row.with), std::pair(row.alsoWhat, row.alsoWith)})
      if (*what) {
        ASSERT_NE(task.find(what), std::string::npos) << what;
        hosttest::ReplaceAll(task, what, with);
      }
    const t2dhost::TaskFile file = t2dhost::ReadTaskFileText(task, "rule.json", "/base");
    t2dhost::ConversionOptions options;
    options.trace = true;
    t2dhost::Conversion conversion(file, nullptr, options);
    conversion.Run();
    CheckArithmetic(conversion);  // hpos without the horizontal factor still reproduces
    const t2dhost::TraceWrite* last = nullptr;
    for (const t2dhost::StepRun& run : conversion.Watch().Runs())
      for (const t2dhost::TraceWrite& write : run.writes)
        if (write.section + "." + write.key == row.item) last = &write;
    ASSERT_NE(last, nullptr);
    EXPECT_NE(last->derivation.find(row.says), std::string::npos) << last->derivation;
    const std::string input = row.input;
    EXPECT_TRUE(std::any_of(last->inputs.begin(), last->inputs.end(), [&](const std::string& path) {
      return path.size() >= input.size() && path.compare(path.size() - input.size(), input.size(), input) == 0;
    })) << input;
  }
}

TEST(Explain, DerivationInputsSubRunsAndTheTicketsOwnValues) {
  auto run = hosttest::Run({"explain", Example("typical"), "jobs.1.hpos"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("   derivation: (HPos 12700 + VScale 1 * TopMargin 2540) * HDistortion 1 / 254 = 60; "
                         "Rotation 90 is 1 quarter turn: the top margin leads; not cropped: no \"SelectArea\"\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("  * ticket.configuration.Masters.M1.Jobs[0].TopMargin = 2540\n"), std::string::npos);
  EXPECT_NE(run.out.find("also looked at:\n"), std::string::npos);
  EXPECT_NE(run.out.find("    ticket.configuration.Masters.M1.Jobs[0].LeftMargin = 1270\n"), std::string::npos);

  run = hosttest::Run({"explain", Example("multi-job"), "jobs.3.ink1"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (const char* expected : {"it started Ink2IniEntry, job 3:\n", "QXCMS \"TIDB_InkExists\"(\"Designer\", \"Silver\") -> false",
                               "Forcing unregistered"})
    EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;

  run = hosttest::Run({"explain", Example("multi-job"), "setup.Output"});
  EXPECT_NE(run.out.find("differs from the first job's: merged, Merge_ID<MergeID 4712>_Film<filmIndex 1>"),
            std::string::npos)
      << run.out;

  run = hosttest::Run({"explain", Example("typical"), "task.DeviceName"});
  EXPECT_NE(run.out.find("ticket.deviceName = \"Platesetter 1\""), std::string::npos) << run.out;
}

TEST(Explain, WhereAKeyPathWent) {
  auto run = hosttest::Run({"explain", Example("typical"), "ticket.configuration.Masters.M1.Jobs[0].Rotation"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  for (const char* item : {"  jobs.1.rot = \"1\", by AddJobInfoGlobal, job 1\n",
                           "  jobs.1.hpos = \"60\", by AddPositionInfo, job 1\n", "  jobs.1.vpos = "})
    EXPECT_NE(run.out.find(item), std::string::npos) << item << "\n" << run.out;

  run = hosttest::Run({"explain", Example("typical"), "ticket.shortId"});
  EXPECT_NE(run.out.find("  setup.ShortID = \"A12\", by AddSetupGlobal\n"), std::string::npos) << run.out;

  // Read by nobody: the closest key paths that were read, exit 4.
  run = hosttest::Run({"explain", Example("typical"), "ticket.configuration.Masters.M1.Jobs[0].Rotaton"});
  EXPECT_EQ(run.exitCode, 4);
  EXPECT_EQ(run.out.rfind("ticket.configuration.Masters.M1.Jobs[0].Rotaton was never read; the read key paths closest "
                          "to it: ticket.configuration.Masters.M1.Jobs[0].Rotation",
                          0),
            0u)
      << run.out;
}

// Values read outside the task file's collections get the key path the
// task file gives them; a name the host does not know keeps its own.
TEST(ValuePath, EachSourceAtItsPlaceInTheTaskFile) {
  const struct {
    QX_EValueSource source;
    const char* name;
    const char* path;
    const char* collection;
  } rows[] = {
      {QX_EValueSource::kTicket, "UserInfo", "ticket.userName", "ticket"},
      {QX_EValueSource::kTicket, "Other", "ticket.Other", "ticket"},
      {QX_EValueSource::kTask, "MergeID", "task.mergeId", "task"},
      {QX_EValueSource::kTemplateName, "a b", "task.templateNames[\"a b\"]", "task.templateNames"},
      {QX_EValueSource::kArgument, "pageFlag4", "setup.pageFlags[3]", "setup"},
      {QX_EValueSource::kArgument, "pageFlag5", "setup.pageFlag5", "setup"},
      {QX_EValueSource::kOption, "DispatcherVersion", "options.DispatcherVersion", "options"},
      {QX_EValueSource::kShare, "/srv/qx/", "shares[\"/srv/qx/\"]", "shares"},
  };
  for (const auto& row : rows) {
    std::string collection;
    EXPECT_EQ(t2dhost::ValuePath(row.source, row.name, collection), row.path);
    EXPECT_EQ(collection, row.collection) << row.name;
  }
}

// A derivation belongs to the last write of its item in the running step;
// one for an item the step did not write (an empty value writes nothing),
// or heard outside every step, is dropped; an input no read answers is left out.
TEST(ConversionWatch, DerivationsAttachOnlyToTheirOwnWrite) {
  TW_TTask task;
  t2dhost::ConversionWatch watch(task, true);
  watch.ItemDerived("rsx", "outside every step", {});
  watch.StepStarted("AddSetup_end", T2D_IStepObserver::kNoJob);
  watch.ItemWritten("setup", 0, "rsx", "10", nullptr);
  watch.ItemDerived("rsy", "never written", {"HeightM"});
  const QX_TAny shortId(QX_TString("A12"));
  watch.ValueRead(QX_EValueSource::kTicket, "ShortID", &shortId);
  watch.ValueRead(QX_EValueSource::kOption, "DispatcherVersion", nullptr);
  watch.ItemDerived("rsx", "2540 / 254 = 10", {"ShortID", "WidthM", "DispatcherVersion"});
  watch.StepEnded();
  watch.ItemDerived("rsx", "after the step", {});

  ASSERT_EQ(watch.Runs().size(), 1u);
  const auto& writes = watch.Runs()[0].writes;
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].derivation, "2540 / 254 = 10");
  EXPECT_EQ(writes[0].inputs, (std::vector<std::string>{"ticket.shortId", "options.DispatcherVersion"}));
  EXPECT_EQ(t2dhost::TraceWriteJson(writes[0])["inputs"].size(), 2u);
}

// A placeholder naming no template name and a path on no shared folder are
// absent reads; the trace does not change the result.
TEST(Derivation, AbsentTemplateNamesAndSharesAreReadsAndTracingChangesNoResult) {
  std::string task = hosttest::ReadFile(Example("typical"));
  hosttest::ReplaceAll(task, "\"DGC\": \"<dgc>\"", "\"DGC\": \"<nodgc>\"");
  hosttest::ReplaceAll(task, "\"shares\": { \"/srv/qx\": \"\\\\\\\\riphost\\\\qx\" }", "\"shares\": {}");
  hosttest::TempDir dir;
  hosttest::WriteFile(dir.File("t.json"), task);
  const auto traced = hosttest::Run({"run", dir.File("t.json"), "--trace"});
  const auto plain = hosttest::Run({"run", dir.File("t.json")});
  ASSERT_EQ(traced.exitCode, 0) << traced.err;
  Json result = Json::parse(traced.out);
  std::vector<std::string> absent;
  for (const Json& run : result["trace"])
    for (const Json& read : run["reads"])
      if (read.contains("absent")) absent.push_back(read["path"].get<std::string>());
  EXPECT_NE(std::find(absent.begin(), absent.end(), "task.templateNames.nodgc"), absent.end());
  EXPECT_TRUE(std::any_of(absent.begin(), absent.end(), [](const std::string& p) { return p.rfind("shares[", 0) == 0; }));
  result.erase("trace");
  EXPECT_EQ(result, Json::parse(plain.out));
}

}  // namespace
