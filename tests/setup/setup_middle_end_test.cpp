// Setup middle (raster options) and setup end (plate scales with
// distortion, output mode).
#include <cmath>
#include <limits>

#include "setup_fixture.h"

namespace {

using namespace setup_test;

class SetupMiddleTest : public SetupTest {};

TEST_F(SetupMiddleTest, RasterOptionsInOrder) {
  task.Names().SetValue("dgc", QX_TString("Curve A"));
  // Added in another order than the items are written.
  Option("SingleFile", true);
  Option("Compression", QX_TString("LZW"));
  Option("ActualResolution", QX_TDouble(1270.5));
  Option("AntiAliasing", QX_TInt32(4));
  Option("Reverse", true);
  Option("Left", false);
  Option("DGC", QX_TString("<dgc>"));
  RunMiddle();
  EXPECT_EQ(Setup(), (std::vector<Written>{{"dgc", "\"Curve A\"", "Dot gain compensation"},
                                           {"left", "0", "Left"},
                                           {"reverse", "1", "Reverse"},
                                           {"antialias", "4", "AntiAliasing"},
                                           {"res", "1270.5", "Resolution"},
                                           {"ocompress", "LZW", "Compression"},
                                           {"singlefile", "1", "SingleFile"}}));
  EXPECT_TRUE(Log().empty());
}

TEST_F(SetupMiddleTest, ValueFormats) {
  struct Row {
    const char* name;
    const char* key;
    QX_TAny value;
    Written expected;  // key "" : nothing written
  };
  const std::vector<Row> rows = {
      {"dgc without placeholder resolves to itself", "DGC", QX_TString("Curve B"),
       {"dgc", "\"Curve B\"", "Dot gain compensation"}},
      {"resolution 2540.0", "ActualResolution", QX_TDouble(2540.0), {"res", "2540", "Resolution"}},
      {"resolution 0.1", "ActualResolution", QX_TDouble(0.1), {"res", "0.1", "Resolution"}},
      {"resolution 1e-20", "ActualResolution", QX_TDouble(1e-20), {"res", "1e-20", "Resolution"}},
      {"resolution as an integer", "ActualResolution", QX_TInt32(2400), {"res", "2400", "Resolution"}},
      {"left true", "Left", true, {"left", "1", "Left"}},
      {"reverse false", "Reverse", false, {"reverse", "0", "Reverse"}},
      {"single file false", "SingleFile", false, {"singlefile", "0", "SingleFile"}},
      {"anti-aliasing 0", "AntiAliasing", QX_TInt32(0), {"antialias", "0", "AntiAliasing"}},
      {"anti-aliasing -3", "AntiAliasing", QX_TInt32(-3), {"antialias", "-3", "AntiAliasing"}},
      {"anti-aliasing as a whole double", "AntiAliasing", QX_TDouble(16.0), {"antialias", "16", "AntiAliasing"}},
      {"anti-aliasing at the top of the range", "AntiAliasing", QX_TDouble(2147483647.0),
       {"antialias", "2147483647", "AntiAliasing"}},
      {"anti-aliasing at the bottom of the range", "AntiAliasing", QX_TDouble(-2147483648.0),
       {"antialias", "-2147483648", "AntiAliasing"}},
      {"compression empty writes nothing", "Compression", QX_TString(""), {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TestConverter fresh(task);
    QX_TDict options = Dict({{row.key, row.value}});
    fresh.AddSetup_middle(ticket, options, 0);
    const CParamSection* s = fresh.Dictionary().FindSection("setup");
    if (std::get<0>(row.expected).empty()) {
      EXPECT_TRUE(s == nullptr || s->Items().empty());
      continue;
    }
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->Items().size(), 1u);
    const CParamItem& item = s->Items()[0];
    EXPECT_EQ((Written{item.key, item.value, item.comment.value_or("(none)")}), row.expected);
  }
}

TEST_F(SetupMiddleTest, DotGainCurveThatResolvesToNothing) {
  struct Row {
    const char* name;
    const char* dgc;
  };
  task.Names().Define("nocurve", 0, 0);  // defined without a value
  const std::vector<Row> rows = {{"name without a value", "<nocurve>"},
                                 {"undefined name", "<undefined>"},
                                 {"empty text", ""}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TestConverter fresh(task);
    const size_t logged = Log().size();
    QX_TDict options = Dict({{"DGC", QX_TString(row.dgc)}});
    fresh.AddSetup_middle(ticket, options, 0);
    const CParamItem* item = fresh.Dictionary().FindSection("setup")->Find("dgc");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->value, "<none>");
    EXPECT_EQ(item->comment, std::optional<std::string>("Dot gain compensation"));
    ASSERT_EQ(Log().size(), logged + 1);
    EXPECT_EQ(Log().back(), (std::pair<int, std::string>{0, "qxmsm.nodgc"}));
  }
}

TEST_F(SetupMiddleTest, NoOptionsWriteNothing) {
  RunMiddle();
  EXPECT_TRUE(Setup().empty());
  EXPECT_TRUE(Log().empty());
}

TEST_F(SetupMiddleTest, CompressionNotATextLeavesTheStepAfterEarlierItems) {
  Option("Left", true);
  Option("Compression", QX_TInt32(3));
  Option("SingleFile", true);
  EXPECT_THROW(RunMiddle(), QX_EIllegalCast);
  EXPECT_EQ(Setup(), (std::vector<Written>{{"left", "1", "Left"}}));
}

TEST_F(SetupMiddleTest, AntiAliasingThatIsNoWholeNumberIsRefused) {
  const double values[] = {2.5, 1e300, -1e300, std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN(), 2147483648.0};
  for (double value : values) {
    SCOPED_TRACE(value);
    TestConverter fresh(task);
    QX_TDict options = Dict({{"AntiAliasing", QX_TDouble(value)}});
    const size_t logged = Log().size();
    try {
      fresh.AddSetup_middle(ticket, options, 0);
      ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
      EXPECT_EQ(std::string(e.what()).rfind("CTicket2Dict_msbasetask::AddSetup middle - the value of \"AntiAliasing\"",
                                            0),
                0u)
          << e.what();
      ASSERT_EQ(Log().size(), logged + 1);
      EXPECT_EQ(Log().back(), (std::pair<int, std::string>{2, e.what()}));
    }
    EXPECT_EQ(fresh.Dictionary().FindSection("setup"), nullptr);
  }
}

class SetupEndTest : public SetupTest {};

TEST_F(SetupEndTest, HorizontalScaleAndDistortion) {
  const char* none = "";
  const char* normal = "rsx (bringing normal horizontal distortion into account)";
  const char* topDown = "rsx (bringing top- & downhorizontal distortion into account)";
  struct Row {
    const char* name;
    QX_TDict info;
    QX_TDict options;
    std::vector<Written> expected;
  };
  const std::vector<Row> rows = {
      {"no distortion", Dict({{"WidthM", QX_TInt32(2540)}}), {}, {{"rsx", "10", none}, {"omode", "mrg", ""}}},
      {"HSize when WidthM is absent", Dict({{"HSize", QX_TInt32(5080)}}), {}, {{"rsx", "20", none}, {"omode", "mrg", ""}}},
      {"WidthM preferred", Dict({{"HSize", QX_TInt32(5080)}, {"WidthM", QX_TInt32(2540)}}), {},
       {{"rsx", "10", none}, {"omode", "mrg", ""}}},
      {"normal distortion", Dict({{"WidthM", QX_TInt32(2540)}}), Dict({{"HDistortion", QX_TDouble(0.5)}}),
       {{"rsx", "5", normal}, {"omode", "mrg", ""}}},
      {"normal distortion 1.001", Dict({{"WidthM", QX_TInt32(5080)}}), Dict({{"HDistortion", QX_TDouble(1.001)}}),
       {{"rsx", "20.02", normal}, {"omode", "mrg", ""}}},
      {"top and down distortion",
       Dict({{"WidthM", QX_TInt32(2540)}}),
       Dict({{"HDistortion", QX_TDouble(1)}, {"HTopDistortion", QX_TDouble(0.25)}, {"HDownDistortion", QX_TDouble(0.75)}}),
       {{"TopDistortion", "0.25", "Top Horizontal Distortion"},
        {"HorizontalDistortion", "0.75", "Down Horizontal Distortion"},
        {"rsx", "10", topDown},
        {"omode", "mrg", ""}}},
      {"top only: normal", Dict({{"WidthM", QX_TInt32(2540)}}),
       Dict({{"HDistortion", QX_TDouble(2)}, {"HTopDistortion", QX_TDouble(0.25)}}),
       {{"rsx", "20", normal}, {"omode", "mrg", ""}}},
      {"top and down without HDistortion", Dict({{"WidthM", QX_TInt32(2540)}}),
       Dict({{"HTopDistortion", QX_TDouble(0.25)}, {"HDownDistortion", QX_TDouble(0.75)}}),
       {{"rsx", "10", none}, {"omode", "mrg", ""}}},
      {"negative width", Dict({{"WidthM", QX_TInt32(-5)}}), Dict({{"HDistortion", QX_TDouble(2)}}),
       {{"omode", "mrg", ""}}},
      {"no width", QX_TDict(), {}, {{"omode", "mrg", ""}}},
      {"height without distortion", Dict({{"VSize", QX_TInt32(1270)}}), {},
       {{"rsy", "5", "rsy (bringing distortion into account)"}, {"omode", "mrg", ""}}},
      {"HeightM preferred, with distortion", Dict({{"VSize", QX_TInt32(1270)}, {"HeightM", QX_TInt32(2540)}}),
       Dict({{"VDistortion", QX_TDouble(0.999)}}),
       {{"rsy", "9.99", "rsy (bringing distortion into account)"}, {"omode", "mrg", ""}}},
      {"negative height", Dict({{"HeightM", QX_TInt32(-1)}}), {}, {{"omode", "mrg", ""}}},
      // Not a whole number of hundredths of an inch: the division keeps the fraction.
      {"height 2541", Dict({{"HeightM", QX_TInt32(2541)}}), {},
       {{"rsy", "10.003937007874", "rsy (bringing distortion into account)"}, {"omode", "mrg", ""}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TestConverter fresh(task);
    fresh.masterName = "M1";
    SetInfo(row.info);
    QX_TDict options = row.options;
    fresh.AddSetup_end(ticket, options, 0);
    std::vector<Written> written;
    for (auto& item : fresh.Dictionary().FindSection("setup")->Items())
      written.emplace_back(item.key, item.value, item.comment.value_or("(none)"));
    EXPECT_EQ(written, row.expected);
  }
  EXPECT_TRUE(Log().empty());
}

TEST_F(SetupEndTest, Failures) {
  struct Row {
    const char* name;
    bool masters;
    QX_TDict info;
    const char* key;
    const char* sentence;
    std::vector<Written> expected;
  };
  const std::vector<Row> rows = {
      {"no masters", false, QX_TDict(), "qxmsm.nomasters", "CTicket2Dict_msbasetask::AddSetup end - no masters", {}},
      {"WidthM 0 even with a valid HSize", true,
       Dict({{"WidthM", QX_TInt32(0)}, {"HSize", QX_TInt32(2540)}, {"HeightM", QX_TInt32(2540)}}),
       "qxmsm.invalidplatesizes", "CTicket2Dict_msbasetask::AddSetup end - invalid plate sizes (horizontal)", {}},
      {"HSize 0", true, Dict({{"HSize", QX_TInt32(0)}}), "qxmsm.invalidplatesizes",
       "CTicket2Dict_msbasetask::AddSetup end - invalid plate sizes (horizontal)", {}},
      {"height 0 after the width", true, Dict({{"WidthM", QX_TInt32(2540)}, {"VSize", QX_TInt32(0)}}),
       "qxmsm.invalidplatesizes", "CTicket2Dict_msbasetask::AddSetup end - invalid plate sizes",
       {{"rsx", "10", ""}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TestConverter fresh(task);
    fresh.masterName = "M1";
    SetInfo(row.info);
    if (!row.masters) ticket.SetConfiguration(QX_TDict());
    QX_TDict options;
    const size_t logged = Log().size();
    try {
      fresh.AddSetup_end(ticket, options, 0);
      ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), row.sentence);
    }
    ASSERT_EQ(Log().size(), logged + 1);
    EXPECT_EQ(Log().back(), (std::pair<int, std::string>{2, row.key}));
    std::vector<Written> written;
    if (auto* s = fresh.Dictionary().FindSection("setup"))
      for (auto& item : s->Items()) written.emplace_back(item.key, item.value, item.comment.value_or("(none)"));
    EXPECT_EQ(written, row.expected);  // no "rsy" and no "omode" after a failure
  }
}

TEST_F(SetupEndTest, SizeOfAnotherClassFailsInTheCast) {
  SetInfo(Dict({{"WidthM", QX_TDouble(2540)}}));
  EXPECT_THROW(RunEnd(), QX_EIllegalCast);
}

// "omode" is written by the global setup and again by the setup end, with
// different conditions on the second page flag; the end's value stays.
TEST_F(SetupEndTest, OutputModeOfGlobalSetupAndSetupEnd) {
  struct Row {
    int flags[4];
    const char* global;
    const char* end;
  };
  const std::vector<Row> rows = {
      {{3, 1, 0, 0}, "multipage", "multipage"}, {{2, 5, 0, 0}, "multipage", "mrg"},
      {{0, 1, 0, 0}, "mrg", "mrg"},             {{1, 0, 0, 0}, "mrg", "mrg"},
      {{1, 1, 1, 0}, "mrg", "mrg"},             {{1, 1, 0, 1}, "mrg", "mrg"},
      {{-1, 1, 2, 2}, "multipage", "multipage"}, {{0, 0, 0, 0}, "mrg", "mrg"},
  };
  ServeConfig();
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.flags[0] << "," << row.flags[1] << "," << row.flags[2] << ","
                                    << row.flags[3]);
    TestConverter fresh(task);
    fresh.masterName = "M1";
    fresh.pageFlag1 = row.flags[0];
    fresh.pageFlag2 = row.flags[1];
    fresh.pageFlag3 = row.flags[2];
    fresh.pageFlag4 = row.flags[3];
    QX_TString name("M1");
    fresh.AddSetupGlobal(ticket, Master(), name, 0, 0);
    const CParamItem* omode = fresh.Dictionary().FindSection("setup")->Find("omode");
    ASSERT_NE(omode, nullptr);
    EXPECT_EQ(omode->value, row.global);
    EXPECT_EQ(omode->comment, std::optional<std::string>("Added by Mistral base task"));
    QX_TDict options;
    fresh.AddSetup_end(ticket, options, 0);
    omode = fresh.Dictionary().FindSection("setup")->Find("omode");
    EXPECT_EQ(omode->value, row.end);
    EXPECT_EQ(omode->comment, std::optional<std::string>(""));
  }
}

}  // namespace
