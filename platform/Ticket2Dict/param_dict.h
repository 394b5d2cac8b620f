// The output dictionary of a conversion: the parameter dictionary that the
// RIP engine reads. Named sections ("task", "setup", "environment", ...) and
// one section per job number; each section holds its items in the order of
// their first write, and a later write of a key replaces value and comment
// in place.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "qx_key_index.h"

struct CParamItem {
  std::string key;
  std::string value;
  std::optional<std::string> comment;  // empty when none was passed
};

class CParamSection {
 public:
  // Writes `key`: appends a new item, or replaces value and comment of the
  // item already there. Key and value are taken over, not copied again.
  void Set(std::string key, std::string value, const char* comment);
  const std::vector<CParamItem>& Items() const { return items_; }
  // The item for `key`, or null.
  const CParamItem* Find(const std::string& key) const;
  // Gives back the room reserved for items not written yet.
  void Compact() { items_.shrink_to_fit(); }

 private:
  struct KeyOf {
    const std::vector<CParamItem>& items;
    const std::string& operator()(size_t i) const { return items[i].key; }
  };
  std::vector<CParamItem> items_;
  QX_TKeyIndex index_;
};

class CParamDict {
 public:
  CParamSection& Section(const std::string& name);
  CParamSection& JobSection(int jobNumber);

  // Named sections in the order of their first write.
  const std::vector<std::pair<std::string, CParamSection>>& Sections() const { return sections_; }
  // Job sections by job number, ascending.
  const std::map<int, CParamSection>& JobSections() const { return jobs_; }

  // Lookups that create nothing; null when missing.
  const CParamSection* FindSection(const std::string& name) const;
  const CParamSection* FindJobSection(int jobNumber) const;

  void ClearJobs() { jobs_.clear(); }

 private:
  std::vector<std::pair<std::string, CParamSection>> sections_;
  std::map<int, CParamSection> jobs_;
};
