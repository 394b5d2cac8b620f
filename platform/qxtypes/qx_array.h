// QX_TArray: an array of values indexed from a lower bound (0 unless set)
// to the upper bound, inclusive. Copies share their contents until one of
// them changes (copy-on-write). An index outside the bounds raises
// QX_EException.
#pragma once

#include <memory>
#include <vector>

#include "qx_any.h"
#include "qx_lookup.h"
#include "qx_origin.h"

class QX_TArray : public QX_TObject {
  QX_DECLARE_CLASS(QX_TArray)

 public:
  QX_TArray();
  explicit QX_TArray(int lowerBound);
  QX_TArray(const QX_TArray& other) = default;
  QX_TArray(const QX_TArray& other, int) : QX_TArray(other) {}
  QX_TArray& operator=(const QX_TArray& other) = default;

  int Size() const { return static_cast<int>(data_->items.size()); }
  int LowerBound() const { return data_->lower; }
  // LowerBound() + Size() - 1; for an empty array, LowerBound() - 1. Raises
  // QX_EException where that is not a 32-bit integer.
  int UpperBound() const;

  // The element at `index` for reading; the lookup names the element (and
  // its key path) when a conversion of it fails.
  QX_TLookup operator[](int index) const {
    const size_t offset = Offset(index);
    const QX_TAny& value = data_->items[offset];
    if (data_->origin != nullptr) HeardRead(offset);
    return QX_TLookup::Element(value, data_->origin, offset, index);
  }
  // The element at `index` for writing.
  QX_TAny& At(int index);

  // Appends at the upper end; raises QX_EException when the upper bound
  // would leave the 32-bit range.
  void Append(const QX_TAny& value);
  void Append(QX_TAny&& value);

  const std::vector<QX_TAny>& Items() const { return data_->items; }
  // Gives back the room reserved for elements not appended yet; a reader
  // calls it once an array is complete. Contents shared with copies are left.
  void Compact();
  bool SharesContentsWith(const QX_TArray& other) const { return data_ == other.data_; }

  // Where the contents came from (the task file); null when not from there.
  const QX_TOrigin* Origin() const { return data_->origin; }
  // Sets where the contents stand: `origin`, a place of `origins`, which
  // the contents keep alive.
  void SetOrigin(std::shared_ptr<const QX_TOrigins> origins, const QX_TOrigin* origin);

 private:
  struct Data {
    int lower = 0;
    std::vector<QX_TAny> items;
    std::shared_ptr<const QX_TOrigins> origins;
    const QX_TOrigin* origin = nullptr;
  };
  size_t Offset(int index) const;
  void Detach();
  // A read observer bound to the thread hears the lookup of element `offset`
  // in contents that have an origin.
  void HeardRead(size_t offset) const;
  std::shared_ptr<Data> data_;
};
