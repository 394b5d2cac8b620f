// ticket2dict: runs the RIP task's ticket conversion from a task file and
// writes what the ticket turns into, and what the converter logged.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "conversion.h"
#include "flavour_loader.h"
#include "regression.h"
#include "result_diff.h"
#include "report.h"
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

// A file written under a temporary name beside `target` and renamed when
// it is whole, so that the target is either the whole result or untouched.
class AtomicFile {
 public:
  explicit AtomicFile(const std::string& target) : target_(target) {
    const std::filesystem::path path(target);
    temporary_ = (path.has_parent_path() ? path.parent_path() / ("." + path.filename().string())
                                         : std::filesystem::path("." + path.filename().string()))
                     .string() +
                 ".XXXXXX";
    fd_ = mkstemp(temporary_.data());
    if (fd_ < 0) throw std::runtime_error("can't write " + target + ": " + std::strerror(errno));
  }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  // Without Commit, the temporary file goes and the target stays as it was.
  ~AtomicFile() {
    if (fd_ >= 0) close(fd_);
    if (!committed_) unlink(temporary_.c_str());
  }

  void Write(const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
      const ssize_t n = write(fd_, text.data() + written, text.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw std::runtime_error("can't write " + target_ + ": " + std::strerror(errno));
      written += static_cast<size_t>(n);
    }
  }

  void Commit() {
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0 || std::rename(temporary_.c_str(), target_.c_str()) != 0)
      throw std::runtime_error("can't write " + target_ + ": " + std::strerror(errno));
    committed_ = true;
  }

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  bool committed_ = false;
};

void WriteToStandardOutput(const std::string& text) {
  std::cout << text << std::flush;
  if (!std::cout) throw std::runtime_error("can't write the result to standard output");
}

int Run(const std::string& taskFilePath, const std::string& output, const std::string& format, bool cleanup,
        const std::string& flavourPath) {
  if (!__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__()) {
    std::cerr << "ticket2dict: the converter's framework libraries did not initialize\n";
    return kExitUnexpected;
  }
  // The flavour library is loaded first and stays loaded until the
  // conversion, and the converter it created, are gone.
  std::unique_ptr<t2dhost::Flavour> flavour;
  try {
    if (!flavourPath.empty()) flavour = std::make_unique<t2dhost::Flavour>(flavourPath);
  } catch (const t2dhost::FlavourError& e) {
    std::cerr << "ticket2dict: " << e.what() << "\n";
    return kExitBadTaskFile;
  }
  try {
    const t2dhost::TaskFile file = t2dhost::ReadTaskFile(taskFilePath);
    t2dhost::Conversion conversion(file, flavour ? flavour->Factory() : nullptr);
    conversion.Run();
    // The converter's traces on standard output come before the result.
    std::fflush(stdout);
    std::optional<AtomicFile> target;
    if (!output.empty()) target.emplace(output);
    const auto write = [&target](const std::string& text) {
      if (target)
        target->Write(text);
      else
        WriteToStandardOutput(text);
    };
    if (format == "report") {
      write(t2dhost::ReportHtml(t2dhost::ReportInputOf(file, conversion)));
    } else if (format == "ini") {
      const std::string text = t2dhost::IniText(conversion.Converter().Dictionary());
      for (const TW_TLogEntry& entry : conversion.Task().Log()) std::cerr << t2dhost::LogLine(entry) << "\n";
      std::cerr.flush();
      write(text);
    } else {
      t2dhost::WriteResult(conversion, write);
    }
    if (target) target->Commit();

    if (cleanup)
      for (const std::string& problem : t2dhost::CleanupTempFiles(conversion.Task()))
        std::cerr << "ticket2dict: --cleanup: " << problem << "\n";
  } catch (const t2dhost::TaskFileError& e) {
    std::cerr << "ticket2dict: " << e.what() << "\n";
    return kExitBadTaskFile;
  }
  return kExitConverted;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    CLI::App app{"Runs the RIP task's ticket conversion on a task file and writes the parameter dictionary, the task "
                 "log, the template names, the temporary files and the job dictionaries.",
                 "ticket2dict"};
    app.set_version_flag("--version", std::string("ticket2dict ") + T2D_VERSION);
    app.require_subcommand(1);

    std::string taskFile, output, format = "json", flavour;
    bool cleanup = false;
    CLI::App* run = app.add_subcommand("run", "Convert TASKFILE and write the result");
    run->add_option("TASKFILE", taskFile, "The task file (JSON)")->required();
    run->add_option("-o,--output", output, "Write the result to FILE instead of standard output")
        ->option_text("FILE");
    run->add_option("--format", format, "json: the whole result; ini: the parameter dictionary only, the task log "
                                        "on standard error")
        ->check(CLI::IsMember({"json", "ini"}))
        ->option_text("json|ini");
    run->add_flag("--cleanup", cleanup, "Delete the temporary files registered with keep = false at the end");
    run->add_option("--flavour", flavour, "Convert with the flavour that the shared library LIB exports")
        ->option_text("LIB.so");
    CLI::App* schema = app.add_subcommand("schema", "Print the JSON Schema (draft 2020-12) of the task file");

    std::string resultA, resultB;
    t2dhost::DiffOptions diffOptions;
    CLI::App* diff = app.add_subcommand("diff", "Compare two JSON results item by item; exit 0 when equal, 1 when "
                                                "different, 2 when a file is not a result");
    diff->add_option("RESULT_A", resultA, "The first result (run --format json)")->required();
    diff->add_option("RESULT_B", resultB, "The result compared with it")->required();
    diff->add_flag("--ignore-comments", diffOptions.ignoreComments, "Do not compare the items' comments");

    std::vector<std::string> testPaths;
    t2dhost::RegressionOptions testOptions;
    std::string testFlavour;
    CLI::App* test = app.add_subcommand("test", "Convert task files and compare each result with its expected "
                                                "result X.expected.json; exit 0 when all pass, 1 otherwise");
    test->add_option("PATH", testPaths, "A task file, or a folder whose *.json task files are taken")->required();
    test->add_option("-j", testOptions.workers, "Convert in N threads (default: the number of cores)")
        ->check(CLI::Range(1, 1024))
        ->option_text("N");
    test->add_flag("--update", testOptions.update, "Write the expected results instead of comparing");
    test->add_option("--flavour", testFlavour, "Convert with the flavour that the shared library LIB exports")
        ->option_text("LIB.so");

    CLI::App* report = app.add_subcommand("report", "Convert TASKFILE and write a page that shows the plate, the "
                                                    "jobs, the parameter dictionary and the log");
    report->add_option("TASKFILE", taskFile, "The task file (JSON)")->required();
    report->add_option("-o,--output", output, "The page to write (required)")->option_text("FILE.html")->required();
    report->add_option("--flavour", flavour, "Convert with the flavour that the shared library LIB exports")
        ->option_text("LIB.so");

    try {
      app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
      const int code = app.exit(e);
      return code == 0 ? kExitConverted : kExitBadTaskFile;
    }
    if (schema->parsed()) {
      WriteToStandardOutput(std::string(t2dhost::TaskFileSchema()));
      return kExitConverted;
    }
    if (diff->parsed()) return t2dhost::DiffCommand(resultA, resultB, diffOptions);
    if (test->parsed()) return t2dhost::TestCommand(testPaths, testOptions, testFlavour);
    return Run(taskFile, output, report->parsed() ? "report" : format, cleanup, flavour);
  } catch (const std::exception& e) {
    std::cerr << "ticket2dict: unexpected failure: " << e.what() << "\n";
    return kExitUnexpected;
  } catch (...) {
    std::cerr << "ticket2dict: unexpected failure\n";
    return kExitUnexpected;
  }
}
