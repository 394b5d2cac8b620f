#include "regression.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>

#include <pugixml.hpp>

#include "flavour_loader.h"
#include "os_env.h"
#include "os_file.h"
#include "program_output.h"
#include "result_diff.h"
#include "result_writer.h"

namespace t2dhost {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHostNamePlaceholder = "<hostname>";
constexpr const char* kTaskFolderPlaceholder = "<taskdir>";

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
}

// `folder` replaced where it stands as the start of a path: not inside a
// longer name before it, and followed by the end or a separator.
void ReplaceFolder(std::string& text, const std::string& folder) {
  for (size_t at = text.find(folder); at != std::string::npos;) {
    const size_t end = at + folder.size();
    if ((at == 0 || !IsNameCharacter(text[at - 1])) &&
        (end == text.size() || text[end] == '/' || text[end] == '\\')) {
      text.replace(at, folder.size(), kTaskFolderPlaceholder);
      at = text.find(folder, at + std::char_traits<char>::length(kTaskFolderPlaceholder));
    } else {
      at = text.find(folder, at + 1);
    }
  }
}

void NormaliseValue(Json& value, const Placeholders& placeholders, bool replaceFolder) {
  if (value.is_string()) {
    std::string& text = value.get_ref<std::string&>();
    if (replaceFolder) ReplaceFolder(text, placeholders.taskFolder);
    if (!placeholders.hostName.empty() && text == placeholders.hostName) text = kHostNamePlaceholder;
  } else if (value.is_structured()) {
    for (Json& member : value) NormaliseValue(member, placeholders, replaceFolder);
  }
}

// Calls `visit` with each text of `value` (keys excluded) in document order
// until it answers true; answers whether one did.
template <class Visit>
bool AnyText(const Json& value, const Visit& visit) {
  if (value.is_string()) return visit(value.get_ref<const std::string&>());
  if (value.is_structured())
    for (const Json& member : value)
      if (AnyText(member, visit)) return true;
  return false;
}

// The folder that "<taskdir>" in `pattern` stands for in one of the texts of
// `other`: the first text (in document order) that starts with what stands
// before the placeholder, and the first absolute folder there with which
// ReplaceFolder gives back `pattern`. Empty when there is none.
std::string FolderIn(const std::string& pattern, const Json& other) {
  const size_t at = pattern.find(kTaskFolderPlaceholder);
  std::string folder;
  AnyText(other, [&](const std::string& text) {
    if (text.size() <= at || text.compare(0, at, pattern, 0, at) != 0 || text[at] != '/') return false;
    for (size_t end = at + 1; end <= text.size(); ++end) {
      if (end < text.size() && text[end] != '/' && text[end] != '\\') continue;
      std::string candidate = text.substr(at, end - at), replaced = text;
      if (candidate == "/") continue;
      ReplaceFolder(replaced, candidate);
      if (replaced == pattern) {
        folder = std::move(candidate);
        return true;
      }
    }
    return false;
  });
  return folder;
}

bool IsWithin(const std::string& path, const std::string& folder) {
  return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                            (folder.back() == '/' || path[folder.size()] == '/'));
}

// The IPL data folders of a task, resolved: where its CIP3 copies are
// written. Tasks that share one must not run at the same moment, and a
// folder outside the task's own folder is refused: a regression test writes
// only beside its tasks. Raises std::runtime_error naming the folder.
std::vector<std::string> DataFoldersOf(const TaskFile& file, const std::string& taskFile) {
  const std::string own = ResolvedPath(TaskFileFolder(taskFile));
  std::set<std::string> folders;
  for (const std::string& folder : IplDataFolders(file)) {
    const std::string resolved = ResolvedPath(folder);
    if (!IsWithin(resolved, own))
      throw std::runtime_error(taskFile + ": not converted: its IPL data folder " + folder +
                               " is outside the task's folder " + own + ", and a test writes only beside its tasks");
    folders.insert(resolved);
  }
  return {folders.begin(), folders.end()};  // sorted: locked in this order
}

// An expected result that is a link may lead only to a file in the task's
// own folder: --update writes where it leads.
void RefuseLinkOut(const std::string& expectedPath, const std::string& taskFile) {
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(expectedPath, ec))) return;
  const std::string target = ResolvedPath(expectedPath);
  if (fs::path(target).parent_path().string() != ResolvedPath(TaskFileFolder(taskFile)))
    throw std::runtime_error(expectedPath + ": a link that leads out of the task's folder (to " + target +
                             "); not followed");
}

// The pool: workers take the task files in order, one at a time; the
// calling thread hands the outcomes on in order.
class Pool {
 public:
  Pool(const std::vector<std::string>& files, const RegressionOptions& options)
      : files_(files), options_(options), outcomes_(files.size()) {}

  std::vector<TaskOutcome> Run(const RegressionObserver& observer) {
    size_t workers = options_.workers != 0 ? options_.workers : std::max(1u, std::thread::hardware_concurrency());
    workers = std::min(workers, files_.size());
    std::vector<std::thread> threads;
    threads.reserve(workers);
    for (size_t i = 0; i < workers; ++i) {
      try {
        threads.emplace_back([this] { Work(); });
      } catch (const std::system_error&) {
        if (threads.empty()) throw;
        break;  // fewer workers do the same work
      }
    }

    std::vector<TaskOutcome> all;
    all.reserve(files_.size());
    try {
      Report(observer, all);
    } catch (...) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        next_ = files_.size();  // no further task starts
      }
      for (std::thread& thread : threads) thread.join();
      throw;
    }
    for (std::thread& thread : threads) thread.join();
    return all;
  }

 private:
  // Hands the outcomes on in order as they come in, until all are there.
  void Report(const RegressionObserver& observer, std::vector<TaskOutcome>& all) {
    size_t reported = 0;
    while (all.size() < files_.size()) {
      std::vector<TaskOutcome> ready;
      size_t done = 0, failed = 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return finished_ != reported; });
        reported = done = finished_;
        failed = failed_;
        for (size_t i = all.size() + ready.size(); i < outcomes_.size() && outcomes_[i]; ++i)
          ready.push_back(*outcomes_[i]);
      }
      for (TaskOutcome& outcome : ready) {
        if (observer.outcome) observer.outcome(outcome);
        all.push_back(std::move(outcome));
      }
      if (observer.progress) observer.progress(done, failed);
    }
  }

  void Work() {
    for (;;) {
      size_t index = 0;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (next_ == files_.size()) return;
        index = next_++;
      }
      TaskOutcome outcome = Test(files_[index]);
      std::lock_guard<std::mutex> lock(mutex_);
      if (outcome.verdict == TaskOutcome::Verdict::kFailed) ++failed_;
      outcomes_[index] = std::move(outcome);
      ++finished_;
      changed_.notify_one();
    }
  }

  // The locks of the data folders, in their (sorted) order.
  std::vector<std::unique_lock<std::mutex>> LockFolders(const std::vector<std::string>& folders) {
    std::vector<std::mutex*> mutexes;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (const std::string& folder : folders) {
        std::unique_ptr<std::mutex>& slot = folders_[folder];
        if (!slot) slot = std::make_unique<std::mutex>();
        mutexes.push_back(slot.get());
      }
    }
    std::vector<std::unique_lock<std::mutex>> locks;
    for (std::mutex* folder : mutexes) locks.emplace_back(*folder);
    return locks;
  }

  TaskOutcome Test(const std::string& name) {
    TaskOutcome outcome;
    outcome.name = name;
    const auto fail = [&outcome](const std::string& line) {
      outcome.verdict = TaskOutcome::Verdict::kFailed;
      outcome.details = {line};
      return outcome;
    };
    const std::string expectedPath = ExpectedResultPath(name);
    try {
      // Anything but a regular file (a FIFO, a device) is never opened: it
      // could keep the test waiting or act when read.
      std::error_code ec;
      const fs::file_status status = fs::status(name, ec);
      if (!ec && !fs::is_regular_file(status)) return fail(name + ": not a regular file; not tested");
      const TaskFile file = ReadTaskFile(name);
      const std::vector<std::string> dataFolders = DataFoldersOf(file, name);
      std::optional<Json> expected;
      if (!options_.update) {
        if (!fs::exists(expectedPath, ec))
          return fail("no expected result " + expectedPath + "; write it with: ticket2dict test --update " + name);
        expected = ReadResultFile(expectedPath);
      }
      Json result;
      {
        const auto locks = LockFolders(dataFolders);
        const std::set<std::string> before = FilesBefore(dataFolders);
        Conversion conversion(file, options_.factory);
        conversion.Run();
        result = Json::parse(ResultText(conversion));
        CleanupTempFiles(conversion.Task(), before);  // a file that stays is listed in the result anyway
      }
      Normalise(result, PlaceholdersFor(name));
      if (options_.update) {
        const std::string text = FormatJson(result);
        std::string before;
        int error = 0;
        try {
          before = qxos::ReadFileContents(expectedPath, &error);
        } catch (const std::exception&) {
          if (error != ENOENT) throw;
        }
        outcome.verdict = before == text ? TaskOutcome::Verdict::kUnchanged : TaskOutcome::Verdict::kWritten;
        if (before != text) {
          RefuseLinkOut(expectedPath, name);
          qxos::ReplaceFileContents(expectedPath, text);
        }
        outcome.details = {expectedPath};
        return outcome;
      }
      outcome.details = DiffResults(*expected, result);
      outcome.verdict = outcome.details.empty() ? TaskOutcome::Verdict::kPassed : TaskOutcome::Verdict::kFailed;
      return outcome;
    } catch (const std::exception& e) {
      return fail(e.what());
    } catch (...) {
      return fail(name + ": unexpected failure");
    }
  }

  const std::vector<std::string>& files_;
  const RegressionOptions& options_;
  std::mutex mutex_;  // guards everything below
  std::condition_variable changed_;
  std::vector<std::optional<TaskOutcome>> outcomes_;
  std::map<std::string, std::unique_ptr<std::mutex>> folders_;
  size_t next_ = 0, finished_ = 0, failed_ = 0;
};

}  // namespace

std::vector<std::string> FindTaskFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  std::set<std::string> seen;
  const auto take = [&](const std::string& file) {
    if (seen.insert(fs::absolute(file).lexically_normal().string()).second) files.push_back(file);
  };
  for (const std::string& path : paths) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status)) throw RegressionError(path + ": no such task file or folder");
    if (!fs::is_directory(status)) {
      if (EndsWith(path, ".expected.json"))
        throw RegressionError(path + ": an expected result, not a task file (give X.json for X.expected.json)");
      take(path);
      continue;
    }
    std::vector<std::string> names;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string file = it->path().filename().string();
      std::error_code typeError;
      if (EndsWith(file, ".json") && !EndsWith(file, ".expected.json") && !it->is_directory(typeError))
        names.push_back(file);
    }
    if (ec) throw RegressionError(path + ": can't list the folder: " + ec.message());
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) take((fs::path(path) / name).string());
  }
  return files;
}

std::string ExpectedResultPath(const std::string& taskFile) {
  const std::string stem = EndsWith(taskFile, ".json") ? taskFile.substr(0, taskFile.size() - 5) : taskFile;
  return stem + ".expected.json";
}

Placeholders PlaceholdersFor(const std::string& taskFile) {
  Placeholders placeholders;
  placeholders.hostName = qxos::HostName().value_or(std::string());
  // The folder the task-file reader resolves relative paths against.
  placeholders.taskFolder = TaskFileFolder(taskFile);
  if (placeholders.taskFolder == ".") placeholders.taskFolder.clear();
  return placeholders;
}

void Normalise(Json& result, const Placeholders& placeholders) {
  const bool replaceFolder = !placeholders.taskFolder.empty() && placeholders.taskFolder != "/";
  NormaliseValue(result, placeholders, replaceFolder);
}

Placeholders PlaceholdersBetween(const Json& a, const Json& b) {
  Placeholders placeholders;
  const auto isHostName = [](const std::string& text) { return text == kHostNamePlaceholder; };
  if (AnyText(a, isHostName) || AnyText(b, isHostName))
    placeholders.hostName = qxos::HostName().value_or(std::string());
  for (const auto& sides : {std::make_pair(&a, &b), std::make_pair(&b, &a)}) {
    AnyText(*sides.first, [&](const std::string& text) {
      if (text.find(kTaskFolderPlaceholder) != std::string::npos)
        placeholders.taskFolder = FolderIn(text, *sides.second);
      return !placeholders.taskFolder.empty();
    });
    if (!placeholders.taskFolder.empty()) break;
  }
  return placeholders;
}

std::vector<TaskOutcome> RunRegression(const std::vector<std::string>& taskFiles, const RegressionOptions& options,
                                       const RegressionObserver& observer) {
  if (taskFiles.empty()) return {};
  return Pool(taskFiles, options).Run(observer);
}

namespace {

// A line as an XML text may hold it: control characters written as escapes
// (XML 1.0 has no form for most of them), ill-formed UTF-8 replaced.
std::string XmlText(const std::string& line) {
  return Json::parse(Json(OneLine(line)).dump(-1, ' ', false, Json::error_handler_t::replace)).get<std::string>();
}

std::string TestCaseFolder(const std::string& taskFile) {
  const std::string folder = fs::path(taskFile).parent_path().string();
  return folder.empty() ? "." : folder;
}

}  // namespace

std::string JUnitReport(const std::vector<TaskOutcome>& outcomes) {
  size_t failures = 0;
  for (const TaskOutcome& outcome : outcomes)
    if (outcome.verdict == TaskOutcome::Verdict::kFailed) ++failures;
  pugi::xml_document document;
  pugi::xml_node declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  pugi::xml_node suites = document.append_child("testsuites");
  pugi::xml_node suite = suites.append_child("testsuite");
  for (pugi::xml_node node : {suites, suite}) {
    node.append_attribute("name") = "ticket2dict test";
    node.append_attribute("tests") = static_cast<unsigned long long>(outcomes.size());
    node.append_attribute("failures") = static_cast<unsigned long long>(failures);
    node.append_attribute("errors") = 0;
  }
  suite.append_attribute("skipped") = 0;
  for (const TaskOutcome& outcome : outcomes) {
    pugi::xml_node testCase = suite.append_child("testcase");
    testCase.append_attribute("name") = XmlText(fs::path(outcome.name).filename().string()).c_str();
    testCase.append_attribute("classname") = XmlText(TestCaseFolder(outcome.name)).c_str();
    if (outcome.verdict != TaskOutcome::Verdict::kFailed) continue;
    const std::vector<std::string> lines =
        outcome.details.empty() ? std::vector<std::string>{"failed"} : outcome.details;
    std::string text;
    for (const std::string& line : lines) text += XmlText(line) + "\n";
    const std::string message = lines.size() == 1 ? XmlText(lines.front())
                                                  : std::to_string(lines.size()) + " differences, the first: " +
                                                        XmlText(lines.front());
    pugi::xml_node failure = testCase.append_child("failure");
    failure.append_attribute("message") = message.c_str();
    failure.append_attribute("type") = "difference";
    failure.append_child(pugi::node_pcdata).set_value(text.c_str());
  }
  std::ostringstream out;
  document.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

int TestCommand(const std::vector<std::string>& paths, const RegressionOptions& given, const std::string& flavourPath,
                const std::string& junitPath) {
  std::vector<std::string> files;
  std::unique_ptr<Flavour> flavour;
  RegressionOptions options = given;
  try {
    files = FindTaskFiles(paths);
    if (!flavourPath.empty()) {
      flavour = std::make_unique<Flavour>(flavourPath);
      options.factory = flavour->Factory();
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ticket2dict: %s\n", OneLine(e.what()).c_str());
    return 2;
  }
  if (!__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__()) {
    std::fprintf(stderr, "ticket2dict: the converter's framework libraries did not initialize\n");
    return 1;
  }

  const bool showProgress = isatty(2) == 1 && files.size() > 1;
  const StandardStreams traces(StandardStreams::Traces::kDiscarded);
  std::string progressLine;
  const auto clearProgress = [&] {
    if (progressLine.empty()) return;
    traces.Err("\r" + std::string(progressLine.size(), ' ') + "\r");
    progressLine.clear();
  };
  size_t passed = 0, failed = 0, written = 0, unchanged = 0;
  RegressionObserver observer;
  observer.outcome = [&](const TaskOutcome& outcome) {
    std::string text;
    switch (outcome.verdict) {
      case TaskOutcome::Verdict::kPassed: ++passed, text = "ok " + OneLine(outcome.name) + "\n"; break;
      case TaskOutcome::Verdict::kWritten:
        ++written, text = "wrote " + OneLine(outcome.details.front()) + "\n";
        break;
      case TaskOutcome::Verdict::kUnchanged:
        ++unchanged, text = "unchanged " + OneLine(outcome.details.front()) + "\n";
        break;
      case TaskOutcome::Verdict::kFailed:
        ++failed;
        text = "FAIL " + OneLine(outcome.name) + "\n";
        for (const std::string& line : outcome.details) text += "  " + OneLine(line) + "\n";
        break;
    }
    clearProgress();
    traces.Out(text);
  };
  if (showProgress)
    observer.progress = [&](size_t done, size_t failures) {
      clearProgress();
      if (done == files.size()) return;
      progressLine = "[" + std::to_string(done) + "/" + std::to_string(files.size()) + "] " +
                     std::to_string(failures) + (failures == 1 ? " failure" : " failures") + " so far";
      traces.Err("\r" + progressLine);
    };

  // The report's file is opened first, so that one that can't be written
  // is known before anything is converted.
  std::optional<qxos::FileReplacement> junit;
  if (!junitPath.empty()) {
    try {
      junit.emplace(junitPath, "write the JUnit report", qxos::FileReplacement::Others::kWriteDirectly);
    } catch (const std::exception& e) {
      traces.Err("ticket2dict: " + OneLine(e.what()) + "\n");
      return 1;
    }
  }

  const std::vector<TaskOutcome> outcomes = RunRegression(files, options, observer);
  clearProgress();
  if (junit) {
    junit->Write(JUnitReport(outcomes));
    junit->Commit();
  }
  if (options.update)
    traces.Out(std::to_string(written) + " written, " + std::to_string(unchanged) + " unchanged, " +
                               std::to_string(failed) + " failed\n");
  else
    traces.Out(std::to_string(passed) + " passed, " + std::to_string(failed) + " failed\n");
  return failed == 0 ? 0 : 1;
}

}  // namespace t2dhost
