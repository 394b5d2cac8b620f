// Regression tests of task files against their expected results: each task
// file X.json is converted and its result compared with X.expected.json
// beside it (or, when updating, written there). Tasks run in a pool of
// worker threads; what is reported never depends on their number.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "conversion.h"
#include "task_file.h"

namespace t2dhost {

// A path that can't be tested: it does not exist, or names an expected
// result rather than a task file.
class RegressionError : public std::runtime_error {
 public:
  explicit RegressionError(const std::string& what) : std::runtime_error(what) {}
};

// The task files that `paths` name, in their order: a file as given; for a
// folder, its files "*.json" that are not "*.expected.json", sorted by name
// (sub-folders are not entered). A file named twice is taken once. Raises
// RegressionError for a path that does not exist or can't be listed.
std::vector<std::string> FindTaskFiles(const std::vector<std::string>& paths);

// The expected result of task file "X.json": "X.expected.json" beside it.
std::string ExpectedResultPath(const std::string& taskFile);

// What a result holds that depends on where it was made. Expected results
// store these as "<hostname>" (a text equal to the host name) and
// "<taskdir>" (the task file's absolute folder, wherever a text holds it,
// as the start of a path).
struct Placeholders {
  std::string hostName;    // empty: nothing replaced
  std::string taskFolder;  // empty or "/": nothing replaced
};

// The placeholders for a task file on this machine: the host name, and the
// folder that the task file's relative paths are resolved against.
Placeholders PlaceholdersFor(const std::string& taskFile);

// Replaces, in every text value of `result` (keys stay), the task folder by
// "<taskdir>" and a text equal to the host name by "<hostname>".
void Normalise(Json& result, const Placeholders& placeholders);

// The placeholders under which `a` and `b` compare, when either holds those
// of an expected result: this machine's host name when a text of either is
// "<hostname>", and the folder that "<taskdir>" stands for: tried for each
// text holding it, in document order, against the texts of the other side,
// the first absolute folder with which Normalise gives that text back.
// Empty members where neither placeholder is held or no folder fits.
Placeholders PlaceholdersBetween(const Json& a, const Json& b);

struct RegressionOptions {
  size_t workers = 0;                // 0: the number of cores
  bool update = false;               // write the expected results instead of comparing
  ConverterFactory factory;          // null: the base converter
};

// What became of one task file.
struct TaskOutcome {
  enum class Verdict { kPassed, kFailed, kWritten, kUnchanged };
  std::string name;  // the task file, as FindTaskFiles gave it
  Verdict verdict = Verdict::kFailed;
  // For a failure: the differences from the expected result, or the one
  // line that says why there is nothing to compare. When updating: the
  // expected result's path.
  std::vector<std::string> details;
};

struct RegressionObserver {
  // Each outcome, in the order of the task files, as soon as it and all
  // before it are known. Called on the thread that called RunRegression.
  std::function<void(const TaskOutcome&)> outcome;
  // After each finished task (in any order): how many are finished, how
  // many of them failed. Same thread.
  std::function<void(size_t done, size_t failed)> progress;
};

// Converts every task file in `options.workers` threads, then compares each
// result (normalised) with its expected result, or writes it there. Tasks
// whose IPL servers share a data folder (the CIP3 copies are written there)
// never run at the same moment. Temporary files registered with keep = false
// are deleted after each conversion. Answers the outcomes in the order of
// `taskFiles`.
std::vector<TaskOutcome> RunRegression(const std::vector<std::string>& taskFiles, const RegressionOptions& options,
                                       const RegressionObserver& observer = {});

// The JUnit XML report of the outcomes, as CI servers read it: one
// <testsuites> holding one <testsuite> with the counts, one <testcase> per
// task file (name: the file's name, classname: its folder as given), and
// for a failed task a <failure> whose message is its first difference (with
// the count when there are more) and whose text is every difference, one a
// line. Control characters are written as escapes, ill-formed UTF-8
// replaced.
std::string JUnitReport(const std::vector<TaskOutcome>& outcomes);

// `ticket2dict test PATH... [-j N] [--update] [--junit FILE] [--flavour
// LIB.so]`: prints "ok NAME" or "FAIL NAME" with its differences indented
// (when updating, "wrote FILE" or "unchanged FILE"), then the closing
// count, writes the JUnit report to `junitPath` when one is given (opened
// before converting: one that can't be written is exit status 1), and
// answers the exit status: 0 when every task passed, 1 otherwise, 2 for a
// path that can't be tested or a flavour that can't be loaded. The
// converter's own traces are silenced while it runs; on a terminal, a
// progress line goes to standard error.
int TestCommand(const std::vector<std::string>& paths, const RegressionOptions& options,
                const std::string& flavourPath, const std::string& junitPath = std::string());

}  // namespace t2dhost
