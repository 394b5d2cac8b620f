// QX_TAny: holds one value of any class, or the illegal value. Reading a key
// that a dictionary does not hold gives the illegal value; converting the
// illegal value (the checked conversion, reading it as bool or number)
// raises QX_EIllegalCast.
#pragma once

#include <memory>

#include "qx_object.h"

class QX_TAny {
 public:
  // The illegal value.
  QX_TAny() = default;
  // A copy of `value`; containers share their contents (copy-on-write).
  QX_TAny(const QX_TObject& value);  // NOLINT: values convert implicitly
  // A QX_TBool.
  QX_TAny(bool value);  // NOLINT
  // Takes `value` over without copying it; null makes the illegal value.
  explicit QX_TAny(std::unique_ptr<QX_TObject> value) : value_(std::move(value)) {}
  // Pointers must not silently become bools.
  QX_TAny(const char*) = delete;

  QX_TAny(const QX_TAny& other);
  QX_TAny(QX_TAny&& other) noexcept = default;
  QX_TAny& operator=(const QX_TAny& other);
  QX_TAny& operator=(QX_TAny&& other) noexcept = default;
  ~QX_TAny() = default;

  // The marker value that looked-up values are compared with.
  static const QX_TAny& Illegal();
  bool IsIllegal() const { return !value_; }

  // The class name of the held value; "QX_TIllegal" for the illegal value.
  const char* ClassName() const;

  // The checked conversion of the held value (QX_TObject::DynamicCast); the
  // illegal value raises QX_EIllegalCast.
  QX_TObject& DynamicCast(const char* className, const char* sourceFile, int line);
  const QX_TObject& DynamicCast(const char* className, const char* sourceFile, int line) const;

  // Reads a QX_TBool, or a number (non-zero is true). Other classes and the
  // illegal value raise QX_EIllegalCast.
  bool AsBool() const;
  // Reads a QX_TDouble, QX_TInt32, QX_TUInt32, QX_TUInt16 or QX_TBool (0/1).
  // Other classes and the illegal value raise QX_EIllegalCast.
  double AsDouble() const;

  // The held value, or null for the illegal value.
  const QX_TObject* Object() const { return value_.get(); }
  QX_TObject* Object() { return value_.get(); }

  // Equal when both are illegal, or both hold equal values of one class.
  bool operator==(const QX_TAny& other) const;
  bool operator!=(const QX_TAny& other) const { return !(*this == other); }

 private:
  std::unique_ptr<QX_TObject> value_;
};

// The checked conversion with the class taken from the C++ type:
// qx_cast<QX_TDict>(any, file, line).
template <class T>
T& qx_cast(QX_TAny& value, const char* sourceFile, int line) {
  return static_cast<T&>(value.DynamicCast(T::kClassName, sourceFile, line));
}
template <class T>
const T& qx_cast(const QX_TAny& value, const char* sourceFile, int line) {
  return static_cast<const T&>(value.DynamicCast(T::kClassName, sourceFile, line));
}
