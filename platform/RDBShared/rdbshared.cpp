// The resource database over SimpleIni. SimpleIni parses the file and keeps
// sections, keys and the comments before them in their order; the comment
// lines after the last entry, which it would drop, are kept here and written
// back after the entries. The file's byte order mark and its CR LF line ends
// are kept as well.
#include "rdbshared.h"

#define SI_NO_CONVERSION  // UTF-8 texts throughout; no wide-character form
#define SI_IMPLEMENTATION  // the template definitions, instantiated here
#include <SimpleIni.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "os_file.h"

struct rdb_database {
  std::string path;
  CSimpleIniA ini{true, false, false};  // UTF-8, one value per key, no multi-line values
  std::string tail;                     // comment lines after the last entry
  bool byteOrderMark = false;
  bool crlf = false;
};

namespace {

constexpr const char kByteOrderMark[] = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Splits `text` into the part SimpleIni reads and the trailing lines that
// hold only comments and blank space.
void SplitTail(const std::string& text, std::string& body, std::string& tail) {
  size_t bodyEnd = 0;  // end of the last line that is neither blank nor a comment
  size_t lineStart = 0;
  while (lineStart < text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    lineEnd = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
    size_t first = lineStart;
    while (first < lineEnd && IsBlank(text[first])) ++first;
    if (first < lineEnd && text[first] != ';' && text[first] != '#') bodyEnd = lineEnd;
    lineStart = lineEnd;
  }
  body = text.substr(0, bodyEnd);
  tail = text.substr(bodyEnd);
  // A tail of blank lines only carries nothing.
  bool hasComment = false;
  for (char c : tail)
    if (!IsBlank(c)) hasComment = true;
  if (!hasComment) tail.clear();
}

// SimpleIni separates sections by two blank lines; one is what the
// templates have. Blank lines carry nothing, so runs of them become one.
std::string WithSingleBlankLines(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && out.size() >= 2 && out[out.size() - 1] == '\n' && out[out.size() - 2] == '\n') continue;
    out += text[i];
  }
  return out;
}

std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

rdb_database& Checked(RDB_HANDLE handle, const char* operation) {
  if (handle == nullptr) throw std::invalid_argument(std::string(operation) + ": null handle");
  return *handle;
}

const char* CheckedText(const char* text, const char* operation, const char* what) {
  if (text == nullptr) throw std::invalid_argument(std::string(operation) + ": null " + what);
  return text;
}

[[noreturn]] void Refuse(const char* what, const char* text, const char* problem) {
  throw std::invalid_argument(std::string("rdb_modify: the ") + what + " \"" + text + "\" " + problem);
}

bool HasLineBreak(const char* text) { return std::strpbrk(text, "\r\n") != nullptr; }

bool HasOuterBlank(const char* text) {
  const size_t n = std::strlen(text);
  return n > 0 && (IsBlank(text[0]) || IsBlank(text[n - 1]));
}

}  // namespace

RDB_HANDLE rdb_open_push(const char* path, int* status) {
  if (status) *status = 0;
  if (path == nullptr) {
    if (status) *status = EINVAL;
    return nullptr;
  }
  std::string text;
  int error = 0;
  try {
    text = qxos::ReadFileContents(path, &error);
  } catch (const std::exception&) {
    if (status) *status = error ? error : EIO;
    return nullptr;
  }
  // A terminator byte would end the text SimpleIni sees, and everything
  // after it would be lost on the next flush.
  if (text.find('\0') != std::string::npos) {
    if (status) *status = EINVAL;
    return nullptr;
  }

  auto database = std::make_unique<rdb_database>();
  database->path = path;
  if (text.compare(0, 3, kByteOrderMark) == 0) {
    database->byteOrderMark = true;
    text.erase(0, 3);
  }
  database->crlf = text.find("\r\n") != std::string::npos;
  std::string body;
  SplitTail(WithoutCarriageReturns(text), body, database->tail);
  database->ini.SetSpaces(false);
  database->ini.SetQuotes(false);
  database->ini.SetAllowKeyOnly(false);
  // SimpleIni drops a byte order mark at the start of what it reads; when
  // the file's own mark is already gone, a mark there begins the first key.
  // A blank line in front keeps it.
  if (body.compare(0, 3, kByteOrderMark) == 0) body.insert(0, "\n");
  if (database->ini.LoadData(body) < 0) {
    if (status) *status = ENOMEM;
    return nullptr;
  }
  return database.release();
}

int rdb_search(RDB_HANDLE handle, const char* section, const char* key, const char** value) {
  rdb_database& database = Checked(handle, "rdb_search");
  CheckedText(section, "rdb_search", "section");
  CheckedText(key, "rdb_search", "key");
  if (value == nullptr) throw std::invalid_argument("rdb_search: null value address");
  const char* found = database.ini.GetValue(section, key, nullptr);
  *value = found ? found : "";
  return found ? 0 : 1;
}

int rdb_modify(RDB_HANDLE handle, const char* section, const char* key, const char* value) {
  rdb_database& database = Checked(handle, "rdb_modify");
  CheckedText(section, "rdb_modify", "section");
  CheckedText(key, "rdb_modify", "key");
  CheckedText(value, "rdb_modify", "value");
  if (HasLineBreak(section)) Refuse("section", section, "holds a line break");
  if (std::strchr(section, ']') != nullptr) Refuse("section", section, "holds \"]\"");
  if (HasOuterBlank(section)) Refuse("section", section, "begins or ends with blank space");
  if (*key == '\0') Refuse("key", key, "is empty");
  if (HasLineBreak(key)) Refuse("key", key, "holds a line break");
  if (std::strchr(key, '=') != nullptr) Refuse("key", key, "holds \"=\"");
  if (*key == '[' || *key == ';' || *key == '#') Refuse("key", key, "begins with \"[\", \";\" or \"#\"");
  if (HasOuterBlank(key)) Refuse("key", key, "begins or ends with blank space");
  // At the top of the file it would be read as the file's byte order mark.
  if (std::strncmp(key, kByteOrderMark, 3) == 0) Refuse("key", key, "begins with a byte order mark");
  if (HasLineBreak(value))
    throw std::invalid_argument(std::string("rdb_modify: the value of \"") + key + "\" in [" + section +
                                "] holds a line break");
  // The file keeps no blank space around a value: it would be lost on the
  // next read.
  if (HasOuterBlank(value))
    throw std::invalid_argument(std::string("rdb_modify: the value of \"") + key + "\" in [" + section +
                                "] begins or ends with blank space");
  if (database.ini.SetValue(section, key, value) < 0)
    throw std::runtime_error(std::string("rdb_modify: can't set \"") + key + "\" in [" + section + "]");
  return 0;
}

int rdb_flush(RDB_HANDLE handle) {
  rdb_database& database = Checked(handle, "rdb_flush");
  std::string text;
  if (database.ini.Save(text, false) < 0)
    throw std::runtime_error("rdb_flush: \"" + database.path + "\": can't build the file's text");
  text = WithSingleBlankLines(text) + database.tail;
  if (database.crlf) text = WithCrLf(text);
  // A key outside any section that begins with a byte order mark comes
  // first in the file; without a mark of the file's own in front of it, the
  // next read would take the key's mark for the file's and lose it.
  if (database.byteOrderMark || text.compare(0, 3, kByteOrderMark) == 0) text.insert(0, kByteOrderMark);
  qxos::ReplaceFileContents(database.path, text);
  return 0;
}

int rdb_close(RDB_HANDLE handle) {
  if (handle == nullptr) return 1;
  delete handle;
  return 0;
}
