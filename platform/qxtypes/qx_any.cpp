#include "qx_any.h"

#include "qx_scalars.h"

namespace {
constexpr const char* kIllegalClass = "QX_TIllegal";
}

QX_TAny::QX_TAny(const QX_TObject& value) : value_(value.Clone()) {}
QX_TAny::QX_TAny(bool value) : value_(std::make_unique<QX_TBool>(value)) {}
QX_TAny::QX_TAny(const QX_TAny& other) : value_(other.value_ ? other.value_->Clone() : nullptr) {}

QX_TAny& QX_TAny::operator=(const QX_TAny& other) {
  if (this != &other) value_ = other.value_ ? other.value_->Clone() : nullptr;
  return *this;
}

const QX_TAny& QX_TAny::Illegal() {
  static const QX_TAny illegal;
  return illegal;
}

const char* QX_TAny::ClassName() const { return value_ ? value_->ClassName() : kIllegalClass; }

QX_TObject& QX_TAny::DynamicCast(const char* className, const char* sourceFile, int line) {
  if (!value_) throw QX_EIllegalCast(className ? className : "(null)", kIllegalClass, sourceFile, line);
  return value_->DynamicCast(className, sourceFile, line);
}

const QX_TObject& QX_TAny::DynamicCast(const char* className, const char* sourceFile, int line) const {
  return const_cast<QX_TAny*>(this)->DynamicCast(className, sourceFile, line);
}

double QX_TAny::AsDouble() const {
  if (auto* d = dynamic_cast<const QX_TDouble*>(value_.get())) return d->Value();
  if (auto* i = dynamic_cast<const QX_TInt32*>(value_.get())) return i->Value();
  if (auto* u = dynamic_cast<const QX_TUInt32*>(value_.get())) return u->Value();
  if (auto* s = dynamic_cast<const QX_TUInt16*>(value_.get())) return s->Value();
  if (auto* b = dynamic_cast<const QX_TBool*>(value_.get())) return b->Value() ? 1.0 : 0.0;
  throw QX_EIllegalCast("a number", ClassName(), "qxtypes: QX_TAny::AsDouble", 0);
}

bool QX_TAny::AsBool() const {
  if (auto* b = dynamic_cast<const QX_TBool*>(value_.get())) return b->Value();
  if (dynamic_cast<const QX_TDouble*>(value_.get()) || dynamic_cast<const QX_TInt32*>(value_.get()) ||
      dynamic_cast<const QX_TUInt32*>(value_.get()) || dynamic_cast<const QX_TUInt16*>(value_.get()))
    return AsDouble() != 0.0;
  throw QX_EIllegalCast("QX_TBool", ClassName(), "qxtypes: QX_TAny::AsBool", 0);
}

bool QX_TAny::operator==(const QX_TAny& other) const {
  if (!value_ || !other.value_) return !value_ && !other.value_;
  return value_->Equals(*other.value_);
}
