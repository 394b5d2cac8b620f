// The simulated RIP server: each service answers from its task-file entry
// and fails as a remote error, reached through the converter's own proxies;
// QX_SERVER picks the server; the shared folders of LocalName2UNCW.
#include <gtest/gtest.h>

#include <thread>

#include "CFS/Server/cfs_tproxy.h"
#include "cms_tproxy.h"
#include "converter_fixture.h"
#include "fs_tproxy.h"
#include "ipl_tproxy.h"
#include "job_tproxy.h"
#include "localname2unc.h"
#include "os_text.h"
#include "rip_server.h"
#include "task_file.h"

namespace {

using t2dhost::ReadTaskFileText;
using t2dhost::TaskFile;

const char* const kServers = R"({"servers": {
  "": {
    "CFS": {
      "tree": {"Devices": {"Instances": {"P1": {"Rip": {"EmptyPages": true, "Config": {"Config": {"A": {"Outdir": ""}}}}}}}},
      "roots": {"qx_data_fonts": {"@url": "/srv/qx/fonts"}, "qx_data_cms": "/srv/qx/cms"},
      "expand": {"Resources/x/Customer": "Acme"}
    },
    "FileServer": {"types": {"/jobs/a.pdf": "pdfsc"}},
    "ElemServer": {"jobs": {"J1": {"Url": {"@url": "/jobs/J1"}}}, "ij": {"/jobs/a.pdf": [true, 0, 0, 0, {"@url": "/jobs/J1"}]}},
    "QXCMS": {"books": {"process": ["Cyan", "Black"]}, "answers": {"process": {"Black": "yes"}}},
    "IPLServer": {"dataFolder": {"@url": "/srv/ipl"}}
  },
  "press2": {"IPLServer": {"dataFolder": {"@url": "/srv/press2/ipl"}}, "CFS": {}},
  "bare": {"QXCMS": {}, "IPLServer": {}}
}})";

class ServicesTest : public ::testing::Test {
 public:
  ServicesTest() : file_(ReadTaskFileText(kServers, "t.json", "/base")) { t2dhost::OfferServers(file_.servers, servers_); }

  // The text of the failure of `call`, or "" when it succeeded.
  template <class Call>
  static std::string Failure(Call call) {
    try {
      call();
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  }

  ScopedEnv noServer_{"QX_SERVER", nullptr};
  TaskFile file_;
  QXM_TRegistry servers_;
  QXM_TRegistry::Binding binding_{servers_};
};

TEST_F(ServicesTest, CfsAnswersTreeValuesRootsAndExpansions) {
  CFSProxy cfs("");
  EXPECT_TRUE(cfs.Value(QX_TString("Devices/Instances/P1/Rip/EmptyPages")).AsBool());
  EXPECT_TRUE(cfs.Value(QX_TString("Devices/Instances/P1/Rip/EmptyPages"), false).AsBool());
  // An object answers as a QX_TTree of its entries.
  const QX_TAny config = cfs.Value(QX_TString("Devices/Instances/P1/Rip/Config/Config"));
  ASSERT_STREQ(config.ClassName(), "QX_TTree");
  EXPECT_TRUE(static_cast<const QX_TTree&>(*config.Object()).HasKey(QX_TString("A")));
  EXPECT_EQ(cfs.GetRootDirectory(QX_TString("qx_data_fonts")).Text(), "file:///srv/qx/fonts");
  EXPECT_EQ(cfs.GetRootDirectory(QX_TString("qx_data_fonts"), QX_TString("second")).Text(), "file:///srv/qx/fonts");
  EXPECT_EQ(static_cast<const QX_TString&>(*cfs.Expand(QX_TString("Resources/x/Customer")).Object()), "Acme");
}

TEST_F(ServicesTest, CfsFailures) {
  CFSProxy cfs("");
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[&] { cfs.Value(QX_TString("Devices/Instances/P2")); }, "remote error: CFS \"[]\": no value at"},
      {[&] { cfs.Value(QX_TString("Devices/Instances/P1/Rip/EmptyPages/deeper")); }, "no value at"},
      {[&] { cfs.Value(QX_TString("")); }, "no value at"},
      {[&] { cfs.Value(QX_TInt32(3)); }, "not a text"},
      {[&] { cfs.GetRootDirectory(QX_TString("qx_data_dgc")); }, "no root directory \"qx_data_dgc\""},
      // A wrongly typed root reaches the proxy's checked conversion.
      {[&] { cfs.GetRootDirectory(QX_TString("qx_data_cms")); }, "expected QX_TURL, got QX_TString"},
      {[&] { cfs.Expand(QX_TString("Resources/y/Customer")); }, "no expansion"},
      {[&] { cfs.Call(QX_TString("Reload")); }, "no such method"},
  };
  for (const auto& c : cases) EXPECT_NE(Failure(c.first).find(c.second), std::string::npos) << c.second;
}

TEST_F(ServicesTest, FileServerSetsTheType) {
  FileServerProxy files("");
  QX_TDict query;
  query.Add(QX_TString("Type"), QX_TAny::Illegal());
  query.Add(QX_TString("Other"), QX_TInt32(1));
  files.Query(QX_TURL(QX_TString("/jobs/a.pdf")), query, false);
  EXPECT_EQ(static_cast<const QX_TString&>(*query[QX_TString("Type")].Object()), "pdfsc");
  EXPECT_TRUE(query.HasKey(QX_TString("Other")));

  QX_TDict again;
  EXPECT_NE(Failure([&] { files.Query(QX_TURL(QX_TString("/jobs/b.pdf")), again, false); })
                .find("remote error: FileServer \"Query\": no file \"file:///jobs/b.pdf\""),
            std::string::npos);
}

TEST_F(ServicesTest, ElemServerAnswersJobsAndIj) {
  ElemServerProxy elems("");
  const QX_TDict info = elems.JInfoCpp(QX_TString("J1"));
  EXPECT_EQ(static_cast<const QX_TURL&>(*info[QX_TString("Url")].Object()).Text(), "file:///jobs/J1");
  const QX_TArray ij = elems.Ij(QX_TURL(QX_TString("/jobs/a.pdf")), 1);
  EXPECT_EQ(ij.Size(), 5);
  EXPECT_TRUE(ij[0].AsBool());
  EXPECT_NE(Failure([&] { elems.JInfoCpp(QX_TString("J2")); }).find("no job \"J2\""), std::string::npos);
  EXPECT_NE(Failure([&] { elems.Ij(QX_TURL(QX_TString("/jobs/c.pdf")), 1); }).find("no element"), std::string::npos);
  EXPECT_NE(Failure([&] { elems.Call(QX_TString("jinfo_cpp")); }).find("dictionary requests only"),
            std::string::npos);
}

TEST_F(ServicesTest, CmsAnswersFromItsBooks) {
  CMSServerProxy cms("");
  EXPECT_TRUE(cms.TIDB_InkExists(QX_TString("process"), QX_TString("Cyan")));
  EXPECT_FALSE(cms.TIDB_InkExists(QX_TString("process"), QX_TString("cyan"))) << "names match exactly";
  EXPECT_FALSE(cms.TIDB_InkExists(QX_TString("process"), QX_TString("Magenta")));
  EXPECT_FALSE(cms.TIDB_InkExists(QX_TString("pantone"), QX_TString("Cyan"))) << "an unknown book holds nothing";
  // "answers" overrides a pair, here with a non-bool the proxy refuses.
  EXPECT_NE(Failure([&] { cms.TIDB_InkExists(QX_TString("process"), QX_TString("Black")); })
                .find("expected QX_TBool, got QX_TString"),
            std::string::npos);
}

TEST_F(ServicesTest, IplAnswersItsDataFolder) {
  IPLServerProxy ipl("");
  EXPECT_EQ(ipl.GetDataIPL().Text(), "file:///srv/ipl");
}

TEST_F(ServicesTest, QxServerPicksTheServer) {
  {
    ScopedEnv server("QX_SERVER", "press2");
    IPLServerProxy ipl("");
    EXPECT_EQ(ipl.ServerName(), "press2");
    EXPECT_EQ(ipl.GetDataIPL().Text(), "file:///srv/press2/ipl");
    // press2 offers no file server.
    EXPECT_NE(Failure([] { FileServerProxy files(""); }).find("connection refused"), std::string::npos);
  }
  {
    ScopedEnv server("QX_SERVER", "bare");
    IPLServerProxy ipl("");
    EXPECT_NE(Failure([&] { ipl.GetDataIPL(); }).find("remote error: IPLServer \"GetDataIPL\": no data folder"),
              std::string::npos);
    CMSServerProxy cms("");
    EXPECT_FALSE(cms.TIDB_InkExists(QX_TString("process"), QX_TString("Cyan")));
  }
  ScopedEnv server("QX_SERVER", "elsewhere");
  EXPECT_NE(Failure([] { CFSProxy cfs(""); }).find("connection refused: no service \"CFS\" on server \"elsewhere\""),
            std::string::npos);
}

// A client connects through the registry bound to its own thread: two
// threads bound to two registries reach their own servers, and a thread
// with none bound is refused.
TEST(RegistryBinding, EachThreadReachesItsOwnServers) {
  const TaskFile file = ReadTaskFileText(kServers, "t.json", "/base");
  const TaskFile other = ReadTaskFileText(R"({"servers": {"": {"IPLServer": {"dataFolder": {"@url": "/other"}}}}})",
                                          "o.json", "/base");
  ScopedEnv noServer("QX_SERVER", nullptr);
  auto dataFolder = [](const TaskFile& task, std::string& out) {
    QXM_TRegistry registry;
    t2dhost::OfferServers(task.servers, registry);
    QXM_TRegistry::Binding binding(registry);
    for (int i = 0; i < 200; ++i) {
      testing::internal::CaptureStdout();  // the proxy's connection lines
      const QX_TURL url = IPLServerProxy("").GetDataIPL();
      testing::internal::GetCapturedStdout();
      if (i == 0) out = url.Text().Str();
      if (url.Text().Str() != out) out = "changed";
    }
  };
  std::string first, second;
  std::thread a(dataFolder, std::cref(file), std::ref(first));
  a.join();
  std::thread b(dataFolder, std::cref(other), std::ref(second));
  b.join();
  EXPECT_EQ(first, "file:///srv/ipl");
  EXPECT_EQ(second, "file:///other");
  EXPECT_EQ(QXM_TRegistry::Current(), nullptr);
  EXPECT_NE(ServicesTest::Failure([] { CFSProxy cfs(""); }).find("no RIP server is reachable"), std::string::npos);
}

// ---- LocalName2UNCW -------------------------------------------------------------

std::pair<int, std::string> Unc(const std::string& path, size_t room = 260) {
  std::vector<wchar_t> buffer(room + 1, L'#');
  const int found = LocalName2UNCW(qxos::Utf8ToWide(path).c_str(), buffer.data(), room);
  return {found, found ? qxos::WideToUtf8(buffer.data()) : std::string()};
}

TEST(LocalName2UNC, SharedFoldersTable) {
  LocalName2UNC_TShares table({{"/srv/qx", "\\\\riphost\\qx"}, {"/srv/qx/data/", "\\\\data\\d"}, {"/", "\\\\root\\r"}});
  LocalName2UNC_TShares::Binding binding(table);
  auto SetShares = [&table](const std::vector<std::pair<std::string, std::string>>& shares) {
    table = LocalName2UNC_TShares(shares);
  };
  const std::pair<const char*, const char*> cases[] = {
      {"/srv/qx/fonts\\", "\\\\riphost\\qx\\fonts\\"},
      {"/srv/qx\\", "\\\\riphost\\qx\\"},
      {"/srv/qx", "\\\\riphost\\qx"},
      {"/srv/qx/a/b/c", "\\\\riphost\\qx\\a\\b\\c"},
      {"/srv/qx/data/cms\\", "\\\\data\\d\\cms\\"},  // the longest folder wins
      {"/srv/qxdata/x", "\\\\root\\r\\srv\\qxdata\\x"},  // not on /srv/qx, only on the root
  };
  for (const auto& c : cases) EXPECT_EQ(Unc(c.first), std::make_pair(1, std::string(c.second))) << c.first;

  SetShares({{"/srv/qx", "\\\\riphost\\qx"}});
  EXPECT_EQ(Unc("/srv/qxdata/x").first, 0);
  EXPECT_EQ(Unc("/opt/fonts\\").first, 0);
  EXPECT_EQ(Unc("srv/qx").first, 0);
  // The UNC form must fit the buffer with its terminator.
  EXPECT_EQ(Unc("/srv/qx/abc", 16).first, 0);
  EXPECT_EQ(Unc("/srv/qx/abc", 17), std::make_pair(1, std::string("\\\\riphost\\qx\\abc")));
  SetShares({});
  EXPECT_EQ(Unc("/srv/qx").first, 0);
  SetShares({{"/srv/qx", "\\\\riphost\\qx"}});
  // A thread without a table bound finds no shared folder.
  int found = -1;
  std::thread([&found] { found = Unc("/srv/qx").first; }).join();
  EXPECT_EQ(found, 0);
}

}  // namespace
