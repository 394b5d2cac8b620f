// The resource database (sections of key=value lines) and the file
// operations of the operating-system layer under it.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "os_env.h"
#include "os_file.h"
#include "rdbshared.h"

namespace {

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/t2d-rdb-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = made;
  }
  ~TempFolder() {
    chmod(path_.c_str(), 0700);
    for (const std::string& name : Names()) unlink((path_ + "/" + name).c_str());
    rmdir(path_.c_str());
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    if (DIR* dir = opendir(path_.c_str())) {
      while (dirent* entry = readdir(dir))
        if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..") names.push_back(entry->d_name);
      closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::string path_;
};

void Write(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Opens, applies `edit`, flushes and closes; answers the file's new text.
template <class Edit>
std::string Edited(const std::string& path, Edit edit) {
  RDB_HANDLE db = rdb_open_push(path.c_str(), nullptr);
  EXPECT_NE(db, nullptr);
  if (!db) return "";
  edit(db);
  rdb_flush(db);
  rdb_close(db);
  return Read(path);
}

std::string Search(RDB_HANDLE db, const char* section, const char* key) {
  const char* value = nullptr;
  rdb_search(db, section, key, &value);
  return value ? value : "(null)";
}

const char* kTemplate =
    "; Plate settings of the CIP3 back end\n"
    "; keep this header\n"
    "\n"
    "[JOB]\n"
    "; the press configuration copy\n"
    "PressConfigFile=\n"
    "JobName=\n"
    "PageSide=Front\n"
    "\n"
    "# ink zones\n"
    "[CIP3]\n"
    "Make=\n"
    "Customer=\n"
    "Zones=32\n"
    "\n"
    "; end of the template\n";

TEST(ResourceDatabase, SearchGivesTextsAndTheEmptyTextForMissingKeys) {
  TempFolder folder;
  Write(folder.File("a.ini"), "[Header]\nOutputDirectory = /srv/out \nEmpty=\n[Other]\nx=1\n");
  RDB_HANDLE db = rdb_open_push(folder.File("a.ini").c_str(), nullptr);
  ASSERT_NE(db, nullptr);
  const char* value = nullptr;
  EXPECT_EQ(rdb_search(db, "Header", "OutputDirectory", &value), 0);
  EXPECT_STREQ(value, "/srv/out");
  EXPECT_EQ(Search(db, "header", "outputdirectory"), "/srv/out");  // names ignore letter case
  EXPECT_EQ(Search(db, "Header", "Empty"), "");
  EXPECT_EQ(rdb_search(db, "Header", "Missing", &value), 1);
  EXPECT_STREQ(value, "");
  EXPECT_EQ(rdb_search(db, "NoSuchSection", "x", &value), 1);
  EXPECT_STREQ(value, "");
  EXPECT_EQ(Search(db, "Other", "x"), "1");
  EXPECT_EQ(rdb_close(db), 0);
}

TEST(ResourceDatabase, EditKeepsOrderAndComments) {
  TempFolder folder;
  const std::string path = folder.File("plate.ini");
  Write(path, kTemplate);
  const std::string text = Edited(path, [](RDB_HANDLE db) {
    rdb_modify(db, "JOB", "PressConfigFile", "file:///srv/ipl/press.datA12.dat");
    rdb_modify(db, "JOB", "JobName", "brochure");
    rdb_modify(db, "CIP3", "Customer", "ACME; Print = Co");
    rdb_modify(db, "CIP3", "Software", "Kestrel");  // new key: end of its section
    rdb_modify(db, "Added", "Key", "v");           // new section: end of the file
  });
  EXPECT_EQ(text,
            "; Plate settings of the CIP3 back end\n"
            "; keep this header\n"
            "\n"
            "[JOB]\n"
            "\n"
            "; the press configuration copy\n"
            "PressConfigFile=file:///srv/ipl/press.datA12.dat\n"
            "JobName=brochure\n"
            "PageSide=Front\n"
            "\n"
            "# ink zones\n"
            "[CIP3]\n"
            "Make=\n"
            "Customer=ACME; Print = Co\n"
            "Zones=32\n"
            "Software=Kestrel\n"
            "\n"
            "[Added]\n"
            "Key=v\n"
            "\n"
            "; end of the template\n");

  // The edited file reads back with every value, and a second edit keeps it.
  const std::string again = Edited(path, [](RDB_HANDLE db) {
    EXPECT_EQ(Search(db, "CIP3", "Customer"), "ACME; Print = Co");
    EXPECT_EQ(Search(db, "JOB", "PageSide"), "Front");
    EXPECT_EQ(Search(db, "Added", "Key"), "v");
  });
  EXPECT_EQ(again, text);
}

TEST(ResourceDatabase, KeepsByteOrderMarkAndCrLfLineEnds) {
  TempFolder folder;
  const std::string path = folder.File("press.dat");
  Write(path, "\xEF\xBB\xBF[Header]\r\n; where the CIP3 files go\r\nOutputDirectory=\r\n");
  const std::string text = Edited(path, [](RDB_HANDLE db) {
    EXPECT_EQ(Search(db, "Header", "OutputDirectory"), "");
    rdb_modify(db, "Header", "OutputDirectory", "file:///srv/ipl/");
  });
  EXPECT_EQ(text, "\xEF\xBB\xBF[Header]\r\n\r\n; where the CIP3 files go\r\nOutputDirectory=file:///srv/ipl/\r\n");
}

TEST(ResourceDatabase, ChangesWithoutFlushAreDropped) {
  TempFolder folder;
  const std::string path = folder.File("a.ini");
  Write(path, "[S]\nk=old\n");
  RDB_HANDLE db = rdb_open_push(path.c_str(), nullptr);
  ASSERT_NE(db, nullptr);
  rdb_modify(db, "S", "k", "new");
  EXPECT_EQ(Search(db, "S", "k"), "new");
  rdb_close(db);
  EXPECT_EQ(Read(path), "[S]\nk=old\n");
}

TEST(ResourceDatabase, FilesThatCannotBeOpenedGiveNoHandle) {
  TempFolder folder;
  int status = -1;
  EXPECT_EQ(rdb_open_push(folder.File("missing.ini").c_str(), &status), nullptr);
  EXPECT_EQ(status, ENOENT);
  EXPECT_EQ(rdb_open_push(folder.Path().c_str(), &status), nullptr);
  EXPECT_EQ(status, EISDIR);
  Write(folder.File("binary.ini"), std::string("[S]\nk=v\0rest\n", 13));
  EXPECT_EQ(rdb_open_push(folder.File("binary.ini").c_str(), &status), nullptr);
  EXPECT_EQ(status, EINVAL);
  EXPECT_EQ(rdb_open_push(nullptr, &status), nullptr);
  EXPECT_EQ(status, EINVAL);
  // A FIFO is refused at once instead of waiting for a writer.
  ASSERT_EQ(mkfifo(folder.File("fifo.ini").c_str(), 0600), 0);
  EXPECT_EQ(rdb_open_push(folder.File("fifo.ini").c_str(), &status), nullptr);
  EXPECT_EQ(status, EINVAL);
  const std::string fifo = folder.File("fifo.ini"), copy = folder.File("copy.ini");
  EXPECT_THROW(qxos::CopyFileW(std::wstring(fifo.begin(), fifo.end()), std::wstring(copy.begin(), copy.end()), false),
               std::runtime_error);
  // Nor is a FIFO written over: the replacement refuses what it can't replace
  // instead of waiting for a reader; a link to a file keeps being a link.
  EXPECT_THROW(qxos::ReplaceFileContents(fifo, "[S]\n"), std::runtime_error);
  Write(folder.File("real.ini"), "old");
  ASSERT_EQ(symlink("real.ini", folder.File("link.ini").c_str()), 0);
  qxos::ReplaceFileContents(folder.File("link.ini"), "new");
  EXPECT_EQ(Read(folder.File("real.ini")), "new");
  struct stat info {};
  ASSERT_EQ(lstat(folder.File("link.ini").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  Write(folder.File("empty.ini"), "");
  RDB_HANDLE db = rdb_open_push(folder.File("empty.ini").c_str(), &status);
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(status, 0);
  rdb_close(db);
  EXPECT_EQ(rdb_close(nullptr), 1);
}

// What the file can't hold is refused, so that a value never adds lines,
// sections or keys to the file.
TEST(ResourceDatabase, RefusesWhatTheFileCannotHold) {
  TempFolder folder;
  const std::string path = folder.File("a.ini");
  Write(path, "[S]\nk=v\n");
  RDB_HANDLE db = rdb_open_push(path.c_str(), nullptr);
  ASSERT_NE(db, nullptr);
  struct Row {
    const char* section;
    const char* key;
    const char* value;
  };
  const Row refused[] = {
      {"S", "k", "one\n[Evil]\nx=1"}, {"S", "k", "cr\rvalue"}, {"S\n", "k", "v"}, {"S]", "k", "v"},
      {" S", "k", "v"},              {"S", "", "v"},          {"S", "a=b", "v"}, {"S", "[k", "v"},
      {"S", ";k", "v"},              {"S", "#k", "v"},        {"S", "k ", "v"},  {"S", "k\n", "v"},
  };
  for (const Row& row : refused) {
    SCOPED_TRACE(std::string(row.section) + "/" + row.key + "/" + row.value);
    EXPECT_THROW(rdb_modify(db, row.section, row.key, row.value), std::invalid_argument);
  }
  EXPECT_THROW(rdb_modify(db, "S", "k", nullptr), std::invalid_argument);
  EXPECT_THROW(rdb_modify(nullptr, "S", "k", "v"), std::invalid_argument);
  EXPECT_THROW(rdb_search(nullptr, "S", "k", nullptr), std::invalid_argument);
  EXPECT_THROW(rdb_flush(nullptr), std::invalid_argument);
  rdb_flush(db);
  rdb_close(db);
  EXPECT_EQ(Read(path), "[S]\nk=v\n");
}

// A write that fails half-way (the file size limit here) leaves the file
// whole and no temporary file behind.
TEST(ResourceDatabase, FailedFlushLeavesTheFileWhole) {
  TempFolder folder;
  const std::string path = folder.File("a.ini");
  Write(path, "[S]\nk=v\n");
  RDB_HANDLE db = rdb_open_push(path.c_str(), nullptr);
  ASSERT_NE(db, nullptr);
  rdb_modify(db, "S", "k", std::string(4096, 'w').c_str());

  struct rlimit old;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 1024;
  void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool failed = false;
  try {
    rdb_flush(db);
  } catch (const std::runtime_error& e) {
    failed = true;
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(failed);
  EXPECT_EQ(Read(path), "[S]\nk=v\n");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.ini"});
  rdb_close(db);
}

TEST(ResourceDatabase, FlushReplacesAtomicallyAndReportsFailure) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions don't bind the superuser";
  TempFolder folder;
  const std::string path = folder.File("a.ini");
  Write(path, "[S]\nk=v\n");
  chmod(path.c_str(), 0640);
  RDB_HANDLE db = rdb_open_push(path.c_str(), nullptr);
  ASSERT_NE(db, nullptr);
  rdb_modify(db, "S", "k", "w");
  // A folder that can't be written: the flush fails and says so; the file
  // stays whole and no temporary file is left.
  chmod(folder.Path().c_str(), 0500);
  EXPECT_THROW(rdb_flush(db), std::runtime_error);
  chmod(folder.Path().c_str(), 0700);
  EXPECT_EQ(Read(path), "[S]\nk=v\n");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.ini"});
  rdb_flush(db);
  rdb_close(db);
  EXPECT_EQ(Read(path), "[S]\nk=w\n");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"a.ini"});
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);  // the replaced file keeps its permissions
}

TEST(OperatingSystemLayer, CopyFileReplacesAndReportsFailure) {
  TempFolder folder;
  const std::string from = folder.File("plate.ini");
  const std::string to = folder.File("plate.iniA12.ini");
  Write(from, "[JOB]\nJobName=\n");
  Write(to, "older copy\n");
  EXPECT_TRUE(qxos::CopyFileW(L"" + std::wstring(from.begin(), from.end()), std::wstring(to.begin(), to.end()),
                              false));
  EXPECT_EQ(Read(to), "[JOB]\nJobName=\n");

  // failIfExists leaves an existing copy alone.
  Write(to, "older copy\n");
  EXPECT_THROW(qxos::CopyFileW(std::wstring(from.begin(), from.end()), std::wstring(to.begin(), to.end()), true),
               std::runtime_error);
  EXPECT_EQ(Read(to), "older copy\n");

  // A missing source, a folder as source, a path with a terminator.
  const std::wstring missing = L"/nonexistent-t2d/plate.ini";
  EXPECT_THROW(qxos::CopyFileW(missing, std::wstring(to.begin(), to.end()), false), std::runtime_error);
  const std::string dir = folder.Path();
  EXPECT_THROW(qxos::CopyFileW(std::wstring(dir.begin(), dir.end()), std::wstring(to.begin(), to.end()), false),
               std::runtime_error);
  std::wstring cut(to.begin(), to.end());
  cut += std::wstring(L"\0x", 2);
  EXPECT_THROW(qxos::CopyFileW(std::wstring(from.begin(), from.end()), cut, false), std::runtime_error);
  EXPECT_EQ(Read(to), "older copy\n");
  EXPECT_EQ(folder.Names(), (std::vector<std::string>{"plate.ini", "plate.iniA12.ini"}));
}

TEST(OperatingSystemLayer, EnvironmentAndHostName) {
  setenv("T2D_RDB_TEST_VAR", "caf\xC3\xA9", 1);
  EXPECT_EQ(qxos::GetEnvironmentVariableW(L"T2D_RDB_TEST_VAR"), std::optional<std::wstring>(L"caf\u00e9"));
  setenv("T2D_RDB_TEST_VAR", "", 1);
  EXPECT_EQ(qxos::GetEnvironmentVariableW(L"T2D_RDB_TEST_VAR"), std::optional<std::wstring>(L""));
  unsetenv("T2D_RDB_TEST_VAR");
  EXPECT_EQ(qxos::GetEnvironmentVariableW(L"T2D_RDB_TEST_VAR"), std::nullopt);
  EXPECT_EQ(qxos::GetEnvironmentVariableW(L"A=B"), std::nullopt);
  EXPECT_EQ(qxos::WideCharToMultiByteUtf8(L"\u20ac1"), "\xE2\x82\xAC" "1");
  char name[512] = {};
  ASSERT_EQ(gethostname(name, sizeof name - 1), 0);
  EXPECT_EQ(qxos::HostName(), std::optional<std::string>(name));
}

}  // namespace
