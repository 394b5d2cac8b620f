// CFSProxy: the client of the configuration file server's "CFS" service:
// values of the configuration tree by path, the root directories of the
// server's shared resources, and path expansion.
#pragma once

#include "proxy_connect.h"

class CFSProxy : public QXM_TClient {
 public:
  // Connects to "CFS"; raises the middleware's error when refused.
  explicit CFSProxy(const char* server) { Connect(t2d_proxy::ServerName(server), QX_TString("CFS"), 0, 0); }

  // "GetRootDirectory"(name[, second]): the root of a shared resource. The
  // second text is sent only when it is not empty. An answer that is not a
  // QX_TURL raises QX_EIllegalCast.
  QX_TURL GetRootDirectory(const QX_TString& name, const QX_TString& second = QX_TString::sEmpty) {
    if (!second.IsEmpty()) {
      QX_TAny answer = Call(QX_TString("GetRootDirectory"), QX_TAny(name), QX_TAny(second));
      return qx_cast<QX_TURL>(answer, "CFS/Server/cfs_tproxy", 65);
    }
    QX_TAny answer = Call(QX_TString("GetRootDirectory"), QX_TAny(name));
    return qx_cast<QX_TURL>(answer, "CFS/Server/cfs_tproxy", 69);
  }

  // "Expand"(value): the raw answer, for the caller to convert.
  QX_TAny Expand(const QX_TAny& value) { return Call(QX_TString("Expand"), value); }

  // "[]"(path) and "[]"(path, flag): the value of the configuration tree at
  // that path, raw, for the caller to convert.
  QX_TAny Value(const QX_TAny& path) { return Call(QX_TString("[]"), path); }
  QX_TAny Value(const QX_TAny& path, bool flag) { return Call(QX_TString("[]"), path, QX_TAny(flag)); }
};
