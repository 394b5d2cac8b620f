#include "ticket2dict.h"

#include <stdexcept>

#include "qxinit.h"

void CStringKeyDict::Set(const std::string& key, const CUnivType& value) {
  for (auto& item : items_)
    if (item.first == key) {
      item.second = value;
      return;
    }
  items_.emplace_back(key, value);
}

const CUnivType* CStringKeyDict::Find(const std::string& key) const {
  for (auto& item : items_)
    if (item.first == key) return &item.second;
  return nullptr;
}

bool CTicket2Dict::SetOption(const char* name, const CUnivType& value) {
  options_.Set(name ? name : "", value);
  return true;
}

void CTicket2Dict::GetOptions(CStringKeyDict& options, bool clearFirst) {
  if (clearFirst) options.Clear();
  for (auto& item : options_.Items()) options.Set(item.first, item.second);
}

void CTicket2Dict::SetupDict(AT_TTicket&, QX_TDict&, QX_TString&, int) {
  throw std::logic_error("CTicket2Dict::SetupDict - the generic form is not offered; use the converter's own form");
}

void CTicket2Dict::AddJob(AT_TTicket&, int, QX_TDict&, const QX_TURL&, bool) {
  throw std::logic_error("CTicket2Dict::AddJob - the generic form is not offered; use the converter's own form");
}

void CTicket2Dict::ClearAllJobs() { dict_.ClearJobs(); }

QX_TString CTicket2Dict::RemapPathName(const QX_TString& path) const { return path; }

void CTicket2Dict::SetValue(const char* section, const char* key, const CUnivType& value, const char* comment) {
  if (writeObserver_ != nullptr) writeObserver_->ItemWritten(section ? section : "", 0, key ? key : "", value.Text(), comment);
  dict_.Section(section ? section : "").Set(key ? key : "", value.Text(), comment);
}

void CTicket2Dict::SetValue4Job(int jobNumber, const char* key, const CUnivType& value, const char* comment) {
  if (writeObserver_ != nullptr) writeObserver_->ItemWritten(nullptr, jobNumber, key ? key : "", value.Text(), comment);
  dict_.JobSection(jobNumber).Set(key ? key : "", value.Text(), comment);
}

extern "C" bool __QX_INITIALIZATION_FUNCTION_Ticket2Dict__() { return qxinit::Run("Ticket2Dict"); }
