#include "qx_exception.h"

QX_EIllegalCast::QX_EIllegalCast(const std::string& expected, const std::string& actual, const char* sourceFile,
                                 int line)
    : QX_EException("QX_EIllegalCast: expected " + expected + ", got " + actual + " (" +
                    (sourceFile ? sourceFile : "?") + ", line " + std::to_string(line) + ")"),
      expected_(expected),
      actual_(actual) {}
