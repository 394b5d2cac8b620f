#include "os_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <functional>
#include <optional>
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

  // The copy goes where the target's links lead, is never half-written, and
  // a FIFO or device at the target is refused rather than waited for.
  std::optional<TempFileBeside> fresh;
  std::optional<FileReplacement> replacement;
  if (failIfExists) {
    struct stat target;
    if (::lstat(to.c_str(), &target) == 0) throw std::runtime_error(what + ": the target exists");
    fresh.emplace(to, "CopyFileW");
  } else {
    replacement.emplace(to, "CopyFileW");
  }
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(source.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(what + ": can't read the source: " + Reason(errno));
    }
    if (got == 0) break;
    if (fresh)
      fresh->Write(buffer, static_cast<size_t>(got));
    else
      replacement->Write(buffer, static_cast<size_t>(got));
  }
  if (fresh) {
    fresh->SetMode(info.st_mode);
    fresh->Commit(true);
  } else {
    replacement->SetPermissions(info.st_mode);
    replacement->Commit();
  }
  return true;
}

// ---- FileReplacement -------------------------------------------------------

namespace {

// The file a symbolic link finally leads to (the path itself when it is no
// link); a link that leads nowhere yet gives the path it names; a link into
// /proc gives the empty text.
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
    // The system's own links (a process's descriptors) name no file that a
    // path can reach: the caller sees that the path leads nowhere it knows.
    if (at.rfind("/proc/", 0) == 0) return std::string();
  }
  throw std::runtime_error(std::string(operation) + ": \"" + path + "\": " + Reason(ELOOP));
}

}  // namespace

std::optional<int> NamedDescriptor(const std::string& path) {
  if (path == "-" || path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  std::string number;
  const std::string prefixes[] = {"/dev/fd/", "/proc/self/fd/", "/proc/" + std::to_string(::getpid()) + "/fd/"};
  for (const std::string& prefix : prefixes)
    if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0) number = path.substr(prefix.size());
  if (number.empty() || number.size() > 9 || number.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::stoi(number);
}

using Others = FileReplacement::Others;

// Three ways to write, chosen on construction from what the path names:
// - a temporary file beside the target, renamed over it (a new file, or a
//   regular file whose mode, owner and group the temporary file can take and
//   that has no other hard link);
// - in place: the contents are held until Commit, then the file is truncated
//   and written (a regular file that a replacement would change otherwise:
//   another owner, a second hard link, a folder the user may not write);
// - directly: a device or FIFO, written as the data comes.
class FileReplacement::Impl {
 public:
  Impl(const std::string& target, const char* operation, Others others) : operation_(operation), target_(target) {
    SystemPath(target, operation);
    if (others == Others::kWriteDirectly) {
      if (const std::optional<int> named = NamedDescriptor(target)) {
        // One of the process's own descriptors: written as it is, so that a
        // shell's append or pipe behind it keeps working.
        file_ = ::fcntl(*named, F_DUPFD_CLOEXEC, 3);
        if (file_ < 0) Fail("can't use the descriptor: ", errno);
        direct_ = true;
        return;
      }
    }
    struct stat info;
    if (others == Others::kRefuse && ::stat(target.c_str(), &info) == 0) {
      // Decided before opening: opening a device or FIFO can block or act.
      if (S_ISDIR(info.st_mode)) Fail("", EISDIR);
      if (!S_ISREG(info.st_mode)) Refuse("is not a regular file");
    }
    // Opening the path for writing asks the system whether the user may
    // write what it names, whatever the links and devices on the way.
    int fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
      StartNewFile();
      return;
    }
    if (fd < 0 && errno == ENXIO && others == Others::kWriteDirectly) {
      // A FIFO without a reader yet: wait for one, as the shell does.
      fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    }
    if (fd < 0) {
      const int error = errno;
      if (error == ENXIO) Refuse("is not a regular file");
      Fail("may not be written: ", error);
    }
    file_ = fd;
    if (::fstat(file_, &info) != 0) Fail("can't read its attributes: ", errno);
    if (S_ISDIR(info.st_mode)) Fail("", EISDIR);
    if (!S_ISREG(info.st_mode)) {
      if (others == Others::kRefuse) Refuse("is not a regular file");
      const int flags = ::fcntl(file_, F_GETFL);
      if (flags < 0 || ::fcntl(file_, F_SETFL, flags & ~O_NONBLOCK) != 0) Fail("can't open it: ", errno);
      direct_ = true;
      return;
    }
    fileMode_ = info.st_mode;
    mode_ = info.st_mode;
    if (!StartReplacement(info)) inPlace_ = true;
  }
  ~Impl() {
    if (file_ >= 0) ::close(file_);
  }

  void SetPermissions(mode_t mode) { mode_ = mode; }

  void Write(const char* data, size_t size) {
    if (temp_) {
      temp_->Write(data, size);
    } else if (inPlace_) {
      held_.append(data, size);
    } else if (const int error = WriteAll(file_, data, size)) {
      Fail("can't write: ", error);
    }
  }

  void Commit() {
    if (temp_) {
      if (mode_) temp_->SetMode(*mode_);
      temp_->Commit(false);
      return;
    }
    if (inPlace_) {
      if (::ftruncate(file_, 0) != 0) Fail("can't write: ", errno);
      if (const int error = WriteAll(file_, held_.data(), held_.size())) Fail("can't write: ", error);
      if (mode_ && (*mode_ & 07777) != (fileMode_ & 07777) && ::fchmod(file_, *mode_ & 07777) != 0)
        Fail("can't set its permissions: ", errno);
      if (::fsync(file_) != 0) Fail("can't flush it to disk: ", errno);
    }
    const int fd = file_;
    file_ = -1;
    if (::close(fd) != 0) Fail("can't write: ", errno);
  }

 private:
  [[noreturn]] void Fail(const std::string& what, int error) {
    throw std::runtime_error(std::string(operation_) + ": \"" + target_ + "\": " + what + Reason(error));
  }
  [[noreturn]] void Refuse(const std::string& what) {
    throw std::runtime_error(std::string(operation_) + ": \"" + target_ + "\" " + what);
  }

  // A file that does not exist yet: made under a temporary name beside
  // where the path (or the link it is) leads, with 0666 less the umask
  // unless SetPermissions says otherwise.
  void StartNewFile() {
    const std::string file = FinalTarget(target_, operation_);
    if (file.empty()) Fail("can't create it: ", ENOENT);
    temp_ = std::make_unique<TempFileBeside>(file, operation_);
  }

  // An existing regular file, replaced by a temporary file beside it when
  // the replacement keeps what the file is: its mode, owner, group and
  // links. Answers false when it can't, and the file is written in place.
  bool StartReplacement(const struct stat& info) {
    if (info.st_nlink > 1) return false;
    const std::string file = FinalTarget(target_, operation_);
    struct stat named;
    if (file.empty() || ::stat(file.c_str(), &named) != 0 || named.st_dev != info.st_dev || named.st_ino != info.st_ino)
      return false;  // the path reaches the file in a way its links do not tell
    try {
      temp_ = std::make_unique<TempFileBeside>(file, operation_);
    } catch (const std::runtime_error&) {
      return false;  // a folder the user may not write
    }
    struct stat made;
    if (::fstat(temp_->Descriptor(), &made) != 0 ||
        ((made.st_uid != info.st_uid || made.st_gid != info.st_gid) &&
         ::fchown(temp_->Descriptor(), info.st_uid, info.st_gid) != 0)) {
      temp_.reset();
      return false;
    }
    return true;
  }

  const char* operation_;
  std::string target_;
  std::unique_ptr<TempFileBeside> temp_;
  int file_ = -1;
  bool direct_ = false;
  bool inPlace_ = false;
  std::string held_;
  mode_t fileMode_ = 0;          // the existing file's
  std::optional<mode_t> mode_;  // the new contents' (none: as the file was made)
};

FileReplacement::FileReplacement(const std::string& target, const char* operation, Others others)
    : impl_(std::make_unique<Impl>(target, operation, others)) {}
FileReplacement::~FileReplacement() = default;
void FileReplacement::SetPermissions(unsigned mode) { impl_->SetPermissions(static_cast<mode_t>(mode)); }
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
    size_t take = static_cast<size_t>(got);
    const void* nul = options.stopAfterNul ? std::memchr(buffer, '\0', take) : nullptr;
    if (nul) take = static_cast<size_t>(static_cast<const char*>(nul) - buffer) + 1;
    if (take > options.maxSize - contents.size()) throw tooLarge();
    contents.append(buffer, take);
    if (nul) break;
  }
  return contents;
}

}  // namespace qxos
