// The resource database on arbitrary file bytes: open, search, modify,
// flush, and read back. The input is the file's text up to the first NUL
// byte, then NUL-separated (section, key, value) triples to set. Every
// modification the database accepts must read back unchanged after a flush
// and a fresh open, and keys nobody touched must keep their values.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "rdbshared.h"

namespace {

const std::string& Folder() {
  static const std::string folder = [] {
    // Memory-backed when possible: every flush syncs the file to disk.
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/t2dfuzzrdb.XXXXXX" : "/tmp/t2dfuzzrdb.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return folder;
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

struct Handle {
  explicit Handle(const std::string& path) : h(rdb_open_push(path.c_str(), &status)) {}
  ~Handle() { rdb_close(h); }
  int status = 0;
  RDB_HANDLE h;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t end = input.find('\0');
  const std::string fileText = input.substr(0, end);
  std::vector<std::string> fields;
  if (end != std::string::npos) {
    size_t position = end + 1;
    while (position <= input.size() && fields.size() < 30) {
      const size_t next = std::min(input.find('\0', position), input.size());
      fields.push_back(input.substr(position, next - position));
      position = next + 1;
    }
  }

  const std::string path = Folder() + "/resources.ini";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << fileText;
  }

  // Which names the input file holds, with their values as first read.
  std::map<std::pair<std::string, std::string>, std::string> expected;
  {
    Handle db(path);
    if (db.h == nullptr) std::abort();  // a text file always opens
    for (size_t i = 0; i + 1 < fields.size(); i += 3) {
      const char* value = nullptr;
      const int found = rdb_search(db.h, fields[i].c_str(), fields[i + 1].c_str(), &value);
      if (value == nullptr || (found != 0 && found != 1)) std::abort();
      if (found == 1 && *value != '\0') std::abort();
    }
    for (size_t i = 0; i + 2 < fields.size(); i += 3) {
      try {
        rdb_modify(db.h, fields[i].c_str(), fields[i + 1].c_str(), fields[i + 2].c_str());
        expected[{Lower(fields[i]), Lower(fields[i + 1])}] = fields[i + 2];
        const char* value = nullptr;
        if (rdb_search(db.h, fields[i].c_str(), fields[i + 1].c_str(), &value) != 0 || fields[i + 2] != value)
          std::abort();
      } catch (const std::invalid_argument&) {
        // A name or value the file can't hold.
      }
    }
    rdb_flush(db.h);
  }
  {
    Handle db(path);
    if (db.h == nullptr) std::abort();
    for (const auto& [name, value] : expected) {
      const char* read = nullptr;
      if (rdb_search(db.h, name.first.c_str(), name.second.c_str(), &read) != 0 || value != read) {
        std::fprintf(stderr, "[%s] %s: wrote \"%s\", read back \"%s\"\n", name.first.c_str(), name.second.c_str(),
                     value.c_str(), read ? read : "(null)");
        std::abort();
      }
    }
  }
  return 0;
}
