#include "param_dict.h"

void CParamSection::Set(std::string key, std::string value, const char* comment) {
  std::optional<std::string> note;
  if (comment) note.emplace(comment);
  const size_t at = index_.Find(key, KeyOf{items_});
  if (at != QX_TKeyIndex::npos) {
    items_[at].value = std::move(value);
    items_[at].comment = std::move(note);
    return;
  }
  items_.push_back(CParamItem{std::move(key), std::move(value), std::move(note)});
  try {
    index_.Appended(items_.size() - 1, KeyOf{items_});
  } catch (...) {
    items_.pop_back();  // an item the index can't find is not kept
    throw;
  }
}

const CParamItem* CParamSection::Find(const std::string& key) const {
  const size_t at = index_.Find(key, KeyOf{items_});
  return at == QX_TKeyIndex::npos ? nullptr : &items_[at];
}

CParamSection& CParamDict::Section(const std::string& name) {
  for (auto& section : sections_)
    if (section.first == name) return section.second;
  sections_.emplace_back(name, CParamSection());
  return sections_.back().second;
}

CParamSection& CParamDict::JobSection(int jobNumber) {
  // A job writes all its items in a row, and jobs come in ascending order:
  // the section asked for is nearly always the last one, and when the next
  // job begins the last one is complete, so the room its items did not use
  // is given back (a job's 22 items would otherwise hold room for 32).
  if (!jobs_.empty() && jobs_.rbegin()->first == jobNumber) return jobs_.rbegin()->second;
  if (!jobs_.empty() && jobs_.rbegin()->first < jobNumber) jobs_.rbegin()->second.Compact();
  return jobs_[jobNumber];
}

const CParamSection* CParamDict::FindSection(const std::string& name) const {
  for (auto& section : sections_)
    if (section.first == name) return &section.second;
  return nullptr;
}

const CParamSection* CParamDict::FindJobSection(int jobNumber) const {
  auto it = jobs_.find(jobNumber);
  return it == jobs_.end() ? nullptr : &it->second;
}
