// CIP3 parameter files: job-specific copies of the plate settings (".ini")
// and press configuration (".dat") templates beside them in the IPL data
// folder, registered with the task and filled in; the "setup" section gets
// "inkplan" and the paper values.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "ipl_tproxy.h"
#include "os_file.h"
#include "rdbshared.h"
#include "ticket2dict_msbasetask.h"

namespace {

constexpr const char* kComment = "CIP loaded this";
// Room of the ".ini" and ".dat" names, terminator included, and so of the
// short identifier they are made of (95 characters and the terminator).
constexpr size_t kSuffixCapacity = 100;
constexpr size_t kShortIdCapacity = kSuffixCapacity - 4;

// An open resource database, closed on every way out. Edits not flushed are
// dropped.
class Database {
 public:
  explicit Database(const std::string& path) : handle_(rdb_open_push(path.c_str(), &status_)) {}
  ~Database() { rdb_close(handle_); }
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  bool IsOpen() const { return handle_ != nullptr; }
  RDB_HANDLE Handle() const { return handle_; }
  void Close() {
    rdb_close(handle_);
    handle_ = nullptr;
  }

 private:
  int status_ = 0;
  RDB_HANDLE handle_;
};

// A copy of a template made by this step. Until it is on the task's list of
// temporary files it belongs to the step, which removes it again on every
// way out, so that no failure leaves a copy the task does not know of.
class TemplateCopy {
 public:
  // Copies `from` to `to`, replacing an older copy. A failed copy leaves
  // nothing behind and raises the file layer's error.
  TemplateCopy(TW_TTask& task, const std::string& from, const std::string& to)
      : task_(task), target_(QX_TString(to).WideText()), path_(QX_TString(target_).Str()) {
    qxos::CopyFileW(QX_TString(from).WideText(), target_, false);
  }
  // Removes a copy that was not registered. One that can't be removed is
  // registered for deletion instead, if the task takes it.
  ~TemplateCopy() {
    if (registered_ || std::remove(path_.c_str()) == 0 || errno == ENOENT) return;
    try {
      task_.RegisterTempFile(QX_TURL::LocalToURL(path_), false);
    } catch (...) {
    }
  }
  TemplateCopy(const TemplateCopy&) = delete;
  TemplateCopy& operator=(const TemplateCopy&) = delete;

  // Hands the copy to the task's list; from then on it is the task's.
  void Register(const QX_TURL& url, bool keep) {
    task_.RegisterTempFile(url, keep);
    registered_ = true;
  }

 private:
  TW_TTask& task_;
  std::wstring target_;
  std::string path_;  // the file the copy wrote
  bool registered_ = false;
};

// Characters that would lead a name out of its folder (a terminator would
// cut the name short).
const std::string kSeparators("/\\\0", 3);

// Logs the reason of a refusal at level 2 and fails with it; the step's
// catch-all turns it into its general failure.
[[noreturn]] void Refuse(TW_TTask& task, const std::string& problem) {
  const std::string sentence = "CTicket2Dict_msbasetask::DoCIPParams - " + problem;
  task.LogMessage(2, sentence.c_str());
  throw std::runtime_error(sentence);
}

// A template name must name a file in the IPL data folder itself: no path
// separator, not "." or "..".
void RefuseOutsideName(TW_TTask& task, const char* key, const QX_TString& name) {
  const std::string& text = name.Str();
  if (text == "." || text == ".." || text.find_first_of(kSeparators) != std::string::npos)
    Refuse(task, "\"" + std::string(key) + "\" must name a file in the IPL data folder, not \"" +
                     std::string(name.Text()) + "\"");
}

}  // namespace

void CTicket2Dict_msbasetask::DoCIPParams(AT_TTicket& ticket, QX_TDict& cip) {
  static constexpr const char* kStep = "DoCIPParams";
  try {
    // The IPL proxy lives while this step runs, and no longer.
    struct ReleaseProxy {
      std::unique_ptr<IPLServerProxy>& proxy;
      ~ReleaseProxy() { proxy.reset(); }
    } releaseProxy{iplClient};

    iplClient = std::make_unique<IPLServerProxy>("");
    const QX_TURL dataFolder = iplClient->GetDataIPL();

    // The templates and their copies. Every name is checked before anything
    // is written, so that a copy never lands outside the IPL data folder.
    const QX_TString plateName = T2D_CAST(QX_TString, cip["PlateSettingFile"]);
    const QX_TString pressName = T2D_CAST(QX_TString, cip["PressConfigFile"]);
    RefuseOutsideName(Task(), "PlateSettingFile", plateName);
    RefuseOutsideName(Task(), "PressConfigFile", pressName);
    const std::string plateTemplate = dataFolder.Child(plateName).LocalName().Str();
    const std::string pressTemplate = dataFolder.Child(pressName).LocalName().Str();

    const QX_TString shortId = ticket.ShortID();
    const std::string id = FormatBounded(kStep, "ShortID", kShortIdCapacity, "%s", shortId.Text());
    if (shortId.Str().find_first_of(kSeparators) != std::string::npos)
      Refuse(Task(), Format("\"ShortID\" names the CIP3 files and must not hold \"/\" or \"\\\": \"%s\"",
                            shortId.Text()));
    const std::string plateCopy = plateTemplate + Format("%s.ini", id.c_str());
    const std::string pressCopy = pressTemplate + Format("%s.dat", id.c_str());

    // The keep switch: any text but "0" keeps the copies; a missing or
    // non-text switch counts as "0". Read, like the copies' URLs, before the
    // copies are made, so that nothing can fail between a copy and its
    // registration.
    std::string keepSwitch;
    try {
      keepSwitch = T2D_CAST(QX_TString, cip["Keep_CIP_ini"]).Str();
    } catch (...) {
      keepSwitch = "0";
    }
    const bool keep = keepSwitch != "0";
    const QX_TURL pressUrl = QX_TURL::LocalToURL(pressCopy);
    const QX_TURL plateUrl = QX_TURL::LocalToURL(plateCopy);

    // A failed copy fails the step, so that an older copy of the same name
    // is never edited in its place; the plate copy made before a failed
    // press copy is removed again. Both are registered, press copy first,
    // as soon as both exist.
    TemplateCopy plateOnDisk(Task(), plateTemplate, plateCopy);
    TemplateCopy pressOnDisk(Task(), pressTemplate, pressCopy);
    pressOnDisk.Register(pressUrl, keep);
    plateOnDisk.Register(plateUrl, keep);

    // Press copy: the output directory, as a URL with a closing "/"; the
    // template's empty directory means the IPL data folder.
    {
      Database press(pressCopy);
      if (!press.IsOpen()) throw std::runtime_error("CTicket2Dict_msbasetask::DoCIPParams - no rdb1");
      const char* directory = "";
      rdb_search(press.Handle(), "Header", "OutputDirectory", &directory);
      const QX_TURL outputUrl =
          *directory == '\0' ? dataFolder : QX_TURL::LocalToURL(QX_TString(directory));
      const std::string outputDirectory = outputUrl.Text().Str() + "/";
      rdb_modify(press.Handle(), "Header", "OutputDirectory", outputDirectory.c_str());
      rdb_flush(press.Handle());
      press.Close();
    }

    // Plate copy: the header rows in this order, each cip value read just
    // before its row is written.
    {
      Database plate(plateCopy);
      if (!plate.IsOpen()) throw std::runtime_error("CTicket2Dict_msbasetask::DoCIPParams - no rdb");
      rdb_modify(plate.Handle(), "JOB", "PressConfigFile", pressUrl.Text().Text());
      static constexpr const char* kRows[][3] = {
          {"JOB", "JobName", "OutputFileName"},   {"JOB", "PageSide", "PageSide"},
          {"CIP3", "JobName", "Cip_JobName"},     {"CIP3", "SheetName", "Cip_SheetName"},
          {"CIP3", "JobCode", "Cip_JobCode"},     {"CIP3", "Customer", "Cip_Customer"},
          {"CIP3", "Artist", "Cip_Artist"},       {"CIP3", "Software", "Cip_Software"},
          {"CIP3", "Make", "Cip_Make"},
      };
      for (const auto& row : kRows)
        rdb_modify(plate.Handle(), row[0], row[1], T2D_CAST(QX_TString, cip[row[2]]).Text());
      rdb_flush(plate.Handle());
      plate.Close();
    }

    AddItemSetup("inkplan", plateUrl.Text().Text(), kComment);
    if (cip.HasKey("Cip_PaperWeight"))
      AddItemSetup("cip3_paper_weight", T2D_CAST(QX_TString, cip["Cip_PaperWeight"]).Text(), kComment);
    if (cip.HasKey("Cip_PaperThickness"))
      AddItemSetup("cip3_paper_thickness", T2D_CAST(QX_TString, cip["Cip_PaperThickness"]).Text(), kComment);
  } catch (...) {
    throw std::runtime_error("CTicket2Dict_msbasetask::DoCIPParams - general");
  }
}
