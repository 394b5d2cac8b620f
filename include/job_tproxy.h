// ElemServerProxy: the client of the element server's "ElemServer" service,
// which answers facts of job elements. Each request is built in a fresh
// dictionary.
#pragma once

#include "proxy_connect.h"

class ElemServerProxy : public QXM_TClient {
 public:
  // Connects to "ElemServer"; raises the middleware's error when refused.
  explicit ElemServerProxy(const char* server) {
    Connect(t2d_proxy::ServerName(server), QX_TString("ElemServer"), 0, 0);
  }

  // The "ij" request for `element` with the integer `p2`: a QX_TArray.
  QX_TArray Ij(const QX_TAny& element, int32_t p2) {
    QX_TDict request;
    request.Add("M", QX_TString("ij"));
    request.Add("ElemType", QX_TString("job"));
    request.Add("P1", element);
    request.Add("P2", QX_TInt32(p2));
    request.Add("P3", QX_TInt32(1));
    QX_TAny answer = Request(request);
    return qx_cast<QX_TArray>(answer, "job_tproxy", 208);
  }

  // The "jinfo_cpp" request for `element` (a job id): a QX_TDict.
  QX_TDict JInfoCpp(const QX_TAny& element) {
    QX_TDict request;
    request.Add("M", QX_TString("jinfo_cpp"));
    request.Add("ElemType", QX_TString("job"));
    request.Add("P1", element);
    QX_TAny answer = Request(request);
    return qx_cast<QX_TDict>(answer, "job_tproxy", 393);
  }
};
