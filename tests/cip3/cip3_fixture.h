// The ground of the CIP3 tests: an IPL data folder with the two templates,
// an IPL server answering it, and a working CIP3 dictionary.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "converter_fixture.h"
#include "ipl_tproxy.h"

namespace cip3test {

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "(missing)";
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

inline void RemoveTree(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return;
  if (S_ISDIR(info.st_mode)) {
    for (const std::string& name : Listing(path)) RemoveTree(path + "/" + name);
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

constexpr const char* kPlateTemplate =
    "; CIP3 plate settings\n"
    "[JOB]\n"
    "PressConfigFile=\n"
    "JobName=\n"
    "PageSide=\n"
    "[CIP3]\n"
    "; header of the CIP3 file\n"
    "JobName=\n"
    "SheetName=\n"
    "JobCode=\n"
    "Customer=\n"
    "Artist=\n"
    "Software=\n"
    "Make=\n"
    "[Inks]\n"
    "Zones=32\n";

constexpr const char* kPressTemplate =
    "; CIP3 press configuration\n"
    "[Header]\n"
    "OutputDirectory=\n"
    "Press=Lindwell Fourcolour\n";

// Reads the converter's IPL proxy field, which the steps keep protected.
struct IplClientOf : TestConverter {
  static bool Held(const TestConverter& converter) {
    std::unique_ptr<IPLServerProxy> CTicket2Dict_msbasetask::*field = &IplClientOf::iplClient;
    return (converter.*field) != nullptr;
  }
};

class Cip3Test : public ConversionTest {
 protected:
  Cip3Test() {
    char pattern[] = "/tmp/t2d-cip3-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) throw std::runtime_error("mkdtemp failed");
    root = made;
    ipl = root + "/ipl";
    mkdir(ipl.c_str(), 0700);
    WriteFile(ipl + "/plate.ini", kPlateTemplate);
    WriteFile(ipl + "/press.dat", kPressTemplate);
    iplServer = Serve("IPLServer");
    iplServer->Answer("GetDataIPL", QX_TURL::LocalToURL(ipl));
    ticket.SetShortID("A12");
  }
  ~Cip3Test() override { RemoveTree(root); }

  // A working CIP3 dictionary with every key the files step reads.
  static QX_TDict FullCip() {
    QX_TDict cip;
    cip.Add("PlateSettingFile", QX_TString("plate.ini"));
    cip.Add("PressConfigFile", QX_TString("press.dat"));
    cip.Add("Keep_CIP_ini", QX_TString("0"));
    cip.Add("OutputFileName", QX_TString("brochure"));
    cip.Add("PageSide", QX_TString("Front"));
    cip.Add("Cip_JobName", QX_TString("Brochure 2027"));
    cip.Add("Cip_SheetName", QX_TString("Sheet 1"));
    cip.Add("Cip_JobCode", QX_TString("J-17"));
    cip.Add("Cip_Customer", QX_TString("ACME Print"));
    cip.Add("Cip_Artist", QX_TString("alice"));
    cip.Add("Cip_Software", QX_TString("Kestrel"));
    cip.Add("Cip_Make", QX_TString("Brackwater Pressworks"));
    cip.Add("Cip_PaperWeight", QX_TString("115"));
    cip.Add("Cip_PaperThickness", QX_TString("0.1"));
    return cip;
  }

  std::string Url(const std::string& path) const { return QX_TURL::LocalToURL(path).Text().Str(); }
  std::string PlateCopy() const { return ipl + "/plate.iniA12.ini"; }
  std::string PressCopy() const { return ipl + "/press.datA12.dat"; }

  std::string root;  // holds the IPL data folder, so that nothing may land beside it unseen
  std::string ipl;
  std::shared_ptr<FakeService> iplServer;
};

}  // namespace cip3test
