// QX_TLookup: the answer of a lookup in a dictionary, tree or array — the
// value found (the illegal value for a missing key) together with what was
// asked for. It reads like the value it stands for (it converts to
// `const QX_TAny&`), and its conversions name what was read when they fail:
//
//   QX_EIllegalCast: "Copies" at ticket.configuration.Masters.M1.Options.Copies:
//     expected QX_TUInt16, got QX_TInt32 (steps/setup/setup_global.cpp, line 102)
//
// The key path is there when the collection came from the task file (it has
// an origin). A lookup refers to the collection's contents: use it before
// the collection changes, as a reference to the value would be.
#pragma once

#include <cstring>
#include <memory>
#include <string>

#include "qx_any.h"
#include "qx_string.h"

class QX_TOrigin;

class QX_TLookup {
 public:
  // A member found: `key` is the collection's own key of the entry.
  // `origin` is the collection's (null: none).
  static QX_TLookup Member(const QX_TAny& value, const QX_TOrigin* origin, const QX_TString& key) {
    QX_TLookup lookup(value, origin);
    lookup.key_ = &key;
    return lookup;
  }
  // A missing key: the key asked for is kept, since the text asked with may
  // be a temporary that is gone before the lookup is used.
  static QX_TLookup Missing(const QX_TOrigin* origin, const std::string& key) {
    QX_TLookup lookup(QX_TAny::Illegal(), origin);
    lookup.missingKey_.reset(new std::string(key));
    return lookup;
  }
  // Element `position` (0 for the first) of an array at `origin`, asked for
  // as `index`.
  static QX_TLookup Element(const QX_TAny& value, const QX_TOrigin* origin, size_t position, int index) {
    QX_TLookup lookup(value, origin);
    lookup.isElement_ = true;
    lookup.position_ = position;
    lookup.index_ = index;
    return lookup;
  }

  operator const QX_TAny&() const { return *value_; }  // NOLINT: stands for the value
  const QX_TAny& Value() const { return *value_; }

  bool IsIllegal() const { return value_->IsIllegal(); }
  const char* ClassName() const { return value_->ClassName(); }
  const QX_TObject* Object() const { return value_->Object(); }
  bool operator==(const QX_TAny& other) const { return *value_ == other; }
  bool operator!=(const QX_TAny& other) const { return *value_ != other; }

  // The value's conversions (QX_TAny), whose failures name what was read and
  // where the conversion was asked for (the caller's file and line unless
  // given).
  const QX_TObject& DynamicCast(const char* className, const char* sourceFile, int line) const {
    const QX_TObject* object = value_->Object();
    if (object != nullptr && className != nullptr && std::strcmp(object->ClassName(), className) == 0) return *object;
    RaiseCast(className, sourceFile, line);
  }
  bool AsBool(const char* sourceFile = __builtin_FILE(), int line = __builtin_LINE()) const;
  double AsDouble(const char* sourceFile = __builtin_FILE(), int line = __builtin_LINE()) const;

  // What was read: "\"Copies\" at ticket.configuration.Masters.M1.Options.Copies",
  // "\"Copies\"" without an origin, "element 3 at ticket.work.List[3]" in an array.
  std::string What() const;

 private:
  QX_TLookup(const QX_TAny& value, const QX_TOrigin* origin) : value_(&value), origin_(origin) {}
  [[noreturn]] void RaiseCast(const char* className, const char* sourceFile, int line) const;

  const QX_TAny* value_;
  const QX_TOrigin* origin_;
  const QX_TString* key_ = nullptr;
  std::unique_ptr<std::string> missingKey_;  // only for a missing key
  size_t position_ = 0;
  int index_ = 0;
  bool isElement_ = false;
};

// The checked conversion of a looked-up value, naming what was read.
template <class T>
const T& qx_cast(const QX_TLookup& lookup, const char* sourceFile, int line) {
  return static_cast<const T&>(lookup.DynamicCast(T::kClassName, sourceFile, line));
}
