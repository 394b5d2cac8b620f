// Inputs the fuzz targets (fuzz/) found faults with, each kept as a case
// that failed before its fix.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "rdbshared.h"

namespace {

class ScratchFile {
 public:
  explicit ScratchFile(const std::string& text) {
    char pattern[] = "/tmp/t2d-finding-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    close(fd);
    path_ = pattern;
    std::ofstream(path_, std::ios::binary) << text;
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  const std::string& Path() const { return path_; }
  std::string Text() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

 private:
  std::string path_;
};

// A value with blank space at either end was accepted, but the file can't
// keep that space: after a flush it read back without it. It is refused
// now, and the file keeps what it held.
TEST(FuzzFindings, ResourceDatabaseRefusesValuesItCantKeep) {
  for (const char* value : {" x", "x ", " x ", "\tx", "x\t"}) {
    SCOPED_TRACE(std::string("value \"") + value + "\"");
    ScratchFile file("[Header]\nKEY2=old\n");
    RDB_HANDLE db = rdb_open_push(file.Path().c_str(), nullptr);
    ASSERT_NE(db, nullptr);
    EXPECT_THROW(rdb_modify(db, "Header", "KEY2", value), std::invalid_argument);
    const char* read = nullptr;
    EXPECT_EQ(rdb_search(db, "Header", "KEY2", &read), 0);
    EXPECT_STREQ(read, "old");
    rdb_flush(db);
    rdb_close(db);
    EXPECT_EQ(file.Text(), "[Header]\nKEY2=old\n");
  }
  // Blank space inside a value is kept.
  ScratchFile file("[Header]\n");
  RDB_HANDLE db = rdb_open_push(file.Path().c_str(), nullptr);
  ASSERT_NE(db, nullptr);
  rdb_modify(db, "Header", "Name", "a  b");
  rdb_flush(db);
  rdb_close(db);
  db = rdb_open_push(file.Path().c_str(), nullptr);
  const char* read = nullptr;
  EXPECT_EQ(rdb_search(db, "Header", "Name", &read), 0);
  EXPECT_STREQ(read, "a  b");
  rdb_close(db);
}

}  // namespace

namespace {

// A key beginning with a byte order mark, set outside any section, went to
// the top of the file, where the next read took it for the file's byte
// order mark and lost the key. Such keys are refused now.
TEST(FuzzFindings, ResourceDatabaseRefusesKeysBeginningWithAByteOrderMark) {
  ScratchFile file("[A]\nx=1\n");
  RDB_HANDLE db = rdb_open_push(file.Path().c_str(), nullptr);
  ASSERT_NE(db, nullptr);
  EXPECT_THROW(rdb_modify(db, "", "\xEF\xBB\xBFkey", "1"), std::invalid_argument);
  EXPECT_THROW(rdb_modify(db, "A", "\xEF\xBB\xBF", ""), std::invalid_argument);
  rdb_flush(db);
  rdb_close(db);
  EXPECT_EQ(file.Text(), "[A]\nx=1\n");
}

}  // namespace

namespace {

// A file may hold, outside any section, a key that begins with a byte order
// mark. The flush writes the keys outside any section first, so that key
// opened the file, and the next read took its mark for the file's: the key
// and the keys after it read back under other names. The flush now puts a
// mark of the file's own in front of it.
TEST(FuzzFindings, ResourceDatabaseKeepsAKeyBeginningWithAByteOrderMarkAtTheTop) {
  ScratchFile file("[]\n\xEF\xBB\xBF[key=v\n[A]\nx=1\n");
  RDB_HANDLE db = rdb_open_push(file.Path().c_str(), nullptr);
  ASSERT_NE(db, nullptr);
  rdb_modify(db, "", "new", "1");
  rdb_flush(db);
  rdb_close(db);

  db = rdb_open_push(file.Path().c_str(), nullptr);
  ASSERT_NE(db, nullptr);
  const char* read = nullptr;
  EXPECT_EQ(rdb_search(db, "", "\xEF\xBB\xBF[key", &read), 0);
  EXPECT_STREQ(read, "v");
  EXPECT_EQ(rdb_search(db, "", "new", &read), 0);
  EXPECT_STREQ(read, "1");
  EXPECT_EQ(rdb_search(db, "A", "x", &read), 0);
  EXPECT_STREQ(read, "1");
  rdb_close(db);
}

}  // namespace
