// Global setup: device defaults, plate scales, resolution, CT resampling,
// output mode, copies and duplex, CIP3 generation, exposure modes, short id.
#include <limits>

#include "setup_fixture.h"

namespace {

using namespace setup_test;

const char* const kBy = "Added by Mistral base task";
const char* const kByThe = "Added by the Mistral base task";

class SetupGlobalTest : public SetupTest {};

TEST_F(SetupGlobalTest, EveryItemInOrder) {
  ServeConfig({{"Devices/Instances/PS1/Rip/EmptyPages", QX_TBool(true)},
               {"Devices/Instances/PS1/Rip/DefaultInkName", QX_TString("Schwarz")},
               {"Devices/Instances/PS1/Rip/DefaultGroupName", QX_TString("prozess")}});
  SetInfo(Dict({{"WidthM", QX_TInt32(5080)}, {"HeightM", QX_TInt32(2540)}}));
  // Added in another order than the items are written.
  Option("GenerateCIP", true);
  Option("FileName", QX_TString("plate_A"));
  Option("ShortSideDuplex", true);
  Option("Duplex", true);
  Option("Copies", QX_TUInt16(3));
  Option("CTResampling", QX_TString("Output"));
  Option("Resolution", QX_TDouble(2400));
  converter.pageFlag1 = 1;
  converter.pageFlag2 = 1;
  RunGlobal(3, 1);

  EXPECT_EQ(Setup(), (std::vector<Written>{{"ServerVersion", "HX12.0", kByThe},
                                           {"noemptypage", "0", kByThe},
                                           {"mstr_defaultinkname", "Schwarz", kByThe},
                                           {"mstr_defaultgroupname", "prozess", kByThe},
                                           {"rsx", "20", kBy},
                                           {"rsy", "10", kBy},
                                           {"res", "2400", kBy},
                                           {"ctres", "2400", kBy},
                                           {"omode", "multipage", kBy},
                                           {"copies", "3", kBy},
                                           {"numcopies", "3", kBy},
                                           {"duplex", "1", kBy},
                                           {"shortsideduplex", "1", kBy},
                                           {"Output", "\"plate_A\"", kBy},
                                           {"cip", "1", kBy},
                                           {"mstr_mode", "multipleseparation", "Optimized exposure"},
                                           {"reuse", "1", "Clustered exposure"},
                                           {"ShortID", "A12", kBy}}));
  EXPECT_TRUE(Log().empty());
}

// The global step's own plate scales, as a failing later setup step leaves
// them: every digit of a size that is no whole number of hundredths of an inch.
TEST_F(SetupGlobalTest, PlateScalesKeepEveryDigit) {
  ServeConfig();
  SetInfo(Dict({{"WidthM", QX_TInt32(2541)}, {"HeightM", QX_TInt32(2541)}}));
  RunGlobal();
  EXPECT_EQ(Setup().at(2), (Written{"rsx", "10.003937007874", kBy}));
  EXPECT_EQ(Setup().at(3), (Written{"rsy", "10.003937007874", kBy}));
}

TEST_F(SetupGlobalTest, MinimalMaster) {
  ServeConfig();
  ticket.SetShortID("");
  RunGlobal();
  EXPECT_EQ(Setup(), (std::vector<Written>{{"ServerVersion", "HX12.0", kByThe},
                                           {"noemptypage", "1", kByThe},
                                           {"omode", "mrg", kBy}}));
}

TEST_F(SetupGlobalTest, EmptyPagesAndDeviceDefaults) {
  const std::string root = "Devices/Instances/PS1/Rip/";
  struct Row {
    const char* name;
    std::map<std::string, QX_TAny> config;
    std::vector<Written> expected;
  };
  const std::vector<Row> rows = {
      {"no answer", {}, {{"noemptypage", "1", kByThe}}},
      {"not a truth value", {{root + "EmptyPages", QX_TString("yes")}}, {{"noemptypage", "1", kByThe}}},
      {"false", {{root + "EmptyPages", QX_TBool(false)}}, {{"noemptypage", "1", kByThe}}},
      {"true without defaults",
       {{root + "EmptyPages", QX_TBool(true)}},
       {{"noemptypage", "0", kByThe},
        {"mstr_defaultinkname", "black", kByThe},
        {"mstr_defaultgroupname", "process", kByThe}}},
      {"true with a group only",
       {{root + "EmptyPages", QX_TBool(true)}, {root + "DefaultGroupName", QX_TString("spot")}},
       {{"noemptypage", "0", kByThe},
        {"mstr_defaultinkname", "black", kByThe},
        {"mstr_defaultgroupname", "spot", kByThe}}},
      {"true, ink name of another class",
       {{root + "EmptyPages", QX_TBool(true)}, {root + "DefaultInkName", QX_TInt32(7)}},
       {{"noemptypage", "0", kByThe},
        {"mstr_defaultinkname", "black", kByThe},
        {"mstr_defaultgroupname", "process", kByThe}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    servers.Clear();
    ServeConfig(row.config);
    TestConverter fresh(task);
    QX_TString name("M1");
    fresh.AddSetupGlobal(ticket, Master(), name, 0, 0);
    std::vector<Written> written;
    for (auto& item : fresh.Dictionary().FindSection("setup")->Items())
      if (item.key == "noemptypage" || item.key.rfind("mstr_default", 0) == 0)
        written.emplace_back(item.key, item.value, item.comment.value_or("(none)"));
    EXPECT_EQ(written, row.expected);
  }
}

TEST_F(SetupGlobalTest, InvalidPlateSizesThroughTheFrame) {
  struct Row {
    const char* name;
    QX_TDict info;
    const char* sentence;
    std::vector<std::string> keys;
  };
  const std::vector<Row> rows = {
      {"WidthM 0, HSize not consulted", Dict({{"WidthM", QX_TInt32(0)}, {"HSize", QX_TInt32(2540)}}),
       "CTicket2Dict_msbasetask::AddSetupGlobal - invalid plate sizes (horizontal)", {"ServerVersion", "noemptypage"}},
      {"VSize 0", Dict({{"HSize", QX_TInt32(2540)}, {"VSize", QX_TInt32(0)}}),
       "CTicket2Dict_msbasetask::AddSetupGlobal - invalid plate sizes (vertical)",
       {"ServerVersion", "noemptypage", "rsx"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    servers.Clear();
    ServeConfig();
    ServeJobs();
    TestConverter fresh(task);
    SetInfo(row.info);
    const size_t logged = Log().size();
    QX_TArray jobs;
    fresh.SetupDict(ticket, Master(), "M1", 0, 0, jobs, 0, 0, 0, 0, "");
    ASSERT_GE(Log().size(), logged + 3);
    EXPECT_EQ(LogTail(3),
              (std::vector<std::pair<int, std::string>>{
                  {2, "qxmsm.invalidplatesizes"}, {2, "qxmsm.failaddsetupglobal"}, {2, row.sentence}}));
    std::vector<std::string> keys;
    for (auto& item : fresh.Dictionary().FindSection("setup")->Items()) keys.push_back(item.key);
    EXPECT_EQ(keys, row.keys);  // the setup steps after it don't run
  }
}

TEST_F(SetupGlobalTest, NegativeOrMissingSizesWriteNoScale) {
  ServeConfig();
  SetInfo(Dict({{"HSize", QX_TInt32(-2540)}, {"HeightM", QX_TInt32(-1)}}));
  RunGlobal();
  EXPECT_EQ(Item("setup", "rsx"), nullptr);
  EXPECT_EQ(Item("setup", "rsy"), nullptr);
  EXPECT_NE(Item("setup", "ShortID"), nullptr);
}

TEST_F(SetupGlobalTest, CTResampling) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    const char* mode;
    QX_TAny actual;      // illegal: absent
    QX_TAny resolution;  // illegal: absent
    std::vector<Written> expected;
    bool warned;
  };
  const QX_TAny none;
  auto ctres = [](const char* v) { return std::vector<Written>{{"ctres", v, kBy}}; };
  const std::vector<Row> rows = {
      {"output", QX_TDouble(2400), none, ctres("2400"), false},
      {"OUTPUT", none, QX_TDouble(1270.5), ctres("1270.5"), false},
      {"output", QX_TDouble(1200), QX_TDouble(2400), ctres("1200"), false},
      {"highest", QX_TDouble(2400), none, {{"ct_sample", "1", kBy}, {"ctscalefilter", "NONE", kBy}}, false},
      {"highest", QX_TDouble(0), QX_TDouble(2400), {}, false},
      {"Automatic", QX_TDouble(999.9), none, ctres("999.9"), false},
      {"automatic", QX_TDouble(1000), none, ctres("1000"), false},
      {"automatic", QX_TDouble(1999.9), none, ctres("1999"), false},
      {"AUTOMATIC", QX_TDouble(2400), none, ctres("1200"), false},
      {"automatic", QX_TDouble(2540), none, ctres("1270"), false},
      {"automatic", QX_TDouble(3000), none, ctres("1000"), false},
      {"automatic", QX_TDouble(5080), none, ctres("1016"), false},
      {"automatic", none, QX_TInt32(4000), ctres("1000"), false},
      {"automatic", QX_TDouble(2147483647999.0), none, ctres("1000"), false},
      {"automatic", QX_TDouble(2147483648000.0), none, {}, true},
      {"automatic", QX_TDouble(1e300), none, {}, true},
      {"automatic", QX_TDouble(inf), none, {}, true},
      {"automatic", QX_TDouble(nan), none, {}, false},
      {"automatic", QX_TDouble(-5), none, {}, false},
      {"automatic", none, none, {}, false},
      {"sometimes", QX_TDouble(2400), none, {}, false},
  };
  ServeConfig();
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.mode << " " << (row.actual.IsIllegal() ? -1 : row.actual.AsDouble()));
    TestConverter fresh(task);
    QX_TDict master = Master();
    QX_TDict options = Dict({{"CTResampling", QX_TString(row.mode)}});
    if (!row.actual.IsIllegal()) options.Add("ActualResolution", row.actual);
    if (!row.resolution.IsIllegal()) options.Add("Resolution", row.resolution);
    master.Add("Options", options);
    const size_t logged = Log().size();
    QX_TString name("M1");
    fresh.AddSetupGlobal(ticket, master, name, 0, 0);
    std::vector<Written> written;
    for (auto& item : fresh.Dictionary().FindSection("setup")->Items())
      if (item.key == "ctres" || item.key == "ct_sample" || item.key == "ctscalefilter")
        written.emplace_back(item.key, item.value, item.comment.value_or("(none)"));
    EXPECT_EQ(written, row.expected);
    if (row.warned) {
      ASSERT_EQ(Log().size(), logged + 1);
      EXPECT_EQ(Log().back().first, 1);
      EXPECT_NE(Log().back().second.find("\"CTResampling\""), std::string::npos) << Log().back().second;
    } else {
      EXPECT_EQ(Log().size(), logged);
    }
  }
}

TEST_F(SetupGlobalTest, ResolutionCopiesDuplexAndCip) {
  struct Row {
    const char* name;
    QX_TDict options;
    std::vector<Written> expected;
  };
  const std::vector<Row> rows = {
      {"resolution 0.1", Dict({{"Resolution", QX_TDouble(0.1)}}), {{"res", "0.1", kBy}}},
      {"resolution integer", Dict({{"Resolution", QX_TInt32(2540)}}), {{"res", "2540", kBy}}},
      {"copies 65535", Dict({{"Copies", QX_TUInt16(65535)}}), {{"copies", "65535", kBy}, {"numcopies", "65535", kBy}}},
      {"duplex false, short side false", Dict({{"Duplex", false}, {"ShortSideDuplex", false}}),
       {{"shortsideduplex", "0", kBy}}},
      {"cip false", Dict({{"GenerateCIP", false}}), {{"cip", "0", kBy}}},
  };
  ServeConfig();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TestConverter fresh(task);
    QX_TDict master = Master();
    master.Add("Options", row.options);
    QX_TString name("M1");
    fresh.AddSetupGlobal(ticket, master, name, 0, 0);
    std::vector<Written> written;
    for (auto& item : fresh.Dictionary().FindSection("setup")->Items())
      if (item.key != "ServerVersion" && item.key != "noemptypage" && item.key != "omode" && item.key != "ShortID")
        written.emplace_back(item.key, item.value, item.comment.value_or("(none)"));
    EXPECT_EQ(written, row.expected);
  }
}

TEST_F(SetupGlobalTest, CopiesOfAnotherClassFailInTheCast) {
  ServeConfig();
  Option("Copies", QX_TInt32(3));
  EXPECT_THROW(RunGlobal(), QX_EIllegalCast);
}

TEST_F(SetupGlobalTest, ExposureModes) {
  struct Row {
    int filmIndex;
    int optimized;
    std::vector<Written> expected;
  };
  const std::vector<Row> rows = {
      {0, 0, {}},
      {3, 0, {{"reuse", "1", "Clustered exposure"}}},
      {0, 1, {{"mstr_mode", "multipleseparation", "Optimized exposure"}}},
      {3, 1, {{"mstr_mode", "multipleseparation", "Optimized exposure"}, {"reuse", "1", "Clustered exposure"}}},
  };
  ServeConfig();
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.filmIndex << " " << row.optimized);
    TestConverter fresh(task);
    QX_TString name("M1");
    fresh.AddSetupGlobal(ticket, Master(), name, row.filmIndex, row.optimized);
    std::vector<Written> written;
    for (auto& item : fresh.Dictionary().FindSection("setup")->Items())
      if (item.key == "mstr_mode" || item.key == "reuse")
        written.emplace_back(item.key, item.value, item.comment.value_or("(none)"));
    EXPECT_EQ(written, row.expected);
  }
}

TEST_F(SetupGlobalTest, NoConfigurationServerFailsTheStep) {
  EXPECT_THROW(RunGlobal(), std::exception);
  EXPECT_TRUE(Setup().empty());
}

}  // namespace
