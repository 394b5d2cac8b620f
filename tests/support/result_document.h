// The result of a conversion built as a JSON document, member by member, the
// plain way: the check of the host's result writer, which writes the same
// result as text straight from the conversion (ResultText).
#pragma once

#include "conversion.h"
#include "task_file.h"

namespace resulttest {

t2dhost::Json ResultJson(const t2dhost::Conversion& conversion);

}  // namespace resulttest
