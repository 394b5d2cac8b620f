// LocalName2UNCW: the UNC form of a local path that lies on a shared folder
// of this server.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// Writes the UNC form of `localPath` into `buffer` (room for `bufferSize`
// wide characters, terminator included) and answers non-zero when the path
// lies on a shared folder; answers zero (buffer untouched) when it does not,
// or when the UNC form does not fit.
int LocalName2UNCW(const wchar_t* localPath, wchar_t* buffer, size_t bufferSize);

// The shared folders the stand-in knows: pairs of local folder and share
// (UNC), replacing the earlier ones.
void LocalName2UNC_SetShares(const std::vector<std::pair<std::string, std::string>>& shares);
