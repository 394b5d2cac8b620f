// Files, as the operating-system layer offers them. Paths are UTF-8 texts
// (narrow) or wide texts; a path that holds a terminator character is
// refused, so that no file other than the one named is ever touched.
//
// Sources are opened without waiting (a FIFO or device is refused as not a
// regular file instead of blocking the task).
//
// Both operations below replace their target atomically: the new contents
// go to a temporary file beside the target, are flushed to disk, and the
// temporary file is renamed over the target. A failure at any point leaves
// the target as it was and removes the temporary file.
#pragma once

#include <string>

namespace qxos {

// Copies the file `existing` to `newFile`, as CopyFileW does. With
// `failIfExists` false an existing `newFile` is replaced; with true the copy
// fails when `newFile` exists. The copy takes the permission bits of
// `existing`. Answers true; a failure (missing or unreadable source, a
// directory, a target folder that can't be written, ...) raises
// std::runtime_error naming both paths and the reason.
bool CopyFileW(const std::wstring& existing, const std::wstring& newFile, bool failIfExists);

// Replaces the contents of the file `path` by `contents` (creating it when
// missing; an existing file keeps its permission bits). A failure raises
// std::runtime_error naming the path and the reason.
void ReplaceFileContents(const std::string& path, const std::string& contents);

// Reads the whole file `path`. A failure raises std::runtime_error naming the
// path and the reason; `errorCode`, when given, receives the errno value.
std::string ReadFileContents(const std::string& path, int* errorCode = nullptr);

}  // namespace qxos
