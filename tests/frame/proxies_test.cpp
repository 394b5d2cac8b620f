// The service proxies: which server they connect to, what they send, and how
// they convert the answers.
#include "CFS/Server/cfs_tproxy.h"
#include "cms_tproxy.h"
#include "converter_fixture.h"
#include "fs_tproxy.h"
#include "ipl_tproxy.h"
#include "job_tproxy.h"

namespace {

using Strings = std::vector<std::string>;

class Proxies : public ConversionTest {};

TEST_F(Proxies, ConnectToTheServerThatQxServerNames) {
  auto byDefault = Serve("CFS");
  auto named = Serve("CFS", "riphost");
  byDefault->Answer("Expand", QX_TString("default"));
  named->Answer("Expand", QX_TString("named"));
  {
    CFSProxy proxy("");
    EXPECT_EQ(proxy.ServerName(), "");
    EXPECT_EQ(qx_cast<QX_TString>(proxy.Expand(QX_TString("x")), "t", 1), "default");
  }
  ScopedEnv server("QX_SERVER", "riphost");
  CFSProxy proxy("");
  EXPECT_EQ(proxy.ServerName(), "riphost");
  EXPECT_EQ(qx_cast<QX_TString>(proxy.Expand(QX_TString("x")), "t", 1), "named");
  CFSProxy explicitServer(nullptr);
  EXPECT_EQ(explicitServer.ServerName(), "riphost");
}

TEST_F(Proxies, UnknownServerOrServiceRefusesTheConnection) {
  Serve("CFS");
  {
    ScopedEnv server("QX_SERVER", "elsewhere");
    EXPECT_THROW(CFSProxy(""), std::exception);
  }
  EXPECT_THROW(FileServerProxy(""), std::exception);
  try {
    CMSServerProxy proxy("");
    FAIL();
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("QXCMS"), std::string::npos) << e.what();
  }
}

TEST_F(Proxies, GetRootDirectorySendsTheSecondTextOnlyWhenGiven) {
  auto cfs = Serve("CFS");
  cfs->Answer("GetRootDirectory", QX_TURL::LocalToURL("/srv/qx/fonts"));
  CFSProxy proxy("");
  EXPECT_EQ(proxy.GetRootDirectory("qx_data_fonts").Text(), "file:///srv/qx/fonts");
  proxy.GetRootDirectory("qx_data_fonts", "");
  proxy.GetRootDirectory("qx_data_fonts", "second");
  ASSERT_EQ(cfs->calls.size(), 3u);
  EXPECT_EQ(cfs->calls[0].arguments.size(), 1u);
  EXPECT_EQ(cfs->calls[1].arguments.size(), 1u);
  ASSERT_EQ(cfs->calls[2].arguments.size(), 2u);
  EXPECT_EQ(qx_cast<QX_TString>(cfs->calls[2].arguments[1], "t", 1), "second");
}

TEST_F(Proxies, WrongAnswerTypesRaiseTheIllegalCastNamingTheProxy) {
  Serve("CFS")->Answer("GetRootDirectory", QX_TString("/not/a/url"));
  Serve("QXCMS")->Answer("TIDB_InkExists", QX_TInt32(1));
  Serve("IPLServer")->Answer("GetDataIPL", QX_TString("/srv/ipl"));
  Serve("FileServer")->Answer("Query", QX_TString("pdf"));
  Serve("ElemServer")->OnRequest([](const QX_TDict&) { return QX_TAny(QX_TString("?")); });

  struct Row {
    const char* unit;
    std::function<void()> call;
  };
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const Row rows[] = {
      {"CFS/Server/cfs_tproxy, line 69", [] { CFSProxy("").GetRootDirectory("qx_data_fonts"); }},
      {"CFS/Server/cfs_tproxy, line 65", [] { CFSProxy("").GetRootDirectory("qx_data_fonts", "x"); }},
      {"cms_tproxy, line 198", [] { CMSServerProxy("").TIDB_InkExists("Pantone", "Red"); }},
      {"ipl_tproxy, line 46", [] { IPLServerProxy("").GetDataIPL(); }},
      {"fs_tproxy, line 69", [] {
         QX_TDict result;
         FileServerProxy("").Query(QX_TURL::LocalToURL("/in/a.pdf"), result, false);
       }},
      {"job_tproxy, line 208", [] { ElemServerProxy("").Ij(QX_TURL::LocalToURL("/in/a.pdf"), 1); }},
      {"job_tproxy, line 393", [] { ElemServerProxy("").JInfoCpp(QX_TString("J1")); }},
  };
  for (const Row& row : rows) {
    try {
      row.call();
      ADD_FAILURE() << row.unit << ": no error";
    } catch (const QX_EIllegalCast& e) {
      EXPECT_NE(std::string(e.what()).find(row.unit), std::string::npos) << e.what();
    }
  }
  testing::internal::GetCapturedStdout();
  testing::internal::GetCapturedStderr();
}

TEST_F(Proxies, RequestsAndArgumentsAsTheServicesExpectThem) {
  auto fs = Serve("FileServer");
  fs->On("Query", [](const std::vector<QX_TAny>& args) {
    QX_TDict answer = qx_cast<QX_TDict>(args[1], "t", 1);
    answer.Add("Type", QX_TString("PDF"));
    return QX_TAny(answer);
  });
  auto elem = Serve("ElemServer");
  elem->OnRequest([](const QX_TDict& request) {
    if (qx_cast<QX_TString>(request["M"], "t", 1) == "ij") {
      QX_TArray answer;
      answer.Append(QX_TBool(true));
      return QX_TAny(answer);
    }
    QX_TDict info;
    info.Add("Url", QX_TURL::LocalToURL("/jobs/J1"));
    return QX_TAny(info);
  });
  auto cms = Serve("QXCMS");
  cms->Answer("TIDB_InkExists", QX_TBool(true));

  QX_TDict result;
  result.Add("Kept", QX_TInt32(1));
  FileServerProxy("").Query(QX_TURL::LocalToURL("/in/a.pdf"), result, true);
  EXPECT_EQ(qx_cast<QX_TString>(result["Type"], "t", 1), "PDF");
  EXPECT_TRUE(result.HasKey("Kept"));
  ASSERT_EQ(fs->calls[0].arguments.size(), 3u);
  EXPECT_STREQ(fs->calls[0].arguments[0].ClassName(), "QX_TURL");
  EXPECT_TRUE(fs->calls[0].arguments[2].AsBool());

  ElemServerProxy jobs("");
  EXPECT_EQ(jobs.Ij(QX_TURL::LocalToURL("/in/a.pdf"), 1).Size(), 1);
  EXPECT_EQ(qx_cast<QX_TURL>(jobs.JInfoCpp(QX_TString("J1"))["Url"], "t", 1).Text(), "file:///jobs/J1");
  ASSERT_EQ(elem->requests.size(), 2u);
  Strings keys;
  for (auto& entry : elem->requests[0]) keys.push_back(entry.first.Str());
  EXPECT_EQ(keys, (Strings{"M", "ElemType", "P1", "P2", "P3"}));
  EXPECT_EQ(qx_cast<QX_TString>(elem->requests[0]["ElemType"], "t", 1), "job");
  EXPECT_EQ(qx_cast<QX_TInt32>(elem->requests[0]["P2"], "t", 1).Value(), 1);
  EXPECT_EQ(qx_cast<QX_TInt32>(elem->requests[0]["P3"], "t", 1).Value(), 1);
  keys.clear();
  for (auto& entry : elem->requests[1]) keys.push_back(entry.first.Str());
  EXPECT_EQ(keys, (Strings{"M", "ElemType", "P1"}));
  EXPECT_EQ(qx_cast<QX_TString>(elem->requests[1]["P1"], "t", 1), "J1");

  EXPECT_TRUE(CMSServerProxy("").TIDB_InkExists("Pantone", "Red 032"));
  ASSERT_EQ(cms->calls[0].arguments.size(), 2u);
  EXPECT_EQ(qx_cast<QX_TString>(cms->calls[0].arguments[0], "t", 1), "Pantone");
  EXPECT_EQ(qx_cast<QX_TString>(cms->calls[0].arguments[1], "t", 1), "Red 032");
}

TEST_F(Proxies, IplProxyTracesItsConnectionAndItsRequest) {
  Serve("IPLServer")->Answer("GetDataIPL", QX_TURL::LocalToURL("/srv/ipl"));
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  {
    IPLServerProxy proxy("");
    EXPECT_EQ(proxy.GetDataIPL().Text(), "file:///srv/ipl");
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "making the connection  \nConnection established \n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Get Data IPL in proxy \n");
}

TEST_F(Proxies, FailedRemoteCallsPassToTheCaller) {
  auto cfs = std::make_shared<FaultyService>(Serve("CFS"));
  cfs->failing.insert("[]");
  servers.Register("", "CFS", cfs);
  CFSProxy proxy("");
  EXPECT_THROW(proxy.Value(QX_TString("Devices/Instances/x/Rip/Config/Config")), std::exception);
  EXPECT_THROW(proxy.Value(QX_TString("p"), true), std::exception);
}

}  // namespace
