// The in-process middleware of the RIP server: servers by name, each
// offering named services. The host (or a test) registers the services in a
// registry of its own and binds it to the conversion's thread; clients
// connect by server and service name. The registry is the seam that a real
// transport would replace.
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

// The observer of the calls (QXM_ICallObserver) is declared with the other
// observation points in qx_observation.h.

// The RIP servers a conversion can reach: servers by name, each offering
// named services. The host (or a test) owns one per conversion, offers the
// services in it and binds it to the thread the conversion runs on; the
// clients on that thread connect through it. Two conversions on two threads
// thus never reach each other's servers.
class QXM_TRegistry {
 public:
  QXM_TRegistry() = default;
  QXM_TRegistry(const QXM_TRegistry&) = delete;
  QXM_TRegistry& operator=(const QXM_TRegistry&) = delete;

  // Offers `service` on `server` ("" is the default server), replacing an
  // earlier one of the same names.
  void Register(const std::string& server, const std::string& service, std::shared_ptr<QXM_IService> handler);
  // The service, or null when the server or the service is unknown.
  std::shared_ptr<QXM_IService> Find(const std::string& server, const std::string& service) const;
  // Removes every server.
  void Clear();

  // The observer of the calls made through this registry (null: none).
  void SetObserver(QXM_ICallObserver* observer) { observer_ = observer; }
  QXM_ICallObserver* Observer() const { return observer_; }

  // Binds a registry to the calling thread while it lives; the previous
  // binding is restored after.
  class Binding {
   public:
    explicit Binding(QXM_TRegistry& registry);
    ~Binding();
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;

   private:
    QXM_TRegistry* previous_;
  };
  // The registry bound to the calling thread, or null.
  static QXM_TRegistry* Current();

 private:
  std::map<std::string, std::map<std::string, std::shared_ptr<QXM_IService>>> servers_;
  QXM_ICallObserver* observer_ = nullptr;
};

extern "C" bool __QX_INITIALIZATION_FUNCTION_QXMWare__();
