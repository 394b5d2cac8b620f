#include "qx_exception.h"

namespace {
std::string Text(const std::string& what, const std::string& expected, const std::string& actual,
                 const char* sourceFile, int line) {
  return "QX_EIllegalCast: " + (what.empty() ? std::string() : what + ": ") + "expected " + expected + ", got " +
         actual + " (" + (sourceFile ? sourceFile : "?") + ", line " + std::to_string(line) + ")";
}
}  // namespace

QX_EIllegalCast::QX_EIllegalCast(const std::string& expected, const std::string& actual, const char* sourceFile,
                                 int line)
    : QX_EIllegalCast(std::string(), expected, actual, sourceFile, line) {}

QX_EIllegalCast::QX_EIllegalCast(const std::string& what, const std::string& expected, const std::string& actual,
                                 const char* sourceFile, int line)
    : QX_EException(Text(what, expected, actual, sourceFile, line)), expected_(expected), actual_(actual) {}
