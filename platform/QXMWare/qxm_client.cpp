#include "qxm_client.h"

void QXM_TClient::Connect(const QX_TString& server, const QX_TString& service, int, int) {
  auto handler = QXM_TRegistry::Instance().Find(server.Str(), service.Str());
  if (!handler)
    throw QXM_EException("QXM_TClient::Connect: connection refused: no service \"" + service.Str() +
                         "\" on server \"" + server.Str() + "\"");
  handler_ = std::move(handler);
  server_ = server;
  service_ = service;
}

QXM_IService& QXM_TClient::Service() {
  if (!handler_) throw QXM_EException("QXM_TClient: not connected");
  return *handler_;
}

QX_TAny QXM_TClient::Dispatch(const QX_TString& method, const std::vector<QX_TAny>& arguments) {
  return Service().Call(method, arguments);
}

QX_TAny QXM_TClient::Call(const QX_TString& method) { return Dispatch(method, {}); }
QX_TAny QXM_TClient::Call(const QX_TString& method, const QX_TAny& a1) { return Dispatch(method, {a1}); }
QX_TAny QXM_TClient::Call(const QX_TString& method, const QX_TAny& a1, const QX_TAny& a2) {
  return Dispatch(method, {a1, a2});
}
QX_TAny QXM_TClient::Call(const QX_TString& method, const QX_TAny& a1, const QX_TAny& a2, const QX_TAny& a3) {
  return Dispatch(method, {a1, a2, a3});
}
QX_TAny QXM_TClient::Request(const QX_TDict& request) { return Service().Request(request); }
