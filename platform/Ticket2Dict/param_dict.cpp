#include "param_dict.h"

void CParamSection::Set(std::string key, std::string value, const char* comment) {
  std::optional<std::string> note;
  if (comment) note.emplace(comment);
  auto [it, added] = index_.try_emplace(key, items_.size());
  if (!added) {
    items_[it->second].value = std::move(value);
    items_[it->second].comment = std::move(note);
    return;
  }
  items_.push_back(CParamItem{std::move(key), std::move(value), std::move(note)});
}

const CParamItem* CParamSection::Find(const std::string& key) const {
  auto it = index_.find(key);
  return it == index_.end() ? nullptr : &items_[it->second];
}

CParamSection& CParamDict::Section(const std::string& name) {
  for (auto& section : sections_)
    if (section.first == name) return section.second;
  sections_.emplace_back(name, CParamSection());
  return sections_.back().second;
}

CParamSection& CParamDict::JobSection(int jobNumber) {
  // A job writes all its items in a row, and jobs come in ascending order:
  // the section asked for is nearly always the last one.
  if (!jobs_.empty() && jobs_.rbegin()->first == jobNumber) return jobs_.rbegin()->second;
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
