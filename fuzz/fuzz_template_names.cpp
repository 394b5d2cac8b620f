// Template-name resolution and the output-naming placeholder scan on
// arbitrary texts. The input is NUL-separated: the text to resolve first,
// then (name, value) pairs to define; a pair whose value starts with "@"
// defines the name without a value. Resolution must leave a text without
// placeholders unchanged and never fail on a defined name.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "qxtypes.h"
#include "setup_shared.h"
#include "tname.h"
#include "ticket2dict_msbasetask.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> fields;
  size_t position = 0;
  while (position <= input.size() && fields.size() < 21) {
    const size_t next = std::min(input.find('\0', position), input.size());
    fields.push_back(input.substr(position, next - position));
    position = next + 1;
  }
  const std::string& text = fields[0];

  TName names;
  for (size_t i = 1; i + 1 < fields.size(); i += 2) {
    try {
      if (!fields[i + 1].empty() && fields[i + 1][0] == '@')
        names.Define(QX_TString(fields[i]), 0, 0);
      else if (fields[i + 1].rfind("url:", 0) == 0)
        names.SetValue(QX_TString(fields[i]), QX_TURL::LocalToURL(QX_TString(fields[i + 1].substr(4))));
      else
        names.SetValue(QX_TString(fields[i]), QX_TString(fields[i + 1]));
    } catch (const std::exception&) {
      // A URL the library refuses.
    }
  }

  QX_TString resolved("unchanged");
  const bool ok = names.Resolve(QX_TString(text), resolved);
  if (!ok && resolved.Str() != "unchanged") std::abort();
  if (text.find('<') == std::string::npos && (!ok || resolved.Str() != text)) std::abort();

  QX_TURL url;
  try {
    names.Resolve(QX_TString(text), url);
  } catch (const std::exception&) {
    // Not a URL nor an absolute path once resolved.
  }

  (void)t2d_setup::JobInsidePlaceholder(text);
  return 0;
}
