#include "qx_lookup.h"

#include "qx_origin.h"

std::string QX_TLookup::What() const {
  if (isElement_) {
    std::string what = "element " + std::to_string(index_);
    if (origin_ != nullptr) what += " at " + origin_->ElementPath(position_);
    return what;
  }
  const std::string& key = key_ != nullptr ? key_->Str() : *missingKey_;
  std::string what = QX_TOrigin::Quoted(key);
  if (origin_ != nullptr) what += " at " + origin_->MemberPath(key);
  return what;
}

void QX_TLookup::RaiseCast(const char* className, const char* sourceFile, int line) const {
  throw QX_EIllegalCast(What(), className ? className : "(null)", value_->ClassName(), sourceFile, line);
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
