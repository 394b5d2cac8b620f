// Global job info: file type, rotation, page selection, CIP3 contents,
// original name, dot shape and screening.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "converter_fixture.h"

namespace {

const char* const kAdded = "Added by Mistral base task";
const char* const kPageRangeDetected = "Changed because \"PageRange\" detected";
const char* const kAllPages = "Changed because all pages should be in output";

QX_TArray Pair(uint32_t first, uint32_t last) {
  QX_TArray pair;
  pair.Append(QX_TUInt32(first));
  pair.Append(QX_TUInt32(last));
  return pair;
}

class GlobalJobInfoTest : public ConversionTest {
 protected:
  GlobalJobInfoTest() {
    converter.masterName = "M1";
    converter.dispatcherVersion = 704000;
    QX_TDict master = EmptyMaster();
    QX_TDict masters;
    masters.Add("M1", master);
    QX_TDict configuration;
    configuration.Add("Masters", masters);
    ticket.SetConfiguration(configuration);
    fileServer = Serve("FileServer");
    fileServer->On("Query", [this](const std::vector<QX_TAny>& arguments) {
      QX_TDict answer = qx_cast<QX_TDict>(arguments.at(1), "test", __LINE__);
      answer.Add("Type", QX_TString(fileType));
      return QX_TAny(answer);
    });
    Serve("QXCMS")->Answer("TIDB_InkExists", QX_TAny(true));
  }

  void Run(int jobFlag = 0) { converter.AddJobInfoGlobal(ticket, job, 1, jobFlag, jobArray); }

  // Runs and answers the failure text, or "" when the step succeeded.
  std::string RunFailing(int jobFlag = 0) {
    try {
      Run(jobFlag);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  }

  std::string Value(const char* key) const {
    const CParamItem* item = JobItem(1, key);
    return item ? item->value : "-";
  }
  std::string SetupValue(const char* key) const {
    const CParamItem* item = Item("setup", key);
    return item ? item->value : "-";
  }
  std::string SetupComment(const char* key) const {
    const CParamItem* item = Item("setup", key);
    return item && item->comment ? *item->comment : "-";
  }
  bool HasJobKey(const char* key) const { return JobItem(1, key) != nullptr; }

  std::shared_ptr<FakeService> fileServer;
  std::string fileType = "pdfsc";
  QX_TDict job;
  QX_TArray jobArray;
};

TEST_F(GlobalJobInfoTest, MinimalJobWritesRotationPlacementAndTessaroFlag) {
  Run();
  EXPECT_EQ(JobKeys(1), (std::vector<std::string>{"rot", "job_mtop", "job_mbot", "job_mlft", "job_mrit", "hpos",
                                                  "vpos", "Tessaro_GRO"}));
  EXPECT_EQ(Value("rot"), "0");
  EXPECT_EQ(JobItem(1, "rot")->comment, std::optional<std::string>(kAdded));
  EXPECT_EQ(Value("Tessaro_GRO"), "0");
  EXPECT_TRUE(fileServer->calls.empty());
  EXPECT_TRUE(Keys("setup").empty());
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(GlobalJobInfoTest, FileServerIsConnectedEvenWithoutAFile) {
  servers.Clear();
  Serve("QXCMS");
  EXPECT_THROW(Run(), std::exception);
  EXPECT_TRUE(JobItems(1).empty());
}

struct FileTypeRow {
  const char* serverType;
  const char* type;
  bool isPdf;
};

class GlobalFileTypeTest : public GlobalJobInfoTest, public ::testing::WithParamInterface<FileTypeRow> {};

// isPdfJob shows in the ink name check: a PDF job takes a long "Designer"
// ink name, any other job refuses it.
TEST_P(GlobalFileTypeTest, TypeAndPdfFlag) {
  fileType = GetParam().serverType;
  job.Add("FileSpec", QX_TURL(QX_TString("/in/job.bin")));
  QX_TDict ink;
  ink.Add("Color", QX_TString("A Designer Ink Name"));
  ink.Add("Type", QX_TString("Designer"));
  QX_TArray inks;
  inks.Append(ink);
  job.Add("Ink", inks);
  const std::string failure = RunFailing();
  EXPECT_EQ(Value("type"), GetParam().type);
  EXPECT_EQ(JobKeys(1).front(), "type");
  EXPECT_EQ(JobItem(1, "type")->comment, std::optional<std::string>(kAdded));
  EXPECT_EQ(failure.empty(), GetParam().isPdf) << failure;

  ASSERT_EQ(fileServer->calls.size(), 1u);
  const FakeService::CallRecord& call = fileServer->calls[0];
  EXPECT_EQ(call.method, "Query");
  ASSERT_EQ(call.arguments.size(), 3u);
  EXPECT_EQ(qx_cast<QX_TURL>(call.arguments[0], "test", 0).Text(), "file:///in/job.bin");
  const QX_TDict& query = qx_cast<QX_TDict>(call.arguments[1], "test", 0);
  EXPECT_EQ(query.Entries(), 1);
  EXPECT_TRUE(query.HasKey("Type"));
  EXPECT_TRUE(query["Type"].IsIllegal());
  EXPECT_FALSE(qx_cast<QX_TBool>(call.arguments[2], "test", 0).Value());
}

INSTANTIATE_TEST_SUITE_P(Mapping, GlobalFileTypeTest,
                         ::testing::Values(FileTypeRow{"pdfsc", "pdf", true}, FileTypeRow{"PDFSC", "pdf", true},
                                           FileTypeRow{"pdfpla", "pdf", true}, FileTypeRow{"PDFPLA", "pdf", true},
                                           FileTypeRow{"pdfsta", "pdf", true}, FileTypeRow{"PdfSta", "pdf", true},
                                           FileTypeRow{"EPS", "ps", false}, FileTypeRow{"eps", "ps", false},
                                           FileTypeRow{"pdf", "gro", false}, FileTypeRow{"pdfscx", "gro", false},
                                           FileTypeRow{"tiff", "gro", false}, FileTypeRow{"", "gro", false}));

TEST_F(GlobalJobInfoTest, FileServerFailureFailsTheStep) {
  job.Add("FileSpec", QX_TURL(QX_TString("/in/job.pdf")));
  fileServer->On("Query", [](const std::vector<QX_TAny>&) -> QX_TAny { throw QXM_EException("remote failure"); });
  EXPECT_NE(RunFailing(), "");
  EXPECT_TRUE(JobItems(1).empty());
}

TEST_F(GlobalJobInfoTest, RotationInQuarterTurnsTruncatedTowardZero) {
  const std::vector<std::pair<int, const char*>> rows = {{270, "3"}, {-90, "-1"}, {100, "1"}, {45, "0"},
                                                         {-45, "0"}, {720, "8"},  {-2147483647 - 1, "-23860929"}};
  for (const auto& [rotation, expected] : rows) {
    job.Add("Rotation", QX_TInt32(rotation));
    Run();
    EXPECT_EQ(Value("rot"), expected) << rotation;
  }
}

TEST_F(GlobalJobInfoTest, PlacementFailureEndsTheStepAfterTheRotation) {
  ticket.SetConfiguration(QX_TDict());
  job.Add("Page", QX_TInt32(2));
  EXPECT_EQ(RunFailing(), "CTicket2Dict_msbasetask::AddPositionInfo - job has no masters ");
  EXPECT_EQ(JobKeys(1), (std::vector<std::string>{"rot", "job_mtop", "job_mbot", "job_mlft", "job_mrit"}));
}

TEST_F(GlobalJobInfoTest, PageRangesAreJoinedAndSwitchToMultipage) {
  QX_TArray ranges;
  ranges.Append(Pair(1, 3));
  ranges.Append(Pair(5, 5));
  job.Add("PageRange", ranges);
  Run();
  EXPECT_EQ(Value("rd_s_PAGELIST"), "1-3,5-5");
  EXPECT_EQ(JobItem(1, "rd_s_PAGELIST")->comment, std::optional<std::string>(kAdded));
  EXPECT_EQ(SetupValue("omode"), "multipage");
  EXPECT_EQ(SetupComment("omode"), kPageRangeDetected);
  // Right after the placement.
  const std::vector<std::string> keys = JobKeys(1);
  EXPECT_EQ(std::find(keys.begin(), keys.end(), "rd_s_PAGELIST") - keys.begin(), 7);
}

TEST_F(GlobalJobInfoTest, PageRangeWithLowerBoundAndLargePages) {
  QX_TArray ranges(3);
  ranges.Append(Pair(4000000000u, 4000000001u));
  job.Add("PageRange", ranges);
  Run();
  EXPECT_EQ(Value("rd_s_PAGELIST"), "4000000000-4000000001");
}

TEST_F(GlobalJobInfoTest, EmptyPageRangeStillSwitchesToMultipage) {
  job.Add("PageRange", QX_TArray());
  Run();
  EXPECT_FALSE(HasJobKey("rd_s_PAGELIST"));
  EXPECT_EQ(SetupValue("omode"), "multipage");
  EXPECT_EQ(SetupComment("omode"), kPageRangeDetected);
}

TEST_F(GlobalJobInfoTest, PageListBound) {
  // 99 pairs of 9 characters and 98 commas: 989 characters, accepted.
  QX_TArray ranges;
  for (int i = 0; i < 99; ++i) ranges.Append(Pair(1000 + i, 2000 + i));
  job.Add("PageRange", ranges);
  Run();
  EXPECT_EQ(Value("rd_s_PAGELIST").size(), 989u);

  // One more pair of 9 characters: 999, still accepted.
  QX_TArray longer = ranges;
  longer.Append(Pair(1100, 2100));
  job.Add("PageRange", longer);
  Run();
  EXPECT_EQ(Value("rd_s_PAGELIST").size(), 999u);

  // One character more is refused, naming the key and the limit.
  QX_TArray tooLong = ranges;
  tooLong.Append(Pair(10000, 2100));
  job.Add("PageRange", tooLong);
  const std::string sentence =
      "CTicket2Dict_msbasetask::AddJobInfoGlobal - the value of \"rd_s_PAGELIST\" is 1000 characters long; at most "
      "999 are allowed";
  EXPECT_EQ(RunFailing(), sentence);
  ASSERT_FALSE(task.Log().empty());
  EXPECT_EQ(task.Log().back().text, sentence);
  EXPECT_EQ(task.Log().back().level, 2);
  EXPECT_EQ(Value("rd_s_PAGELIST").size(), 999u);  // the earlier run's value stays
}

TEST_F(GlobalJobInfoTest, PagePairOfWrongTypeFails) {
  QX_TArray pair;
  pair.Append(QX_TInt32(1));
  pair.Append(QX_TInt32(2));
  QX_TArray ranges;
  ranges.Append(pair);
  job.Add("PageRange", ranges);
  EXPECT_NE(RunFailing(), "");
  QX_TArray shortPair;
  shortPair.Append(QX_TUInt32(1));
  QX_TArray shortRanges;
  shortRanges.Append(shortPair);
  job.Add("PageRange", shortRanges);
  EXPECT_NE(RunFailing(), "");
  EXPECT_EQ(SetupValue("omode"), "-");
}

// The host's page selection: pageFlag1, pageFlag2, pageFlag4 and the page
// list against the job's "Page".
struct HostPagesRow {
  const char* name;
  int flag1, flag2, flag3, flag4;
  const char* pageList;
  const char* page;       // "-": no item
  const char* list;       // "-": no item
  const char* omode;      // comment of "omode", "-": not written
};

class GlobalHostPagesTest : public GlobalJobInfoTest, public ::testing::WithParamInterface<HostPagesRow> {};

TEST_P(GlobalHostPagesTest, Items) {
  const HostPagesRow& row = GetParam();
  converter.pageFlag1 = row.flag1;
  converter.pageFlag2 = row.flag2;
  converter.pageFlag3 = row.flag3;
  converter.pageFlag4 = row.flag4;
  std::snprintf(converter.pageList, sizeof converter.pageList, "%s", row.pageList);
  job.Add("Page", QX_TInt32(7));
  Run();
  EXPECT_EQ(Value("page"), row.page);
  EXPECT_EQ(Value("rd_s_PAGELIST"), row.list);
  if (HasJobKey("rd_s_PAGELIST")) {
    EXPECT_EQ(JobItem(1, "rd_s_PAGELIST")->comment, std::optional<std::string>(""));
  }
  if (HasJobKey("page")) {
    EXPECT_EQ(JobItem(1, "page")->comment, std::optional<std::string>(kAdded));
  }
  EXPECT_EQ(SetupComment("omode"), row.omode);
  if (std::string(row.omode) != "-") {
    EXPECT_EQ(SetupValue("omode"), "multipage");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Selection, GlobalHostPagesTest,
    ::testing::Values(HostPagesRow{"AllPages", 1, 1, 0, 0, "", "-", "-", kAllPages},
                      HostPagesRow{"HostList", 1, 1, 0, 0, "2-4", "-", "2-4", kPageRangeDetected},
                      HostPagesRow{"HostListKeepsOutputMode", 1, 1, 0, 1, "2-4", "-", "2-4", "-"},
                      HostPagesRow{"NoListKeepsEverything", 1, 1, 0, 1, "", "-", "-", "-"},
                      HostPagesRow{"FlagThreeIsNotRead", 1, 1, 5, 0, "", "-", "-", kAllPages},
                      HostPagesRow{"FirstFlagOff", 0, 1, 0, 0, "2-4", "7", "-", "-"},
                      HostPagesRow{"SecondFlagOff", 1, 0, 0, 0, "2-4", "7", "-", "-"},
                      HostPagesRow{"BothOff", 0, 0, 0, 0, "", "7", "-", "-"},
                      HostPagesRow{"OtherValues", 2, 1, 0, 0, "2-4", "-", "-", "-"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GlobalJobInfoTest, HostListReplacesThePageRangeList) {
  QX_TArray ranges;
  ranges.Append(Pair(1, 2));
  job.Add("PageRange", ranges);
  converter.pageFlag1 = 1;
  converter.pageFlag2 = 1;
  std::snprintf(converter.pageList, sizeof converter.pageList, "%s", "7-9");
  Run();
  EXPECT_EQ(Value("rd_s_PAGELIST"), "7-9");
  EXPECT_EQ(JobItem(1, "rd_s_PAGELIST")->comment, std::optional<std::string>(""));
  const std::vector<std::string> keys = JobKeys(1);
  EXPECT_EQ(std::count(keys.begin(), keys.end(), "rd_s_PAGELIST"), 1);
  EXPECT_EQ(SetupComment("omode"), kPageRangeDetected);
}

TEST_F(GlobalJobInfoTest, ContentsTextsLayersAndImpositionFile) {
  QX_TDict contents;
  contents.Add("Web", QX_TString("Web 1"));
  contents.Add("PrintGroup", QX_TString("PG"));
  contents.Add("Sides", QX_TString("Front"));
  QX_TArray layers(2);
  for (const char* layer : {"Cyan", "Magenta", "Black"}) layers.Append(QX_TString(layer));
  contents.Add("Layers", layers);
  contents.Add("InFile", QX_TURL(QX_TString("/jobs/imposed.pdf")));
  job.Add("Contents", contents);
  job.Add("OrigJobName", QX_TURL(QX_TString("/jobs/original.pdf")));
  Run();
  const std::vector<std::string> keys = JobKeys(1);
  const std::vector<std::string> expected = {"cip_web",     "cip_printgroup", "cip_sides",   "cip_nroflayers",
                                             "cip_layer.2", "cip_layer.3",    "cip_layer.4", "cip_impfile",
                                             "originalname"};
  ASSERT_GE(keys.size(), 7 + expected.size());
  EXPECT_EQ(std::vector<std::string>(keys.begin() + 7, keys.begin() + 7 + expected.size()), expected);
  EXPECT_EQ(Value("cip_web"), "\"Web 1\"");
  EXPECT_EQ(Value("cip_printgroup"), "\"PG\"");
  EXPECT_EQ(Value("cip_sides"), "\"Front\"");
  EXPECT_EQ(Value("cip_nroflayers"), "3");
  EXPECT_EQ(Value("cip_layer.2"), "\"Cyan\"");
  EXPECT_EQ(Value("cip_layer.4"), "\"Black\"");
  EXPECT_EQ(Value("cip_impfile"), "\"file:///jobs/imposed.pdf\"");
  EXPECT_EQ(Value("originalname"), "\"file:///jobs/imposed.pdf\"");
  for (const std::string& key : expected)
    EXPECT_EQ(JobItem(1, key.c_str())->comment, std::optional<std::string>(kAdded)) << key;
}

TEST_F(GlobalJobInfoTest, EmptyLayersCountZero) {
  QX_TDict contents;
  contents.Add("Layers", QX_TArray(5));
  job.Add("Contents", contents);
  Run();
  EXPECT_EQ(Value("cip_nroflayers"), "0");
  EXPECT_FALSE(HasJobKey("cip_layer.5"));
}

TEST_F(GlobalJobInfoTest, OriginalName) {
  // Without "Contents": the ticket's own name.
  job.Add("OrigJobName", QX_TURL(QX_TString("/jobs/original.pdf")));
  Run();
  EXPECT_EQ(Value("originalname"), "\"file:///jobs/original.pdf\"");

  // "Contents" without "InFile": no name at all.
  QX_TDict contents;
  contents.Add("Web", QX_TString("W"));
  QX_TDict other;
  other.Add("OrigJobName", QX_TURL(QX_TString("/jobs/original.pdf")));
  other.Add("Contents", contents);
  converter.AddJobInfoGlobal(ticket, other, 2, 0, jobArray);
  EXPECT_EQ(JobItem(2, "originalname"), nullptr);
  EXPECT_EQ(JobItem(2, "cip_impfile"), nullptr);
}

TEST_F(GlobalJobInfoTest, LongPathsAreWrittenWhole) {
  const std::string path = "/jobs/" + std::string(600, 'p') + "/" + std::string(600, 'q') + ".pdf";
  QX_TDict contents;
  contents.Add("InFile", QX_TURL(QX_TString(path)));
  job.Add("Contents", contents);
  Run();
  EXPECT_EQ(Value("cip_impfile"), "\"file://" + path + "\"");
  EXPECT_EQ(Value("originalname"), "\"file://" + path + "\"");

  QX_TDict other;
  other.Add("OrigJobName", QX_TURL(QX_TString(path)));
  converter.AddJobInfoGlobal(ticket, other, 2, 0, jobArray);
  EXPECT_EQ(JobItem(2, "originalname")->value, "\"file://" + path + "\"");
}

// "InFile" is read twice: guarded for "cip_impfile", where a wrong type only
// leaves the item out, and unguarded for "originalname", where it fails.
TEST_F(GlobalJobInfoTest, ImpositionFileOfWrongType) {
  QX_TDict contents;
  contents.Add("Sides", QX_TString("Back"));
  contents.Add("InFile", QX_TString("/jobs/imposed.pdf"));
  job.Add("Contents", contents);
  job.Add("Dotshape", QX_TString("Round"));
  const std::string failure = RunFailing();
  EXPECT_NE(failure.find("QX_TURL"), std::string::npos) << failure;
  EXPECT_EQ(Value("cip_sides"), "\"Back\"");
  EXPECT_FALSE(HasJobKey("cip_impfile"));
  EXPECT_FALSE(HasJobKey("originalname"));
  EXPECT_FALSE(HasJobKey("dot"));
}

TEST_F(GlobalJobInfoTest, ContentsValuesOverTheValueTextAreRefused) {
  QX_TDict contents;
  QX_TArray layers;
  layers.Append(QX_TString(std::string(257, 'L')));  // with the quotes: 259, accepted
  layers.Append(QX_TString(std::string(258, 'L')));  // 260: refused
  contents.Add("Layers", layers);
  job.Add("Contents", contents);
  EXPECT_EQ(RunFailing(),
            "CTicket2Dict_msbasetask::AddJobInfoGlobal - the value of \"cip_layer.1\" is 260 characters long; at most "
            "259 are allowed");
  EXPECT_EQ(Value("cip_layer.0").size(), 259u);
  EXPECT_FALSE(HasJobKey("cip_layer.1"));
  EXPECT_EQ(LogLevels(), (std::vector<int>{2}));
}

TEST_F(GlobalJobInfoTest, DotShape) {
  job.Add("Dotshape", QX_TString("Euclid Round"));
  Run();
  EXPECT_EQ(Value("dot"), "Euclid Round");
  EXPECT_EQ(JobItem(1, "dot")->comment, std::optional<std::string>(""));

  QX_TDict empty;
  empty.Add("Dotshape", QX_TString(""));
  converter.AddJobInfoGlobal(ticket, empty, 2, 0, jobArray);
  EXPECT_EQ(JobItem(2, "dot"), nullptr);

  QX_TDict longest;
  longest.Add("Dotshape", QX_TString(std::string(199, 'd')));
  converter.AddJobInfoGlobal(ticket, longest, 3, 0, jobArray);
  EXPECT_EQ(JobItem(3, "dot")->value.size(), 199u);

  job.Add("Dotshape", QX_TString(std::string(200, 'd')));
  EXPECT_EQ(RunFailing(),
            "CTicket2Dict_msbasetask::AddJobInfoGlobal - the value of \"dot\" is 200 characters long; at most 199 are "
            "allowed");
}

struct ScreeningRow {
  const char* screeningClass;
  const char* family;  // "-": no item
  const char* gro;
};

class GlobalScreeningClassTest : public GlobalJobInfoTest, public ::testing::WithParamInterface<ScreeningRow> {};

// The job's own "ScreeningType" and "Tessaro_GRO" are ignored when there is
// a screening class.
TEST_P(GlobalScreeningClassTest, FamilyAndTessaroFlag) {
  job.Add("ScreeningClass", QX_TString(GetParam().screeningClass));
  job.Add("ScreeningType", QX_TString("Seamless"));
  job.Add("Tessaro_GRO", QX_TBool(true));
  job.Add("Highlights", QX_TString("H2"));
  job.Add("Shadows", QX_TString("S3"));
  Run();
  EXPECT_EQ(Value("ScreeningType"), GetParam().family);
  EXPECT_EQ(Value("Tessaro_GRO"), GetParam().gro);
  const bool apexa = std::string(GetParam().family) == "ApexaXM";
  EXPECT_EQ(Value("Highlights"), apexa ? "H2" : "-");
  EXPECT_EQ(Value("Shadows"), apexa ? "S3" : "-");
}

INSTANTIATE_TEST_SUITE_P(Classes, GlobalScreeningClassTest,
                         ::testing::Values(ScreeningRow{"Corvane Classic (Precalculated)", "CorvaneClassic", "0"},
                                           ScreeningRow{"Corvane Classic (Apexa for C, E, R, S)", "CorvaneClassic",
                                                        "0"},
                                           ScreeningRow{"Tessaro", "CorvaneClassic", "1"},
                                           ScreeningRow{"ApexaXM", "ApexaXM", "0"},
                                           ScreeningRow{"Tessaro ApexaXM", "ApexaXM", "1"},
                                           ScreeningRow{"Seamless", "Seamless", "0"},
                                           ScreeningRow{"Round", "-", "0"}, ScreeningRow{"tessaro", "-", "0"},
                                           ScreeningRow{"Tessaro ", "-", "0"}, ScreeningRow{"", "-", "0"}));

TEST_F(GlobalJobInfoTest, ScreeningItemsInOrderWithComments) {
  job.Add("ScreeningClass", QX_TString("Tessaro ApexaXM"));
  job.Add("Highlights", QX_TString("2"));
  job.Add("Shadows", QX_TString("3"));
  job.Add("YellowMoire", QX_TString("1"));
  job.Add("YMSteps", QX_TString("4"));
  Run();
  const std::vector<std::string> keys = JobKeys(1);
  EXPECT_EQ(std::vector<std::string>(keys.end() - 6, keys.end()),
            (std::vector<std::string>{"Tessaro_GRO", "ScreeningType", "Highlights", "Shadows", "YellowMoire",
                                      "YMSteps"}));
  for (auto it = keys.end() - 6; it != keys.end(); ++it)
    EXPECT_EQ(JobItem(1, it->c_str())->comment, std::optional<std::string>(kAdded)) << *it;
  EXPECT_EQ(Value("YMSteps"), "4");
}

TEST_F(GlobalJobInfoTest, ScreeningWithoutClassTakesTheJobsOwnValues) {
  job.Add("ScreeningType", QX_TString("Seamless"));
  job.Add("Tessaro_GRO", QX_TBool(true));
  Run();
  EXPECT_EQ(Value("ScreeningType"), "Seamless");
  EXPECT_EQ(Value("Tessaro_GRO"), "1");

  QX_TDict numeric;
  numeric.Add("Tessaro_GRO", QX_TInt32(2));
  converter.AddJobInfoGlobal(ticket, numeric, 2, 0, jobArray);
  EXPECT_EQ(JobItem(2, "Tessaro_GRO")->value, "1");
  EXPECT_EQ(JobItem(2, "ScreeningType"), nullptr);

  QX_TDict text;
  text.Add("Tessaro_GRO", QX_TString("yes"));
  EXPECT_THROW(converter.AddJobInfoGlobal(ticket, text, 3, 0, jobArray), QX_EIllegalCast);
}

TEST_F(GlobalJobInfoTest, ApexaFamilyRequiresHighlightsAndShadows) {
  job.Add("ScreeningType", QX_TString("ApexaXM"));
  job.Add("Highlights", QX_TString("2"));
  EXPECT_NE(RunFailing().find("QX_TString"), std::string::npos);
  EXPECT_EQ(Value("Highlights"), "2");
  EXPECT_FALSE(HasJobKey("Shadows"));
}

TEST_F(GlobalJobInfoTest, YellowMoireSteps) {
  job.Add("YellowMoire", QX_TString("0"));
  job.Add("YMSteps", QX_TString("5"));
  Run();
  EXPECT_EQ(Value("YellowMoire"), "0");
  EXPECT_FALSE(HasJobKey("YMSteps"));

  QX_TDict withoutSteps;
  withoutSteps.Add("YellowMoire", QX_TString("2"));
  EXPECT_THROW(converter.AddJobInfoGlobal(ticket, withoutSteps, 2, 0, jobArray), QX_EIllegalCast);
  EXPECT_EQ(JobItem(2, "YellowMoire")->value, "2");

  QX_TDict emptyMoire;
  emptyMoire.Add("YellowMoire", QX_TString(""));
  converter.AddJobInfoGlobal(ticket, emptyMoire, 3, 0, jobArray);
  EXPECT_EQ(JobItem(3, "YellowMoire"), nullptr);
}

TEST_F(GlobalJobInfoTest, ScreeningValuesOverTheValueTextAreRefused) {
  job.Add("ScreeningType", QX_TString(std::string(260, 's')));
  EXPECT_EQ(RunFailing(),
            "CTicket2Dict_msbasetask::AddJobInfoGlobal - the value of \"ScreeningType\" is 260 characters long; at "
            "most 259 are allowed");
  EXPECT_EQ(Value("Tessaro_GRO"), "0");
  EXPECT_FALSE(HasJobKey("ScreeningType"));
}

}  // namespace
