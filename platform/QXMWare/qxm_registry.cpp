#include "qxinit.h"
#include "qxm_service.h"

namespace {
thread_local QXM_TRegistry* tCurrent = nullptr;
}  // namespace

void QXM_TRegistry::Register(const std::string& server, const std::string& service,
                             std::shared_ptr<QXM_IService> handler) {
  servers_[server][service] = std::move(handler);
}

std::shared_ptr<QXM_IService> QXM_TRegistry::Find(const std::string& server, const std::string& service) const {
  auto s = servers_.find(server);
  if (s == servers_.end()) return nullptr;
  auto v = s->second.find(service);
  return v == s->second.end() ? nullptr : v->second;
}

void QXM_TRegistry::Clear() { servers_.clear(); }

QXM_TRegistry::Binding::Binding(QXM_TRegistry& registry) : previous_(tCurrent) { tCurrent = &registry; }
QXM_TRegistry::Binding::~Binding() { tCurrent = previous_; }

QXM_TRegistry* QXM_TRegistry::Current() { return tCurrent; }

extern "C" bool __QX_INITIALIZATION_FUNCTION_QXMWare__() { return qxinit::Run("QXMWare"); }
