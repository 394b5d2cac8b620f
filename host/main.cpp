// ticket2dict: runs the RIP task's ticket conversion from a task file and
// writes what the ticket turns into and what the converter logged; explains
// an item, lints a ticket, tests task files against their expected results,
// compares results, draws the plate, and prints the task file's schema.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "conversion.h"
#include "diagnostics.h"
#include "explain.h"
#include "flavour_loader.h"
#include "lint.h"
#include "os_file.h"
#include "program_output.h"
#include "regression.h"
#include "report.h"
#include "result_diff.h"
#include "result_writer.h"
#include "task_file.h"
#include "task_file_schema.h"

#ifndef T2D_VERSION
#define T2D_VERSION "unknown"
#endif

namespace {

constexpr int kExitConverted = 0;
constexpr int kExitUnexpected = 1;
constexpr int kExitBadTaskFile = 2;
constexpr int kExitFindings = 3;     // run --strict: a failure in the log; lint: an error or a warning
constexpr int kExitNeverWritten = 4;  // explain: no step wrote the item

// One line on standard error, whatever the text holds.
void Complain(const std::string& text) { std::cerr << "ticket2dict: " << t2dhost::OneLine(text) << "\n" << std::flush; }

// What every converting command does first: the framework started, the
// flavour loaded, the task file read. The flavour library stays loaded while
// the converters it creates live.
class Session {
 public:
  // Answers the exit status when the command can't go on, else 0.
  int Open(const std::string& taskFile, const std::string& flavourPath) {
    if (!__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__()) {
      Complain("the converter's framework libraries did not initialize");
      return kExitUnexpected;
    }
    try {
      if (!flavourPath.empty()) flavour_ = std::make_unique<t2dhost::Flavour>(flavourPath);
    } catch (const t2dhost::FlavourError& e) {
      Complain(e.what());
      return kExitBadTaskFile;
    }
    try {
      file_.emplace(t2dhost::ReadTaskFile(taskFile));
    } catch (const t2dhost::TaskFileError& e) {
      Complain(e.what());
      return kExitBadTaskFile;
    }
    return kExitConverted;
  }

  const t2dhost::TaskFile& File() const { return *file_; }
  t2dhost::ConverterFactory Factory() const { return flavour_ ? flavour_->Factory() : nullptr; }

 private:
  std::unique_ptr<t2dhost::Flavour> flavour_;
  std::optional<t2dhost::TaskFile> file_;
};

// Deletes the temporary files registered with keep = false when it goes,
// whatever happened after the conversion started; made before the
// conversion, it knows which files of the IPL data folders were there
// before, and leaves them.
class Cleanup {
 public:
  Cleanup(const t2dhost::TaskFile& file, const t2dhost::Conversion& conversion, bool enabled)
      : conversion_(conversion),
        enabled_(enabled),
        before_(enabled ? t2dhost::FilesBefore(t2dhost::IplDataFolders(file)) : std::set<std::string>()) {}
  ~Cleanup() {
    if (!enabled_) return;
    try {
      for (const std::string& problem : t2dhost::CleanupTempFiles(conversion_.Task(), before_))
        Complain("--cleanup: " + problem);
    } catch (const std::exception& e) {
      Complain(std::string("--cleanup: ") + e.what());
    }
  }
  Cleanup(const Cleanup&) = delete;
  Cleanup& operator=(const Cleanup&) = delete;

 private:
  const t2dhost::Conversion& conversion_;
  bool enabled_;
  std::set<std::string> before_;
};

struct RunOptions {
  std::string taskFile, output, format = "json", flavour;
  bool cleanup = false, trace = false, strict = false;
};

bool HasFailure(const TW_TTask& task) {
  for (const TW_TLogEntry& entry : task.Log())
    if (entry.level >= 2) return true;
  return false;
}

// What a finished `run` leaves for the end of the process. Freeing the
// values of a big master one by one takes a sixth of the run (10,000
// jobs), so the program ends without freeing them: by then the result is
// written and committed, the cleanup done, the streams restored. Builds with the sanitizers free everything, so
// that their leak check still sees the whole program.
struct LeftToExit {
  std::unique_ptr<Session> session;
  std::unique_ptr<t2dhost::Conversion> conversion;  // reads the session's task file: declared after it, freed first
};

#ifdef T2D_FREE_BEFORE_EXIT
constexpr bool kLeaveToExit = false;
#else
constexpr bool kLeaveToExit = true;
#endif

// Ends the process with `status` when `left` holds a conversion; answers
// `status` otherwise.
int ExitLeaving(LeftToExit& left, int status) {
  if (!kLeaveToExit || !left.conversion) return status;
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(status);
}

// run (and report): the output is opened before the conversion, so that a
// result that can't be written is known before anything is converted; the
// cleanup runs however the writing ends.
int Run(const RunOptions& options, bool report, LeftToExit& left) {
  if (options.trace && options.format != "json") {
    Complain("--trace adds the trace to the JSON result, which --format " + options.format +
             " does not write: use --format json");
    return kExitBadTaskFile;
  }
  auto owned = std::make_unique<Session>();
  Session& session = *owned;
  if (const int status = session.Open(options.taskFile, options.flavour)) return status;
  // "-o -" and the paths that name the standard output are standard output
  // itself, so that a shell's ">>" or pipe behind it keeps working.
  const bool toStandardOutput = options.output.empty() || qxos::NamedDescriptor(options.output) == 1;
  std::optional<qxos::FileReplacement> target;
  try {
    if (!toStandardOutput)
      target.emplace(options.output, "write the result", qxos::FileReplacement::Others::kWriteDirectly);
  } catch (const std::exception& e) {
    Complain(e.what());
    return kExitUnexpected;
  }
  // When the result goes to standard output, the converter's own traces go
  // to standard error; so do the report's, whose page is never where the
  // converter's traces belong.
  std::optional<t2dhost::StandardStreams> streams;
  if (!target || report) streams.emplace(t2dhost::StandardStreams::Traces::kToStandardError);
  const auto write = [&](const std::string& text) {
    if (target)
      target->Write(text);
    else
      streams->Out(text);
  };

  t2dhost::ConversionOptions conversionOptions;
  conversionOptions.trace = options.trace || report;
  auto converting = std::make_unique<t2dhost::Conversion>(session.File(), session.Factory(), conversionOptions);
  t2dhost::Conversion& conversion = *converting;
  const Cleanup cleanup(session.File(), conversion, options.cleanup);
  try {
    conversion.Run();
  } catch (const t2dhost::TaskFileError& e) {
    Complain(e.what());
    return kExitBadTaskFile;
  }
  if (report) {
    t2dhost::ReportInput input = t2dhost::ReportInputOf(session.File(), conversion);
    for (const t2dhost::LintFinding& finding : t2dhost::Lint(session.File(), conversion, false, session.Factory()))
      input.findings.push_back(t2dhost::ReportFinding{t2dhost::SeverityName(finding.severity), t2dhost::FindingText(finding)});
    write(t2dhost::ReportHtml(input));
  } else if (options.format == "ini" || options.format == "flat") {
    std::string log;
    for (const TW_TLogEntry& entry : conversion.Task().Log()) log += t2dhost::LogLine(entry) + "\n";
    if (streams)
      streams->Err(log);
    else
      std::cerr << log << std::flush;
    const CParamDict& dictionary = conversion.Converter().Dictionary();
    write(options.format == "ini" ? t2dhost::IniText(dictionary) : t2dhost::FlatText(dictionary));
  } else {
    t2dhost::WriteResult(conversion, write);
  }
  if (target) target->Commit();
  const int status = options.strict && HasFailure(conversion.Task()) ? kExitFindings : kExitConverted;
  left.session = std::move(owned);
  left.conversion = std::move(converting);
  return status;
}

// explain: a traced conversion, read off for the user; what they
// print goes to standard output, the converter's own traces to standard
// error. `readOff` prints and answers the exit status.
template <class ReadOff>
int ReadTracedConversion(const std::string& taskFile, const std::string& flavourPath, ReadOff readOff) {
  Session session;
  if (const int status = session.Open(taskFile, flavourPath)) return status;
  const t2dhost::StandardStreams streams(t2dhost::StandardStreams::Traces::kToStandardError);
  t2dhost::ConversionOptions options;
  options.trace = true;
  t2dhost::Conversion conversion(session.File(), session.Factory(), options);
  try {
    conversion.Run();
  } catch (const t2dhost::TaskFileError& e) {
    Complain(e.what());
    return kExitBadTaskFile;
  }
  return readOff(session.File(), conversion, streams);
}

// Whether `text` reads as a key path of the task file rather than as an
// item: it starts with a part of the task file that holds no items, or it
// holds an array position.
bool LooksLikeKeyPath(const std::string& text) {
  for (const char* root : {"ticket", "options", "shares", "servers", "verbosity", "task.mergeId", "task.templateNames"})
    if (text.compare(0, std::char_traits<char>::length(root), root) == 0) return true;
  return text.find('[') != std::string::npos;
}

int Explain(const std::string& taskFile, const std::string& item, const std::string& flavourPath) {
  return ReadTracedConversion(taskFile, flavourPath,
                              [&](const t2dhost::TaskFile&, const t2dhost::Conversion& conversion,
                                  const t2dhost::StandardStreams& streams) {
                                // A written item is explained as an item, a text that reads as a
                                // key path as a key path; when that finds nothing, the other
                                // reading is tried before the one line of exit status 4.
                                const bool asPath =
                                    !t2dhost::NamesWrittenItem(conversion, item) && LooksLikeKeyPath(item);
                                const auto explain = [&](bool keyPath, bool& found) {
                                  return keyPath ? t2dhost::ExplainKeyPath(conversion, item, found)
                                                 : t2dhost::ExplainItem(conversion, item, found);
                                };
                                bool found = false;
                                std::string text = explain(asPath, found);
                                if (!found) {
                                  bool other = false;
                                  std::string otherText = explain(!asPath, other);
                                  if (other) {
                                    text = std::move(otherText);
                                    found = true;
                                  }
                                }
                                streams.Out(found ? text : t2dhost::OneLine(text) + "\n");
                                return found ? kExitConverted : kExitNeverWritten;
                              });
}

// Where the installed documents are: share/doc/ticket2dict beside the
// program's own folder when it is there.
std::string DocumentsFolder() {
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path docs = program.parent_path().parent_path() / "share" / "doc" / "ticket2dict";
    if (std::filesystem::is_directory(docs, ec)) return docs.string();
  }
  return "PREFIX/share/doc/ticket2dict";
}

// The closing part of each subcommand's --help: its exit statuses.
std::string Footer(const std::string& exits) { return "\nExit status: " + exits; }

// The closing part of the program's --help: the sections that hold for
// every subcommand, headed as help2man makes them sections of the man page.
std::string ProgramFooter() {
  return std::string("\nExit status: see each subcommand's --help.\n\n") +
         "Environment:\n"
         "  QX_SERVER  the RIP server the converter's services are asked on (unset: the task file's default "
         "server \"\")\n"
         "  " + t2dhost::kMaxTaskFileSizeVariable + "  the largest task file read, in bytes (default 1 GiB)\n\n"
         "Files:\n"
         "  X.expected.json  the expected result of the task file X.json, beside it (test, diff)\n"
         "  " + DocumentsFolder() + "  the documents (docs/ in the source tree): host-program.md, task-file.md, "
         "messages.md, bad-input.md\n\n"
         "Examples:\n"
         "  $ ticket2dict run examples/typical.json\n"
         "  $ ticket2dict run examples/typical.json --format flat | jq -r '.jobs[\"1\"].hpos'\n"
         "  $ env -u QX_SERVER ticket2dict test examples/ --junit test-report.xml\n"
         "  $ ticket2dict explain examples/typical.json jobs.1.hpos\n"
         "  $ ticket2dict lint examples/multi-job.json\n"
         "  $ ticket2dict diff examples/typical.expected.json result.json\n"
         "  $ ticket2dict report examples/multi-job.json -o multi-job.html\n\n"
         "*See also*\n"
         "jq(1), chromium(1); in the documents: host-program.md (the commands and the result), task-file.md (the "
         "task file), messages.md (what each log entry means), bad-input.md (what bad input gives).";
}

// The subcommands, one a line with what it does: what a bare ticket2dict
// prints.
std::string CommandListing(const CLI::App& app) {
  std::string text = "usage: ticket2dict COMMAND ...; the commands:\n";
  for (const CLI::App* command : app.get_subcommands({}))
    text += "  " + command->get_name() + std::string(8 - std::min<size_t>(command->get_name().size(), 7), ' ') +
            command->get_description() + "\n";
  return text + "ticket2dict COMMAND --help tells a command's options, ticket2dict --help all.\n";
}

// `word` where a subcommand is expected but names none: one line naming the
// closest subcommand (at most two letters away), else the subcommands.
std::string UnknownCommand(const CLI::App& app, const std::string& word) {
  std::string closest, names;
  size_t best = 3;
  for (const CLI::App* command : app.get_subcommands({})) {
    names += (names.empty() ? "" : ", ") + command->get_name();
    const size_t distance = t2dhost::EditDistance(word, command->get_name(), 2);
    if (distance < best) best = distance, closest = command->get_name();
  }
  const std::string quoted = "\"" + t2dhost::OneLine(word) + "\"";
  if (!closest.empty()) return "unknown command " + quoted + "; did you mean \"" + closest + "\"?";
  return "unknown command " + quoted + "; the commands are " + names;
}

const char* const kConvertExits = "2 the task file can't be read or is malformed (one line on standard error), 1 "
                                  "anything else unexpected";

}  // namespace

int main(int argc, char** argv) {
  try {
    CLI::App app{"Runs the RIP task's ticket conversion on a task file and writes the parameter dictionary, the task "
                 "log, the template names, the temporary files and the job dictionaries; explains items, lints "
                 "tickets, tests task files against their expected results, compares results and draws the plate.",
                 "ticket2dict"};
    app.set_version_flag("--version", std::string("ticket2dict ") + T2D_VERSION);
    app.require_subcommand(1);
    app.footer(ProgramFooter());

    RunOptions runOptions;
    CLI::App* run = app.add_subcommand("run", "Convert TASKFILE and write the result");
    run->add_option("TASKFILE", runOptions.taskFile, "The task file (JSON); - reads it from standard input")
        ->required();
    run->add_option("-o,--output", runOptions.output,
                    "Write the result to FILE (replaced only when whole) instead of standard output")
        ->option_text("FILE");
    run->add_option("--format", runOptions.format,
                    "json: the whole result; ini: the parameter dictionary only; flat: each item's final value as "
                    "JSON objects per section, for jq (with ini and flat the task log goes to standard error)")
        ->check(CLI::IsMember({"json", "ini", "flat"}))
        ->option_text("json|ini|flat");
    run->add_flag("--cleanup", runOptions.cleanup,
                  "Delete the temporary files registered with keep = false at the end");
    run->add_option("--flavour", runOptions.flavour, "Convert with the flavour that the shared library LIB exports")
        ->option_text("LIB.so");
    run->add_flag("--trace", runOptions.trace,
                  "Add \"trace\" to the JSON result: every step run with what it read, asked and wrote");
    run->add_flag("--strict", runOptions.strict, "Exit with 3 when the log holds a failure (level 2)");
    run->footer(Footer(std::string("0 the conversion ran (failed steps are in the log), 3 with --strict when the log "
                                   "holds a failure, ") +
                       kConvertExits + "."));

    std::string explainTask, explainItem, explainFlavour;
    CLI::App* explain = app.add_subcommand("explain", "Tell how item ITEM got its value: every write of it, with "
                                                      "the step, what the step read and asked, then the final value");
    explain->add_option("TASKFILE", explainTask, "The task file (JSON); - reads it from standard input")->required();
    explain->add_option("ITEM|KEYPATH", explainItem,
                        "SECTION.KEY: setup.rsx, jobs.2.hpos, environment.QX_DATA_FONTS; or a key path of the task "
                        "file: ticket.shortId, setup.pageList, shares, "
                        "ticket.configuration.Masters.M1.Jobs[0].Rotation (every item its value went into)")
        ->required();
    explain->add_option("--flavour", explainFlavour, "Convert with the flavour that the shared library LIB exports")
        ->option_text("LIB.so");
    explain->footer(Footer(std::string("0 explained, 4 no step wrote the item or read the key path (one line "
                                       "naming the closest written items or read key paths), ") +
                           kConvertExits + "."));

    std::vector<std::string> lintPaths;
    std::string lintFlavour, lintFormat = "text";
    bool lintAll = false;
    CLI::App* lint = app.add_subcommand("lint", "Check task files and list every problem of each in one run: the "
                                                "failures in the log, values of the wrong class, probable "
                                                "misspellings, jobs off the plate or overlapping, output values "
                                                "built from an empty template name");
    lint->add_option("PATH", lintPaths, "A task file (- reads standard input), or a folder whose *.json task files "
                                        "are taken")
        ->required();
    lint->add_flag("--all", lintAll, "Also list every other ticket key that no step read");
    lint->add_option("--format", lintFormat,
                     "text: FILE:LINE:COLUMN: severity: message [code], one a line; json: one array of findings; "
                     "sarif: SARIF 2.1.0")
        ->check(CLI::IsMember({"text", "json", "sarif"}))
        ->option_text("text|json|sarif");
    lint->add_option("--flavour", lintFlavour, "Convert with the flavour that the shared library LIB exports")
        ->option_text("LIB.so");
    lint->footer(Footer("0 no error and no warning, 3 an error or a warning, 2 a file can't be read or is "
                        "malformed (a finding; the other files are still checked), 1 anything else unexpected."));

    std::vector<std::string> testPaths;
    t2dhost::RegressionOptions testOptions;
    std::string testFlavour;
    CLI::App* test = app.add_subcommand("test", "Convert task files and compare each result with its expected "
                                                "result X.expected.json");
    test->add_option("PATH", testPaths, "A task file, or a folder whose *.json task files are taken")->required();
    test->add_option("-j", testOptions.workers, "Convert in N threads (default: the number of cores)")
        ->check(CLI::Range(1, 1024))
        ->option_text("N");
    test->add_flag("--update", testOptions.update, "Write the expected results instead of comparing");
    std::string testJunit;
    test->add_option("--junit", testJunit,
                     "Also write a JUnit XML report to FILE: one test case per task file, its differences as the "
                     "failure text")
        ->option_text("FILE");
    test->add_option("--flavour", testFlavour, "Convert with the flavour that the shared library LIB exports")
        ->option_text("LIB.so");
    test->footer(Footer("0 every task passed, 1 a task failed or the JUnit report can't be written, 2 a path can't "
                        "be tested or the command line is wrong."));

    std::string resultA, resultB;
    t2dhost::DiffOptions diffOptions;
    CLI::App* diff = app.add_subcommand("diff", "Compare two JSON results item by item");
    diff->add_option("RESULT_A", resultA, "The first result (run --format json)")->required();
    diff->add_option("RESULT_B", resultB, "The result compared with it")->required();
    diff->add_flag("--ignore-comments", diffOptions.ignoreComments, "Do not compare the items' comments");
    diff->footer(Footer("0 equal, 1 different, 2 a file is not a result (one line on standard error)."));

    RunOptions reportOptions;
    CLI::App* report = app.add_subcommand("report", "Convert TASKFILE and write a page that shows the plate, the "
                                                    "jobs, the parameter dictionary and the log");
    report->add_option("TASKFILE", reportOptions.taskFile, "The task file (JSON); - reads it from standard input")
        ->required();
    report->add_option("-o,--output", reportOptions.output, "The page to write (required)")
        ->option_text("FILE.html")
        ->required();
    report->add_option("--flavour", reportOptions.flavour, "Convert with the flavour that the shared library LIB exports")
        ->option_text("LIB.so");
    report->footer(Footer(std::string("0 the page was written, ") + kConvertExits + "."));

    CLI::App* schema = app.add_subcommand("schema", "Print the JSON Schema (draft 2020-12) of the task file");
    schema->footer(Footer("0."));

    const CLI::App& commands = app;
    if (argc < 2) {
      std::cerr << CommandListing(commands) << std::flush;
      return kExitBadTaskFile;
    }
    const auto named = [&](const CLI::App* command) { return command->get_name() == argv[1]; };
    if (argv[1][0] != '-' && commands.get_subcommands(named).empty()) {
      Complain(UnknownCommand(commands, argv[1]));
      return kExitBadTaskFile;
    }
    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
      const int code = app.exit(e);
      return code == 0 ? kExitConverted : kExitBadTaskFile;
    }
    if (schema->parsed()) {
      const t2dhost::StandardStreams streams(t2dhost::StandardStreams::Traces::kToStandardError);
      streams.Out(std::string(t2dhost::TaskFileSchema()));
      return kExitConverted;
    }
    if (diff->parsed()) return t2dhost::DiffCommand(resultA, resultB, diffOptions);
    if (test->parsed()) return t2dhost::TestCommand(testPaths, testOptions, testFlavour, testJunit);
    if (explain->parsed()) return Explain(explainTask, explainItem, explainFlavour);
    if (lint->parsed())
      return t2dhost::LintCommand(lintPaths, lintAll,
                                  lintFormat == "json"    ? t2dhost::LintFormat::kJson
                                  : lintFormat == "sarif" ? t2dhost::LintFormat::kSarif
                                                          : t2dhost::LintFormat::kText,
                                  lintFlavour);
    LeftToExit left;
    return ExitLeaving(left, Run(report->parsed() ? reportOptions : runOptions, report->parsed(), left));
  } catch (const std::bad_alloc&) {
    Complain("out of memory");
    return kExitUnexpected;
  } catch (const std::exception& e) {
    Complain(std::string("unexpected failure: ") + e.what());
    return kExitUnexpected;
  } catch (...) {
    Complain("unexpected failure");
    return kExitUnexpected;
  }
}
