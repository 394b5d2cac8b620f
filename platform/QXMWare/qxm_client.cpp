#include "qxm_client.h"

void QXM_TClient::Connect(const QX_TString& server, const QX_TString& service, int, int) {
  QXM_TRegistry* registry = QXM_TRegistry::Current();
  if (registry == nullptr)
    throw QXM_EException("QXM_TClient::Connect: connection refused: no RIP server is reachable from this thread");
  observer_ = registry->Observer();
  auto handler = registry->Find(server.Str(), service.Str());
  if (!handler) {
    const std::string problem = "QXM_TClient::Connect: connection refused: no service " + QX_TOrigin::Quoted(service.Str()) +
                                " on server " + QX_TOrigin::Quoted(server.Str());
    if (observer_ != nullptr) observer_->Failed(service, QX_TString("Connect"), {QX_TAny(server)}, problem);
    throw QXM_EException(problem);
  }
  handler_ = std::move(handler);
  server_ = server;
  service_ = service;
}

QXM_IService& QXM_TClient::Service() {
  if (!handler_) throw QXM_EException("QXM_TClient: not connected");
  return *handler_;
}

template <class Send>
QX_TAny QXM_TClient::Observed(const QX_TString& method, const std::vector<QX_TAny>& arguments, Send send) {
  if (observer_ == nullptr) return send();
  try {
    QX_TAny answer = send();
    observer_->Answered(service_, method, arguments, answer);
    return answer;
  } catch (const std::exception& e) {
    observer_->Failed(service_, method, arguments, e.what());
    throw;
  }
}

QX_TAny QXM_TClient::Dispatch(const QX_TString& method, const std::vector<QX_TAny>& arguments) {
  QXM_IService& service = Service();
  return Observed(method, arguments, [&] { return service.Call(method, arguments); });
}

QX_TAny QXM_TClient::Call(const QX_TString& method) { return Dispatch(method, {}); }
QX_TAny QXM_TClient::Call(const QX_TString& method, const QX_TAny& a1) { return Dispatch(method, {a1}); }
QX_TAny QXM_TClient::Call(const QX_TString& method, const QX_TAny& a1, const QX_TAny& a2) {
  return Dispatch(method, {a1, a2});
}
QX_TAny QXM_TClient::Call(const QX_TString& method, const QX_TAny& a1, const QX_TAny& a2, const QX_TAny& a3) {
  return Dispatch(method, {a1, a2, a3});
}

QX_TAny QXM_TClient::Request(const QX_TDict& request) {
  QXM_IService& service = Service();
  if (observer_ == nullptr) return service.Request(request);
  // A request is heard under the method it names ("M").
  QX_TString method("request");
  const QX_TLookup name = request[QX_TString("M")];
  if (!name.IsIllegal() && std::string(name.ClassName()) == QX_TString::kClassName)
    method = static_cast<const QX_TString&>(*name.Object());
  return Observed(method, {QX_TAny(request)}, [&] { return service.Request(request); });
}
