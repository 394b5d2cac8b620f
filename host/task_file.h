// The task file of the host program: everything the host task and the RIP
// server would supply for one conversion (the job ticket, the calls to make,
// the template names, the answers of the server's services), read from JSON.
//
// Ticket values are typed: plain JSON where it is unambiguous, tagged objects
// ({"@uint32": 7}, {"@url": "/in"}, ...) where it is not. The same encoding
// writes values into the result (EncodeValue).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "qxtypes.h"
#include "univtype.h"

namespace t2dhost {

using Json = nlohmann::ordered_json;

// A task file that can't be read or is malformed. The text is one line
// naming the file, the position (line and column, or the path of the
// offending key) and the problem.
class TaskFileError : public std::runtime_error {
 public:
  explicit TaskFileError(const std::string& line) : std::runtime_error(line) {}
};

// The answers of the services of one RIP server; a service that is absent
// is not offered (a proxy's connection to it is refused).
struct CFSAnswers {
  QX_TTree tree;                          // "[]"(path): the value at that path
  std::map<std::string, QX_TAny> roots;   // "GetRootDirectory"(name)
  std::map<std::string, QX_TAny> expand;  // "Expand"(text)
};
struct FileServerAnswers {
  std::map<std::string, std::string> types;  // URL text -> file type
};
struct ElemServerAnswers {
  std::map<std::string, QX_TAny> jobs;  // job id -> "jinfo_cpp" answer
  std::map<std::string, QX_TAny> ij;    // URL text -> "ij" answer
};
struct CMSAnswers {
  std::map<std::string, std::vector<std::string>> books;      // book -> ink names
  std::map<std::string, std::map<std::string, QX_TAny>> answers;  // book -> ink -> answer
};
struct IPLAnswers {
  std::optional<QX_TAny> dataFolder;  // "GetDataIPL"
};

struct ServerAnswers {
  std::optional<CFSAnswers> cfs;
  std::optional<FileServerAnswers> fileServer;
  std::optional<ElemServerAnswers> elemServer;
  std::optional<CMSAnswers> cms;
  std::optional<IPLAnswers> ipl;
};

// One option for SetOption, an integer or a text.
struct TaskOption {
  std::string name;
  CUnivType value;
};

// A template name defined before the conversion; without a value when
// `value` is empty, else a QX_TString or a QX_TURL.
struct TemplateName {
  std::string name;
  std::optional<QX_TAny> value;
};

// The SetupDict call.
struct SetupCall {
  std::string master;
  QX_TDict masterDictionary;
  int32_t filmIndex = 0;
  int32_t optimizedExposure = 0;
  int32_t pageFlags[4] = {0, 0, 0, 0};
  std::string pageList;
};

// One AddJob call.
struct AddJobCall {
  int32_t index = 0;
  int32_t jobFlag = 0;
  QX_TArray jobArray;
};

// Where a member or element stands in the task file's text: the line and
// column (from 1; bytes) of a key's opening quote, or of the first character
// of an element that is an object or array.
struct FilePosition {
  size_t line = 0, column = 0;
};
// By key path ("ticket.configuration.Masters.M1.Jobs[0].Rotation").
using KeyPositions = std::unordered_map<std::string, FilePosition>;

struct TaskFile {
  std::string path;  // as given, for messages
  // Where each key stands; only when read with positions (for `lint`).
  std::shared_ptr<const KeyPositions> positions;
  std::vector<TaskOption> options;
  int32_t verbosity = 0;
  std::string mergeId;
  std::vector<TemplateName> templateNames;

  std::string deviceName, taskId, shortId, userName;
  QX_TDict configuration;
  QX_TDict work;

  std::optional<SetupCall> setup;
  // The jobs array handed to SetupDict and AddJob (empty without setup).
  QX_TArray jobsArray;
  // The AddJob calls, in order (none without setup).
  std::vector<AddJobCall> jobs;

  std::vector<std::pair<std::string, ServerAnswers>> servers;
  std::vector<std::pair<std::string, std::string>> shares;
};

// The path that names standard input as the task file.
constexpr const char* kStandardInput = "-";
// The largest task file read, in bytes, unless the environment variable
// below says otherwise: a larger file (or endless input) is refused before
// it is held whole.
constexpr uint64_t kDefaultMaxTaskFileSize = uint64_t{1} << 30;
constexpr const char* kMaxTaskFileSizeVariable = "TICKET2DICT_MAX_TASK_FILE_SIZE";

// The size limit in force: TICKET2DICT_MAX_TASK_FILE_SIZE (bytes) when set,
// else 1 GiB. A setting that is not a number of bytes raises TaskFileError.
uint64_t MaxTaskFileSize();

// The folder that relative paths of a task file are resolved against: the
// task file's own folder (the current folder for standard input).
std::string TaskFileFolder(const std::string& path);

// Reads the task file at `path` ("-": standard input, named "(standard
// input)" in messages). Raises TaskFileError when it can't be read, is over
// the size limit or is malformed. Relative local paths in {"@url": ...} are
// resolved against TaskFileFolder(path). Running out of memory raises
// std::bad_alloc.
// With `positions`, also where each key stands (TaskFile::positions).
TaskFile ReadTaskFile(const std::string& path, bool positions = false);

// Reads a task file from `text`; `path` names it in messages, `baseFolder`
// (an absolute folder) resolves relative local paths.
TaskFile ReadTaskFileText(const std::string& text, const std::string& path, const std::string& baseFolder,
                          bool positions = false);

// The typed encoding of one value, as the result writes it. Values of the
// library that the table has no tag for are written with an extra tag:
// {"@dict": {...}} for a dictionary holding a key that starts with "@" (so
// it can't be read back as a tag), {"@userinfo": "name"} for a user.
Json EncodeValue(const QX_TAny& value);

// Decodes one typed value; `where` names it in messages (a key path such as
// "ticket.configuration"), `file` the task file, `baseFolder` resolves
// relative paths. Raises TaskFileError.
QX_TAny DecodeValue(const Json& json, const std::string& file, const std::string& where,
                    const std::string& baseFolder);

// The key path of member `key` of the value at `where` ("setup.master", or
// servers[""] for a key that is not a plain word).
std::string MemberPath(const std::string& where, const std::string& key);

// The path of element `index` of the value at `where`: "jobs[3]".
std::string ElementPath(const std::string& where, size_t index);

// `text` as a JSON string, invalid UTF-8 replaced: how messages quote keys.
std::string QuotedText(const std::string& text);

// Whether a dictionary holds a key beginning with '@', which its encoding
// must then wrap as {"@dict": {...}} to read back as a dictionary.
bool HasTagLikeKey(const QX_TKeyedCollection& collection);

// The URL of the text of an {"@url": ...}: a URL text is kept, an absolute
// local or UNC path goes through QX_TURL::LocalToURL, a relative path is
// first joined to `baseFolder`. The empty text gives the empty URL.
QX_TURL UrlFromText(const std::string& text, const std::string& baseFolder);

// `path` as the system resolves it (absolute, links followed, "." and ".."
// gone, as far as it exists), so that two spellings of one file or folder
// compare equal.
std::string ResolvedPath(const std::string& path);

// The IPL data folders that the task file's servers answer "GetDataIPL"
// with, as local paths, sorted, each once: where the converter writes its
// CIP3 copies. An answer that names no local folder (another scheme, another
// type) is left out: nothing can be written there.
std::vector<std::string> IplDataFolders(const TaskFile& file);

}  // namespace t2dhost
