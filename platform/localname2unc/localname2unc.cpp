#include "localname2unc.h"

#include <cwchar>

#include "os_text.h"
#include "qxtypes.h"

namespace {

thread_local const LocalName2UNC_TShares* tCurrent = nullptr;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

LocalName2UNC_TShares::LocalName2UNC_TShares(const std::vector<std::pair<std::string, std::string>>& shares) {
  shares_.reserve(shares.size());
  for (const auto& entry : shares) {
    std::string folder = entry.first;
    while (!folder.empty() && IsSeparator(folder.back())) folder.pop_back();
    shares_.push_back(Share{folder, entry.second, entry.first});
  }
}

bool LocalName2UNC_TShares::Lookup(const std::string& path, std::string& unc) const {
  const Share* best = nullptr;
  for (const Share& share : shares_) {
    const std::string& folder = share.folder;
    if (path.compare(0, folder.size(), folder) != 0) continue;
    // The path must be the folder itself or continue it after a separator,
    // so that "/srv/qxdata" does not lie on "/srv/qx".
    if (path.size() != folder.size() && !IsSeparator(path[folder.size()])) continue;
    if (best == nullptr || folder.size() > best->folder.size()) best = &share;
  }
  if (QX_IReadObserver* observer = QX_TReadObserverBinding::Current()) {
    if (best == nullptr) {
      observer->ValueRead(QX_EValueSource::kShare, path, nullptr);
    } else {
      const QX_TAny share(QX_TString(best->unc));
      observer->ValueRead(QX_EValueSource::kShare, best->given, &share);
    }
  }
  if (best == nullptr) return false;
  unc = best->unc + path.substr(best->folder.size());
  for (size_t i = best->unc.size(); i < unc.size(); ++i)
    if (unc[i] == '/') unc[i] = '\\';
  return true;
}

LocalName2UNC_TShares::Binding::Binding(const LocalName2UNC_TShares& shares) : previous_(tCurrent) {
  tCurrent = &shares;
}
LocalName2UNC_TShares::Binding::~Binding() { tCurrent = previous_; }

const LocalName2UNC_TShares* LocalName2UNC_TShares::Current() { return tCurrent; }

int LocalName2UNCW(const wchar_t* localPath, wchar_t* buffer, size_t bufferSize) {
  const LocalName2UNC_TShares* shares = LocalName2UNC_TShares::Current();
  if (localPath == nullptr || buffer == nullptr || shares == nullptr) return 0;
  std::string unc;
  if (!shares->Lookup(qxos::WideToUtf8(localPath), unc)) return 0;
  const std::wstring wide = qxos::Utf8ToWide(unc);
  if (wide.size() + 1 > bufferSize) return 0;
  std::wmemcpy(buffer, wide.c_str(), wide.size() + 1);
  return 1;
}
