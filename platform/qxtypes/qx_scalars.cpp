#include "qx_scalars.h"

#define QX_SCALAR_EQUALS(Name)                                  \
  bool Name::Equals(const QX_TObject& other) const {            \
    auto* o = dynamic_cast<const Name*>(&other);                \
    return o != nullptr && o->value_ == value_;                 \
  }

QX_SCALAR_EQUALS(QX_TBool)
QX_SCALAR_EQUALS(QX_TInt32)
QX_SCALAR_EQUALS(QX_TUInt32)
QX_SCALAR_EQUALS(QX_TUInt16)
QX_SCALAR_EQUALS(QX_TDouble)

bool QX_TUserInfo::Equals(const QX_TObject& other) const {
  auto* o = dynamic_cast<const QX_TUserInfo*>(&other);
  return o != nullptr && o->name_ == name_;
}
