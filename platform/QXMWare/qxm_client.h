// QXM_TClient: a client of one service of a RIP server. The service proxies
// derive from it.
#pragma once

#include <memory>
#include <vector>

#include "qxm_service.h"

class QXM_TClient {
 public:
  QXM_TClient() = default;
  virtual ~QXM_TClient() = default;
  QXM_TClient(const QXM_TClient&) = delete;
  QXM_TClient& operator=(const QXM_TClient&) = delete;

  // Connects to `service` on `server` through the registry bound to the
  // calling thread (QXM_TRegistry::Binding). Raises QXM_EException when no
  // registry is bound or the server or the service is unknown. The two
  // integers are reserved (0).
  void Connect(const QX_TString& server, const QX_TString& service, int, int);

  // Calls a remote method with 0 to 3 arguments. Raises QXM_EException when
  // not connected; failures of the service pass to the caller.
  QX_TAny Call(const QX_TString& method);
  QX_TAny Call(const QX_TString& method, const QX_TAny& a1);
  QX_TAny Call(const QX_TString& method, const QX_TAny& a1, const QX_TAny& a2);
  QX_TAny Call(const QX_TString& method, const QX_TAny& a1, const QX_TAny& a2, const QX_TAny& a3);
  // Sends a whole dictionary as the request.
  QX_TAny Request(const QX_TDict& request);

  const QX_TString& ServerName() const { return server_; }
  const QX_TString& ServiceName() const { return service_; }

 private:
  QX_TAny Dispatch(const QX_TString& method, const std::vector<QX_TAny>& arguments);
  // Runs `send`; an observer hears its answer or its failure.
  template <class Send>
  QX_TAny Observed(const QX_TString& method, const std::vector<QX_TAny>& arguments, Send send);
  QXM_IService& Service();
  std::shared_ptr<QXM_IService> handler_;
  QXM_ICallObserver* observer_ = nullptr;
  QX_TString server_, service_;
};
