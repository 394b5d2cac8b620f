#include "qx_array.h"

#include <climits>
#include <string>
#include <utility>

#include "qx_read_observer.h"

QX_TArray::QX_TArray() : data_(std::make_shared<Data>()) {}
QX_TArray::QX_TArray(int lowerBound) : data_(std::make_shared<Data>()) { data_->lower = lowerBound; }

void QX_TArray::Detach() {
  if (data_.use_count() > 1) data_ = std::make_shared<Data>(*data_);
}

void QX_TArray::Compact() {
  if (data_.use_count() == 1) data_->items.shrink_to_fit();
}

int QX_TArray::UpperBound() const {
  const long long upper = static_cast<long long>(data_->lower) + static_cast<long long>(data_->items.size()) - 1;
  if (upper < INT_MIN || upper > INT_MAX) throw QX_EException("QX_TArray::UpperBound: outside the 32-bit range");
  return static_cast<int>(upper);
}

size_t QX_TArray::Offset(int index) const {
  const long long offset = static_cast<long long>(index) - static_cast<long long>(data_->lower);
  if (offset < 0 || static_cast<unsigned long long>(offset) >= data_->items.size()) {
    const long long upper = static_cast<long long>(data_->lower) + static_cast<long long>(data_->items.size()) - 1;
    throw QX_EException("QX_TArray: index " + std::to_string(index) + " outside the bounds [" +
                        std::to_string(data_->lower) + ", " + std::to_string(upper) + "]");
  }
  return static_cast<size_t>(offset);
}

void QX_TArray::HeardRead(size_t offset) const {
  if (QX_IReadObserver* observer = qx_tReadObserver) observer->ElementRead(*data_->origin, offset, data_->items[offset]);
}

void QX_TArray::SetOrigin(std::shared_ptr<const QX_TOrigins> origins, const QX_TOrigin* origin) {
  if (data_->origin == origin) return;
  Detach();
  data_->origins = std::move(origins);
  data_->origin = origin;
}

QX_TAny& QX_TArray::At(int index) {
  const size_t offset = Offset(index);
  Detach();
  return data_->items[offset];
}

void QX_TArray::Append(const QX_TAny& value) { Append(QX_TAny(value)); }

void QX_TArray::Append(QX_TAny&& value) {
  if (static_cast<long long>(data_->lower) + static_cast<long long>(data_->items.size()) > INT_MAX)
    throw QX_EException("QX_TArray::Append: the upper bound would leave the 32-bit range");
  Detach();
  data_->items.push_back(std::move(value));
}

bool QX_TArray::Equals(const QX_TObject& other) const {
  auto* o = dynamic_cast<const QX_TArray*>(&other);
  if (o == nullptr) return false;
  if (data_ == o->data_) return true;
  if (data_->lower != o->data_->lower || data_->items.size() != o->data_->items.size()) return false;
  for (size_t i = 0; i < data_->items.size(); ++i)
    if (data_->items[i] != o->data_->items[i]) return false;
  return true;
}
