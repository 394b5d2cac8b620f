#include "fake_services.h"

FakeService& FakeService::On(const std::string& method, Handler handler) {
  handlers_[method] = std::move(handler);
  return *this;
}

FakeService& FakeService::Answer(const std::string& method, const QX_TAny& answer) {
  return On(method, [answer](const std::vector<QX_TAny>&) { return answer; });
}

FakeService& FakeService::OnRequest(RequestHandler handler) {
  requestHandler_ = std::move(handler);
  return *this;
}

QX_TAny FakeService::Call(const QX_TString& method, const std::vector<QX_TAny>& arguments) {
  calls.push_back(CallRecord{method.Str(), arguments});
  auto it = handlers_.find(method.Str());
  if (it == handlers_.end()) throw QXM_EException("FakeService: no answer for \"" + method.Str() + "\"");
  return it->second(arguments);
}

QX_TAny FakeService::Request(const QX_TDict& request) {
  requests.push_back(request);
  if (!requestHandler_) throw QXM_EException("FakeService: no answer for a request");
  return requestHandler_(request);
}

QX_TAny FaultyService::Call(const QX_TString& method, const std::vector<QX_TAny>& arguments) {
  if (failing.count(method.Str())) throw QXM_EException("FaultyService: \"" + method.Str() + "\" failed");
  return inner_->Call(method, arguments);
}

QX_TAny FaultyService::Request(const QX_TDict& request) {
  if (failRequests) throw QXM_EException("FaultyService: the request failed");
  return inner_->Request(request);
}
