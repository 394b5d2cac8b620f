#include "param_dict.h"

void CParamSection::Set(const std::string& key, const std::string& value, const char* comment) {
  std::optional<std::string> note;
  if (comment) note = std::string(comment);
  auto it = index_.find(key);
  if (it != index_.end()) {
    items_[it->second].value = value;
    items_[it->second].comment = std::move(note);
    return;
  }
  index_.emplace(key, items_.size());
  items_.push_back(CParamItem{key, value, std::move(note)});
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

CParamSection& CParamDict::JobSection(int jobNumber) { return jobs_[jobNumber]; }

const CParamSection* CParamDict::FindSection(const std::string& name) const {
  for (auto& section : sections_)
    if (section.first == name) return &section.second;
  return nullptr;
}

const CParamSection* CParamDict::FindJobSection(int jobNumber) const {
  auto it = jobs_.find(jobNumber);
  return it == jobs_.end() ? nullptr : &it->second;
}
