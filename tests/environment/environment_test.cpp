// The "environment" section: the UNC locations of the shared resources, the
// customer name, "IOB_USE_CFS" and "QX_SERVER", and the notices of each
// resource's outcomes.
#include <unistd.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "converter_fixture.h"
#include "localname2unc.h"

namespace {

struct Logged {
  int level;
  std::string text;
  std::optional<std::string> argument;  // the text of the three-argument form
  bool operator==(const Logged& o) const { return level == o.level && text == o.text && argument == o.argument; }
};

std::ostream& operator<<(std::ostream& out, const Logged& e) {
  return out << "{" << e.level << ", " << e.text << ", " << e.argument.value_or("(none)") << "}";
}

std::string HostNameOfMachine() {
  char name[512] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

class EnvironmentTest : public ConversionTest {
 protected:
  EnvironmentTest() { SetShares({{"/srv/qx", "\\\\riphost\\qx"}}); }
  ~EnvironmentTest() override { SetShares({}); }

  // A CFS on `server` answering the roots and expansions given.
  std::shared_ptr<FakeService> ServeCfs(const std::string& server = "") {
    auto cfs = Serve("CFS", server);
    cfs->On("GetRootDirectory", [this](const std::vector<QX_TAny>& args) {
      const std::string name = qx_cast<QX_TString>(args.at(0), "test", 0).Str();
      auto it = roots.find(name);
      if (it == roots.end()) throw std::runtime_error("no root for " + name);
      return it->second;
    });
    cfs->On("Expand", [this](const std::vector<QX_TAny>& args) {
      const std::string text = qx_cast<QX_TString>(args.at(0), "test", 0).Str();
      auto it = expansions.find(text);
      if (it == expansions.end()) throw std::runtime_error("can't expand " + text);
      return it->second;
    });
    return cfs;
  }

  std::vector<Logged> Log() const {
    std::vector<Logged> out;
    for (const TW_TLogEntry& e : task.Log()) {
      std::optional<std::string> argument;
      if (e.hasArgument) argument = qx_cast<QX_TString>(e.argument, "test", 0).Str();
      out.push_back(Logged{e.level, e.text, argument});
    }
    return out;
  }

  std::vector<std::pair<std::string, std::string>> Environment() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const CParamItem& item : Items("environment")) {
      EXPECT_FALSE(item.comment.has_value()) << item.key;
      out.emplace_back(item.key, item.value);
    }
    return out;
  }

  std::map<std::string, QX_TAny> roots;
  std::map<std::string, QX_TAny> expansions;
};

QX_TAny Url(const char* path) { return QX_TURL::LocalToURL(path); }

TEST_F(EnvironmentTest, EachResourceHasFourOutcomes) {
  struct Resource {
    const char* name;
    std::vector<std::string> items;
    const char* noResource;
    const char* exported;
    const char* notExported;
  };
  const std::vector<Resource> resources = {
      {"qx_data_fonts", {"QX_DATA_FONTS"}, "qxmsm.nofontresource", "qxmsm.fontsexported", "qxmsm.fontsnotexported"},
      {"qx_data_cms", {"QX_DATA_CMS", "QX_CMS"}, "qxmsm.nocmsresource", "qxmsm.cmsexported", "qxmsm.cmsnotexported"},
      {"qx_data_dgc", {"QX_DATA_DGC", "DGCDIR"}, "qxmsm.nodgcresource", "qxmsm.dgcexported", "qxmsm.dgcnotexported"},
  };
  struct Outcome {
    const char* name;
    std::optional<QX_TAny> root;       // none: the lookup fails
    std::optional<std::string> value;  // the items' text; none: no items
    const char* notice;                // which key the outcome logs
    std::optional<std::string> argument;
  };
  const std::vector<Outcome> outcomes = {
      {"lookup fails", std::nullopt, std::nullopt, "noResource", std::nullopt},
      {"wrongly typed answer", QX_TAny(QX_TString("/srv/qx/data")), std::nullopt, "noResource", std::nullopt},
      {"already UNC", Url("\\\\filer\\fonts\\data"), "\\\\filer\\fonts\\data", "exported", "\\\\filer\\fonts\\data"},
      {"on a share", Url("/srv/qx/data"), "\\\\riphost\\qx\\data", "exported", "\\\\riphost\\qx\\data"},
      {"the share itself", Url("/srv/qx"), "\\\\riphost\\qx", "exported", "\\\\riphost\\qx"},
      {"not shared", Url("/opt/data"), std::nullopt, "notExported", "/opt/data\\"},
      {"beside a share, not on it", Url("/srv/qxdata"), std::nullopt, "notExported", "/srv/qxdata\\"},
  };
  for (const Resource& resource : resources) {
    for (const Outcome& outcome : outcomes) {
      for (int verbosity : {0, 1}) {
        SCOPED_TRACE(std::string(resource.name) + ", " + outcome.name + ", verbosity " + std::to_string(verbosity));
        TW_TTask rowTask;
        TestConverter rowConverter(rowTask);
        rowConverter.verbosity = verbosity;
        servers.Clear();
        roots.clear();
        if (outcome.root) roots[resource.name] = *outcome.root;
        ServeCfs();
        rowConverter.AddEnvironment2Dict(ticket);

        std::vector<std::pair<std::string, std::string>> items;
        for (const CParamItem& item : rowConverter.Dictionary().FindSection("environment")->Items())
          if (item.key != "IOB_USE_CFS" && item.key != "QX_SERVER") items.emplace_back(item.key, item.value);
        std::vector<std::pair<std::string, std::string>> expectedItems;
        if (outcome.value)
          for (const std::string& key : resource.items) expectedItems.emplace_back(key, *outcome.value);
        // No expansion is configured: a fonts root that was found is asked
        // for the customer name, which is then missing.
        bool noCustomer = false;
        for (const TW_TLogEntry& e : rowTask.Log()) noCustomer = noCustomer || e.text == "qxmsm.nocusname";
        EXPECT_EQ(noCustomer, std::string(resource.name) == "qx_data_fonts" && outcome.root &&
                                  std::string(outcome.name) != "wrongly typed answer");
        EXPECT_EQ(items, expectedItems);

        // The entries this resource logs.
        const std::set<std::string> ownKeys = {resource.noResource, resource.exported, resource.notExported};
        std::vector<Logged> logged;
        for (const TW_TLogEntry& e : rowTask.Log()) {
          if (!ownKeys.count(e.text)) continue;
          std::optional<std::string> argument;
          if (e.hasArgument) argument = qx_cast<QX_TString>(e.argument, "test", 0).Str();
          logged.push_back(Logged{e.level, e.text, argument});
        }
        std::vector<Logged> expectedLog;
        const std::string notice = outcome.notice;
        if (notice == "noResource") expectedLog.push_back({0, resource.noResource, std::nullopt});
        if (notice == "notExported") expectedLog.push_back({0, resource.notExported, outcome.argument});
        if (notice == "exported" && verbosity > 0) expectedLog.push_back({0, resource.exported, outcome.argument});
        EXPECT_EQ(logged, expectedLog);
        for (const TW_TLogEntry& e : rowTask.Log()) EXPECT_EQ(e.level, 0) << e.text;
      }
    }
  }
}

TEST_F(EnvironmentTest, FullSectionInOrder) {
  ScopedEnv env("QX_SERVER", "riphost");
  roots = {{"qx_data_fonts", Url("/srv/qx/fonts")},
           {"qx_data_cms", Url("/srv/qx/cms")},
           {"qx_data_dgc", Url("\\\\filer\\curves")}};
  expansions = {{"Resources/file:///srv/qx/fonts/Customer", QX_TString("ACME Print")}};
  auto cfs = ServeCfs("riphost");
  converter.AddEnvironment2Dict(ticket);

  EXPECT_EQ(Environment(), (std::vector<std::pair<std::string, std::string>>{
                               {"QX_DATA_FONTS", "\\\\riphost\\qx\\fonts"},
                               {"CUS_NAME", "ACME Print"},
                               {"QX_DATA_CMS", "\\\\riphost\\qx\\cms"},
                               {"QX_CMS", "\\\\riphost\\qx\\cms"},
                               {"QX_DATA_DGC", "\\\\filer\\curves"},
                               {"DGCDIR", "\\\\filer\\curves"},
                               {"IOB_USE_CFS", "*"},
                               {"QX_SERVER", "riphost"},
                           }));
  EXPECT_TRUE(task.Log().empty());
  // Each root is asked with one argument; the fonts root twice (for the
  // customer name), between the fonts and the CMS data.
  std::vector<std::string> asked;
  for (const auto& call : cfs->calls) {
    EXPECT_EQ(call.arguments.size(), 1u) << call.method;
    asked.push_back(call.method + " " + qx_cast<QX_TString>(call.arguments.at(0), "test", 0).Str());
  }
  EXPECT_EQ(asked, (std::vector<std::string>{"GetRootDirectory qx_data_fonts", "GetRootDirectory qx_data_fonts",
                                             "Expand Resources/file:///srv/qx/fonts/Customer",
                                             "GetRootDirectory qx_data_cms", "GetRootDirectory qx_data_dgc"}));
}

TEST_F(EnvironmentTest, VerbosityReportsEveryExportedLocationInOrder) {
  converter.verbosity = 1;
  roots = {{"qx_data_fonts", Url("/srv/qx/fonts")},
           {"qx_data_cms", Url("/opt/cms")},
           {"qx_data_dgc", Url("\\\\filer\\curves")}};
  expansions = {{"Resources/file:///srv/qx/fonts/Customer", QX_TString("ACME")}};
  ServeCfs();
  converter.AddEnvironment2Dict(ticket);
  EXPECT_EQ(Log(), (std::vector<Logged>{{0, "qxmsm.fontsexported", "\\\\riphost\\qx\\fonts"},
                                        {0, "qxmsm.cmsnotexported", "/opt/cms\\"},
                                        {0, "qxmsm.dgcexported", "\\\\filer\\curves"}}));
}

TEST_F(EnvironmentTest, CustomerName) {
  struct Row {
    const char* name;
    std::optional<QX_TAny> answer;  // none: "Expand" fails
    std::optional<std::string> item;
    std::vector<std::string> log;
  };
  const std::vector<Row> rows = {
      {"found", QX_TAny(QX_TString("ACME Print")), "ACME Print", {}},
      {"expansion fails", std::nullopt, std::nullopt, {"qxmsm.nocusname"}},
      {"not a text", QX_TAny(QX_TInt32(7)), std::nullopt, {"qxmsm.nocusname"}},
      {"empty: no item, no notice", QX_TAny(QX_TString("")), std::nullopt, {}},
      {"99 bytes fit", QX_TAny(QX_TString(std::string(99, 'c'))), std::string(99, 'c'), {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    servers.Clear();
    roots = {{"qx_data_fonts", Url("/opt/fonts")}, {"qx_data_cms", Url("/srv/qx/cms")}};
    expansions.clear();
    if (row.answer) expansions["Resources/file:///opt/fonts/Customer"] = *row.answer;
    ServeCfs();
    rowConverter.AddEnvironment2Dict(ticket);
    const CParamItem* item = rowConverter.Dictionary().FindSection("environment")->Find("CUS_NAME");
    ASSERT_EQ(item != nullptr, row.item.has_value());
    if (item) {
      EXPECT_EQ(item->value, *row.item);
    }
    // The fonts are not shared, yet the customer name is looked up; its
    // notice comes after the fonts' notice and before the CMS data.
    std::vector<std::string> expected = {"qxmsm.fontsnotexported"};
    expected.insert(expected.end(), row.log.begin(), row.log.end());
    expected.push_back("qxmsm.nodgcresource");
    std::vector<std::string> texts;
    for (const auto& e : rowTask.Log()) texts.push_back(e.text);
    EXPECT_EQ(texts, expected);
  }
}

TEST_F(EnvironmentTest, NoFontsResourceMeansNoCustomerLookup) {
  roots = {{"qx_data_cms", Url("/srv/qx/cms")}, {"qx_data_dgc", Url("/srv/qx/dgc")}};
  auto cfs = ServeCfs();
  converter.AddEnvironment2Dict(ticket);
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"qxmsm.nofontresource"}));
  for (const auto& call : cfs->calls) EXPECT_NE(call.method, "Expand");
  EXPECT_EQ(Keys("environment"), (std::vector<std::string>{"QX_DATA_CMS", "QX_CMS", "QX_DATA_DGC", "DGCDIR",
                                                           "IOB_USE_CFS", "QX_SERVER"}));
}

TEST_F(EnvironmentTest, EveryLookupFailingStillWritesTheServerItems) {
  ServeCfs();
  converter.AddEnvironment2Dict(ticket);
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"qxmsm.nofontresource", "qxmsm.nocmsresource",
                                                  "qxmsm.nodgcresource"}));
  EXPECT_EQ(LogLevels(), (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(Keys("environment"), (std::vector<std::string>{"IOB_USE_CFS", "QX_SERVER"}));
  EXPECT_EQ(Item("environment", "IOB_USE_CFS")->value, "*");
}

TEST_F(EnvironmentTest, NoCfsFailsTheStepWithAnEmptySection) {
  EXPECT_THROW(converter.AddEnvironment2Dict(ticket), std::exception);
  EXPECT_TRUE(Items("environment").empty());
  EXPECT_TRUE(task.Log().empty());
}

TEST_F(EnvironmentTest, ServerName) {
  const std::string host = HostNameOfMachine();
  ASSERT_FALSE(host.empty());
  struct Row {
    const char* name;
    std::optional<std::string> value;  // none: unset
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"unset", std::nullopt, host},     {"empty", "", host},
      {"localhost", "localhost", host},  {"capitals are another server", "LOCALHOST", "LOCALHOST"},
      {"a server", "rip7.example", "rip7.example"},
      {"199 characters fit", std::string(199, 's'), std::string(199, 's')},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string value = row.value.value_or("");
    ScopedEnv env("QX_SERVER", row.value ? value.c_str() : nullptr);
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    servers.Clear();
    // The proxy connects to the server QX_SERVER names, else the default.
    ServeCfs(row.value ? value : "");
    rowConverter.AddEnvironment2Dict(ticket);
    const CParamItem* item = rowConverter.Dictionary().FindSection("environment")->Find("QX_SERVER");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->value, row.expected);
    EXPECT_EQ(rowConverter.Dictionary().FindSection("environment")->Items().back().key, "QX_SERVER");
  }
}

// Values longer than their working room are refused for their resource or
// item with a level-0 notice naming it; nothing cut is written.
TEST_F(EnvironmentTest, OverlongValuesAreRefusedWithANotice) {
  const std::string fits = "/opt/shared/data/" + std::string(241, 'f');  // 258 characters and the backslash: 259
  const std::string tooLong = fits + "g";
  const std::string euro = "\xE2\x82\xAC";  // three UTF-8 bytes, one wide character
  std::string euros;
  for (int i = 0; i < 180; ++i) euros += euro;
  SetShares({{"/opt/shared/data", "\\\\h\\d"},
                           {"/srv/long", "\\\\riphost\\" + std::string(250, 'u')},
                           {"/srv/qx", "\\\\riphost\\qx"}});

  struct Row {
    const char* name;
    const char* resource;
    std::string root;
    const char* item;
    std::optional<std::string> written;  // the item's value when it fits
  };
  const std::vector<Row> rows = {
      {"local path of 259 characters fits", "qx_data_cms", fits, "QX_DATA_CMS", "\\\\h\\d\\" + std::string(241, 'f')},
      {"local path of 260 characters", "qx_data_cms", tooLong, "QX_DATA_CMS", std::nullopt},
      {"UNC path longer than its room", "qx_data_dgc", "/srv/long/curves", "QX_DATA_DGC", std::nullopt},
      {"UTF-8 location longer than its room", "qx_data_fonts", "/srv/qx/" + euros, "QX_DATA_FONTS", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    rowConverter.verbosity = 1;
    servers.Clear();
    roots = {{row.resource, Url(row.root.c_str())}};
    ServeCfs();
    rowConverter.AddEnvironment2Dict(ticket);
    const CParamItem* item = rowConverter.Dictionary().FindSection("environment")->Find(row.item);
    bool refused = false;
    for (const TW_TLogEntry& e : rowTask.Log()) {
      EXPECT_EQ(e.level, 0);
      EXPECT_EQ(e.text.find("notexported"), std::string::npos) << e.text;
      if (e.text.find(std::string("\"") + row.item + "\" is not written") != std::string::npos) refused = true;
    }
    if (row.written) {
      ASSERT_NE(item, nullptr);
      EXPECT_EQ(item->value, *row.written);
      EXPECT_FALSE(refused);
    } else {
      EXPECT_EQ(item, nullptr);
      EXPECT_TRUE(refused);
    }
  }

  // The customer name: 100 bytes and more are refused.
  {
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    servers.Clear();
    roots = {{"qx_data_fonts", Url("/srv/qx/fonts")}};
    expansions = {{"Resources/file:///srv/qx/fonts/Customer", QX_TString(std::string(100, 'c'))}};
    ServeCfs();
    rowConverter.AddEnvironment2Dict(ticket);
    EXPECT_EQ(rowConverter.Dictionary().FindSection("environment")->Find("CUS_NAME"), nullptr);
    ASSERT_GE(rowTask.Log().size(), 1u);
    EXPECT_EQ(rowTask.Log()[0].level, 0);
    EXPECT_NE(rowTask.Log()[0].text.find("\"CUS_NAME\" is not written"), std::string::npos) << rowTask.Log()[0].text;
    EXPECT_NE(rowTask.Log()[0].text.find("at most 99"), std::string::npos);
  }

  // QX_SERVER: 200 characters are refused; the host name doesn't stand in.
  {
    const std::string server(200, 's');
    ScopedEnv env("QX_SERVER", server.c_str());
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    servers.Clear();
    ServeCfs(server);
    rowConverter.AddEnvironment2Dict(ticket);
    EXPECT_EQ(rowConverter.Dictionary().FindSection("environment")->Find("QX_SERVER"), nullptr);
    ASSERT_EQ(rowTask.Log().size(), 4u);
    EXPECT_EQ(rowTask.Log()[3].level, 0);
    EXPECT_NE(rowTask.Log()[3].text.find("\"QX_SERVER\" is not written"), std::string::npos);
    EXPECT_NE(rowTask.Log()[3].text.find("at most 199"), std::string::npos);
  }
}

}  // namespace
