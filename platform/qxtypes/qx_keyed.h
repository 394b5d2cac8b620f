// Keyed collections of the value library: QX_TDict (text keys, entries in
// the order they were added) and QX_TTree (the same shape, the class of the
// configuration tree's nodes). Both share their contents with their copies
// until one of them changes (copy-on-write): copying is constant time
// whatever the size, and changing a copy never changes the original.
//
// A reference obtained from a writing accessor (Value) belongs to this
// collection's contents as they are at that moment; copy the collection
// after writing through it, not before.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "qx_any.h"
#include "qx_key_index.h"
#include "qx_lookup.h"
#include "qx_origin.h"
#include "qx_string.h"

class QX_TKeyedCollection : public QX_TObject {
 public:
  using Entry = std::pair<QX_TString, QX_TAny>;

  bool HasKey(const QX_TString& key) const { return Has(key.Str(), &key); }
  // The same for a key written in the code ("Color"), without making a
  // QX_TString of it; null is the empty key.
  bool HasKey(const char* key) const { return Has(key != nullptr ? key : "", nullptr); }
  // The value for `key`, or the illegal value when the key is missing; the
  // lookup names the key (and its key path) when a conversion of it fails.
  QX_TLookup operator[](const QX_TString& key) const { return Lookup(key.Str(), &key); }
  QX_TLookup operator[](const char* key) const { return Lookup(key != nullptr ? key : "", nullptr); }
  // The value for `key` for writing; a missing key is added (holding the
  // illegal value until assigned).
  QX_TAny& Value(const QX_TString& key);
  // Sets the value for `key`, adding the key when it is missing.
  void Add(const QX_TString& key, const QX_TAny& value);
  // As Add, taking `value` over without copying it.
  void Add(const QX_TString& key, QX_TAny&& value);
  // Removes `key`; false when it was missing.
  bool Remove(const QX_TString& key);
  // Gives back the room reserved for entries not added yet; a reader calls
  // it once a collection is complete. Contents shared with copies are left.
  void Compact();
  // Number of entries.
  long Entries() const { return static_cast<long>(data_->entries.size()); }

  const std::vector<Entry>& Items() const { return data_->entries; }
  std::vector<Entry>::const_iterator begin() const { return data_->entries.begin(); }
  std::vector<Entry>::const_iterator end() const { return data_->entries.end(); }

  // True when both share the same contents (a copy not yet changed).
  bool SharesContentsWith(const QX_TKeyedCollection& other) const { return data_ == other.data_; }

  // Where the contents came from (the task file); null when not from there.
  // Copies share it; a copy changed later keeps it.
  const QX_TOrigin* Origin() const { return data_->origin; }
  // Sets where the contents stand: `origin`, a place of `origins`, which
  // the contents keep alive.
  void SetOrigin(std::shared_ptr<const QX_TOrigins> origins, const QX_TOrigin* origin);

 protected:
  QX_TKeyedCollection();
  bool SameEntries(const QX_TKeyedCollection& other) const;

 private:
  struct Data {
    std::vector<Entry> entries;
    // Position by key, kept once the collection holds more than
    // kIndexedFrom entries; empty before.
    QX_TKeyIndex index;
    std::shared_ptr<const QX_TOrigins> origins;
    const QX_TOrigin* origin = nullptr;
  };
  static constexpr size_t kNotFound = static_cast<size_t>(-1);
  static constexpr size_t kIndexedFrom = 16;
  size_t Find(std::string_view key) const;
  // `named`: the key as a QX_TString when the caller has one, for the
  // read observer; made from `key` only when an observer listens.
  bool Has(std::string_view key, const QX_TString* named) const {
    const size_t at = Find(key);
    if (data_->origin != nullptr) HeardPresence(key, named, at != kNotFound);
    return at != kNotFound;
  }
  QX_TLookup Lookup(std::string_view key, const QX_TString* named) const {
    const size_t at = Find(key);
    const Data& data = *data_;
    if (data.origin != nullptr) HeardRead(key, named, at);
    if (at == kNotFound) return QX_TLookup::Missing(data.origin, std::string(key));
    const Entry& entry = data.entries[at];
    return QX_TLookup::Member(entry.second, data.origin, entry.first);
  }
  // The key of entry i, for the index.
  struct KeyOf {
    const std::vector<Entry>& entries;
    const std::string& operator()(size_t i) const { return entries[i].first.Str(); }
  };
  void Detach();
  // A read observer bound to the thread hears a lookup (the entry at `at`)
  // or a presence test in contents that have an origin.
  void HeardRead(std::string_view key, const QX_TString* named, size_t at) const;
  void HeardPresence(std::string_view key, const QX_TString* named, bool found) const;
  std::shared_ptr<Data> data_;
};

class QX_TDict : public QX_TKeyedCollection {
  QX_DECLARE_CLASS(QX_TDict)

 public:
  QX_TDict() = default;
  QX_TDict(const QX_TDict& other) = default;
  // The framework's copy form; the second argument is 0.
  QX_TDict(const QX_TDict& other, int) : QX_TDict(other) {}
  QX_TDict& operator=(const QX_TDict& other) = default;
};

class QX_TTree : public QX_TKeyedCollection {
  QX_DECLARE_CLASS(QX_TTree)

 public:
  QX_TTree() = default;
  QX_TTree(const QX_TTree& other) = default;
  QX_TTree(const QX_TTree& other, int) : QX_TTree(other) {}
  QX_TTree& operator=(const QX_TTree& other) = default;
};

// Walks the entries of a dictionary or tree in order:
//   for (QX_TIterator it(dict); !it.IsDone(); it.Next()) use(it.Key(), it.Value());
// The collection must outlive the iterator and stay unchanged while walked.
class QX_TIterator {
 public:
  explicit QX_TIterator(const QX_TKeyedCollection& collection)
      : items_(&collection.Items()), origin_(collection.Origin()) {}
  bool IsDone() const { return pos_ >= items_->size(); }
  void Next() { ++pos_; }
  QX_TIterator& operator++() { Next(); return *this; }
  // Raise QX_EException when the walk is done. A read observer hears the
  // entry read (QX_TReadObserverBinding), by its key or its value.
  const QX_TString& Key() const;
  const QX_TAny& Value() const;

 private:
  const std::vector<QX_TKeyedCollection::Entry>* items_;
  const QX_TOrigin* origin_;
  size_t pos_ = 0;
};
