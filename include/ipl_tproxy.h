// IPLServerProxy: the client of the IPL server's "IPLServer" service, which
// answers the IPL data folder (the CIP3 templates).
#pragma once

#include <cstdio>

#include "proxy_connect.h"

class IPLServerProxy : public QXM_TClient {
 public:
  // Connects to "IPLServer" on the server ServerName(server) chooses,
  // tracing the connection on standard output. Raises the middleware's error
  // when the connection is refused.
  explicit IPLServerProxy(const char* server) {
    const QX_TString name = t2d_proxy::ServerName(server);
    std::printf("making the connection %s \n", name.Text());
    Connect(name, QX_TString("IPLServer"), 0, 0);
    std::printf("Connection established \n");
    std::fflush(stdout);
  }

  // "GetDataIPL": the IPL data folder. Traces on standard error first. An
  // answer that is not a QX_TURL raises QX_EIllegalCast.
  QX_TURL GetDataIPL() {
    std::fprintf(stderr, "Get Data IPL in proxy \n");
    QX_TAny answer = Call(QX_TString("GetDataIPL"));
    return qx_cast<QX_TURL>(answer, "ipl_tproxy", 46);
  }
};
