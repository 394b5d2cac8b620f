// Comparing two results of `run --format json`: what changed between them,
// one difference a line, in words a reviewer reads at a glance
// ("setup.rsx: 1030 -> 745", "jobs.2.hpos: removed",
// "log: + [2] qxmsm.nojob (AddSetup_begin)").
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "task_file.h"

namespace t2dhost {

// A document that is not a result; the text says why, without the file.
class NotAResultError : public std::runtime_error {
 public:
  explicit NotAResultError(const std::string& why) : std::runtime_error(why) {}
};

// Raises NotAResultError when `result` is not a result document: an object
// with "dictionary" (sections of items, "jobs" keyed by job number), "log",
// "templateNames", "tempFiles" and "jobDictionaries", and "files" when
// present (each a text "url" with a text "text", with "bytes" and
// "sha256", or with "missing": true). Other members (such as "trace") are
// allowed and not compared.
void CheckResult(const Json& result);

// Reads and checks the result file at `path`. Raises NotAResultError whose
// text names the file and the problem (unreadable, not JSON, not a result).
Json ReadResultFile(const std::string& path);

struct DiffOptions {
  bool ignoreComments = false;  // item comments are not compared
};

// The differences from result `a` to result `b`, one a line, in this order:
// each dictionary section ("task", "setup", "environment", other named
// sections, then "jobs.N" by number) with its items added, removed, changed
// in value or comment, and moved; log entries removed and added; template
// names; temporary files; job dictionaries (key paths such as
// "jobDictionaries[0].JobName"); the written files by URL, texts line by
// line ("files: URL: [CIP3] JobName: Spring -> Autumn" for a key both hold
// in one section, else "files: URL: line N: - TEXT" / "+ TEXT"). A result
// without "files" has none. Empty when they are equal. Both must pass
// CheckResult.
std::vector<std::string> DiffResults(const Json& a, const Json& b, const DiffOptions& options = {});

// `ticket2dict diff A B [--ignore-comments]`: compares the two results in
// the placeholder form of `test` when either holds its placeholders
// (PlaceholdersBetween), prints the differences and
// answers the exit status (0 equal, 1 different, 2 a file is not a result,
// with one line on standard error naming it).
int DiffCommand(const std::string& pathA, const std::string& pathB, const DiffOptions& options);

}  // namespace t2dhost
