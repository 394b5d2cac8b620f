// Why the result is what it is: the history of one item for `explain`, read
// off a traced conversion (`lint` is in lint.h). Its words for the log's
// messages are the message catalogue's (docs/messages.md).
#pragma once

#include <string>
#include <vector>

#include "conversion.h"
#include "task_file.h"

namespace t2dhost {

// The history of item `item` ("setup.rsx", "jobs.2.hpos",
// "environment.QX_DATA_FONTS") in a traced conversion: every write of it in
// order, with the step and job, the value and comment written, that step
// run's reads, service requests and log entries, then the final value.
// `written` is false when the item was never written; the text is then one
// line naming the written keys of that section closest to it.
std::string ExplainItem(const Conversion& conversion, const std::string& item, bool& written);

// How many single-letter edits (insertions, deletions, substitutions and
// swaps of neighbours) turn `a` into `b`, letter case ignored; counting stops
// at `limit` + 1.
size_t EditDistance(const std::string& a, const std::string& b, size_t limit);

}  // namespace t2dhost
