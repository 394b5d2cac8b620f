// The task file's JSON, parsed in one pass, and the one decoder of the typed
// encoding. The structure of the file (its top-level members, the setup,
// the AddJob calls, the servers) is kept as a JSON document for the reader
// to check key by key. Every typed value (the ticket's configuration and
// work dictionaries, the master dictionary, the jobs array and each call's
// job array, the template names' values, the services' answers) is built
// straight into the value library's types while parsing, tags included, and
// the document holds a placeholder for each. The dictionaries, trees and
// arrays built get their origin: their key path in the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "task_file.h"

namespace t2dhost {

// A value built while parsing: the value, or the message line of the first
// problem found in it. A problem is reported when the reader reaches the
// value, so that problems of the file's structure keep their order.
struct PrebuiltValue {
  QX_TAny value;
  std::string error;
  const char* kind = "";  // its JSON kind, as messages name it ("an object", "a text", ...)
};

struct ParsedTaskFile {
  Json root;
  std::vector<PrebuiltValue> values;
  KeyPositions positions;  // only when asked for
};

// Parses `text`; raises TaskFileError for text that is not JSON (with its
// line and column), for a NUL character (raw, or in a text or key), for a key
// that appears twice in one object and for nesting deeper than 200 levels,
// each named by its position or key path. `baseFolder` turns relative paths
// of {"@url": ...} into URLs. With `positions`, where every key and every
// element that is an object or array stands.
ParsedTaskFile ParseTaskFileText(const std::string& text, const std::string& file, const std::string& baseFolder,
                                 bool positions = false);

// Parses `text` as one typed value standing at key path `where`.
PrebuiltValue ParseValueText(const std::string& text, const std::string& file, const std::string& where,
                             const std::string& baseFolder);

// Whether `json` is the placeholder of a prebuilt value, and which.
bool IsPrebuiltValue(const Json& json, size_t& index);

// The JSON kind of `json` as messages name it ("an object", "a text", ...).
const char* KindOf(const Json& json);

// Whether `json` is a number written without '.', 'e' or 'E' (an integer of
// the typed encoding), and its value when it fits 64 bits (kHuge when not).
enum class IntegerKind { kNotInteger, kInteger, kHuge };
IntegerKind IntegerOf(const Json& json, int64_t& value);

}  // namespace t2dhost
