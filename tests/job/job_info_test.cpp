// The job info step: file name, shrink and expand, scale, screening dot gain
// curve and copy dot.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "converter_fixture.h"

namespace {

struct Dist {
  const char* key;
  double value;
};

QX_TDict DictOf(std::initializer_list<Dist> entries) {
  QX_TDict dict;
  for (const auto& e : entries) dict.Add(e.key, QX_TDouble(e.value));
  return dict;
}

class JobInfoTest : public ConversionTest {
 protected:
  JobInfoTest() {
    converter.masterName = "M1";
    converter.dispatcherVersion = 704000;
    SetMaster(QX_TDict(), QX_TDict());
  }

  void SetMaster(const QX_TDict& options, const QX_TDict& info) {
    QX_TDict master;
    master.Add("Options", options);
    master.Add("Info", info);
    QX_TDict masters;
    masters.Add("Order", QX_TArray());
    masters.Add("M1", master);
    QX_TDict configuration;
    configuration.Add("Masters", masters);
    ticket.SetConfiguration(configuration);
  }

  void Run() { converter.AddJobInfo_noPreviews(ticket, job, 1); }

  // The "shrexp" value, or "-" when none was written.
  std::string ShrExp() const {
    const CParamItem* item = Item("setup", "shrexp");
    return item ? item->value : "-";
  }

  QX_TDict job;
};

TEST_F(JobInfoTest, FileNameIsTheQuotedUrlTextWithAnEmptyComment) {
  job.Add("FileSpec", QX_TURL(QX_TString("/in/brochure.pdf")));
  Run();
  const CParamItem* name = JobItem(1, "name");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->value, "\"file:///in/brochure.pdf\"");
  EXPECT_EQ(name->comment, std::optional<std::string>(""));
}

TEST_F(JobInfoTest, LongFileNameIsWrittenWhole) {
  const std::string path = "/in/" + std::string(900, 'd') + "/" + std::string(400, 'f') + ".pdf";
  job.Add("FileSpec", QX_TURL(QX_TString(path)));
  Run();
  ASSERT_NE(JobItem(1, "name"), nullptr);
  EXPECT_EQ(JobItem(1, "name")->value, "\"file://" + path + "\"");
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(JobInfoTest, ShrinkAndExpandForms) {
  struct Row {
    const char* name;
    QX_TDict options;
    QX_TDict info;
    const char* screeningClass;  // null: none
    int dispatcherVersion;
    const char* expected;  // "-": no item
  };
  auto pdf = [](QX_TDict options, const char* fileType = "pdf-CLASS") {
    options.Add("FileType", QX_TString(fileType));
    return options;
  };
  QX_TDict wide;
  wide.Add("WidthM", QX_TInt32(254100));
  QX_TDict wideHSize;
  wideHSize.Add("HSize", QX_TInt32(127000));
  QX_TDict tenInches;
  tenInches.Add("WidthM", QX_TInt32(2540));
  QX_TDict noWidth;
  QX_TDict zeroWidth;
  zeroWidth.Add("WidthM", QX_TInt32(0));
  zeroWidth.Add("HSize", QX_TInt32(254100));
  const double nan = std::numeric_limits<double>::quiet_NaN();

  const std::vector<Row> rows = {
      {"no distortion", DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.0}}), {}, nullptr, 704000, "(10000,10000)"},
      {"top and bottom differ: horizontal neutral",
       DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.002}, {"HTopDistortion", 0.999}, {"HDownDistortion", 1.001}}),
       {}, nullptr, 704000, "(10000,10000)"},
      {"top and bottom equal: horizontal kept",
       DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.002}, {"HTopDistortion", 1.001}, {"HDownDistortion", 1.001}}),
       {}, nullptr, 704000, "(10000,10020)"},
      {"only the top given: horizontal kept",
       DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.002}, {"HTopDistortion", 0.999}}), {}, nullptr, 704000,
       "(10000,10020)"},
      {"unordered top and bottom count as different",
       DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.002}, {"HTopDistortion", nan}, {"HDownDistortion", nan}}),
       {}, nullptr, 704000, "(10000,10000)"},
      {"integer form truncates", DictOf({{"VDistortion", 0.99995}, {"HDistortion", 1.0}}), {}, nullptr, 704000,
       "(9999,10000)"},
      {"integer form truncates toward zero", DictOf({{"VDistortion", -0.99995}, {"HDistortion", 1.0}}), {}, nullptr,
       704000, "(-9999,10000)"},
      {"precise form for the PDF class", pdf(DictOf({{"VDistortion", 0.99995}, {"HDistortion", 1.0}})), {}, nullptr,
       703000, "(9999.5,10000)"},
      {"PDF class needs dispatcher 703000", pdf(DictOf({{"VDistortion", 0.99995}, {"HDistortion", 1.0}})), {},
       nullptr, 702999, "(9999,10000)"},
      {"other file type keeps the integer form",
       pdf(DictOf({{"VDistortion", 0.99995}, {"HDistortion", 1.0}}), "PDF"), {}, nullptr, 704000, "(9999,10000)"},
      {"seamless adjustment",
       pdf(DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.0}, {"ActualResolution", 2400}})), wide, "Seamless",
       703000, "(10000,10000.2295684114)"},
      {"seamless rounds a fraction below one half up (25.4 thousand pixels to 26)",
       pdf(DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.0}, {"ActualResolution", 2540}})), tenInches,
       "Seamless", 703000, "(10000,10236.2204724409)"},
      {"seamless needs dispatcher 703000",
       pdf(DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.0}, {"ActualResolution", 2400}})), wide, "Seamless",
       702999, "(10000,10000)"},
      {"actual resolution wins over resolution",
       pdf(DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.0}, {"ActualResolution", 2400}, {"Resolution", 1200}})),
       wide, "Seamless", 703000, "(10000,10000.2295684114)"},
      {"resolution and HSize as fallbacks",
       pdf(DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.0}, {"Resolution", 2001}})), wideHSize, "Seamless",
       703000, "(10000,10004.9975012494)"},
      {"vertical factor never adjusted",
       pdf(DictOf({{"VDistortion", 0.5}, {"HDistortion", 1.0}, {"ActualResolution", 2400}})), wide, "Seamless",
       703000, "(5000,10000.2295684114)"},
      {"width 0 skips the adjustment (HSize not consulted)",
       pdf(DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.0}, {"Resolution", 2400}})), zeroWidth, "Seamless",
       703000, "(10000,10000)"},
      {"no width skips the adjustment",
       pdf(DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.0}, {"Resolution", 2400}})), noWidth, "Seamless",
       703000, "(10000,10000)"},
      {"no resolution skips the adjustment", pdf(DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.0}})), wide,
       "Seamless", 703000, "(10000,10000)"},
      {"resolution 0 skips the adjustment",
       pdf(DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.0}, {"Resolution", 0}})), wide, "Seamless", 703000,
       "(10000,10000)"},
      {"other screening class skips the adjustment",
       pdf(DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.0}, {"ActualResolution", 2400}})), wide, "seamless",
       703000, "(10000,10000)"},
      {"only VDistortion: no item", DictOf({{"VDistortion", 1.0}}), {}, nullptr, -1, "-"},
      {"only HDistortion: no item", DictOf({{"HDistortion", 1.0}}), {}, nullptr, -1, "-"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    rowConverter.masterName = "M1";
    rowConverter.dispatcherVersion = row.dispatcherVersion;
    SetMaster(row.options, row.info);
    QX_TDict rowJob;
    if (row.screeningClass) rowJob.Add("ScreeningClass", QX_TString(row.screeningClass));
    rowConverter.AddJobInfo_noPreviews(ticket, rowJob, 1);
    const CParamSection* setup = rowConverter.Dictionary().FindSection("setup");
    const CParamItem* item = setup ? setup->Find("shrexp") : nullptr;
    EXPECT_EQ(item ? item->value : "-", row.expected);
    if (item) {
      EXPECT_EQ(item->comment, std::optional<std::string>("Shrink and Expand"));
    }
    EXPECT_EQ(rowConverter.Dictionary().FindJobSection(1), nullptr);
    EXPECT_TRUE(rowTask.Log().empty());
  }
}

TEST_F(JobInfoTest, MissingDispatcherVersionWarnsAndUsesTheIntegerForm) {
  converter.dispatcherVersion = -1;
  QX_TDict options = DictOf({{"VDistortion", 0.99995}, {"HDistortion", 1.0}});
  options.Add("FileType", QX_TString("PDF-class"));
  SetMaster(options, QX_TDict());
  Run();
  EXPECT_EQ(ShrExp(), "(9999,10000)");
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"DispatcherVersion not specified"}));
  EXPECT_EQ(LogLevels(), (std::vector<int>{1}));
}

TEST_F(JobInfoTest, FactorsWithoutAnIntegerFormAreRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Row {
    double vertical, horizontal;
    const char* namedKey;
  };
  for (const Row& row : {Row{1e300, 1.0, "VDistortion"}, Row{1.0, nan, "HDistortion"}, Row{-inf, 1.0, "VDistortion"},
                         Row{1.0, 214748.3648, "HDistortion"}, Row{-214748.3649, 1.0, "VDistortion"}}) {
    SCOPED_TRACE(row.namedKey + std::string(" ") + std::to_string(row.vertical) + "," +
                 std::to_string(row.horizontal));
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    rowConverter.masterName = "M1";
    rowConverter.dispatcherVersion = 704000;
    SetMaster(DictOf({{"VDistortion", row.vertical}, {"HDistortion", row.horizontal}}), QX_TDict());
    QX_TDict rowJob;
    rowJob.Add("CopyDot", QX_TBool(true));
    std::string what;
    try {
      rowConverter.AddJobInfo_noPreviews(ticket, rowJob, 1);
    } catch (const std::exception& e) {
      what = e.what();
    }
    ASSERT_EQ(rowTask.Log().size(), 1u);
    EXPECT_EQ(rowTask.Log()[0].level, 2);
    EXPECT_EQ(rowTask.Log()[0].text, what);
    EXPECT_EQ(what.rfind("CTicket2Dict_msbasetask::AddJobInfo_noPreviews - ", 0), 0u) << what;
    EXPECT_NE(what.find("\"shrexp\""), std::string::npos) << what;
    EXPECT_NE(what.find(row.namedKey), std::string::npos) << what;
    // The step ends at the refusal: neither "shrexp" nor the later "cpp".
    EXPECT_EQ(rowConverter.Dictionary().FindSection("setup"), nullptr);
  }
}

TEST_F(JobInfoTest, FactorsAtTheEdgeOfTheIntegerRangeAreWritten) {
  SetMaster(DictOf({{"VDistortion", 214748.3647}, {"HDistortion", -214748.3648}}), QX_TDict());
  Run();
  EXPECT_EQ(ShrExp(), "(2147483647,-2147483648)");
}

TEST_F(JobInfoTest, ScaleIsVerticalThenHorizontal) {
  job.Add("VScale", QX_TDouble(1.5));
  job.Add("HScale", QX_TInt32(2));
  Run();
  const CParamItem* scale = JobItem(1, "scale");
  ASSERT_NE(scale, nullptr);
  EXPECT_EQ(scale->value, "1.5,2");
  EXPECT_EQ(scale->comment, std::optional<std::string>("Scale Values, added by base KestrelTask"));
}

TEST_F(JobInfoTest, ScaleNeedsBothValues) {
  job.Add("VScale", QX_TDouble(1.5));
  Run();
  EXPECT_EQ(JobItem(1, "scale"), nullptr);
}

TEST_F(JobInfoTest, ScreeningDotGainCurveIsResolved) {
  struct Row {
    const char* name;
    const char* scrDgc;
    const char* expected;
    bool noted;
  };
  const std::vector<Row> rows = {
      {"template with a value", "<dgc>", "\"Curve A\"", false},
      {"plain text", "Curve B", "\"Curve B\"", false},
      {"template without a value", "<none>", "<none>", true},
      {"undefined template", "<unknown>", "<none>", true},
      {"empty text", "", "<none>", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TW_TTask rowTask;
    rowTask.Names().SetValue("dgc", QX_TString("Curve A"));
    rowTask.Names().Define("none", 0, 0);
    TestConverter rowConverter(rowTask);
    rowConverter.masterName = "M1";
    QX_TDict rowJob;
    rowJob.Add("ScrDGC", QX_TString(row.scrDgc));
    rowConverter.AddJobInfo_noPreviews(ticket, rowJob, 1);
    const CParamItem* item = rowConverter.Dictionary().FindJobSection(1)->Find("scrdgc");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->value, row.expected);
    EXPECT_EQ(item->comment, std::optional<std::string>(""));
    if (row.noted) {
      ASSERT_EQ(rowTask.Log().size(), 1u);
      EXPECT_EQ(rowTask.Log()[0].text, "qxmsm.noscrdgc");
      EXPECT_EQ(rowTask.Log()[0].level, 0);
    } else {
      EXPECT_TRUE(rowTask.Log().empty());
    }
  }
}

TEST_F(JobInfoTest, OverlongCurveNameIsRefused) {
  task.Names().SetValue("dgc", QX_TString(std::string(258, 'c')));
  job.Add("ScrDGC", QX_TString("<dgc>"));
  job.Add("CopyDot", QX_TBool(true));
  EXPECT_THROW(Run(), std::runtime_error);
  ASSERT_EQ(LogTexts().size(), 1u);
  EXPECT_EQ(LogLevels()[0], 2);
  EXPECT_NE(LogTexts()[0].find("\"scrdgc\""), std::string::npos) << LogTexts()[0];
  EXPECT_NE(LogTexts()[0].find("259"), std::string::npos) << LogTexts()[0];
  EXPECT_EQ(JobItem(1, "scrdgc"), nullptr);
  EXPECT_EQ(Item("setup", "cpp"), nullptr);

  // 257 characters and the quotes fill the room exactly.
  task.Names().SetValue("dgc", QX_TString(std::string(257, 'c')));
  Run();
  ASSERT_NE(JobItem(1, "scrdgc"), nullptr);
  EXPECT_EQ(JobItem(1, "scrdgc")->value.size(), 259u);
}

TEST_F(JobInfoTest, CopyDotIsWrittenForBothValues) {
  job.Add("CopyDot", QX_TBool(false));
  Run();
  ASSERT_NE(Item("setup", "cpp"), nullptr);
  EXPECT_EQ(Item("setup", "cpp")->value, "0");
  EXPECT_EQ(Item("setup", "cpp")->comment, std::optional<std::string>("CopyDot"));
  job.Add("CopyDot", QX_TBool(true));
  Run();
  EXPECT_EQ(Item("setup", "cpp")->value, "1");
}

TEST_F(JobInfoTest, ItemsComeInOrderAndInTheirSections) {
  SetMaster(DictOf({{"VDistortion", 1.0}, {"HDistortion", 1.0}}), QX_TDict());
  job.Add("CopyDot", QX_TBool(true));
  job.Add("ScrDGC", QX_TString("Curve"));
  job.Add("HScale", QX_TDouble(1.0));
  job.Add("VScale", QX_TDouble(0.5));
  job.Add("FileSpec", QX_TURL(QX_TString("/in/a.pdf")));
  Run();
  EXPECT_EQ(JobKeys(1), (std::vector<std::string>{"name", "scale", "scrdgc"}));
  EXPECT_EQ(Keys("setup"), (std::vector<std::string>{"shrexp", "cpp"}));
  EXPECT_EQ(JobItem(1, "scale")->value, "0.5,1");
}

TEST_F(JobInfoTest, TicketWithoutMastersFails) {
  ticket.SetConfiguration(QX_TDict());
  job.Add("CopyDot", QX_TBool(true));
  try {
    Run();
    FAIL() << "no failure";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "CTicket2Dict_msbasetask::AddJobInfo_noPreviews - job has no masters");
  }
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"qxmsm.nomasters"}));
  EXPECT_EQ(LogLevels(), (std::vector<int>{2}));
  EXPECT_TRUE(Items("setup").empty());
  EXPECT_TRUE(JobItems(1).empty());
}

TEST_F(JobInfoTest, FileNameStaysWhenTheMastersAreMissing) {
  ticket.SetConfiguration(QX_TDict());
  job.Add("FileSpec", QX_TURL(QX_TString("/in/a.pdf")));
  EXPECT_THROW(Run(), std::runtime_error);
  EXPECT_EQ(JobKeys(1), (std::vector<std::string>{"name"}));
}

TEST_F(JobInfoTest, UnknownMasterFailsWithTheIllegalCast) {
  converter.masterName = "M2";
  EXPECT_THROW(Run(), QX_EIllegalCast);
}

TEST_F(JobInfoTest, DistortionOfAnotherTypeFailsWithTheIllegalCast) {
  QX_TDict options;
  options.Add("VDistortion", QX_TInt32(1));
  options.Add("HDistortion", QX_TDouble(1.0));
  SetMaster(options, QX_TDict());
  EXPECT_THROW(Run(), QX_EIllegalCast);
  EXPECT_EQ(ShrExp(), "-");
}

// A flavour whose global job info writes nothing, so that a job runs
// straight into the job info.
class WithoutGlobalJobInfo : public TestConverter {
 public:
  using TestConverter::TestConverter;
  void AddJobInfoGlobal(AT_TTicket&, QX_TDict&, int, int, QX_TArray&) override {}
};

TEST_F(JobInfoTest, RefusalEndsTheJobThroughItsGuard) {
  WithoutGlobalJobInfo flavour(task);
  flavour.masterName = "M1";
  flavour.dispatcherVersion = 704000;
  SetMaster(DictOf({{"VDistortion", 1e10}, {"HDistortion", 1.0}}), QX_TDict());
  QX_TDict jobDict;
  jobDict.Add("RGBPreview", QX_TBool(true));
  jobDict.Add("CMYKPreview", QX_TBool(true));
  jobDict.Add("ExtraOptions", QX_TString("res=2400"));
  QX_TArray jobs;
  jobs.Append(jobDict);
  QX_TArray jobArray;
  flavour.AddJob(ticket, 0, 0, jobArray, jobs, false);
  const std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_NE(log[0].find("\"shrexp\""), std::string::npos);
  EXPECT_EQ(log[1], "qxmsm.failaddjob");
  EXPECT_EQ(log[2], log[0]);
  EXPECT_EQ(LogLevels(), (std::vector<int>{2, 2, 2}));
  // Neither the previews nor the extra options of the job ran.
  EXPECT_EQ(flavour.Dictionary().FindSection("setup"), nullptr);
}

}  // namespace
