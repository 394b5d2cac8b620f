// The observation points of the framework: everything the host's
// diagnostics (`run --trace`, `explain`, `lint`) hear from the libraries
// while a conversion runs. This is the one surface a port to another
// framework must provide for the diagnostics; the conversion itself never
// depends on anyone listening.
//
// - Reads (QX_IReadObserver, bound to the calling thread): every lookup in a
//   dictionary, tree or array that has a place in the task file
//   (QX_TOrigin), and every value handed over outside those collections:
//   the ticket's own values, the task's merge identifier and template names,
//   the arguments of the converter's entry points, its options and the
//   shared folders (ValueRead).
// - Service requests (QXM_ICallObserver, set on the registry of servers).
// - Item writes (CTicket2Dict_IWriteObserver, set on the converter), and the
//   derivation of an item that a step computed rather than copied: how, in
//   words with the numbers that went in, and which reads went into it.
//
// Without an observer each point costs one pointer test; a step builds a
// derivation only when a write observer listens (CTicket2Dict::Deriving).
// Without these points `run`, `test`, `diff`, `report` and the log's step
// and job still work (the step observer is the converter's own); `--trace`
// then records runs without reads, calls and writes, `explain` finds no
// writes and `lint` finds no misspellings.
#pragma once

#include <string>
#include <vector>

#include "qx_any.h"

class QX_TOrigin;
class QX_TString;

// Where a value read outside the task file's collections comes from.
enum class QX_EValueSource {
  kTicket,        // an accessor of the job ticket: "DeviceName", "TaskID", "ShortID", "UserName"
  kTask,          // an accessor of the task: "MergeID"
  kTemplateName,  // a template name the task resolved: the name
  kArgument,      // an argument of the converter's entry points: "pageList", "pageFlag1", "filmIndex", ...
  kOption,        // an option the converter was given: its name
  kShare,         // a shared folder a local path was found on: the folder as it was given
};

// Hears the reads of one conversion, on the thread it is bound to. The value
// is null for a key asked for and not there (a presence test that answered
// false, or a read of a missing key, an undefined template name, a path on no
// shared folder); a presence test that answered true is heard as MemberFound.
class QX_IReadObserver {
 public:
  virtual ~QX_IReadObserver() = default;
  virtual void MemberRead(const QX_TOrigin& collection, const QX_TString& key, const QX_TAny* value) = 0;
  virtual void MemberFound(const QX_TOrigin& collection, const QX_TString& key) = 0;
  virtual void ElementRead(const QX_TOrigin& array, size_t position, const QX_TAny& value) = 0;
  virtual void ValueRead(QX_EValueSource source, const std::string& name, const QX_TAny* value) = 0;
};

// Binds a read observer to the calling thread while it lives (the previous
// one is restored after). A conversion runs on one thread, so the lookups of
// two conversions on two threads reach their own observers.
class QX_TReadObserverBinding {
 public:
  explicit QX_TReadObserverBinding(QX_IReadObserver* observer);
  ~QX_TReadObserverBinding();
  QX_TReadObserverBinding(const QX_TReadObserverBinding&) = delete;
  QX_TReadObserverBinding& operator=(const QX_TReadObserverBinding&) = delete;

  // The observer bound to the calling thread, or null.
  static QX_IReadObserver* Current();

 private:
  QX_IReadObserver* previous_;
};

// Tells the observer bound to the calling thread, if any, that `value` was
// read from `source` under `name`; the value is wrapped only when one listens.
template <class T>
void QX_HeardValue(QX_EValueSource source, const char* name, const T& value) {
  if (QX_IReadObserver* observer = QX_TReadObserverBinding::Current()) {
    const QX_TAny any(value);
    observer->ValueRead(source, name, &any);
  }
}

// Hears every call and request that a client makes through the registry it
// was given to. `method` is the remote method, or for a dictionary request
// its "M" entry; a refused connection is heard as the method "Connect" with
// the server's name as its argument.
class QXM_ICallObserver {
 public:
  virtual ~QXM_ICallObserver() = default;
  virtual void Answered(const QX_TString& service, const QX_TString& method, const std::vector<QX_TAny>& arguments,
                        const QX_TAny& answer) = 0;
  virtual void Failed(const QX_TString& service, const QX_TString& method, const std::vector<QX_TAny>& arguments,
                      const std::string& error) = 0;
};

// Hears every item written into a converter's output dictionary: into the
// named `section`, or, when `section` is null, into the section of job
// `jobNumber`. `comment` is null when none was passed. ItemDerived follows
// the write of item `key` that the running step computed: `derivation` says
// how ("(HPos 12700 + TopMargin 2540) / 254 = 60; Rotation 90: the top margin
// leads"), `inputs` names what went in: keys the step looked up ("HPos",
// "SelectArea[0]") or names of values read outside the collections
// ("pageList", "DeviceName").
class CTicket2Dict_IWriteObserver {
 public:
  virtual ~CTicket2Dict_IWriteObserver() = default;
  virtual void ItemWritten(const char* section, int jobNumber, const std::string& key, const std::string& value,
                           const char* comment) = 0;
  virtual void ItemDerived(const std::string& key, const std::string& derivation,
                           const std::vector<std::string>& inputs) = 0;
};
