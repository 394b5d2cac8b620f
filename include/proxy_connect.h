// Connection of the service proxies: the server a proxy connects to.
#pragma once

#include "qxm_client.h"
#include "utf8fs.h"

namespace t2d_proxy {

// The server name a proxy passes to Connect: `server` when given and not
// empty, else the value of QX_SERVER (read in UTF-8) when set, else the
// empty name, with which the middleware chooses its default server.
inline QX_TString ServerName(const char* server) {
  if (server != nullptr && *server != '\0') return QX_TString(server);
  if (const char* fromEnvironment = getenv_utf8("QX_SERVER")) return QX_TString(fromEnvironment);
  return QX_TString();
}

}  // namespace t2d_proxy
