// CMSServerProxy: the client of the colour management server's "QXCMS"
// service, which knows the ink books.
#pragma once

#include "proxy_connect.h"

class CMSServerProxy : public QXM_TClient {
 public:
  // Connects to "QXCMS"; raises the middleware's error when refused.
  explicit CMSServerProxy(const char* server) {
    Connect(t2d_proxy::ServerName(server), QX_TString("QXCMS"), 0, 0);
  }

  // "TIDB_InkExists"(book, ink): whether the book holds the ink. An answer
  // that is not a QX_TBool raises QX_EIllegalCast.
  bool TIDB_InkExists(const QX_TString& book, const QX_TString& ink) {
    QX_TAny answer = Call(QX_TString("TIDB_InkExists"), QX_TAny(book), QX_TAny(ink));
    return qx_cast<QX_TBool>(answer, "cms_tproxy", 198).Value();
  }
};
