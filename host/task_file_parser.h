// The task file's JSON, parsed in one pass. The structure of the file (its
// top-level members, the setup, the AddJob calls, the servers) is kept as a
// JSON document for the reader to check key by key. The values handed to
// the converter as they are (the ticket's configuration and work
// dictionaries, the master dictionary, the jobs array and each call's job
// array) are large in a task with many jobs: they are built straight into
// the value library's types while parsing, and the document holds a
// placeholder for each.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "task_file.h"

namespace t2dhost {

// A value built while parsing: the value, or the message line of the first
// problem found in it (in the order of the file). A problem is reported when
// the reader reaches the value, so that problems of the file's structure
// keep their order.
struct PrebuiltValue {
  QX_TAny value;
  std::string error;
};

struct ParsedTaskFile {
  Json root;
  std::vector<PrebuiltValue> values;
};

// Parses `text`; raises TaskFileError for text that is not JSON (with its
// line and column), for a key that appears twice in one object and for
// nesting deeper than 200 levels, each named by its key path. `baseFolder`
// turns relative paths of {"@url": ...} into URLs.
ParsedTaskFile ParseTaskFileText(const std::string& text, const std::string& file, const std::string& baseFolder);

// Whether `json` is the placeholder of a prebuilt value, and which.
bool IsPrebuiltValue(const Json& json, size_t& index);

}  // namespace t2dhost
