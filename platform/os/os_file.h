// Files, as the operating-system layer offers them. Paths are UTF-8 texts
// (narrow) or wide texts; a path that holds a terminator character is
// refused, so that no file other than the one named is ever touched.
//
// Sources are opened without waiting (a FIFO or device is refused as not a
// regular file instead of blocking the task).
//
// Files are replaced atomically (FileReplacement, and the operations built
// on it): the new contents go to a temporary file beside the target, are
// flushed to disk, and the temporary file is renamed over the target. A
// failure at any point leaves the target as it was and removes the temporary
// file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace qxos {

// The descriptor of this process that `path` names: 1 for "-" and
// "/dev/stdout", 2 for "/dev/stderr", N for "/dev/fd/N" and
// "/proc/self/fd/N" (or the process's own number for "self"); nullopt for
// any other path. What a shell user means by such a path is that
// descriptor itself, not the file behind it.
std::optional<int> NamedDescriptor(const std::string& path);

// Writes a file so that it holds either what it held before or the whole new
// contents, and stays what it was. The path is opened for writing first, so
// the system decides whether the user may write what it names (a file the
// user may not write is refused and nothing is written), then:
// - a file that does not exist yet is written under a short temporary name
//   beside where the path (or its link) leads and renamed into place by
//   Commit (so long names work); it gets 0666 less the umask;
// - an existing regular file is replaced the same way, the temporary file
//   taking its mode, owner and group; a link stays and leads to the new
//   contents. Where a replacement can't keep what the file is (a second
//   hard link, an owner or group the user can't give, a folder the user may
//   not write), the file is written in place at Commit instead: the contents
//   are held until then, so it is truncated only once they are complete;
// - anything else (a device, a FIFO) can't be replaced: it is written
//   directly when `others` says so, and so is a path that names one of the
//   process's descriptors (NamedDescriptor) (a FIFO without a reader is waited for,
//   as the shell does), else refused without being opened (a FIFO without a
//   reader would keep the caller waiting).
// The target is opened on construction, so that a target that can't be
// written is known before the contents are made. Failures raise
// std::runtime_error naming the target and the reason.
class FileReplacement {
 public:
  enum class Others { kRefuse, kWriteDirectly };
  FileReplacement(const std::string& target, const char* operation, Others others = Others::kRefuse);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // The permission bits the new contents get, instead of the existing
  // file's (or, for a new file, 0666 less the umask).
  void SetPermissions(unsigned mode);
  void Write(const char* data, size_t size);
  void Write(const std::string& text) { Write(text.data(), text.size()); }
  // Makes the new contents the target's. Without it, the destructor
  // removes the temporary file and the target stays as it was.
  void Commit();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// Copies the file `existing` to `newFile`, as CopyFileW does. With
// `failIfExists` false an existing `newFile` is replaced as FileReplacement
// replaces it (a link is followed, a FIFO or device refused); with true the
// copy fails when `newFile` exists. The copy takes the permission bits of
// `existing`. Answers true; a failure (missing or unreadable source, a
// directory, a target folder that can't be written, ...) raises
// std::runtime_error naming both paths and the reason.
bool CopyFileW(const std::wstring& existing, const std::wstring& newFile, bool failIfExists);

// Replaces the contents of the file `path` by `contents` with a
// FileReplacement; a path that is no regular file (nor a link to one, nor
// missing) is refused. A failure raises std::runtime_error naming the path
// and the reason.
void ReplaceFileContents(const std::string& path, const std::string& contents);

// How ReadFileContents reads.
struct ReadOptions {
  // Only a regular file is read, opened without waiting: a FIFO or device
  // is refused instead of blocking the caller. Without it, anything that can
  // be read to its end is read (a FIFO, "/dev/stdin"); a folder never is.
  bool regularOnly = true;
  // A file longer than this is refused once this many bytes were read,
  // before it is held whole.
  uint64_t maxSize = UINT64_MAX;
  // Reading stops after the first NUL byte: a text format that refuses NUL
  // then names it without the rest being read (/dev/zero ends at once).
  bool stopAfterNul = false;
};

// Reads the whole file `path`. A failure raises std::runtime_error naming the
// path and the reason; `errorCode`, when given, receives the errno value
// (EFBIG for a file over the size limit). Running out of memory raises
// std::bad_alloc.
std::string ReadFileContents(const std::string& path, int* errorCode = nullptr, const ReadOptions& options = {});

}  // namespace qxos
