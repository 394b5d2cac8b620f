// The in-process middleware of the RIP server: servers by name, each
// offering named services. The host (or a test) registers the services;
// clients connect by server and service name. This registry is the seam
// that a real transport would replace.
#pragma once

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "qxtypes.h"

// Errors of the middleware: a refused connection, a remote call that
// failed. Their text says what failed.
class QXM_EException : public std::runtime_error {
 public:
  explicit QXM_EException(const std::string& what) : std::runtime_error(what) {}
};

// One service of a server.
class QXM_IService {
 public:
  virtual ~QXM_IService() = default;
  // A call of a remote method by name with its arguments (0 to 3). Raises
  // QXM_EException (or any std::exception) for a failed call.
  virtual QX_TAny Call(const QX_TString& method, const std::vector<QX_TAny>& arguments) = 0;
  // A request that sends a whole dictionary.
  virtual QX_TAny Request(const QX_TDict& request) = 0;
};

class QXM_TRegistry {
 public:
  static QXM_TRegistry& Instance();

  // Offers `service` on `server` ("" is the default server), replacing an
  // earlier one of the same names.
  void Register(const std::string& server, const std::string& service, std::shared_ptr<QXM_IService> handler);
  // The service, or null when the server or the service is unknown.
  std::shared_ptr<QXM_IService> Find(const std::string& server, const std::string& service) const;
  // Removes every server.
  void Clear();

 private:
  std::map<std::string, std::map<std::string, std::shared_ptr<QXM_IService>>> servers_;
};

extern "C" bool __QX_INITIALIZATION_FUNCTION_QXMWare__();
