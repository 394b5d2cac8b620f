#include "qx_object.h"

#include <cstring>

QX_TObject& QX_TObject::DynamicCast(const char* className, const char* sourceFile, int line) {
  if (className == nullptr || std::strcmp(className, ClassName()) != 0)
    throw QX_EIllegalCast(className ? className : "(null)", ClassName(), sourceFile, line);
  return *this;
}

const QX_TObject& QX_TObject::DynamicCast(const char* className, const char* sourceFile, int line) const {
  return const_cast<QX_TObject*>(this)->DynamicCast(className, sourceFile, line);
}
