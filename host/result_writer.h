// The result of a conversion: the JSON document of the task file's
// contract, the parameter dictionary as INI text (--format ini), the task
// log as lines, and the cleanup of the temporary files.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "conversion.h"
#include "param_dict.h"
#include "task.h"
#include "task_file.h"

namespace t2dhost {

// The result document of a conversion as JSON text, in FormatJson's layout:
// "dictionary", "log", "templateNames", "tempFiles", "jobDictionaries",
// "files" (WrittenFilesJson, read before the first piece is written), and
// "trace" when the conversion was traced. It is written straight from the
// converter's dictionary and the value library's values, never held as a
// JSON document.
std::string ResultText(const Conversion& conversion);

// ResultText handed to `sink` in pieces (about a megabyte each) as it is
// written, so that a large result is never held whole.
using ResultSink = std::function<void(const std::string& piece)>;
void WriteResult(const Conversion& conversion, const ResultSink& sink);

// JSON text, indented by two blanks, ending with a line break. Arrays of
// scalars, and objects of at most eight scalars inside arrays (items, log
// entries, inks), take one line; other containers one member a line. Tagged scalars such
// as {"@uint32": 7} count as scalars.
std::string FormatJson(const Json& json);

// The parameter dictionary as INI text: the sections "task", "setup",
// "environment" (each when present) and "job N" per job, one "key=value"
// line per item, the item's comment on a "; " line before it.
std::string IniText(const CParamDict& dictionary);

// The final value of every item as JSON objects, for scripts (--format
// flat): {"task": {KEY: VALUE}, "setup": {...}, "environment": {...}, other
// sections after them, "jobs": {"1": {...}}}; values as texts, no comments.
std::string FlatText(const CParamDict& dictionary);

// One task-log entry as the result's "log" holds it: "level", "text",
// "argument" (the three-argument form only), "step" and "job" (null when
// logged outside a step or a job).
Json LogEntryJson(const TW_TLogEntry& entry);

// One task-log entry as a line (without line break): the level, the text
// as a JSON string, for the three-argument form the argument in the typed
// encoding, and where it was logged: "(AddJobInfoGlobal, job 2)".
std::string LogLine(const TW_TLogEntry& entry);

// Where a log entry was logged, in words: "AddSetup_begin",
// "AddJobInfoGlobal, job 2"; empty when neither is known.
std::string LogEntryPlace(const std::string& step, std::optional<long long> job);

// What each registered temporary file holds now, in the order of the
// registrations: {"url", "text"} for a text file (UTF-8 without control
// characters but tab, line feed, carriage return and form feed),
// {"url", "bytes", "sha256"} for any other, {"url", "missing": true} for one
// that does not exist. A file that exists but can't be read (a FIFO, a
// device, a folder, no permission) raises std::runtime_error naming it.
Json WrittenFilesJson(const TW_TTask& task);

// The files that stand in `folders` (not in their sub-folders), by their
// resolved paths: taken before a conversion, what its cleanup leaves alone.
std::set<std::string> FilesBefore(const std::vector<std::string>& folders);

// Deletes the files registered with keep = false (a file also registered
// with keep = true stays), except those in `before`: a file that was there
// before the conversion is not the conversion's to delete. Answers one
// sentence per file that could not be deleted or was left for that reason.
std::vector<std::string> CleanupTempFiles(const TW_TTask& task, const std::set<std::string>& before = {});

}  // namespace t2dhost
