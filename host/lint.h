// `lint`: every mistake of a task file in one run. The failures in the log,
// the values whose class is not the class their key is read as (the table of
// ticket keys, in every master and job, read or not), probable misspellings,
// jobs that leave the plate or overlap, and output values built from an
// empty template name; each finding with a stable code, its key path, its job
// and where it stands in the file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "conversion.h"
#include "task_file.h"

namespace t2dhost {

struct LintFinding {
  enum class Severity { kError, kWarning, kNote };
  Severity severity = Severity::kError;
  // "type", "misspelling", "off-plate", "overlap", "empty-template",
  // "unread", "malformed", or a log entry's catalogue key.
  std::string code;
  std::string path;        // the key path, where the finding has one
  std::optional<int> job;  // the job number, where it has one
  FilePosition position;   // line 0: unknown
  std::string message;     // one line
  std::string hint;        // how to fix it, or ""
};

// "error", "warning" or "note".
const char* SeverityName(LintFinding::Severity severity);

// A finding without its place and severity: "MESSAGE (HINT) [CODE]".
std::string FindingText(const LintFinding& finding);
// With its severity: "warning: MESSAGE (HINT) [CODE]".
std::string FindingLine(const LintFinding& finding);

// The findings of `file` after its traced `conversion`, most severe first.
// Values of the wrong class are also read, in a copy, as the class their key
// wants, and that copy converted again with `factory`, so that what lies
// behind a failed step (a misspelt key it would have asked for, the job's
// placement) is seen too. With `all`, a note for every other key of the
// ticket that no step read.
std::vector<LintFinding> Lint(const TaskFile& file, const Conversion& conversion, bool all,
                              ConverterFactory factory = nullptr);

enum class LintFormat { kText, kJson, kSarif };

// `ticket2dict lint PATH... [--all] [--format text|json|sarif]`: lints every
// task file that `paths` name (files, and folders as `test` takes them),
// prints the findings to standard output and answers the exit status: 0
// without an error or warning, 3 with one, 2 when a file can't be read or is
// malformed (the others are still checked) or the flavour can't be loaded.
int LintCommand(const std::vector<std::string>& paths, bool all, LintFormat format, const std::string& flavourPath);

// The findings of several files as `--format` writes them: text lines
// "FILE:LINE:COLUMN: severity: message [code]", a JSON array, or a SARIF
// 2.1.0 log.
struct FileFindings {
  std::string file;
  std::vector<LintFinding> findings;
};
std::string FormatFindings(const std::vector<FileFindings>& files, LintFormat format);

}  // namespace t2dhost
