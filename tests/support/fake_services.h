// Services of a RIP server for tests: a scripted service that answers per
// method and records every call, and a wrapper that makes a service fail.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "qxm_service.h"

class FakeService : public QXM_IService {
 public:
  using Handler = std::function<QX_TAny(const std::vector<QX_TAny>&)>;
  using RequestHandler = std::function<QX_TAny(const QX_TDict&)>;

  struct CallRecord {
    std::string method;
    std::vector<QX_TAny> arguments;
  };

  // Answers calls of `method` with `handler`.
  FakeService& On(const std::string& method, Handler handler);
  // Answers calls of `method` with `answer`, whatever the arguments.
  FakeService& Answer(const std::string& method, const QX_TAny& answer);
  // Answers dictionary requests with `handler`.
  FakeService& OnRequest(RequestHandler handler);

  // Unscripted methods and requests fail as a remote error.
  QX_TAny Call(const QX_TString& method, const std::vector<QX_TAny>& arguments) override;
  QX_TAny Request(const QX_TDict& request) override;

  std::vector<CallRecord> calls;
  std::vector<QX_TDict> requests;

 private:
  std::map<std::string, Handler> handlers_;
  RequestHandler requestHandler_;
};

// Wraps a service; the methods named in `failing` (and, with
// failRequests, the dictionary requests) raise a remote error.
class FaultyService : public QXM_IService {
 public:
  explicit FaultyService(std::shared_ptr<QXM_IService> inner) : inner_(std::move(inner)) {}
  std::set<std::string> failing;
  bool failRequests = false;

  QX_TAny Call(const QX_TString& method, const std::vector<QX_TAny>& arguments) override;
  QX_TAny Request(const QX_TDict& request) override;

 private:
  std::shared_ptr<QXM_IService> inner_;
};
