#include "os_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "os_text.h"

namespace qxos {

namespace {

std::string Reason(int error) { return std::strerror(error); }

// A path as the system takes it; a terminator inside would name another file.
std::string SystemPath(const std::string& path, const char* operation) {
  if (path.empty()) throw std::runtime_error(std::string(operation) + ": the path is empty");
  if (path.find('\0') != std::string::npos)
    throw std::runtime_error(std::string(operation) + ": the path \"" + path.c_str() + "\" holds a terminator");
  return path;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash);  // "" for a file in the root: "" + "/name" names it
}

// Writes all of `data`; answers 0, or the errno value of the failure.
int WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return 0;
}

// A temporary file beside `target`, created empty; it is removed again unless
// Commit() renamed it over the target.
class TempFileBeside {
 public:
  TempFileBeside(const std::string& target, const char* operation) : target_(target), operation_(operation) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      // A short name of its own, so that a target name near the system's
      // length limit still gets its temporary file.
      char name[64];
      std::snprintf(name, sizeof name, "/.tmp-%ld-%u", static_cast<long>(::getpid()), counter++);
      path_ = FolderOf(target_) + name;
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0) return;
      if (errno != EEXIST) Fail("can't create a temporary file beside it", errno);
    }
    Fail("can't create a temporary file beside it", EEXIST);
  }
  ~TempFileBeside() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !path_.empty()) ::unlink(path_.c_str());
  }
  TempFileBeside(const TempFileBeside&) = delete;
  TempFileBeside& operator=(const TempFileBeside&) = delete;

  int Descriptor() const { return fd_; }

  void Write(const char* data, size_t size) {
    if (const int error = WriteAll(fd_, data, size)) Fail("can't write the temporary file", error);
  }

  // Gives the file the permission bits `mode`.
  void SetMode(mode_t mode) {
    if (::fchmod(fd_, mode & 07777) != 0) Fail("can't set the permissions of the temporary file", errno);
  }

  // Flushes the file to disk and renames it over the target; with
  // `failIfExists`, an existing target is left alone and the call fails.
  void Commit(bool failIfExists) {
    if (::fsync(fd_) != 0) Fail("can't flush the temporary file to disk", errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Fail("can't close the temporary file", errno);
    if (failIfExists) {
      // link() fails when the target exists, without a window for a race.
      if (::link(path_.c_str(), target_.c_str()) != 0) Fail("can't create the file", errno);
      ::unlink(path_.c_str());
    } else if (::rename(path_.c_str(), target_.c_str()) != 0) {
      Fail("can't replace the file", errno);
    }
    committed_ = true;
    // Make the new directory entry durable as well; the file is complete
    // whether or not this succeeds.
    std::string folder = FolderOf(target_);
    if (folder.empty()) folder = "/";
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      ::fsync(dir);
      ::close(dir);
    }
  }

 private:
  [[noreturn]] void Fail(const char* what, int error) {
    throw std::runtime_error(std::string(operation_) + ": \"" + target_ + "\": " + what + ": " + Reason(error));
  }

  std::string target_;
  std::string path_;
  const char* operation_;
  int fd_ = -1;
  bool committed_ = false;
};

// An open file descriptor, closed on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

bool CopyFileW(const std::wstring& existing, const std::wstring& newFile, bool failIfExists) {
  const std::string from = WideToUtf8(existing);
  const std::string to = WideToUtf8(newFile);
  const std::string what = "CopyFileW \"" + from + "\" to \"" + to + "\"";
  SystemPath(from, what.c_str());
  SystemPath(to, what.c_str());

  Descriptor source(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (source.Get() < 0) throw std::runtime_error(what + ": can't open the source: " + Reason(errno));
  struct stat info;
  if (::fstat(source.Get(), &info) != 0)
    throw std::runtime_error(what + ": can't read the source's attributes: " + Reason(errno));
  if (!S_ISREG(info.st_mode)) throw std::runtime_error(what + ": the source is not a regular file");
  if (failIfExists) {
    struct stat target;
    if (::lstat(to.c_str(), &target) == 0) throw std::runtime_error(what + ": the target exists");
  }

  TempFileBeside temp(to, "CopyFileW");
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(source.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(what + ": can't read the source: " + Reason(errno));
    }
    if (got == 0) break;
    temp.Write(buffer, static_cast<size_t>(got));
  }
  temp.SetMode(info.st_mode);
  temp.Commit(failIfExists);
  return true;
}

void ReplaceFileContents(const std::string& path, const std::string& contents) {
  SystemPath(path, "ReplaceFileContents");
  struct stat info;
  const bool exists = ::stat(path.c_str(), &info) == 0;
  if (exists && !S_ISREG(info.st_mode))
    throw std::runtime_error("ReplaceFileContents: \"" + path + "\" is not a regular file");
  TempFileBeside temp(path, "ReplaceFileContents");
  temp.Write(contents.data(), contents.size());
  if (exists) temp.SetMode(info.st_mode);
  temp.Commit(false);
}

std::string ReadFileContents(const std::string& path, int* errorCode) {
  if (errorCode) *errorCode = 0;
  auto fail = [&](const char* what, int error) -> std::runtime_error {
    if (errorCode) *errorCode = error;
    return std::runtime_error("ReadFileContents: \"" + path + "\": " + what + ": " + Reason(error));
  };
  if (path.empty() || path.find('\0') != std::string::npos) throw fail("not a usable path", EINVAL);
  Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.Get() < 0) throw fail("can't open the file", errno);
  struct stat info;
  if (::fstat(file.Get(), &info) != 0) throw fail("can't read its attributes", errno);
  if (!S_ISREG(info.st_mode)) throw fail("not a regular file", S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
  std::string contents;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw fail("can't read the file", errno);
    }
    if (got == 0) break;
    contents.append(buffer, static_cast<size_t>(got));
  }
  return contents;
}

}  // namespace qxos
