#include "task_file.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string_view>
#include <system_error>

#include "os_file.h"
#include "task_file_parser.h"

namespace t2dhost {

namespace {

namespace fs = std::filesystem;

// ---- Key paths -------------------------------------------------------------

std::string Member(const std::string& where, const std::string& key) { return QX_TOrigin::MemberPathOf(where, key); }
std::string Element(const std::string& where, size_t index) { return QX_TOrigin::ElementPathOf(where, index); }
std::string Quoted(const std::string& text) { return QX_TOrigin::Quoted(text); }

std::string KindName(const Json& j) { return KindOf(j); }

class Reader {
 public:
  // `values`: the values built while parsing, which the document's
  // placeholders stand for (none when decoding a document of plain JSON).
  Reader(std::string file, std::string baseFolder, const std::vector<PrebuiltValue>* values)
      : file_(std::move(file)), base_(std::move(baseFolder)), values_(values) {}

  [[noreturn]] void Fail(const std::string& where, const std::string& problem) const {
    throw TaskFileError(file_ + ": " + (where.empty() ? std::string("(top level)") : where) + ": " + problem);
  }

  // A typed value: the value the parser built where the document holds its
  // placeholder. Null there means no value.
  QX_TAny Value(const Json& j, const std::string& where) const {
    size_t prebuilt = 0;
    if (values_ != nullptr && IsPrebuiltValue(j, prebuilt)) {
      const PrebuiltValue& value = values_->at(prebuilt);
      if (!value.error.empty()) throw TaskFileError(value.error);
      return value.value;
    }
    if (j.is_null()) Fail(where, "null is not a value here; write {\"@illegal\": null} for the illegal value");
    Fail(where, std::string("a typed value was expected, not ") + KindName(j));
  }

  // The JSON kind of what the file holds at `j`, a placeholder included.
  const char* Kind(const Json& j) const {
    size_t prebuilt = 0;
    if (values_ != nullptr && IsPrebuiltValue(j, prebuilt)) return values_->at(prebuilt).kind;
    return KindOf(j);
  }

  // ---- Task file structure -------------------------------------------------

  const Json& Object(const Json& j, const std::string& where) const {
    if (!j.is_object()) Fail(where, "needs an object, not " + KindName(j));
    return j;
  }

  void AllowKeys(const Json& j, const std::string& where, std::initializer_list<const char*> allowed) const {
    for (auto it = j.begin(); it != j.end(); ++it) {
      bool known = false;
      for (const char* a : allowed) known = known || it.key() == a;
      if (!known) {
        std::string list;
        for (const char* a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
        Fail(Member(where, it.key()), "unknown key (known here: " + list + ")");
      }
    }
  }

  // The member `key`, or null when absent.
  static const Json* Find(const Json& j, const char* key) {
    auto it = j.find(key);
    if (it == j.end() || it->is_null()) return nullptr;
    return &*it;
  }

  std::string Text(const Json& j, const std::string& where) const {
    if (!j.is_string()) Fail(where, "needs a text, not " + KindName(j));
    return j.get<std::string>();
  }

  std::string OptionalText(const Json& parent, const char* key, const std::string& where) const {
    const Json* j = Find(parent, key);
    return j ? Text(*j, Member(where, key)) : std::string();
  }

  int32_t Int32(const Json& j, const std::string& where) const {
    int64_t v = 0;
    const IntegerKind kind = IntegerOf(j, v);
    if (kind == IntegerKind::kNotInteger) Fail(where, "needs an integer, not " + KindName(j));
    if (kind == IntegerKind::kHuge || v < INT32_MIN || v > INT32_MAX)
      Fail(where, "the integer " + j.dump() + " is out of the 32-bit signed range");
    return static_cast<int32_t>(v);
  }

  int32_t OptionalInt32(const Json& parent, const char* key, const std::string& where) const {
    const Json* j = Find(parent, key);
    return j ? Int32(*j, Member(where, key)) : 0;
  }

  QX_TDict Dict(const Json& j, const std::string& where) const {
    QX_TAny v = Value(j, where);
    if (v.IsIllegal() || std::strcmp(v.ClassName(), QX_TDict::kClassName) != 0)
      Fail(where, "needs a dictionary (a JSON object), not " + std::string(v.ClassName()));
    return static_cast<const QX_TDict&>(*v.Object());
  }

  QX_TArray Array(const Json& j, const std::string& where) const {
    QX_TAny v = Value(j, where);
    if (v.IsIllegal() || std::strcmp(v.ClassName(), QX_TArray::kClassName) != 0)
      Fail(where, "needs an array, not " + std::string(v.ClassName()));
    return static_cast<const QX_TArray&>(*v.Object());
  }

  // The key of a "types" or "ij" table: a URL text, or a local path that
  // becomes one as {"@url": ...} would.
  std::string UrlKey(const std::string& key, const std::string& where) const {
    try {
      return UrlFromText(key, base_).Text().Str();
    } catch (const std::exception& e) {
      Fail(where, e.what());
    }
  }

  TaskFile Read(const Json& root) const {
    TaskFile task;
    task.path = file_;
    Object(root, "");
    AllowKeys(root, "", {"options", "verbosity", "task", "ticket", "setup", "jobs", "servers", "shares"});

    if (const Json* options = Find(root, "options")) {
      Object(*options, "options");
      for (auto it = options->begin(); it != options->end(); ++it) {
        const std::string where = Member("options", it.key());
        if (it.key().find('\0') != std::string::npos)
          Fail(where, "an option's name is handed over as a C text and can't hold a NUL character");
        TaskOption option{it.key(), CUnivType()};
        if (it->is_string())
          option.value = it->get<std::string>();
        else if (it->is_number_integer())
          option.value = Int32(*it, where);
        else
          Fail(where, "an option is an integer or a text, not " + KindName(*it));
        task.options.push_back(option);
      }
    }
    task.verbosity = OptionalInt32(root, "verbosity", "");

    if (const Json* t = Find(root, "task")) {
      Object(*t, "task");
      AllowKeys(*t, "task", {"mergeId", "templateNames"});
      task.mergeId = OptionalText(*t, "mergeId", "task");
      if (const Json* names = Find(*t, "templateNames")) {
        Object(*names, "task.templateNames");
        for (auto it = names->begin(); it != names->end(); ++it) {
          const std::string where = Member("task.templateNames", it.key());
          TemplateName name{it.key(), std::nullopt};
          if (!it->is_null()) {
            QX_TAny value = Value(*it, where);
            const char* cls = value.ClassName();
            if (std::strcmp(cls, QX_TString::kClassName) != 0 && std::strcmp(cls, QX_TURL::kClassName) != 0)
              Fail(where, "a template name's value is a text, {\"@url\": ...} or null, not " + std::string(cls));
            name.value = value;
          }
          task.templateNames.push_back(name);
        }
      }
    }

    if (const Json* t = Find(root, "ticket")) {
      Object(*t, "ticket");
      AllowKeys(*t, "ticket", {"deviceName", "taskId", "shortId", "userName", "configuration", "work"});
      task.deviceName = OptionalText(*t, "deviceName", "ticket");
      task.taskId = OptionalText(*t, "taskId", "ticket");
      task.shortId = OptionalText(*t, "shortId", "ticket");
      task.userName = OptionalText(*t, "userName", "ticket");
      if (const Json* c = Find(*t, "configuration")) task.configuration = Dict(*c, "ticket.configuration");
      if (const Json* w = Find(*t, "work")) task.work = Dict(*w, "ticket.work");
    }

    if (const Json* s = Find(root, "setup")) ReadSetup(*s, task);
    ReadJobs(root, task);

    if (const Json* servers = Find(root, "servers")) {
      Object(*servers, "servers");
      for (auto it = servers->begin(); it != servers->end(); ++it)
        task.servers.emplace_back(it.key(), ReadServer(*it, Member("servers", it.key())));
    }

    if (const Json* shares = Find(root, "shares")) {
      Object(*shares, "shares");
      for (auto it = shares->begin(); it != shares->end(); ++it) {
        const std::string where = Member("shares", it.key());
        if (it.key().empty()) Fail(where, "a shared folder needs a local path");
        task.shares.emplace_back(it.key(), Text(*it, where));
      }
    }
    return task;
  }

  void ReadSetup(const Json& s, TaskFile& task) const {
    Object(s, "setup");
    AllowKeys(s, "setup",
              {"master", "masterDictionary", "filmIndex", "optimizedExposure", "pageFlags", "pageList", "jobs"});
    SetupCall setup;
    const Json* master = Find(s, "master");
    if (master == nullptr) Fail("setup.master", "missing: the setup needs the master's name");
    setup.master = Text(*master, "setup.master");
    setup.filmIndex = OptionalInt32(s, "filmIndex", "setup");
    setup.optimizedExposure = OptionalInt32(s, "optimizedExposure", "setup");
    if (const Json* flags = Find(s, "pageFlags")) {
      if (!flags->is_array() || flags->size() != 4)
        Fail("setup.pageFlags", "needs an array of four integers, not " + KindName(*flags) +
                                    (flags->is_array() ? " of " + std::to_string(flags->size()) : std::string()));
      for (size_t i = 0; i < 4; ++i) setup.pageFlags[i] = Int32((*flags)[i], Element("setup.pageFlags", i));
    }
    setup.pageList = OptionalText(s, "pageList", "setup");
    if (setup.pageList.find('\0') != std::string::npos)
      Fail("setup.pageList", "the page list is handed over as a C text and can't hold a NUL character");

    // The master dictionary, and where its "Jobs" would be.
    std::string masterWhere;
    if (const Json* m = Find(s, "masterDictionary")) {
      setup.masterDictionary = Dict(*m, "setup.masterDictionary");
      masterWhere = "setup.masterDictionary";
    } else {
      const std::string mastersWhere = "ticket.configuration.Masters";
      masterWhere = Member(mastersWhere, setup.master);
      const QX_TAny& masters = task.configuration[QX_TString("Masters")];
      if (masters.IsIllegal())
        Fail(mastersWhere, "missing: the master " + Quoted(setup.master) + " of setup.master is looked up there");
      if (std::strcmp(masters.ClassName(), QX_TDict::kClassName) != 0)
        Fail(mastersWhere, "needs a dictionary, not " + std::string(masters.ClassName()));
      const QX_TDict& dict = static_cast<const QX_TDict&>(*masters.Object());
      if (!dict.HasKey(QX_TString(setup.master)))
        Fail(masterWhere, "missing: the master " + Quoted(setup.master) + " of setup.master is not under \"Masters\"");
      const QX_TAny& entry = dict[QX_TString(setup.master)];
      if (entry.IsIllegal() || std::strcmp(entry.ClassName(), QX_TDict::kClassName) != 0)
        Fail(masterWhere, "the master needs a dictionary, not " + std::string(entry.ClassName()));
      setup.masterDictionary = static_cast<const QX_TDict&>(*entry.Object());
    }

    if (const Json* jobs = Find(s, "jobs")) {
      task.jobsArray = Array(*jobs, "setup.jobs");
    } else if (setup.masterDictionary.HasKey(QX_TString("Jobs"))) {
      const QX_TAny& jobs = setup.masterDictionary[QX_TString("Jobs")];
      if (jobs.IsIllegal() || std::strcmp(jobs.ClassName(), QX_TArray::kClassName) != 0)
        Fail(Member(masterWhere, "Jobs"),
             "the master's \"Jobs\" is the jobs array when setup.jobs is absent; it needs an array, not " +
                 std::string(jobs.ClassName()));
      task.jobsArray = static_cast<const QX_TArray&>(*jobs.Object());
    }
    task.setup = setup;
  }

  void ReadJobs(const Json& root, TaskFile& task) const {
    const Json* jobs = Find(root, "jobs");
    if (jobs == nullptr) {
      if (task.setup)
        for (int32_t i = 0; i < task.jobsArray.Size(); ++i) task.jobs.push_back(AddJobCall{i, 0, QX_TArray()});
      return;
    }
    if (!jobs->is_array()) Fail("jobs", "needs an array of AddJob calls, not " + KindName(*jobs));
    std::vector<AddJobCall> calls;
    for (size_t i = 0; i < jobs->size(); ++i) {
      const std::string where = Element("jobs", i);
      const Json& call = (*jobs)[i];
      Object(call, where);
      AllowKeys(call, where, {"index", "jobFlag", "jobArray"});
      const Json* index = Find(call, "index");
      if (index == nullptr) Fail(Member(where, "index"), "missing: every AddJob call needs the job's index");
      AddJobCall job;
      job.index = Int32(*index, Member(where, "index"));
      job.jobFlag = OptionalInt32(call, "jobFlag", where);
      if (const Json* a = Find(call, "jobArray")) job.jobArray = Array(*a, Member(where, "jobArray"));
      calls.push_back(job);
    }
    // Without a setup neither SetupDict nor any AddJob is called.
    if (task.setup) task.jobs = std::move(calls);
  }

  template <class Map>
  void ValueTable(const Json& j, const std::string& where, Map& out, bool urlKeys = false) const {
    Object(j, where);
    for (auto it = j.begin(); it != j.end(); ++it) {
      const std::string w = Member(where, it.key());
      out[urlKeys ? UrlKey(it.key(), w) : it.key()] = Value(*it, w);
    }
  }

  ServerAnswers ReadServer(const Json& j, const std::string& where) const {
    if (!j.is_object()) Fail(where, "a server is an object of services, not " + KindName(j));
    ServerAnswers server;
    for (auto it = j.begin(); it != j.end(); ++it) {
      const std::string& service = it.key();
      const std::string w = Member(where, service);
      const Json& entry = *it;
      if (service != "CFS" && service != "FileServer" && service != "ElemServer" && service != "QXCMS" &&
          service != "IPLServer")
        Fail(w, "unknown service (known: CFS, FileServer, ElemServer, QXCMS, IPLServer)");
      if (entry.is_null()) Fail(w, "a service needs an object (write {} for one without answers)");
      Object(entry, w);
      if (service == "CFS") {
        AllowKeys(entry, w, {"tree", "roots", "expand"});
        CFSAnswers cfs;
        if (const Json* tree = Find(entry, "tree")) {
          if (std::strcmp(Kind(*tree), "an object") != 0)
            Fail(Member(w, "tree"), "needs an object, not " + std::string(Kind(*tree)));
          QX_TAny value = Value(*tree, Member(w, "tree"));
          if (std::strcmp(value.ClassName(), QX_TTree::kClassName) != 0)
            Fail(Member(w, "tree"), "needs a nested object, not " + std::string(value.ClassName()));
          cfs.tree = static_cast<const QX_TTree&>(*value.Object());
        }
        if (const Json* roots = Find(entry, "roots")) ValueTable(*roots, Member(w, "roots"), cfs.roots);
        if (const Json* expand = Find(entry, "expand")) ValueTable(*expand, Member(w, "expand"), cfs.expand);
        server.cfs = std::move(cfs);
      } else if (service == "FileServer") {
        AllowKeys(entry, w, {"types"});
        FileServerAnswers files;
        if (const Json* types = Find(entry, "types")) {
          const std::string tw = Member(w, "types");
          Object(*types, tw);
          for (auto t = types->begin(); t != types->end(); ++t) {
            const std::string ew = Member(tw, t.key());
            files.types[UrlKey(t.key(), ew)] = Text(*t, ew);
          }
        }
        server.fileServer = std::move(files);
      } else if (service == "ElemServer") {
        AllowKeys(entry, w, {"jobs", "ij"});
        ElemServerAnswers elems;
        if (const Json* jobs = Find(entry, "jobs")) ValueTable(*jobs, Member(w, "jobs"), elems.jobs);
        if (const Json* ij = Find(entry, "ij")) ValueTable(*ij, Member(w, "ij"), elems.ij, true);
        server.elemServer = std::move(elems);
      } else if (service == "QXCMS") {
        AllowKeys(entry, w, {"books", "answers"});
        CMSAnswers cms;
        if (const Json* books = Find(entry, "books")) {
          const std::string bw = Member(w, "books");
          Object(*books, bw);
          for (auto b = books->begin(); b != books->end(); ++b) {
            const std::string ew = Member(bw, b.key());
            if (!b->is_array()) Fail(ew, "a book needs an array of ink names, not " + KindName(*b));
            std::vector<std::string>& inks = cms.books[b.key()];
            for (size_t i = 0; i < b->size(); ++i) inks.push_back(Text((*b)[i], Element(ew, i)));
          }
        }
        if (const Json* answers = Find(entry, "answers")) {
          const std::string aw = Member(w, "answers");
          Object(*answers, aw);
          for (auto b = answers->begin(); b != answers->end(); ++b)
            ValueTable(*b, Member(aw, b.key()), cms.answers[b.key()]);
        }
        server.cms = std::move(cms);
      } else {
        AllowKeys(entry, w, {"dataFolder"});
        IPLAnswers ipl;
        if (const Json* folder = Find(entry, "dataFolder")) ipl.dataFolder = Value(*folder, Member(w, "dataFolder"));
        server.ipl = std::move(ipl);
      }
    }
    return server;
  }

 private:
  std::string file_;
  std::string base_;
  const std::vector<PrebuiltValue>* values_;
};

}  // namespace

std::string MemberPath(const std::string& where, const std::string& key) { return Member(where, key); }
std::string ElementPath(const std::string& where, size_t index) { return Element(where, index); }
std::string QuotedText(const std::string& text) { return Quoted(text); }

bool HasTagLikeKey(const QX_TKeyedCollection& collection) {
  for (const auto& entry : collection)
    if (!entry.first.IsEmpty() && entry.first.Text()[0] == '@') return true;
  return false;
}

QX_TURL UrlFromText(const std::string& text, const std::string& baseFolder) {
  const QX_TString t(text);
  if (text.empty() || QX_TURL::IsUrlText(t)) return QX_TURL(t);
  if (text[0] == '/' || text[0] == '\\') return QX_TURL::LocalToURL(t);
  // A relative path lies in the task file's folder, so that examples carry
  // their own data wherever they are checked out.
  return QX_TURL::LocalToURL(QX_TString((fs::path(baseFolder) / text).lexically_normal().string()));
}

QX_TAny DecodeValue(const Json& json, const std::string& file, const std::string& where,
                    const std::string& baseFolder) {
  PrebuiltValue value = ParseValueText(json.dump(), file, where, baseFolder);
  if (!value.error.empty()) throw TaskFileError(value.error);
  return std::move(value.value);
}

TaskFile ReadTaskFileText(const std::string& text, const std::string& path, const std::string& baseFolder,
                          bool positions) {
  ParsedTaskFile parsed = ParseTaskFileText(text, path, baseFolder, positions);
  TaskFile file = Reader(path, baseFolder, &parsed.values).Read(parsed.root);
  if (positions) file.positions = std::make_shared<const KeyPositions>(std::move(parsed.positions));
  return file;
}

uint64_t MaxTaskFileSize() {
  const char* setting = std::getenv(kMaxTaskFileSizeVariable);
  if (setting == nullptr || *setting == '\0') return kDefaultMaxTaskFileSize;
  uint64_t size = 0;
  const char* end = setting + std::strlen(setting);
  const auto parsed = std::from_chars(setting, end, size);
  if (parsed.ec != std::errc() || parsed.ptr != end || size == 0)
    throw TaskFileError(std::string(kMaxTaskFileSizeVariable) + " is " + Quoted(setting) +
                        "; it must be a number of bytes from 1 on");
  return size;
}

std::string TaskFileFolder(const std::string& path) {
  if (path == kStandardInput) {
    std::error_code ec;
    const fs::path here = fs::current_path(ec);
    return ec ? std::string(".") : here.lexically_normal().string();
  }
  std::error_code ec;
  const fs::path absolute = fs::absolute(fs::path(path), ec);
  return ec ? std::string(".") : absolute.lexically_normal().parent_path().string();
}

TaskFile ReadTaskFile(const std::string& path, bool positions) {
  const bool standardInput = path == kStandardInput;
  const std::string name = standardInput ? "(standard input)" : path;
  const uint64_t limit = MaxTaskFileSize();
  std::string text;
  int error = 0;
  try {
    qxos::ReadOptions options;
    options.regularOnly = false;
    options.maxSize = limit;
    options.stopAfterNul = true;  // a task file never holds one: refused where it stands
    text = qxos::ReadFileContents(standardInput ? "/dev/stdin" : path, &error, options);
  } catch (const std::runtime_error&) {
    if (error == EFBIG)
      throw TaskFileError(name + ": can't read the task file: it is larger than " + std::to_string(limit) +
                          " bytes (set " + kMaxTaskFileSizeVariable + " to allow more)");
    if (error == EISDIR) throw TaskFileError(name + ": can't read the task file: it is a folder");
    throw TaskFileError(name + ": can't read the task file: " + std::strerror(error));
  }
  return ReadTaskFileText(text, name, TaskFileFolder(path), positions);
}

// ---- Encoding --------------------------------------------------------------

namespace {

Json EncodeEntries(const QX_TKeyedCollection& collection) {
  // The keys of a collection are unique: append each member, rather than
  // look it up among those before (a linear walk in an ordered object).
  Json object = Json::object();
  auto& members = object.get_ref<Json::object_t&>();
  members.reserve(collection.Items().size());
  for (const auto& entry : collection) members.emplace_back(entry.first.Str(), EncodeValue(entry.second));
  return object;
}

}  // namespace

Json EncodeValue(const QX_TAny& value) {
  if (value.IsIllegal()) return Json{{"@illegal", nullptr}};
  const QX_TObject& object = *value.Object();
  const std::string_view cls = object.ClassName();
  if (cls == QX_TString::kClassName) return static_cast<const QX_TString&>(object).Str();
  if (cls == QX_TBool::kClassName) return static_cast<const QX_TBool&>(object).Value();
  if (cls == QX_TInt32::kClassName) return static_cast<const QX_TInt32&>(object).Value();
  if (cls == QX_TUInt32::kClassName) return Json{{"@uint32", static_cast<const QX_TUInt32&>(object).Value()}};
  if (cls == QX_TUInt16::kClassName) return Json{{"@uint16", static_cast<const QX_TUInt16&>(object).Value()}};
  if (cls == QX_TDouble::kClassName) {
    const double d = static_cast<const QX_TDouble&>(object).Value();
    if (std::isnan(d)) return Json{{"@double", "nan"}};
    if (std::isinf(d)) return Json{{"@double", d > 0 ? "inf" : "-inf"}};
    // A double is always written with a fraction or exponent, so it reads
    // back as a double; the tag is needed only where it would not.
    return d;
  }
  if (cls == QX_TURL::kClassName) return Json{{"@url", static_cast<const QX_TURL&>(object).Text().Str()}};
  if (cls == QX_TTree::kClassName) return Json{{"@tree", EncodeEntries(static_cast<const QX_TTree&>(object))}};
  if (cls == QX_TDict::kClassName) {
    const auto& dict = static_cast<const QX_TDict&>(object);
    if (HasTagLikeKey(dict)) return Json{{"@dict", EncodeEntries(dict)}};
    return EncodeEntries(dict);
  }
  if (cls == QX_TArray::kClassName) {
    const auto& array = static_cast<const QX_TArray&>(object);
    Json items = Json::array();
    for (const QX_TAny& item : array.Items()) items.push_back(EncodeValue(item));
    if (array.LowerBound() == 0) return items;
    Json tagged = Json::object();
    tagged["@array"] = std::move(items);
    tagged["@lower"] = array.LowerBound();
    return tagged;
  }
  if (cls == QX_TUserInfo::kClassName) return Json{{"@userinfo", static_cast<const QX_TUserInfo&>(object).Name().Str()}};
  return Json{{"@class", std::string(cls)}};
}

std::string ResolvedPath(const std::string& path) {
  std::error_code ec;
  const fs::path absolute = fs::absolute(path, ec);
  if (ec) return path;
  const fs::path resolved = fs::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal().string() : resolved.string();
}

std::vector<std::string> IplDataFolders(const TaskFile& file) {
  std::set<std::string> folders;
  for (const auto& server : file.servers) {
    if (!server.second.ipl || !server.second.ipl->dataFolder) continue;
    const QX_TObject* object = server.second.ipl->dataFolder->Object();
    if (!object) continue;
    std::string path;
    try {
      if (std::string_view(object->ClassName()) == QX_TURL::kClassName)
        path = static_cast<const QX_TURL*>(object)->LocalName().Str();
      else if (std::string_view(object->ClassName()) == QX_TString::kClassName)
        path = static_cast<const QX_TString*>(object)->Str();
    } catch (const std::exception&) {
      continue;  // a URL without a local name
    }
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
    if (!path.empty()) folders.insert(path);
  }
  return {folders.begin(), folders.end()};
}

}  // namespace t2dhost
