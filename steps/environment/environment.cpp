// Environment: shared resource locations. The "environment" section holds
// the UNC locations of the server's shared fonts, colour management data and
// dot gain curves, the customer name, "IOB_USE_CFS" and the server's name.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CFS/Server/cfs_tproxy.h"
#include "localname2unc.h"
#include "os_env.h"
#include "os_text.h"
#include "ticket2dict_msbasetask.h"

namespace {

// One shared resource of the server and the keys it reports with.
struct SharedResource {
  const char* name;            // asked from the CFS
  const char* item;            // written on success
  const char* secondItem;      // written with the same text, or null
  const char* noResourceKey;   // the CFS has no root for it
  const char* exportedKey;     // its UNC location, when verbosity is above 0
  const char* notExportedKey;  // its root is not on a shared folder
  const char* noShareKey;      // its local name is empty
};

constexpr SharedResource kFonts{"qx_data_fonts",         "QX_DATA_FONTS",          nullptr,
                                "qxmsm.nofontresource",  "qxmsm.fontsexported",    "qxmsm.fontsnotexported",
                                "qxmsm.nofontsshare"};
constexpr SharedResource kCms{"qx_data_cms",          "QX_DATA_CMS",         "QX_CMS",           "qxmsm.nocmsresource",
                              "qxmsm.cmsexported",    "qxmsm.cmsnotexported", "qxmsm.nocmsshare"};
constexpr SharedResource kDgc{"qx_data_dgc",          "QX_DATA_DGC",         "DGCDIR",           "qxmsm.nodgcresource",
                              "qxmsm.dgcexported",    "qxmsm.dgcnotexported", "qxmsm.nodgcshare"};

// Room of the working texts, terminator included.
constexpr size_t kPathCapacity = 260;          // local path with its backslash; UNC path (wide characters)
constexpr size_t kLocationCapacity = 520;      // a location in UTF-8 (bytes)
constexpr size_t kCustomerCapacity = 100;      // the customer name (bytes)
constexpr size_t kServerCapacity = 200;        // the value of QX_SERVER (wide characters)
constexpr size_t kServerNameCapacity = 500;    // the server or host name in UTF-8 (bytes)
// Room given to LocalName2UNCW, so that a UNC form too long for the path
// room is told apart from a path that is not shared.
constexpr size_t kUncLookupCapacity = 32768;

// The level-0 notice for a value that doesn't fit its room: the value is
// refused, nothing of it is written.
void NoticeTooLong(TW_TTask& task, const std::string& what, const char* item, size_t length, size_t capacity,
                   const char* unit) {
  const std::string sentence = "CTicket2Dict_msbasetask::AddEnvironment2Dict - " + what + " is " +
                               std::to_string(length) + " " + unit + " long; at most " +
                               std::to_string(capacity - 1) + " are allowed; \"" + item + "\" is not written";
  task.LogMessage(0, sentence.c_str());
}

}  // namespace

void CTicket2Dict_msbasetask::AddEnvironment2Dict(AT_TTicket&) {
  TW_TTask& task = Task();
  CFSProxy cfs("");  // a failure to build it ends the step

  // The local path of a resource's root followed by one backslash; false
  // (after the no-resource notice) when the CFS has no usable root.
  // An empty local name gives the empty path text (the no-share notice).
  auto rootPath = [&](const SharedResource& resource, std::wstring& path) {
    try {
      const QX_TURL root = cfs.GetRootDirectory(QX_TString(resource.name));
      const std::wstring local = root.LocalName().WideText();
      path = local.empty() ? std::wstring() : local + L"\\";
      return true;
    } catch (...) {
      task.LogMessage(0, resource.noResourceKey);
      return false;
    }
  };

  // The share handling of one resource, given its path text.
  auto share = [&](const SharedResource& resource, const std::wstring& path) {
    if (path.empty()) {
      task.LogMessage(0, resource.noShareKey);
      return;
    }
    if (path.size() > kPathCapacity - 1) {
      NoticeTooLong(task, Format("the local path of \"%s\"", resource.name), resource.item, path.size(),
                    kPathCapacity, "characters");
      return;
    }
    std::wstring location;
    if (path.compare(0, 2, L"\\\\") == 0) {
      location = path.substr(0, path.size() - 1);  // already UNC: drop the appended backslash
    } else {
      // A UNC form nearly always fits a small room on the stack; only when it
      // does not (or the path is not shared) ask again with the full room,
      // which is allocated, not cleared: the answer is terminated.
      std::wstring uncPath;
      wchar_t small[512];
      if (LocalName2UNCW(path.c_str(), small, sizeof small / sizeof small[0]) != 0) {
        small[sizeof small / sizeof small[0] - 1] = L'\0';
        uncPath = small;
      } else {
        std::unique_ptr<wchar_t[]> unc(new wchar_t[kUncLookupCapacity]);
        unc[0] = L'\0';
        const bool shared = LocalName2UNCW(path.c_str(), unc.get(), kUncLookupCapacity) != 0;
        unc[kUncLookupCapacity - 1] = L'\0';
        if (shared) uncPath = unc.get();
      }
      if (uncPath.empty()) {
        task.LogMessage(0, resource.notExportedKey, QX_TString(path));
        return;
      }
      if (uncPath.size() > kPathCapacity - 1) {
        NoticeTooLong(task, Format("the UNC path of \"%s\"", resource.name), resource.item, uncPath.size(),
                      kPathCapacity, "characters");
        return;
      }
      location = uncPath.substr(0, uncPath.size() - 1);
    }
    const std::string text = qxos::WideCharToMultiByteUtf8(location);
    if (text.size() > kLocationCapacity - 1) {
      NoticeTooLong(task, Format("the UTF-8 location of \"%s\"", resource.name), resource.item, text.size(),
                    kLocationCapacity, "bytes");
      return;
    }
    if (verbosity > 0) task.LogMessage(0, resource.exportedKey, QX_TString(location));
    AddItemEnvironment(resource.item, text.c_str(), 0);
    if (resource.secondItem != nullptr) AddItemEnvironment(resource.secondItem, text.c_str(), 0);
  };

  auto handle = [&](const SharedResource& resource) {
    std::wstring path;
    if (!rootPath(resource, path)) return false;
    share(resource, path);
    return true;
  };

  // Fonts, then the customer name found under the fonts root.
  if (handle(kFonts)) {
    std::string customer;
    try {
      const QX_TString root = cfs.GetRootDirectory(QX_TString("qx_data_fonts"));
      const QX_TAny answer = cfs.Expand(QX_TString(Format("Resources/%s/Customer", root.Text())));
      customer = T2D_CAST(QX_TString, answer).Str();
    } catch (...) {
      customer.clear();
      task.LogMessage(0, "qxmsm.nocusname");
    }
    if (customer.size() > kCustomerCapacity - 1)
      NoticeTooLong(task, "the customer name", "CUS_NAME", customer.size(), kCustomerCapacity, "bytes");
    else
      AddItemEnvironment("CUS_NAME", customer.c_str(), 0);
  }
  handle(kCms);
  handle(kDgc);

  AddItemEnvironment("IOB_USE_CFS", "*", 0);

  // The server: QX_SERVER unless it is unset, empty or "localhost", else the
  // machine's host name.
  const std::optional<std::wstring> server = qxos::GetEnvironmentVariableW(L"QX_SERVER");
  if (server && !server->empty() && *server != L"localhost") {
    if (server->size() > kServerCapacity - 1) {
      NoticeTooLong(task, "the value of QX_SERVER", "QX_SERVER", server->size(), kServerCapacity, "characters");
      return;
    }
    const std::string name = qxos::WideCharToMultiByteUtf8(*server);
    if (name.size() > kServerNameCapacity - 1) {
      NoticeTooLong(task, "the UTF-8 value of QX_SERVER", "QX_SERVER", name.size(), kServerNameCapacity, "bytes");
      return;
    }
    AddItemEnvironment("QX_SERVER", name.c_str(), 0);
  } else if (const std::optional<std::string> host = qxos::HostName()) {
    if (host->size() > kServerNameCapacity - 1) {
      NoticeTooLong(task, "the host name", "QX_SERVER", host->size(), kServerNameCapacity, "bytes");
      return;
    }
    AddItemEnvironment("QX_SERVER", host->c_str(), 0);
  }
}
