// Root of the value library's classes. Every value that a QX_TAny can hold
// is a QX_TObject; QX_IPackable is the name the middleware uses for them.
#pragma once

#include <memory>

#include "qx_exception.h"

class QX_TObject {
 public:
  virtual ~QX_TObject() = default;

  // The class's name, for example "QX_TDict".
  virtual const char* ClassName() const = 0;

  // A copy of this value. Containers share their contents with the copy until
  // one of them changes (copy-on-write), so cloning is constant time.
  virtual std::unique_ptr<QX_TObject> Clone() const = 0;

  // Value equality: same class and same contents.
  virtual bool Equals(const QX_TObject& other) const = 0;

  // The checked conversion: this object, when its class is `className`;
  // otherwise raises QX_EIllegalCast naming `sourceFile` and `line`.
  QX_TObject& DynamicCast(const char* className, const char* sourceFile, int line);
  const QX_TObject& DynamicCast(const char* className, const char* sourceFile, int line) const;

 protected:
  QX_TObject() = default;
  QX_TObject(const QX_TObject&) = default;
  QX_TObject& operator=(const QX_TObject&) = default;
};

using QX_IPackable = QX_TObject;

// Implements the boilerplate of a concrete value class.
#define QX_DECLARE_CLASS(Name)                                                              \
 public:                                                                                    \
  static constexpr const char* kClassName = #Name;                                          \
  const char* ClassName() const override { return kClassName; }                             \
  std::unique_ptr<QX_TObject> Clone() const override { return std::make_unique<Name>(*this); } \
  bool Equals(const QX_TObject& other) const override;
