// FileServerProxy: the client of the "FileServer" service, which tells the
// type of an input file.
#pragma once

#include "proxy_connect.h"

class FileServerProxy : public QXM_TClient {
 public:
  // Connects to "FileServer"; raises the middleware's error when refused.
  explicit FileServerProxy(const char* server) {
    Connect(t2d_proxy::ServerName(server), QX_TString("FileServer"), 0, 0);
  }

  // "Query"(query, result, flag): the answer, a QX_TDict, is assigned to
  // `result`. Another answer raises QX_EIllegalCast.
  void Query(const QX_TAny& query, QX_TDict& result, bool flag) {
    QX_TAny answer = Call(QX_TString("Query"), query, QX_TAny(result), QX_TAny(flag));
    result = qx_cast<QX_TDict>(answer, "fs_tproxy", 69);
  }
};
