#include "os_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <functional>
#include <thread>
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
    // A short name of its own, so that a target name near the system's
    // length limit still gets its temporary file. The name mixes the time,
    // the thread and this object's address; O_EXCL finds a free one. The
    // mode 0666 is reduced by the umask, as for any new file.
    std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                         static_cast<std::uint64_t>(std::hash<std::thread::id>()(std::this_thread::get_id())) ^
                         static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(this));
    for (int attempt = 0; attempt < 100; ++attempt) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      char name[64];
      std::snprintf(name, sizeof name, "/.tmp-%ld-%08x", static_cast<long>(::getpid()),
                    static_cast<unsigned>(seed >> 32));
      path_ = FolderOf(target_) + name;
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0) return;
      if (errno != EEXIST) {
        const int error = errno;
        path_.clear();
        Fail("can't create a temporary file beside it", error);
      }
    }
    path_.clear();
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

// ---- FileReplacement -------------------------------------------------------

namespace {

// The file a symbolic link finally leads to (the path itself when it is no
// link); a link that leads nowhere yet gives the path it names.
std::string FinalTarget(const std::string& path, const char* operation) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info;
    if (::lstat(at.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return at;
    std::string link(PATH_MAX, '\0');
    const ssize_t length = ::readlink(at.c_str(), link.data(), link.size());
    if (length < 0) throw std::runtime_error(std::string(operation) + ": \"" + path + "\": can't read the link: " + Reason(errno));
    link.resize(static_cast<size_t>(length));
    at = (link.empty() || link[0] == '/') ? link : FolderOf(at) + "/" + link;
  }
  throw std::runtime_error(std::string(operation) + ": \"" + path + "\": " + Reason(ELOOP));
}

}  // namespace

using Others = FileReplacement::Others;

class FileReplacement::Impl {
 public:
  Impl(const std::string& target, const char* operation, Others others) : operation_(operation) {
    SystemPath(target, operation);
    const std::string file = FinalTarget(target, operation);
    struct stat info;
    const bool exists = ::stat(file.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode))
      throw std::runtime_error(std::string(operation) + ": \"" + target + "\": " + Reason(EISDIR));
    if (exists && !S_ISREG(info.st_mode)) {
      if (others == Others::kRefuse)
        throw std::runtime_error(std::string(operation) + ": \"" + target + "\" is not a regular file");
      // A device or a FIFO: written as it is.
      target_ = target;
      direct_ = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
      if (direct_ < 0) throw std::runtime_error(std::string(operation) + ": \"" + target + "\": can't open it: " + Reason(errno));
      return;
    }
    temp_ = std::make_unique<TempFileBeside>(file, operation);
    if (exists) temp_->SetMode(info.st_mode);
  }
  ~Impl() {
    if (direct_ >= 0) ::close(direct_);
  }

  void Write(const char* data, size_t size) {
    if (temp_) {
      temp_->Write(data, size);
    } else if (const int error = WriteAll(direct_, data, size)) {
      throw std::runtime_error(std::string(operation_) + ": \"" + target_ + "\": can't write: " + Reason(error));
    }
  }

  void Commit() {
    if (temp_) {
      temp_->Commit(false);
      return;
    }
    const int fd = direct_;
    direct_ = -1;
    if (::close(fd) != 0)
      throw std::runtime_error(std::string(operation_) + ": \"" + target_ + "\": can't write: " + Reason(errno));
  }

 private:
  const char* operation_;
  std::string target_;
  std::unique_ptr<TempFileBeside> temp_;
  int direct_ = -1;
};

FileReplacement::FileReplacement(const std::string& target, const char* operation, Others others)
    : impl_(std::make_unique<Impl>(target, operation, others)) {}
FileReplacement::~FileReplacement() = default;
void FileReplacement::Write(const char* data, size_t size) { impl_->Write(data, size); }
void FileReplacement::Commit() { impl_->Commit(); }

void ReplaceFileContents(const std::string& path, const std::string& contents) {
  FileReplacement file(path, "ReplaceFileContents");
  file.Write(contents);
  file.Commit();
}

std::string ReadFileContents(const std::string& path, int* errorCode, const ReadOptions& options) {
  if (errorCode) *errorCode = 0;
  auto fail = [&](const std::string& what, int error) -> std::runtime_error {
    if (errorCode) *errorCode = error;
    return std::runtime_error("ReadFileContents: \"" + path + "\": " + what + ": " + Reason(error));
  };
  if (path.empty() || path.find('\0') != std::string::npos) throw fail("not a usable path", EINVAL);
  const int flags = O_RDONLY | O_CLOEXEC | (options.regularOnly ? O_NONBLOCK : 0);
  Descriptor file(::open(path.c_str(), flags));
  if (file.Get() < 0) throw fail("can't open the file", errno);
  struct stat info;
  if (::fstat(file.Get(), &info) != 0) throw fail("can't read its attributes", errno);
  if (S_ISDIR(info.st_mode)) throw fail("not a regular file", EISDIR);
  if (options.regularOnly && !S_ISREG(info.st_mode)) throw fail("not a regular file", EINVAL);
  const auto tooLarge = [&] {
    return fail("larger than " + std::to_string(options.maxSize) + " bytes", EFBIG);
  };
  if (S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) > options.maxSize) throw tooLarge();
  std::string contents;
  if (S_ISREG(info.st_mode)) contents.reserve(static_cast<size_t>(info.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(file.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw fail("can't read the file", errno);
    }
    if (got == 0) break;
    if (static_cast<uint64_t>(got) > options.maxSize - contents.size()) throw tooLarge();
    contents.append(buffer, static_cast<size_t>(got));
  }
  return contents;
}

}  // namespace qxos
