// TName: the task's template names. Each name is defined with or without a
// value (a text or a URL). Resolving a text replaces every placeholder
// "<name>" by the value of the defined name (a URL by its text form; a name
// without a value by the empty text), in one pass: inserted values are not
// resolved again. Each name a placeholder asks for is heard by the thread's
// read observer (qx_observation.h).
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "qxtypes.h"

using TName_Type = int;
using TName_Lookup = int;

class TName {
 public:
  struct Entry {
    QX_TString name;
    // Empty: defined without a value.
    std::optional<QX_TAny> value;
  };

  TName() = default;
  virtual ~TName() = default;

  // Resolves `text` into `result`. A placeholder is "<" followed by at least
  // one character other than "<" and ">", then ">"; every other character,
  // a "<" without its ">" included, is copied. Answers false and leaves
  // `result` unchanged when a placeholder names an undefined name.
  virtual bool Resolve(const QX_TString& text, QX_TString& result) const;
  // The same, then a URL from the resolved text (a URL text is kept, a path
  // goes through QX_TURL::LocalToURL, the empty text gives the empty URL).
  // A resolved text that is neither a URL nor an absolute path raises
  // QX_EException and leaves `result` unchanged.
  virtual bool Resolve(const QX_TString& text, QX_TURL& result) const;

  virtual bool IsDefined(const QX_TString& name) const;
  // Defines `name` without a value; a defined name keeps its value. The
  // converter passes 0 for both type and lookup. Answers true.
  virtual bool Define(const QX_TString& name, TName_Type type, TName_Lookup lookup);
  // Sets the value, defining the name if needed.
  virtual void SetValue(const QX_TString& name, const QX_TString& value);
  virtual void SetValue(const QX_TString& name, const QX_TURL& value);

  // Every defined name, in the order of definition.
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  Entry& FindOrAdd(const QX_TString& name);
  std::vector<Entry> entries_;
  std::unordered_map<std::string, size_t> index_;
};

extern "C" bool __QX_INITIALIZATION_FUNCTION_templatenames__();
