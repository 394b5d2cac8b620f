// CTicket2Dict: the framework's converter base class. It keeps the task and
// the output dictionary, stores the options the converter does not know,
// and offers the generic entry points that a converter overrides.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "param_dict.h"
#include "qxtypes.h"
#include "task.h"
#include "ticket.h"
#include "univtype.h"

// Options by name, in the order they were set.
class CStringKeyDict {
 public:
  void Set(const std::string& key, const CUnivType& value);
  const CUnivType* Find(const std::string& key) const;
  const std::vector<std::pair<std::string, CUnivType>>& Items() const { return items_; }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::pair<std::string, CUnivType>> items_;
};

// The observer of the item writes (CTicket2Dict_IWriteObserver) is declared
// with the other observation points in qx_observation.h.

class CTicket2Dict {
 public:
  explicit CTicket2Dict(TW_TTask& task) : task_(&task) {}
  CTicket2Dict(const CTicket2Dict&) = default;
  CTicket2Dict& operator=(const CTicket2Dict&) = delete;
  virtual ~CTicket2Dict() = default;

  // Keeps an option the converter does not know itself; answers true.
  virtual bool SetOption(const char* name, const CUnivType& value);
  // Copies the kept options into `options`; with `clearFirst`, the caller's
  // entries are dropped first.
  virtual void GetOptions(CStringKeyDict& options, bool clearFirst);
  // The generic conversion forms. The stand-in has no generic conversion:
  // both raise a std::logic_error saying so; converters use their own forms.
  virtual void SetupDict(AT_TTicket& ticket, QX_TDict& master, QX_TString& masterName, int filmIndex);
  virtual void AddJob(AT_TTicket& ticket, int jobIndex, QX_TDict& job, const QX_TURL& url, bool flag);
  // Drops every job section.
  virtual void ClearAllJobs();
  // The path as the RIP should see it; the stand-in maps no path.
  virtual QX_TString RemapPathName(const QX_TString& path) const;

  // Stores an item of a named section, or of a job's section.
  void SetValue(const char* section, const char* key, const CUnivType& value, const char* comment);
  void SetValue4Job(int jobNumber, const char* key, const CUnivType& value, const char* comment);

  // The whole output dictionary, for the host and the tests.
  const CParamDict& Dictionary() const { return dict_; }
  // The observer of the item writes (null: none; not owned).
  void SetWriteObserver(CTicket2Dict_IWriteObserver* observer) { writeObserver_ = observer; }
  // Whether someone hears the writes: a step builds the derivation of an
  // item it computed only then, so that no one pays for it otherwise.
  bool Deriving() const { return writeObserver_ != nullptr; }
  // How the running step computed item `key`, which it has just written,
  // for the observer (nothing without one); `inputs` as
  // CTicket2Dict_IWriteObserver::ItemDerived.
  void Derived(const std::string& key, const std::string& derivation, const std::vector<std::string>& inputs) const {
    if (writeObserver_ != nullptr) writeObserver_->ItemDerived(key, derivation, inputs);
  }
  TW_TTask& Task() const { return *task_; }

  // The verbosity setting: the converter logs its success notices only when
  // it is above 0.
  int verbosity = 0;

 private:
  TW_TTask* task_;
  CParamDict dict_;
  CStringKeyDict options_;
  CTicket2Dict_IWriteObserver* writeObserver_ = nullptr;
};

extern "C" bool __QX_INITIALIZATION_FUNCTION_Ticket2Dict__();
