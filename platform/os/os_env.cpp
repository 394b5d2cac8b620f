#include "os_env.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "os_text.h"

namespace qxos {

std::optional<std::wstring> GetEnvironmentVariableW(const std::wstring& name) {
  // A name holding '=' or a terminator names no variable.
  if (name.empty() || name.find(L'=') != std::wstring::npos || name.find(L'\0') != std::wstring::npos)
    return std::nullopt;
  const char* value = std::getenv(WideToUtf8(name).c_str());
  if (value == nullptr) return std::nullopt;
  return Utf8ToWide(value);
}

std::string WideCharToMultiByteUtf8(const std::wstring& text) { return WideToUtf8(text); }

std::optional<std::string> HostName() {
  long limit = sysconf(_SC_HOST_NAME_MAX);
  if (limit <= 0 || limit > 4096) limit = 255;
  // Room for a name one byte longer than the system allows and the
  // terminator: a name that long was cut by the system.
  const size_t maximum = static_cast<size_t>(limit);
  std::vector<char> buffer(maximum + 2, '\0');
  if (gethostname(buffer.data(), maximum + 1) != 0) return std::nullopt;
  buffer.back() = '\0';
  const size_t length = std::strlen(buffer.data());
  if (length > maximum) return std::nullopt;
  return std::string(buffer.data(), length);
}

}  // namespace qxos
