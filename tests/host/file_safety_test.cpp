// What the tools write, and never damage: a result into the shell's append
// or pipe, a file the user may not write, its owner and its links; `test`
// writing only beside its tasks and leaving files it did not make; the CIP3
// copies at a link or a FIFO; input that ends at once; one-line messages.
#ifdef T2D_HOST_PROGRAM

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "host_program.h"

namespace {

namespace fs = std::filesystem;
using hosttest::ReadFile;
using hosttest::TempDir;
using hosttest::WriteFile;
using Json = nlohmann::ordered_json;

constexpr uid_t kNobody = 65534;

// A shell command line run with QX_SERVER unset; T2D is the program.
hosttest::ProgramRun Shell(const std::string& script) {
  return hosttest::RunCommand({"/bin/sh", "-c", "T2D='" T2D_HOST_PROGRAM "'; " + script},
                              {{"QX_SERVER", std::nullopt}});
}

// The program run as a user who is not the superuser: as "nobody" when the
// tests run as root.
hosttest::ProgramRun AsUser(const std::vector<std::string>& arguments) {
  std::vector<std::string> command;
  if (geteuid() == 0) command = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  command.push_back(T2D_HOST_PROGRAM);
  command.insert(command.end(), arguments.begin(), arguments.end());
  return hosttest::RunCommand(command, {{"QX_SERVER", std::nullopt}});
}

std::string Example(const char* name) { return (fs::path(T2D_SOURCE_DIR) / "examples" / name).string(); }

class FileSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(chmod(dir.Path().c_str(), 0777), 0);  // reachable by "nobody" too
    WriteFile(task, "{}");
    ASSERT_EQ(chmod(task.c_str(), 0644), 0);
  }
  // The CIP3 example with its data folder in `folder` (relative to dir).
  std::string Cip3Task(const std::string& folder) {
    hosttest::CopyCip3Templates(dir.File(folder));
    std::string text = ReadFile(Example("cip3.json"));
    hosttest::ReplaceAll(text, R"({ "@url": "cip3-ipl" })", "{ \"@url\": \"" + folder + "\" }");
    return text;
  }
  TempDir dir;
  const std::string task = dir.File("t.json");
};

TEST_F(FileSafety, StandardOutputByNameKeepsTheShellsAppendAndPipes) {
  fs::copy_file(Example("typical.json"), dir.File("typical.json"));
  auto run = Shell("cd '" + dir.Path() + "' && echo 'line 1' > log.txt && $T2D run typical.json --format ini -o "
                   "/dev/stdout >> log.txt && $T2D run t.json -o - | head -c 1 > piped && "
                   "$T2D report t.json -o /dev/stdout | cat > page.html");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFile(dir.File("log.txt")).rfind("line 1\n[task]", 0), 0u) << ReadFile(dir.File("log.txt"));
  EXPECT_EQ(ReadFile(dir.File("piped")), "{");
  EXPECT_FALSE(fs::exists(dir.File("-"))) << "-o - is standard output, not a file named -";
  EXPECT_EQ(ReadFile(dir.File("page.html")).rfind("<!DOCTYPE html>", 0), 0u);

  // The report's page goes to its file and the converter's traces to
  // standard error: standard output stays empty.
  WriteFile(dir.File("cip3.json"), Cip3Task("cip3-ipl"));
  run = hosttest::Run({"report", dir.File("cip3.json"), "-o", dir.File("cip3.html")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("making the connection"), std::string::npos) << run.err;
}

TEST_F(FileSafety, AResultKeepsWhatTheFileIsOrIsRefused) {
  // A file the user may not write: refused in one line, nothing written.
  const std::string readOnly = dir.File("ro.json");
  WriteFile(readOnly, "old");
  ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(readOnly.c_str(), 0, 0), 0);
  }
  auto run = AsUser({"run", task, "-o", readOnly});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(readOnly), "old");
  run = AsUser({"run", task, "-o", dir.File("missing/r.json")});
  EXPECT_EQ(run.exitCode, 1) << run.err;

  // A second hard link sees the new contents.
  WriteFile(dir.File("a.json"), "old");
  ASSERT_EQ(link(dir.File("a.json").c_str(), dir.File("b.json").c_str()), 0);
  ASSERT_EQ(hosttest::Run({"run", task, "-o", dir.File("a.json")}).exitCode, 0);
  EXPECT_EQ(ReadFile(dir.File("b.json")).front(), '{');
  struct stat info {};
  ASSERT_EQ(stat(dir.File("a.json").c_str(), &info), 0);
  EXPECT_EQ(info.st_nlink, 2u);

  // Another user's file, replaced by the superuser, stays that user's.
  if (geteuid() != 0) GTEST_SKIP() << "only the superuser can give a file away";
  WriteFile(dir.File("theirs.json"), "old");
  ASSERT_EQ(chown(dir.File("theirs.json").c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(chmod(dir.File("theirs.json").c_str(), 0640), 0);
  ASSERT_EQ(hosttest::Run({"run", task, "-o", dir.File("theirs.json")}).exitCode, 0);
  ASSERT_EQ(stat(dir.File("theirs.json").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, kNobody);
  EXPECT_EQ(info.st_gid, kNobody);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(dir.File("theirs.json")).front(), '{');
}

// The CIP3 copies follow a link at their path (it stays a link) and refuse
// a FIFO there rather than wait for a reader.
TEST_F(FileSafety, Cip3CopiesFollowALinkAndRefuseAFifo) {
  WriteFile(dir.File("cip3.json"), Cip3Task("ipl"));
  fs::create_directory(dir.File("kept"));
  ASSERT_EQ(symlink("../kept/plate.ini", dir.File("ipl/PlateSettings.iniC7.ini").c_str()), 0);
  auto run = hosttest::Run({"run", dir.File("cip3.json"), "-o", dir.File("out.json")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(dir.File("ipl/PlateSettings.iniC7.ini")));
  EXPECT_NE(ReadFile(dir.File("kept/plate.ini")).find("JobName"), std::string::npos);

  fs::remove(dir.File("ipl/PlateSettings.iniC7.ini"));
  ASSERT_EQ(mkfifo(dir.File("ipl/PlateSettings.iniC7.ini").c_str(), 0600), 0);
  run = hosttest::Run({"run", dir.File("cip3.json"), "-o", dir.File("out.json")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Json log = Json::parse(ReadFile(dir.File("out.json")))["log"];
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back()["level"], 2) << log.dump();
  struct stat info {};
  ASSERT_EQ(lstat(dir.File("ipl/PlateSettings.iniC7.ini").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// `test` writes only beside its tasks, and its cleanup (like run's) leaves
// a file that was there before the conversion.
TEST_F(FileSafety, TestWritesOnlyBesideItsTasksAndLeavesWhatItDidNotMake) {
  TempDir outside;
  const std::string notes = outside.File("PlateSettings.iniC7.ini");
  WriteFile(notes, "a user's notes");
  std::string text = Cip3Task("cip3-ipl");
  hosttest::ReplaceAll(text, R"("cip3-ipl")", "\"" + outside.Path() + "\"");
  WriteFile(dir.File("away.json"), text);
  auto run = hosttest::Run({"test", dir.File("away.json")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("is outside the task's folder"), std::string::npos) << run.out;
  EXPECT_EQ(ReadFile(notes), "a user's notes");

  WriteFile(dir.File("here.json"), Cip3Task("ipl"));
  WriteFile(dir.File("ipl/PressConfig.datC7.dat"), "there before");
  run = hosttest::Run({"run", dir.File("here.json"), "-o", dir.File("out.json"), "--cleanup"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::exists(dir.File("ipl/PressConfig.datC7.dat"))) << "a file that was there stays";
  EXPECT_FALSE(fs::exists(dir.File("ipl/PlateSettings.iniC7.ini"))) << "a copy the run made goes";
  EXPECT_NE(run.err.find("it was there before the conversion"), std::string::npos) << run.err;
  hosttest::Run({"lint", dir.File("here.json")});
  hosttest::Run({"report", dir.File("here.json"), "-o", dir.File("here.html")});
  EXPECT_TRUE(fs::exists(dir.File("ipl/PressConfig.datC7.dat"))) << "lint and report leave it too";

  // An expected result that links out of the folder is not written through.
  const std::string expected = outside.File("notes.txt");
  WriteFile(expected, "notes");
  ASSERT_EQ(symlink(expected.c_str(), dir.File("t.expected.json").c_str()), 0);
  run = hosttest::Run({"test", task, "--update"});
  EXPECT_EQ(run.exitCode, 1) << run.out;
  EXPECT_NE(run.out.find("leads out of the task's folder"), std::string::npos) << run.out;
  EXPECT_EQ(ReadFile(expected), "notes");
  EXPECT_EQ(std::distance(fs::directory_iterator(outside.Path()), fs::directory_iterator()), 2);

  // A FIFO among the task files is reported, never opened.
  ASSERT_EQ(mkfifo(dir.File("b.json").c_str(), 0600), 0);
  run = hosttest::Run({"test", dir.File("b.json")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.out.find("b.json: not a regular file; not tested"), std::string::npos) << run.out;
}

// Tasks that reach one data folder by two spellings (one a link) never run
// at the same moment: every worker count passes them all.
TEST_F(FileSafety, OneDataFolderByTwoSpellingsIsOneFolder) {
  const std::string direct = Cip3Task("ipl");
  ASSERT_EQ(symlink("ipl", dir.File("ipl-link").c_str()), 0);
  std::string viaLink = direct;
  hosttest::ReplaceAll(viaLink, R"("ipl")", R"("ipl-link")");
  for (int i = 0; i < 8; ++i) WriteFile(dir.File("c" + std::to_string(i) + ".json"), i % 2 ? viaLink : direct);
  fs::remove(task);
  auto run = hosttest::Run({"test", dir.Path(), "--update", "-j", "1"});
  ASSERT_EQ(run.exitCode, 0) << run.out;
  for (int attempt = 0; attempt < 3; ++attempt) {
    run = hosttest::Run({"test", dir.Path(), "-j", "2"});
    EXPECT_EQ(run.exitCode, 0) << run.out;
  }
}

TEST_F(FileSafety, RefusalsComeAtOnceAndOnOneLine) {
  // /dev/zero is refused at its first byte, not read up to the size limit.
  auto run = hosttest::Run({"run", "/dev/zero"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("/dev/zero:1:1: not valid JSON: a NUL character"), std::string::npos) << run.err;

  run = hosttest::Run({"run", task, "--trace", "--format", "ini"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("--trace"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");

  const std::string odd = dir.File("a\nb.json");
  WriteFile(odd, "{}");
  run = hosttest::Run({"diff", odd, odd});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_NE(run.err.find("a\\nb.json"), std::string::npos) << run.err;
}

}  // namespace

#endif  // T2D_HOST_PROGRAM
