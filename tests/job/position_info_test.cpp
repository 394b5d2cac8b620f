// Placement: margins and the horizontal and vertical position of a job.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "converter_fixture.h"

namespace {

const char* const kKestrel = "Added by Kestrel/BaseTask task";
const char* const kMistral = "Added by Mistral base task";

QX_TArray Area(uint32_t s0, uint32_t s1, uint32_t s2, uint32_t s3) {
  QX_TArray area;
  for (uint32_t s : {s0, s1, s2, s3}) area.Append(QX_TUInt32(s));
  return area;
}

class PositionTest : public ConversionTest {
 protected:
  PositionTest() {
    converter.masterName = "M1";
    SetOptions(QX_TDict());
  }

  // The master options that hold the distortion factors.
  void SetOptions(const QX_TDict& options) {
    QX_TDict master;
    master.Add("Options", options);
    master.Add("Info", QX_TDict());
    QX_TDict masters;
    masters.Add("M1", master);
    QX_TDict configuration;
    configuration.Add("Masters", masters);
    ticket.SetConfiguration(configuration);
  }

  std::string Value(const char* key) const {
    const CParamItem* item = JobItem(1, key);
    return item ? item->value : "-";
  }

  QX_TDict job;
};

TEST_F(PositionTest, EmptyJobPlacesEverythingAtZero) {
  converter.AddPositionInfo(ticket, job, 1);
  EXPECT_EQ(JobKeys(1), (std::vector<std::string>{"job_mtop", "job_mbot", "job_mlft", "job_mrit", "hpos", "vpos"}));
  for (const CParamItem& item : JobItems(1)) {
    EXPECT_EQ(item.value, "0") << item.key;
    EXPECT_EQ(item.comment, std::optional<std::string>(kKestrel)) << item.key;
  }
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(PositionTest, VariantWithoutDistortionAlsoWritesTheScale) {
  converter.AddPositionInfo_setButNoDistortion(ticket, job, 2);
  EXPECT_EQ(JobKeys(2),
            (std::vector<std::string>{"job_mtop", "job_mbot", "job_mlft", "job_mrit", "scale", "hpos", "vpos"}));
  for (const CParamItem& item : JobItems(2)) {
    EXPECT_EQ(item.value, item.key == "scale" ? "1,1" : "0") << item.key;
    EXPECT_EQ(item.comment, std::optional<std::string>(kMistral)) << item.key;
  }
}

TEST_F(PositionTest, MarginsAreDividedBy254WithFifteenDigits) {
  job.Add("TopMargin", QX_TInt32(1270));
  job.Add("BottomMargin", QX_TInt32(100));
  job.Add("LeftMargin", QX_TInt32(-254));
  job.Add("RightMargin", QX_TInt32(std::numeric_limits<int32_t>::min()));
  converter.AddPositionInfo(ticket, job, 1);
  EXPECT_EQ(Value("job_mtop"), "5");
  EXPECT_EQ(Value("job_mbot"), "0.393700787401575");
  EXPECT_EQ(Value("job_mlft"), "-1");
  EXPECT_EQ(Value("job_mrit"), "-8454660.03149606");
}

TEST_F(PositionTest, WorkedExampleOfAQuarterTurnWithDistortionAndCrop) {
  QX_TDict options;
  options.Add("HDistortion", QX_TDouble(1.002));
  SetOptions(options);
  job.Add("Rotation", QX_TInt32(90));
  job.Add("HPos", QX_TInt32(1000));
  job.Add("VScale", QX_TDouble(1.5));
  job.Add("TopMargin", QX_TInt32(254));
  job.Add("SelectArea", Area(100, 0, 0, 0));
  job.Add("HSize", QX_TInt32(5000));
  job.Add("VSize", QX_TInt32(7000));
  converter.AddPositionInfo(ticket, job, 1);
  EXPECT_EQ(Value("hpos"), "5.0541811023622");
}

// Every row of the quarter-turn table, with distinct margins, scales,
// factors and a cropping area, so that each row's leading margins, scales
// and crops are pinned down.
struct TurnRow {
  int rotation;
  const char* hpos;
  const char* vpos;
  const char* hposUndistorted;
  const char* vposUndistorted;
};

class PositionTurnTest : public PositionTest, public ::testing::WithParamInterface<TurnRow> {
 protected:
  void SetUp() override {
    QX_TDict options;
    options.Add("HDistortion", QX_TDouble(1.5));
    options.Add("VDistortion", QX_TDouble(2.0));
    SetOptions(options);
    job.Add("Rotation", QX_TInt32(GetParam().rotation));
    job.Add("HPos", QX_TInt32(2540));
    job.Add("VPos", QX_TInt32(5080));
    job.Add("LeftMargin", QX_TInt32(254));
    job.Add("TopMargin", QX_TInt32(508));
    job.Add("RightMargin", QX_TInt32(762));
    job.Add("BottomMargin", QX_TInt32(1016));
    job.Add("HScale", QX_TDouble(2.0));
    job.Add("VScale", QX_TDouble(0.5));
    job.Add("HSize", QX_TInt32(10000));
    job.Add("VSize", QX_TInt32(20000));
    job.Add("SelectArea", Area(100, 200, 300, 400));
  }
};

TEST_P(PositionTurnTest, WithDistortion) {
  converter.AddPositionInfo(ticket, job, 1);
  EXPECT_EQ(Value("hpos"), GetParam().hpos);
  EXPECT_EQ(Value("vpos"), GetParam().vpos);
}

TEST_P(PositionTurnTest, WithoutDistortion) {
  converter.AddPositionInfo_setButNoDistortion(ticket, job, 1);
  EXPECT_EQ(Value("hpos"), GetParam().hposUndistorted);
  EXPECT_EQ(Value("vpos"), GetParam().vposUndistorted);
  EXPECT_EQ(Value("scale"), "0.5,2");
}

INSTANTIATE_TEST_SUITE_P(
    QuarterTurns, PositionTurnTest,
    ::testing::Values(
        // q 0: left and top lead, crop s1 and s0.
        TurnRow{0, "17.2125984251969", "41.6062992125984", "11.2125984251969", "20.6062992125984"},
        TurnRow{89, "17.2125984251969", "41.6062992125984", "11.2125984251969", "20.6062992125984"},
        TurnRow{-89, "17.2125984251969", "41.6062992125984", "11.2125984251969", "20.6062992125984"},
        // q 1: top and right lead, crop s0 and W - s3.
        TurnRow{90, "16.1062992125984", "14.2047244094488", "10.6062992125984", "-11.7952755905512"},
        TurnRow{179, "16.1062992125984", "14.2047244094488", "10.6062992125984", "-11.7952755905512"},
        // q 2: right and bottom lead, crop W - s3 and H - s2.
        TurnRow{180, "-13.7952755905512", "-33.5590551181102", "-21.7952755905512", "-55.5590551181102"},
        // q 3: bottom and left lead, crop H - s2 and s1.
        TurnRow{270, "-59.5590551181102", "43.2125984251969", "-65.5590551181102", "21.2125984251969"},
        TurnRow{359, "-59.5590551181102", "43.2125984251969", "-65.5590551181102", "21.2125984251969"},
        // Any other count: the plain position.
        TurnRow{-90, "10", "20", "10", "20"}, TurnRow{360, "10", "20", "10", "20"},
        TurnRow{450, "10", "20", "10", "20"}, TurnRow{std::numeric_limits<int32_t>::min(), "10", "20", "10", "20"}));

struct DistortionRow {
  const char* name;
  std::vector<std::pair<const char*, double>> options;
  const char* hpos;  // equals the horizontal factor
  const char* vpos;  // equals the vertical factor
};

class PositionDistortionTest : public PositionTest, public ::testing::WithParamInterface<DistortionRow> {};

// With HPos and VPos 254 and nothing else, hpos and vpos are the factors.
TEST_P(PositionDistortionTest, Factors) {
  QX_TDict options;
  for (auto& [key, value] : GetParam().options) options.Add(key, QX_TDouble(value));
  SetOptions(options);
  job.Add("HPos", QX_TInt32(254));
  job.Add("VPos", QX_TInt32(254));
  converter.AddPositionInfo(ticket, job, 1);
  EXPECT_EQ(Value("hpos"), GetParam().hpos);
  EXPECT_EQ(Value("vpos"), GetParam().vpos);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Rules, PositionDistortionTest,
    ::testing::Values(
        DistortionRow{"None", {}, "1", "1"},
        DistortionRow{"HorizontalOnly", {{"HDistortion", 1.25}}, "1.25", "1"},
        DistortionRow{"VerticalOnly", {{"VDistortion", 0.75}}, "1", "0.75"},
        DistortionRow{"EqualEdges", {{"HDistortion", 1.25}, {"HTopDistortion", 3}, {"HDownDistortion", 3}}, "1.25",
                      "1"},
        DistortionRow{"DifferentEdges", {{"HDistortion", 1.25}, {"HTopDistortion", 3}, {"HDownDistortion", 4}}, "1",
                      "1"},
        DistortionRow{"NaNEdgesDiffer", {{"HDistortion", 1.25}, {"HTopDistortion", kNaN}, {"HDownDistortion", kNaN}},
                      "1", "1"},
        DistortionRow{"TopEdgeOnly", {{"HDistortion", 1.25}, {"HTopDistortion", 3}}, "1.25", "1"},
        DistortionRow{"DownEdgeOnly", {{"HDistortion", 1.25}, {"HDownDistortion", 3}}, "1.25", "1"},
        DistortionRow{"EdgesWithoutFactor", {{"HTopDistortion", 3}, {"HDownDistortion", 3}}, "1", "1"},
        DistortionRow{"Both", {{"HDistortion", 0.5}, {"VDistortion", 2}}, "0.5", "2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PositionTest, EdgeDistortionsAreNotReadWithoutAFactor) {
  QX_TDict options;
  options.Add("HTopDistortion", QX_TString("wide"));
  options.Add("HDownDistortion", QX_TInt32(3));
  SetOptions(options);
  converter.AddPositionInfo(ticket, job, 1);
  EXPECT_EQ(Value("hpos"), "0");
}

struct CropRow {
  const char* name;
  QX_TAny area;  // illegal: no "SelectArea"
  int width;
  int height;
  const char* hpos;
};

class PositionCropTest : public PositionTest, public ::testing::WithParamInterface<CropRow> {};

// No rotation: hpos = (HPos + LeftMargin) - s1 when cropped.
TEST_P(PositionCropTest, LeftEdge) {
  if (!GetParam().area.IsIllegal()) job.Add("SelectArea", GetParam().area);
  job.Add("HPos", QX_TInt32(2540));
  job.Add("LeftMargin", QX_TInt32(254));
  job.Add("HSize", QX_TInt32(GetParam().width));
  job.Add("VSize", QX_TInt32(GetParam().height));
  converter.AddPositionInfo(ticket, job, 1);
  EXPECT_EQ(Value("hpos"), GetParam().hpos);
}

INSTANTIATE_TEST_SUITE_P(
    Areas, PositionCropTest,
    ::testing::Values(CropRow{"Cropped", Area(0, 508, 0, 0), 1000, 1000, "9"},
                      CropRow{"ZeroAreaIsNotSet", Area(0, 0, 0, 0), 1000, 1000, "11"},
                      CropRow{"NoWidthIsNotCropped", Area(0, 508, 0, 0), 0, 1000, "11"},
                      CropRow{"NoHeightIsNotCropped", Area(0, 508, 0, 0), 1000, 0, "11"},
                      CropRow{"NoArea", QX_TAny(), 1000, 1000, "11"},
                      // Elements above the signed range take part as negative values.
                      CropRow{"UnsignedWrapsToNegative", Area(0, 4294967295u, 0, 0), 1000, 1000,
                              "11.003937007874"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PositionTest, IllegalSelectAreaCountsAsAbsent) {
  job.Add("SelectArea", QX_TAny::Illegal());
  job.Add("HPos", QX_TInt32(254));
  job.Add("HSize", QX_TInt32(10));
  job.Add("VSize", QX_TInt32(10));
  converter.AddPositionInfo(ticket, job, 1);
  EXPECT_EQ(Value("hpos"), "1");
}

// The crops W - s3 and H - s2 are 32-bit differences: a selected area too
// far from the job's size for one is refused, in both variants, when the
// turn needs that crop; one just inside the range is written.
TEST_F(PositionTest, CropOutsideTheThirtyTwoBitRangeIsRefused) {
  struct Row {
    const char* name;
    int rotation;
    QX_TArray area;
    int32_t width, height;
    const char* refusal;  // the problem; null: placed at vpos
    const char* vpos;
  };
  const int32_t kMin = std::numeric_limits<int32_t>::min();
  const std::vector<Row> rows = {
      {"right edge, one turn", 90, Area(0, 0, 0, 0x80000000u), 1000, 1000,
       "the crop of the \"SelectArea\" right edge 2147483648 from the width 1000 is 2147484648, outside the 32-bit "
       "range", nullptr},
      {"right edge, two turns", 180, Area(0, 0, 0, 1), kMin, 1000, "right edge 1 from the width -2147483648", nullptr},
      {"bottom edge, three turns", 270, Area(0, 0, 0x80000000u, 0), 1000, 1000, "bottom edge 2147483648", nullptr},
      {"just inside the range", 90, Area(0, 0, 0, 0x800003E9u), 1000, 1000, nullptr, "-8454660.02755906"},
      {"crop the turn does not need", 0, Area(1, 0, 0, 0x80000000u), 1000, 1000, nullptr, "-0.00393700787401575"},
  };
  for (const Row& row : rows) {
    for (bool distorted : {true, false}) {
      SCOPED_TRACE(std::string(row.name) + (distorted ? "" : ", without distortion"));
      TW_TTask rowTask;
      TestConverter rowConverter(rowTask);
      rowConverter.masterName = "M1";
      QX_TDict rowJob;
      rowJob.Add("Rotation", QX_TInt32(row.rotation));
      rowJob.Add("SelectArea", row.area);
      rowJob.Add("HSize", QX_TInt32(row.width));
      rowJob.Add("VSize", QX_TInt32(row.height));
      const std::string step = distorted ? "AddPositionInfo" : "AddPositionInfo_setButNoDistortion";
      std::string failure;
      try {
        if (distorted)
          rowConverter.AddPositionInfo(ticket, rowJob, 1);
        else
          rowConverter.AddPositionInfo_setButNoDistortion(ticket, rowJob, 1);
      } catch (const std::exception& e) {
        failure = e.what();
      }
      const CParamSection* section = rowConverter.Dictionary().FindJobSection(1);
      ASSERT_NE(section, nullptr);
      if (row.refusal == nullptr) {
        EXPECT_EQ(failure, "");
        ASSERT_NE(section->Find("vpos"), nullptr);
        EXPECT_EQ(section->Find("vpos")->value, row.vpos);
        continue;
      }
      EXPECT_EQ(failure.rfind("CTicket2Dict_msbasetask::" + step + " - ", 0), 0u) << failure;
      EXPECT_NE(failure.find(row.refusal), std::string::npos) << failure;
      ASSERT_EQ(rowTask.Log().size(), 1u);
      EXPECT_EQ(rowTask.Log()[0].level, 2);
      EXPECT_EQ(rowTask.Log()[0].text, failure);
      EXPECT_EQ(section->Find("hpos"), nullptr);
      EXPECT_EQ(section->Find("vpos"), nullptr);
    }
  }
}

TEST_F(PositionTest, MissingMastersLeavesTheMarginsAndFails) {
  ticket.SetConfiguration(QX_TDict());
  job.Add("TopMargin", QX_TInt32(254));
  try {
    converter.AddPositionInfo(ticket, job, 1);
    FAIL() << "no failure";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "CTicket2Dict_msbasetask::AddPositionInfo - job has no masters ");
  }
  EXPECT_EQ(JobKeys(1), (std::vector<std::string>{"job_mtop", "job_mbot", "job_mlft", "job_mrit"}));
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"qxmsm.nomasters"}));
  EXPECT_EQ(LogLevels(), (std::vector<int>{2}));
}

TEST_F(PositionTest, VariantWithoutDistortionDoesNotReadTheTicket) {
  ticket.SetConfiguration(QX_TDict());
  job.Add("VScale", QX_TInt32(2));
  job.Add("HScale", QX_TDouble(0.5));
  converter.AddPositionInfo_setButNoDistortion(ticket, job, 1);
  EXPECT_EQ(Value("scale"), "2,0.5");
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(PositionTest, WrongTypesFailTheStep) {
  QX_TArray shortArea, signedArea;
  for (int k = 0; k < 3; ++k) shortArea.Append(QX_TUInt32(1));
  for (int k = 0; k < 4; ++k) signedArea.Append(QX_TInt32(1));
  const std::vector<std::pair<const char*, QX_TAny>> rows = {
      {"TopMargin", QX_TDouble(1)},   {"Rotation", QX_TString("90")}, {"HSize", QX_TUInt32(1)},
      {"HPos", QX_TDouble(1)},        {"VScale", QX_TString("1")},    {"SelectArea", QX_TString("0,0,0,0")},
      {"SelectArea", shortArea},      {"SelectArea", signedArea}};
  for (const auto& [key, value] : rows) {
    QX_TDict bad;
    bad.Add(key, value);
    EXPECT_THROW(converter.AddPositionInfo(ticket, bad, 1), std::exception) << key << " " << value.ClassName();
  }
  QX_TDict options;
  options.Add("HDistortion", QX_TInt32(1));
  SetOptions(options);
  EXPECT_THROW(converter.AddPositionInfo(ticket, job, 1), QX_EIllegalCast);
}

class FlavouredConverter : public TestConverter {
 public:
  using TestConverter::TestConverter;
  std::string flavour = "Nimbus";
  std::string getFlavorName() override { return flavour; }
};

TEST_F(PositionTest, CommentCarriesTheFlavourNameWhole) {
  FlavouredConverter flavoured(task);
  flavoured.masterName = "M1";
  flavoured.AddPositionInfo(ticket, job, 1);
  const CParamSection* section = flavoured.Dictionary().FindJobSection(1);
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(section->Find("hpos")->comment, std::optional<std::string>("Added by Kestrel/Nimbus task"));

  flavoured.flavour = std::string(300, 'f');
  flavoured.AddPositionInfo(ticket, job, 2);
  EXPECT_EQ(flavoured.Dictionary().FindJobSection(2)->Find("vpos")->comment,
            std::optional<std::string>("Added by Kestrel/" + std::string(300, 'f') + " task"));
}

}  // namespace
