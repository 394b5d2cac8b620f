// Errors of the value library. Every error is a std::exception whose text
// says what failed, so the converter's guards handle it like any failure.
#pragma once

#include <stdexcept>
#include <string>

class QX_EException : public std::runtime_error {
 public:
  explicit QX_EException(const std::string& what) : std::runtime_error(what) {}
};

// Raised by the checked conversion when a value is not of the expected class
// (the illegal value included). The text names both classes and the source
// file and line that asked for the conversion, and, when known, what was
// read (`what`: the key and its key path, see QX_TLookup):
//   QX_EIllegalCast: "Copies" at ...Options.Copies: expected QX_TUInt16, got QX_TInt32 (file, line 102)
class QX_EIllegalCast : public QX_EException {
 public:
  QX_EIllegalCast(const std::string& expected, const std::string& actual, const char* sourceFile, int line);
  QX_EIllegalCast(const std::string& what, const std::string& expected, const std::string& actual,
                  const char* sourceFile, int line);
  const std::string& Expected() const { return expected_; }
  const std::string& Actual() const { return actual_; }

 private:
  std::string expected_;
  std::string actual_;
};
