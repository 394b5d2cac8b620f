// Where a command's own output goes, and where the converter's traces go
// while it runs (the IPL proxy prints on standard output and standard
// error). A command whose output goes to standard output keeps it apart
// from the traces, so that standard output holds the output alone.
#pragma once

#include <string>

namespace t2dhost {

class StandardStreams {
 public:
  enum class Traces {
    kToStandardError,  // what the converter prints on standard output goes to standard error
    kDiscarded,        // what the converter prints goes nowhere
  };

  // Sets the original standard output and standard error aside for the
  // command's own output and sends the converter's traces as `traces` says,
  // until it is destroyed. Raises std::runtime_error when the streams can't
  // be set aside.
  explicit StandardStreams(Traces traces);
  ~StandardStreams();
  StandardStreams(const StandardStreams&) = delete;
  StandardStreams& operator=(const StandardStreams&) = delete;

  // Writes to the original standard output or standard error; raises
  // std::runtime_error when it can't.
  void Out(const std::string& text) const;
  void Err(const std::string& text) const;

 private:
  void Restore();
  int out_ = -1;
  int err_ = -1;
};

// Writes all of `text` to the file descriptor `fd`; raises
// std::runtime_error naming `what` when it can't.
void WriteAll(int fd, const std::string& text, const char* what);

// `text` on one line: line breaks and other control characters are written
// as escapes (\n, \t, \u001b), so that a message quoting what it read is
// always one line.
std::string OneLine(const std::string& text);

}  // namespace t2dhost
