// The scalar classes of the value library. Each holds one value of its C++
// type; the class (not the number) is what the checked conversion tests.
#pragma once

#include <cstdint>

#include "qx_object.h"
#include "qx_string.h"

#define QX_DECLARE_SCALAR(Name, Type)                  \
  class Name : public QX_TObject {                     \
    QX_DECLARE_CLASS(Name)                             \
   public:                                             \
    Name() = default;                                  \
    explicit Name(Type value) : value_(value) {}       \
    Type Value() const { return value_; }              \
    operator Type() const { return value_; }           \
                                                       \
   private:                                            \
    Type value_{};                                     \
  };

QX_DECLARE_SCALAR(QX_TBool, bool)
QX_DECLARE_SCALAR(QX_TInt32, int32_t)
QX_DECLARE_SCALAR(QX_TUInt32, uint32_t)
QX_DECLARE_SCALAR(QX_TUInt16, uint16_t)
QX_DECLARE_SCALAR(QX_TDouble, double)

#undef QX_DECLARE_SCALAR

// A user of the RIP server.
class QX_TUserInfo : public QX_TObject {
  QX_DECLARE_CLASS(QX_TUserInfo)

 public:
  QX_TUserInfo() = default;
  explicit QX_TUserInfo(const QX_TString& name) : name_(name) {}
  const QX_TString& Name() const { return name_; }

 private:
  QX_TString name_;
};
