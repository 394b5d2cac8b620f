#include "localname2unc.h"

#include <cwchar>
#include <mutex>

#include "os_text.h"

namespace {

struct Share {
  std::string folder;  // without trailing separators; "" for the root folder
  std::string unc;
};

std::mutex& SharesLock() {
  static std::mutex lock;
  return lock;
}

std::vector<Share>& Shares() {
  static std::vector<Share> shares;
  return shares;
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

int LocalName2UNCW(const wchar_t* localPath, wchar_t* buffer, size_t bufferSize) {
  if (localPath == nullptr || buffer == nullptr) return 0;
  const std::string path = qxos::WideToUtf8(localPath);

  std::lock_guard<std::mutex> guard(SharesLock());
  const Share* best = nullptr;
  for (const Share& share : Shares()) {
    const std::string& folder = share.folder;
    if (path.compare(0, folder.size(), folder) != 0) continue;
    // The path must be the folder itself or continue it after a separator,
    // so that "/srv/qxdata" does not lie on "/srv/qx".
    if (path.size() != folder.size() && !IsSeparator(path[folder.size()])) continue;
    if (best == nullptr || folder.size() > best->folder.size()) best = &share;
  }
  if (best == nullptr) return 0;

  std::string unc = best->unc + path.substr(best->folder.size());
  for (size_t i = best->unc.size(); i < unc.size(); ++i)
    if (unc[i] == '/') unc[i] = '\\';

  const std::wstring wide = qxos::Utf8ToWide(unc);
  if (wide.size() + 1 > bufferSize) return 0;
  std::wmemcpy(buffer, wide.c_str(), wide.size() + 1);
  return 1;
}

void LocalName2UNC_SetShares(const std::vector<std::pair<std::string, std::string>>& shares) {
  std::vector<Share> table;
  table.reserve(shares.size());
  for (const auto& entry : shares) {
    std::string folder = entry.first;
    while (!folder.empty() && IsSeparator(folder.back())) folder.pop_back();
    table.push_back(Share{folder, entry.second});
  }
  std::lock_guard<std::mutex> guard(SharesLock());
  Shares() = std::move(table);
}
