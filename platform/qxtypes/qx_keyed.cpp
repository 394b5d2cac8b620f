#include "qx_keyed.h"

#include <utility>

#include "qx_read_observer.h"

QX_TKeyedCollection::QX_TKeyedCollection() : data_(std::make_shared<Data>()) {}

// A copy is detached in order to be written, mostly by a few keys more
// (a job's extra options): room for them saves growing a vector to twice
// the size of the job's dictionary.
void QX_TKeyedCollection::Detach() {
  if (data_.use_count() <= 1) return;
  const Data& shared = *data_;
  auto copy = std::make_shared<Data>();
  copy->entries.reserve(shared.entries.size() + shared.entries.size() / 4 + 2);
  copy->entries.insert(copy->entries.end(), shared.entries.begin(), shared.entries.end());
  copy->index = shared.index;
  copy->origins = shared.origins;
  copy->origin = shared.origin;
  data_ = std::move(copy);
}

void QX_TKeyedCollection::Compact() {
  if (data_.use_count() == 1) data_->entries.shrink_to_fit();
}

// Where `key` is among the entries, or npos. Small collections (nearly all:
// a job's inks, its options, its margins) are searched in order; the index
// by key is built once a collection grows past kIndexedFrom entries, so that
// large ones stay fast and small ones don't carry a hash table each.
size_t QX_TKeyedCollection::Find(std::string_view key) const {
  const Data& data = *data_;
  if (data.index.Empty()) {
    for (size_t i = 0; i < data.entries.size(); ++i)
      if (data.entries[i].first.Str() == key) return i;
    return kNotFound;
  }
  return data.index.Find(key, KeyOf{data.entries});
}

void QX_TKeyedCollection::HeardPresence(std::string_view key, const QX_TString* named, bool found) const {
  if (QX_IReadObserver* observer = qx_tReadObserver) {
    const QX_TString made = named != nullptr ? QX_TString() : QX_TString(key.data(), key.size());
    const QX_TString& name = named != nullptr ? *named : made;
    if (found)
      observer->MemberFound(*data_->origin, name);
    else
      observer->MemberRead(*data_->origin, name, nullptr);
  }
}

void QX_TKeyedCollection::HeardRead(std::string_view key, const QX_TString* named, size_t at) const {
  if (QX_IReadObserver* observer = qx_tReadObserver) {
    const QX_TString made = named != nullptr ? QX_TString() : QX_TString(key.data(), key.size());
    observer->MemberRead(*data_->origin, named != nullptr ? *named : made,
                         at == kNotFound ? nullptr : &data_->entries[at].second);
  }
}

void QX_TKeyedCollection::SetOrigin(std::shared_ptr<const QX_TOrigins> origins, const QX_TOrigin* origin) {
  if (data_->origin == origin) return;
  Detach();
  data_->origins = std::move(origins);
  data_->origin = origin;
}

QX_TAny& QX_TKeyedCollection::Value(const QX_TString& key) {
  Detach();
  const size_t at = Find(key.Str());
  if (at != kNotFound) return data_->entries[at].second;
  Data& data = *data_;
  data.entries.emplace_back(key, QX_TAny());
  try {
    if (!data.index.Empty())
      data.index.Appended(data.entries.size() - 1, KeyOf{data.entries});
    else if (data.entries.size() > kIndexedFrom)
      data.index.Rebuild(data.entries.size(), KeyOf{data.entries});
  } catch (...) {
    data.entries.pop_back();  // an entry the index can't find is not kept
    throw;
  }
  return data.entries.back().second;
}

void QX_TKeyedCollection::Add(const QX_TString& key, const QX_TAny& value) { Value(key) = value; }
void QX_TKeyedCollection::Add(const QX_TString& key, QX_TAny&& value) { Value(key) = std::move(value); }

bool QX_TKeyedCollection::Remove(const QX_TString& key) {
  const size_t pos = Find(key.Str());
  if (pos == kNotFound) return false;
  Detach();
  Data& data = *data_;
  data.entries.erase(data.entries.begin() + static_cast<long>(pos));
  // The positions after the removed entry move down: the index is built anew.
  if (!data.index.Empty()) data.index.Rebuild(data.entries.size(), KeyOf{data.entries});
  return true;
}

bool QX_TKeyedCollection::SameEntries(const QX_TKeyedCollection& other) const {
  if (data_ == other.data_) return true;
  if (data_->entries.size() != other.data_->entries.size()) return false;
  for (size_t i = 0; i < data_->entries.size(); ++i) {
    if (data_->entries[i].first != other.data_->entries[i].first) return false;
    if (data_->entries[i].second != other.data_->entries[i].second) return false;
  }
  return true;
}

bool QX_TDict::Equals(const QX_TObject& other) const {
  auto* o = dynamic_cast<const QX_TDict*>(&other);
  return o != nullptr && SameEntries(*o);
}

bool QX_TTree::Equals(const QX_TObject& other) const {
  auto* o = dynamic_cast<const QX_TTree*>(&other);
  return o != nullptr && SameEntries(*o);
}

const QX_TString& QX_TIterator::Key() const {
  if (IsDone()) throw QX_EException("QX_TIterator::Key: the walk is done");
  const QX_TKeyedCollection::Entry& entry = (*items_)[pos_];
  if (origin_ != nullptr)
    if (QX_IReadObserver* observer = qx_tReadObserver)
      observer->MemberRead(*origin_, entry.first, &entry.second);
  return entry.first;
}

const QX_TAny& QX_TIterator::Value() const {
  if (IsDone()) throw QX_EException("QX_TIterator::Value: the walk is done");
  const QX_TKeyedCollection::Entry& entry = (*items_)[pos_];
  if (origin_ != nullptr)
    if (QX_IReadObserver* observer = qx_tReadObserver)
      observer->MemberRead(*origin_, entry.first, &entry.second);
  return entry.second;
}
