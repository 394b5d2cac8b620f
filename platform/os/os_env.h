// The process environment and the machine, as the operating-system layer
// offers them: wide texts are std::wstring, narrow texts UTF-8.
#pragma once

#include <optional>
#include <string>

namespace qxos {

// The value of the environment variable `name`; nullopt when it is not set.
// A variable that is set to the empty text gives the empty text. The value
// is read in UTF-8 and converted (invalid sequences become U+FFFD).
std::optional<std::wstring> GetEnvironmentVariableW(const std::wstring& name);

// The UTF-8 form of a wide text, as WideCharToMultiByte with the UTF-8 code
// page gives it (characters that are no Unicode scalar value become U+FFFD).
std::string WideCharToMultiByteUtf8(const std::wstring& text);

// The host name of the machine (gethostname); nullopt when it can't be
// read. The name is not cut: a name the system reports as truncated counts
// as unreadable.
std::optional<std::string> HostName();

}  // namespace qxos
