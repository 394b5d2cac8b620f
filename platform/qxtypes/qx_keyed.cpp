#include "qx_keyed.h"

#include <utility>

QX_TKeyedCollection::QX_TKeyedCollection() : data_(std::make_shared<Data>()) {}

void QX_TKeyedCollection::Detach() {
  if (data_.use_count() > 1) data_ = std::make_shared<Data>(*data_);
}

bool QX_TKeyedCollection::HasKey(const QX_TString& key) const { return data_->index.count(key.Str()) != 0; }

const QX_TAny& QX_TKeyedCollection::operator[](const QX_TString& key) const {
  auto it = data_->index.find(key.Str());
  return it == data_->index.end() ? QX_TAny::Illegal() : data_->entries[it->second].second;
}

QX_TAny& QX_TKeyedCollection::Value(const QX_TString& key) {
  Detach();
  auto it = data_->index.find(key.Str());
  if (it != data_->index.end()) return data_->entries[it->second].second;
  data_->index.emplace(key.Str(), data_->entries.size());
  data_->entries.emplace_back(key, QX_TAny());
  return data_->entries.back().second;
}

void QX_TKeyedCollection::Add(const QX_TString& key, const QX_TAny& value) { Value(key) = value; }
void QX_TKeyedCollection::Add(const QX_TString& key, QX_TAny&& value) { Value(key) = std::move(value); }

bool QX_TKeyedCollection::Remove(const QX_TString& key) {
  if (!HasKey(key)) return false;
  Detach();
  const size_t pos = data_->index.at(key.Str());
  data_->entries.erase(data_->entries.begin() + static_cast<long>(pos));
  data_->index.erase(key.Str());
  for (auto& slot : data_->index)
    if (slot.second > pos) --slot.second;
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
  return (*items_)[pos_].first;
}

const QX_TAny& QX_TIterator::Value() const {
  if (IsDone()) throw QX_EException("QX_TIterator::Value: the walk is done");
  return (*items_)[pos_].second;
}
