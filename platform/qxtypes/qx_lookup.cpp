#include "qx_lookup.h"

#include "qx_origin.h"

QX_TLookup QX_TLookup::Member(const QX_TAny& value, const QX_TOrigin* origin, const QX_TString* key,
                              std::string missingKey) {
  QX_TLookup lookup(value, origin);
  lookup.key_ = key;
  lookup.missingKey_ = std::move(missingKey);
  return lookup;
}

QX_TLookup QX_TLookup::Element(const QX_TAny& value, const QX_TOrigin* origin, size_t position, int index) {
  QX_TLookup lookup(value, origin);
  lookup.isElement_ = true;
  lookup.position_ = position;
  lookup.index_ = index;
  return lookup;
}

std::string QX_TLookup::What() const {
  if (isElement_) {
    std::string what = "element " + std::to_string(index_);
    if (origin_ != nullptr) what += " at " + origin_->ElementPath(position_);
    return what;
  }
  const std::string& key = key_ != nullptr ? key_->Str() : missingKey_;
  std::string what = QX_TOrigin::Quoted(key);
  if (origin_ != nullptr) what += " at " + origin_->MemberPath(key);
  return what;
}

const QX_TObject& QX_TLookup::DynamicCast(const char* className, const char* sourceFile, int line) const {
  try {
    return value_->DynamicCast(className, sourceFile, line);
  } catch (const QX_EIllegalCast& e) {
    throw QX_EIllegalCast(What(), e.Expected(), e.Actual(), sourceFile, line);
  }
}

bool QX_TLookup::AsBool(const char* sourceFile, int line) const {
  try {
    return value_->AsBool();
  } catch (const QX_EIllegalCast& e) {
    throw QX_EIllegalCast(What(), e.Expected(), e.Actual(), sourceFile, line);
  }
}

double QX_TLookup::AsDouble(const char* sourceFile, int line) const {
  try {
    return value_->AsDouble();
  } catch (const QX_EIllegalCast& e) {
    throw QX_EIllegalCast(What(), e.Expected(), e.Actual(), sourceFile, line);
  }
}
