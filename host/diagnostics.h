// What is wrong in a task file: the findings of `lint` (the log's failures
// and the probable misspellings in the ticket), read off a traced
// conversion (`explain` is in explain.h). Their words for the log's
// messages are the message catalogue's (docs/messages.md).
#pragma once

#include <string>
#include <vector>

#include "conversion.h"
#include "task_file.h"

namespace t2dhost {

struct LintFinding {
  enum class Severity { kError, kWarning, kNote };
  Severity severity;
  std::string text;  // one line
};

// "error", "warning" or "note".
const char* SeverityName(LintFinding::Severity severity);

// The findings of a traced conversion of `file`, most severe first:
// - an error for each level-2 entry of the log, with its step and job;
// - a warning for each key of the ticket's values (the configuration, the
//   work dictionary, the master dictionary, the jobs arrays) that no step
//   read, while a step asked for a key of the same dictionary that is absent
//   and differs from it by at most two letters (letter case ignored): a
//   probable misspelling;
// - with `all`, a note for every other key that no step read.
std::vector<LintFinding> Lint(const TaskFile& file, const Conversion& conversion, bool all);

// A finding as `lint` prints it: "warning: ...".
std::string FindingLine(const LintFinding& finding);

// How many single-letter edits (insertions, deletions, substitutions and
// swaps of neighbours) turn `a` into `b`, letter case ignored; counting stops
// at `limit` + 1.
size_t EditDistance(const std::string& a, const std::string& b, size_t limit);

}  // namespace t2dhost
