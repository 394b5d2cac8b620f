#include "program_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>

namespace t2dhost {

namespace {
std::string Reason(int error) { return std::strerror(error); }
}  // namespace

void WriteAll(int fd, const std::string& text, const char* what) {
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::runtime_error(std::string("can't write ") + what + ": " + Reason(n < 0 ? errno : EIO));
    written += static_cast<size_t>(n);
  }
}

StandardStreams::StandardStreams(Traces traces) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(stdout);
  std::fflush(stderr);
  out_ = ::fcntl(1, F_DUPFD_CLOEXEC, 3);
  err_ = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
  const int target = traces == Traces::kDiscarded ? ::open("/dev/null", O_WRONLY | O_CLOEXEC) : ::dup(2);
  if (out_ < 0 || err_ < 0 || target < 0) {
    const int error = errno;
    if (target >= 0) ::close(target);
    Restore();
    throw std::runtime_error("can't set standard output aside: " + Reason(error));
  }
  ::dup2(target, 1);
  if (traces == Traces::kDiscarded) ::dup2(target, 2);
  ::close(target);
}

StandardStreams::~StandardStreams() { Restore(); }

void StandardStreams::Restore() {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(stdout);
  std::fflush(stderr);
  if (out_ >= 0) ::dup2(out_, 1), ::close(out_);
  if (err_ >= 0) ::dup2(err_, 2), ::close(err_);
  out_ = err_ = -1;
}

void StandardStreams::Out(const std::string& text) const { WriteAll(out_, text, "to standard output"); }
void StandardStreams::Err(const std::string& text) const { WriteAll(err_, text, "to standard error"); }

std::string OneLine(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string line;
  line.reserve(text.size());
  for (unsigned char c : text) {
    if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else if (c == '\t') {
      line += "\\t";
    } else if (c < 0x20 || c == 0x7f) {
      line += "\\u00";
      line += kHex[c >> 4];
      line += kHex[c & 0xF];
    } else {
      line += static_cast<char>(c);
    }
  }
  return line;
}

}  // namespace t2dhost
