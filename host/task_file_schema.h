// The JSON Schema (draft 2020-12) of the task file, docs/task-file.schema.json,
// built into the program: `ticket2dict schema` prints it.
#pragma once

#include <string_view>

namespace t2dhost {

// The bytes of docs/task-file.schema.json as the program was built with it.
std::string_view TaskFileSchema();

}  // namespace t2dhost
