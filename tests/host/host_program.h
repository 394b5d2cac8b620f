// Running the built ticket2dict program from the tests: a temporary folder,
// file helpers and a child process whose exit code, standard output and
// standard error are captured.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace hosttest {

// A fresh temporary folder, removed with everything in it at the end.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "t2dhost.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The CIP3 example's data folder as git holds it, the two templates alone,
// into `folder`: copies a run in the source tree left beside them (and that
// a cleanup leaves, since they were there before) never reach a test.
#ifdef T2D_SOURCE_DIR
inline void CopyCip3Templates(const std::string& folder) {
  std::filesystem::create_directories(folder);
  for (const char* name : {"PlateSettings.ini", "PressConfig.dat"})
    std::filesystem::copy_file(std::string(T2D_SOURCE_DIR) + "/examples/cip3-ipl/" + name, folder + "/" + name,
                               std::filesystem::copy_options::overwrite_existing);
}
#endif

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

struct ProgramRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Where a child's standard input comes from and its standard output goes
// ("": none, and captured).
struct Streams {
  std::string in;
  std::string out;
};

// Runs `command` (the program's path, then its arguments); `environment`
// sets (a value) or unsets (no value) variables for the child only.
inline ProgramRun RunCommand(const std::vector<std::string>& command,
                             const std::map<std::string, std::optional<std::string>>& environment = {},
                             const Streams& streams = {}) {
  TempDir capture;
  const std::string outPath = streams.out.empty() ? capture.File("stdout") : streams.out;
  const std::string errPath = capture.File("stderr");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open(streams.in.empty() ? "/dev/null" : streams.in.c_str(), O_RDONLY);
    if (out < 0 || err < 0 || in < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (const auto& variable : environment) {
      if (variable.second)
        setenv(variable.first.c_str(), variable.second->c_str(), 1);
      else
        unsetenv(variable.first.c_str());
    }
    std::vector<std::string> all = command;
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ProgramRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (streams.out.empty()) run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  return run;
}

// Runs ticket2dict with `arguments`.
inline ProgramRun RunProgram(const std::vector<std::string>& arguments,
                             const std::map<std::string, std::optional<std::string>>& environment = {},
                             const Streams& streams = {}) {
  std::vector<std::string> command{T2D_HOST_PROGRAM};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return RunCommand(command, environment, streams);
}

// The program with QX_SERVER unset, as the examples expect.
inline ProgramRun Run(const std::vector<std::string>& arguments) {
  return RunProgram(arguments, {{"QX_SERVER", std::nullopt}});
}

inline std::string HostName() {
  char name[512] = {};
  if (gethostname(name, sizeof name - 1) != 0) return std::string();
  return name;
}

inline void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

// The --format ini text of an example run in `taskFolder`, made portable
// as ticket2dict test makes the JSON results: the folder becomes <taskdir>,
// the machine's host name in the item "QX_SERVER" becomes <hostname>.
inline std::string PortableIni(std::string text, const std::string& taskFolder) {
  ReplaceAll(text, taskFolder, "<taskdir>");
  ReplaceAll(text, "\nQX_SERVER=" + HostName() + "\n", "\nQX_SERVER=<hostname>\n");
  return text;
}

}  // namespace hosttest
