#include "rip_server.h"

#include <cstring>

namespace t2dhost {

namespace {

// A request the service has no answer for: a remote error naming the
// service, the method and what was asked.
[[noreturn]] void RemoteError(const std::string& service, const std::string& method, const std::string& problem) {
  throw QXM_EException("remote error: " + service + " \"" + method + "\": " + problem);
}

bool IsClass(const QX_TAny& value, const char* className) {
  return !value.IsIllegal() && std::strcmp(value.ClassName(), className) == 0;
}

// The text of an argument: a QX_TString, or the text form of a QX_TURL.
std::string TextArgument(const std::string& service, const std::string& method,
                         const std::vector<QX_TAny>& arguments, size_t index) {
  if (index >= arguments.size())
    RemoteError(service, method, "argument " + std::to_string(index + 1) + " is missing");
  const QX_TAny& value = arguments[index];
  if (IsClass(value, QX_TString::kClassName)) return static_cast<const QX_TString&>(*value.Object()).Str();
  if (IsClass(value, QX_TURL::kClassName)) return static_cast<const QX_TURL&>(*value.Object()).Text().Str();
  RemoteError(service, method,
              "argument " + std::to_string(index + 1) + " is a " + value.ClassName() + ", not a text");
}

void CheckCount(const std::string& service, const std::string& method, const std::vector<QX_TAny>& arguments,
                size_t low, size_t high) {
  if (arguments.size() < low || arguments.size() > high)
    RemoteError(service, method, "called with " + std::to_string(arguments.size()) + " arguments");
}

// The text form of a URL argument given as a URL or as a text.
std::string UrlArgument(const std::string& service, const std::string& method, const std::vector<QX_TAny>& arguments,
                        size_t index) {
  const std::string text = TextArgument(service, method, arguments, index);
  try {
    return QX_TURL(QX_TString(text)).Text().Str();
  } catch (const std::exception&) {
    return text;
  }
}

class CallOnlyService : public QXM_IService {
 public:
  explicit CallOnlyService(std::string name) : name_(std::move(name)) {}
  QX_TAny Request(const QX_TDict&) override { RemoteError(name_, "request", "this service takes no dictionary requests"); }

 protected:
  std::string name_;
};

class CFSService : public CallOnlyService {
 public:
  explicit CFSService(const CFSAnswers& answers) : CallOnlyService("CFS"), answers_(answers) {}

  QX_TAny Call(const QX_TString& method, const std::vector<QX_TAny>& arguments) override {
    const std::string m = method.Str();
    if (m == "[]") {
      CheckCount(name_, m, arguments, 1, 2);
      return ValueAt(TextArgument(name_, m, arguments, 0));
    }
    if (m == "GetRootDirectory") {
      CheckCount(name_, m, arguments, 1, 2);
      const std::string name = TextArgument(name_, m, arguments, 0);
      auto it = answers_.roots.find(name);
      if (it == answers_.roots.end()) RemoteError(name_, m, "no root directory \"" + name + "\"");
      return it->second;
    }
    if (m == "Expand") {
      CheckCount(name_, m, arguments, 1, 1);
      const std::string text = TextArgument(name_, m, arguments, 0);
      auto it = answers_.expand.find(text);
      if (it == answers_.expand.end()) RemoteError(name_, m, "no expansion of \"" + text + "\"");
      return it->second;
    }
    RemoteError(name_, m, "no such method");
  }

 private:
  // The value at a "/"-separated path of the configuration tree.
  QX_TAny ValueAt(const std::string& path) const {
    QX_TAny node = answers_.tree;
    size_t start = 0;
    while (true) {
      const size_t slash = path.find('/', start);
      const std::string segment = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
      const auto* collection = dynamic_cast<const QX_TKeyedCollection*>(node.Object());
      if (collection == nullptr || !collection->HasKey(QX_TString(segment)))
        RemoteError(name_, "[]", "no value at \"" + path + "\"");
      QX_TAny next = (*collection)[QX_TString(segment)];
      node = std::move(next);
      if (slash == std::string::npos) return node;
      start = slash + 1;
    }
  }

  CFSAnswers answers_;
};

class FileServerService : public CallOnlyService {
 public:
  explicit FileServerService(const FileServerAnswers& answers) : CallOnlyService("FileServer"), answers_(answers) {}

  QX_TAny Call(const QX_TString& method, const std::vector<QX_TAny>& arguments) override {
    const std::string m = method.Str();
    if (m != "Query") RemoteError(name_, m, "no such method");
    CheckCount(name_, m, arguments, 2, 3);
    const std::string url = UrlArgument(name_, m, arguments, 0);
    if (!IsClass(arguments[1], QX_TDict::kClassName))
      RemoteError(name_, m, std::string("argument 2 is a ") + arguments[1].ClassName() + ", not a dictionary");
    auto it = answers_.types.find(url);
    if (it == answers_.types.end()) RemoteError(name_, m, "no file \"" + url + "\"");
    QX_TDict answer = static_cast<const QX_TDict&>(*arguments[1].Object());
    answer.Add(QX_TString("Type"), QX_TString(it->second));
    return answer;
  }

 private:
  FileServerAnswers answers_;
};

class ElemServerService : public QXM_IService {
 public:
  explicit ElemServerService(const ElemServerAnswers& answers) : answers_(answers) {}

  QX_TAny Call(const QX_TString& method, const std::vector<QX_TAny>&) override {
    RemoteError("ElemServer", method.Str(), "this service takes dictionary requests only");
  }

  QX_TAny Request(const QX_TDict& request) override {
    const std::vector<QX_TAny> fields{request[QX_TString("M")], request[QX_TString("P1")]};
    const std::string m = TextArgument("ElemServer", "request", fields, 0);
    if (m == "jinfo_cpp") {
      const std::string id = TextArgument("ElemServer", m, fields, 1);
      auto it = answers_.jobs.find(id);
      if (it == answers_.jobs.end()) RemoteError("ElemServer", m, "no job \"" + id + "\"");
      return it->second;
    }
    if (m == "ij") {
      const std::string url = UrlArgument("ElemServer", m, fields, 1);
      auto it = answers_.ij.find(url);
      if (it == answers_.ij.end()) RemoteError("ElemServer", m, "no element \"" + url + "\"");
      return it->second;
    }
    RemoteError("ElemServer", m, "no such request");
  }

 private:
  ElemServerAnswers answers_;
};

class CMSService : public CallOnlyService {
 public:
  explicit CMSService(const CMSAnswers& answers) : CallOnlyService("QXCMS"), answers_(answers) {}

  QX_TAny Call(const QX_TString& method, const std::vector<QX_TAny>& arguments) override {
    const std::string m = method.Str();
    if (m != "TIDB_InkExists") RemoteError(name_, m, "no such method");
    CheckCount(name_, m, arguments, 2, 2);
    const std::string book = TextArgument(name_, m, arguments, 0);
    const std::string ink = TextArgument(name_, m, arguments, 1);
    auto overridden = answers_.answers.find(book);
    if (overridden != answers_.answers.end()) {
      auto answer = overridden->second.find(ink);
      if (answer != overridden->second.end()) return answer->second;
    }
    auto inks = answers_.books.find(book);
    if (inks == answers_.books.end()) return QX_TAny(false);
    for (const std::string& name : inks->second)
      if (name == ink) return QX_TAny(true);
    return QX_TAny(false);
  }

 private:
  CMSAnswers answers_;
};

class IPLService : public CallOnlyService {
 public:
  explicit IPLService(const IPLAnswers& answers) : CallOnlyService("IPLServer"), answers_(answers) {}

  QX_TAny Call(const QX_TString& method, const std::vector<QX_TAny>& arguments) override {
    const std::string m = method.Str();
    if (m != "GetDataIPL") RemoteError(name_, m, "no such method");
    CheckCount(name_, m, arguments, 0, 0);
    if (!answers_.dataFolder) RemoteError(name_, m, "no data folder");
    return *answers_.dataFolder;
  }

 private:
  IPLAnswers answers_;
};

// A service's own lookups in its answers (the configuration tree it walks)
// are the server's business, not the converter's: a conversion's trace
// hears them no more than it would hear a real server's.
class ServerSide : public QXM_IService {
 public:
  explicit ServerSide(std::shared_ptr<QXM_IService> service) : service_(std::move(service)) {}
  QX_TAny Call(const QX_TString& method, const std::vector<QX_TAny>& arguments) override {
    const QX_TReadObserverBinding unobserved(nullptr);
    return service_->Call(method, arguments);
  }
  QX_TAny Request(const QX_TDict& request) override {
    const QX_TReadObserverBinding unobserved(nullptr);
    return service_->Request(request);
  }

 private:
  std::shared_ptr<QXM_IService> service_;
};

}  // namespace

std::vector<std::pair<std::string, std::shared_ptr<QXM_IService>>> MakeServices(const ServerAnswers& answers) {
  std::vector<std::pair<std::string, std::shared_ptr<QXM_IService>>> services;
  if (answers.cfs) services.emplace_back("CFS", std::make_shared<CFSService>(*answers.cfs));
  if (answers.fileServer) services.emplace_back("FileServer", std::make_shared<FileServerService>(*answers.fileServer));
  if (answers.elemServer) services.emplace_back("ElemServer", std::make_shared<ElemServerService>(*answers.elemServer));
  if (answers.cms) services.emplace_back("QXCMS", std::make_shared<CMSService>(*answers.cms));
  if (answers.ipl) services.emplace_back("IPLServer", std::make_shared<IPLService>(*answers.ipl));
  return services;
}

void OfferServers(const std::vector<std::pair<std::string, ServerAnswers>>& servers, QXM_TRegistry& registry) {
  registry.Clear();
  for (const auto& server : servers)
    for (auto& service : MakeServices(server.second))
      registry.Register(server.first, service.first, std::make_shared<ServerSide>(service.second));
}

}  // namespace t2dhost
