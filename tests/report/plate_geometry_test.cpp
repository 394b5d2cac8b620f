// The plate geometry against rectangles worked out by hand from the
// placement rules, and its reading of a result document.
//
// Every case starts from one job: a page of 254,000 × 127,000 µm (1000 × 500
// units of 1/100 inch), margins top 10, right 20, bottom 30, left 40, at
// hpos 100, vpos 50, scale 1, no distortion. The placement put hpos at
// X + (leading margin) and vpos at Y + (leading margin), so the margins'
// outer corner, the slot, lies at the job's own position (X, Y).
#include "plate_geometry.h"

#include <gtest/gtest.h>

#include <random>

#include "conversion.h"
#include "result_writer.h"

namespace {

using t2dhost::ComputePlateGeometry;
using t2dhost::JobPlacementInput;
using t2dhost::JobUp;
using t2dhost::Json;
using t2dhost::PlateInput;
using t2dhost::PlateRect;

JobPlacementInput BaseJob(int number = 1) {
  JobPlacementInput job;
  job.number = number;
  job.hpos = 100;
  job.vpos = 50;
  job.top = 10, job.right = 20, job.bottom = 30, job.left = 40;
  job.width = 254000;
  job.height = 127000;
  return job;
}

struct Case {
  const char* name;
  int64_t rot;
  double vScale, hScale, hFactor, vFactor;
  std::optional<std::array<int64_t, 4>> area;  // µm: top, left, bottom, right
  PlateRect page, placed, slot;
  JobUp up;
};

// Hand computation per case (units; W 1000, H 500; T 10, R 20, B 30, L 40):
// clang-format off
const Case kCases[] = {
    // q0: page 1000 × 500 at (100, 50); slot grows left 40, top 10, right 20, bottom 30.
    {"no_turn", 0, 1, 1, 1, 1, std::nullopt,
     {100, 50, 1000, 500}, {100, 50, 1000, 500}, {60, 40, 1060, 540}, JobUp::kUp},
    // q1 (top to the left): page 500 × 1000; plate left ← top 10, top ← right 20, right ← bottom 30,
    // bottom ← left 40. hpos = X + T gives X = 90, vpos = Y + R gives Y = 30.
    {"quarter_turn", 1, 1, 1, 1, 1, std::nullopt,
     {100, 50, 500, 1000}, {100, 50, 500, 1000}, {90, 30, 540, 1060}, JobUp::kLeft},
    // q2: left ← right 20, top ← bottom 30, right ← left 40, bottom ← top 10.
    {"half_turn", 2, 1, 1, 1, 1, std::nullopt,
     {100, 50, 1000, 500}, {100, 50, 1000, 500}, {80, 20, 1060, 540}, JobUp::kDown},
    // q3: left ← bottom 30, top ← left 40, right ← top 10, bottom ← right 20.
    {"three_quarter_turns", 3, 1, 1, 1, 1, std::nullopt,
     {100, 50, 500, 1000}, {100, 50, 500, 1000}, {70, 10, 540, 1060}, JobUp::kRight},
    // Vs 2, Hs 0.5: page 1000·0.5 × 500·2 = 500 × 1000; margins L·Hs 20, R·Hs 10, T·Vs 20, B·Vs 60.
    {"scale", 0, 2, 0.5, 1, 1, std::nullopt,
     {100, 50, 500, 1000}, {100, 50, 500, 1000}, {80, 30, 530, 1080}, JobUp::kUp},
    // The same turned once: width H·Vs 1000, height W·Hs 500; left ← T·Vs 20, top ← R·Hs 10,
    // right ← B·Vs 60, bottom ← L·Hs 20 (hpos = X + Vs·T, vpos = Y + Hs·R).
    {"scale_turned", 1, 2, 0.5, 1, 1, std::nullopt,
     {100, 50, 1000, 500}, {100, 50, 1000, 500}, {80, 40, 1080, 530}, JobUp::kLeft},
    // h 1.002, v 0.998: page 1002 × 499; bands left 40.08, right 20.04, top 9.98, bottom 29.94;
    // the slot's left is X·h = hpos − L·h = 59.92.
    {"distortion", 0, 1, 1, 1.002, 0.998, std::nullopt, {100, 50, 1002, 499}, {100, 50, 1002, 499},
     {59.92, 40.02, 1062.12, 538.92}, JobUp::kUp},
    // Area top 50, left 100, bottom 400, right 800 (units): crops top 50, left 100, right W − s3 = 200,
    // bottom H − s2 = 100. Placed: (100 + 100, 50 + 50), 1000 − 300 × 500 − 150; the area starts
    // where the margin ends (hpos + s1 = X + L).
    {"crop", 0, 1, 1, 1, 1, std::array<int64_t, 4>{12700, 25400, 101600, 203200}, {100, 50, 1000, 500},
     {200, 100, 700, 350}, {160, 90, 760, 390}, JobUp::kUp},
    // The same turned once: plate left ← top crop 50, top ← right crop 200, right ← bottom crop 100,
    // bottom ← left crop 100 (hpos = X + T − s0, vpos = Y + R − (W − s3)).
    {"crop_turned", 1, 1, 1, 1, 1, std::array<int64_t, 4>{12700, 25400, 101600, 203200}, {100, 50, 500, 1000},
     {150, 250, 350, 700}, {140, 230, 390, 760}, JobUp::kLeft},
    // Right and bottom 0 are the page's own edges: only the top and left crops remain.
    {"crop_to_page_edges", 0, 1, 1, 1, 1, std::array<int64_t, 4>{12700, 25400, 0, 0}, {100, 50, 1000, 500},
     {200, 100, 900, 450}, {160, 90, 960, 490}, JobUp::kUp},
    // An area of four zeros is no area.
    {"zero_area", 0, 1, 1, 1, 1, std::array<int64_t, 4>{0, 0, 0, 0}, {100, 50, 1000, 500}, {100, 50, 1000, 500},
     {60, 40, 1060, 540}, JobUp::kUp},
    // rot 4 and −1 lie outside 0..3: the plain position, no margin or crop; turned by rot mod 4.
    {"rot_4_plain", 4, 1, 1, 1, 1, std::array<int64_t, 4>{12700, 25400, 0, 0}, {100, 50, 1000, 500},
     {100, 50, 1000, 500}, {100, 50, 1000, 500}, JobUp::kUp},
    {"rot_minus_1_plain", -1, 1, 1, 1, 1, std::nullopt, {100, 50, 500, 1000}, {100, 50, 500, 1000},
     {100, 50, 500, 1000}, JobUp::kRight},
};
// clang-format on

void ExpectRect(const PlateRect& actual, const PlateRect& expected, const std::string& what) {
  EXPECT_NEAR(actual.x, expected.x, 1e-9) << what;
  EXPECT_NEAR(actual.y, expected.y, 1e-9) << what;
  EXPECT_NEAR(actual.width, expected.width, 1e-9) << what;
  EXPECT_NEAR(actual.height, expected.height, 1e-9) << what;
}

TEST(PlateGeometry, PlacesEachCaseWhereTheRulesPutIt) {
  for (const Case& c : kCases) {
    PlateInput input;
    input.setup.hFactor = c.hFactor;
    input.setup.vFactor = c.vFactor;
    JobPlacementInput job = BaseJob();
    job.quarterTurns = c.rot;
    job.vScale = c.vScale;
    job.hScale = c.hScale;
    job.selectArea = c.area;
    input.jobs.push_back(job);
    const auto geometry = ComputePlateGeometry(input);
    ASSERT_EQ(geometry.jobs.size(), 1u);
    const auto& placed = geometry.jobs[0];
    ASSERT_TRUE(placed.placed) << c.name;
    ExpectRect(placed.page, c.page, std::string(c.name) + " page");
    ExpectRect(placed.area, c.placed, std::string(c.name) + " area");
    ExpectRect(placed.slot, c.slot, std::string(c.name) + " slot");
    EXPECT_EQ(placed.up, c.up) << c.name;
  }
}

TEST(PlateGeometry, FlagsJobsOutsideThePlateAndOverlaps) {
  PlateInput input;
  input.setup.width = 1030;
  input.setup.height = 800;
  input.jobs = {BaseJob(1), BaseJob(2), BaseJob(3), BaseJob(4)};
  input.jobs[0].hpos = 0;      // 0..1000 × 50..550: inside
  input.jobs[1].vpos = 550;    // 100..1100 × 550..1050: leaves right by 70 and bottom by 250, touches job 1
  input.jobs[2].hpos = 900;    // 900..1900 × 50..550: overlaps job 1 and job 2, leaves right
  input.jobs[3].hpos.reset();  // placement failed: not drawn
  const auto g = ComputePlateGeometry(input);
  EXPECT_FALSE(g.jobs[0].outside);
  EXPECT_TRUE(g.jobs[1].outside);
  EXPECT_TRUE(g.jobs[2].outside);
  EXPECT_EQ(g.jobs[0].overlaps, std::vector<int>{3});
  EXPECT_EQ(g.jobs[1].overlaps, std::vector<int>{});  // touching edges share no area
  EXPECT_EQ(g.jobs[2].overlaps, std::vector<int>{1});
  EXPECT_FALSE(g.jobs[3].placed);
  EXPECT_NE(std::find(g.jobs[1].notes.begin(), g.jobs[1].notes.end(),
                      "outside the plate: right by 17.78 mm, bottom by 63.5 mm"),
            g.jobs[1].notes.end());
}

TEST(PlateGeometry, ListsAtMostTwentyOverlapsAndRefusesNumbersOutOfRange) {
  PlateInput input;
  for (int n = 1; n <= 30; ++n) input.jobs.push_back(BaseJob(n));
  input.jobs[29].hScale = 1e306;  // 1000 units wide times that leaves the doubles
  const auto g = ComputePlateGeometry(input);
  EXPECT_EQ(g.jobs[0].overlaps.size(), 20u);
  EXPECT_EQ(g.jobs[0].overlapCount, 28u);
  const std::string& note = g.jobs[0].notes.back();
  EXPECT_EQ(note.substr(0, 23) + note.substr(note.size() - 19), "overlaps jobs 2, 3, 4, , 20, 21 and 8 more");
  EXPECT_FALSE(g.jobs[29].placed);
}

// The sweep against every pair: random placements on a coarse grid, so that
// many jobs share a spot, touch edge to edge, or lie inside another; some
// jobs unplaced or without a size. Each job's count and its listed lowest
// numbers must be those of comparing it with every other job.
TEST(PlateGeometry, SweepFindsTheOverlapsOfEveryPair) {
  std::mt19937 random(2207);
  for (int round = 0; round < 20; ++round) {
    PlateInput input;
    const int jobs = round < 10 ? 60 : 400;
    for (int n = 1; n <= jobs; ++n) {
      JobPlacementInput job;
      job.number = n;
      if (random() % 17 != 0) {
        job.hpos = static_cast<double>(random() % 20) * 100;
        job.vpos = static_cast<double>(random() % 20) * 100;
      }
      job.width = random() % 13 == 0 ? 0 : static_cast<int64_t>(1 + random() % 6) * 25400;
      job.height = static_cast<int64_t>(1 + random() % 6) * 25400;
      input.jobs.push_back(job);
    }
    const auto g = ComputePlateGeometry(input);
    for (const auto& job : g.jobs) {
      std::vector<int> all;
      for (const auto& other : g.jobs) {
        if (&other == &job || !job.placed || !other.placed || !job.sizeKnown || !other.sizeKnown) continue;
        const PlateRect &a = job.area, &b = other.area;
        if (std::min(a.Right(), b.Right()) - std::max(a.x, b.x) > 1e-6 &&
            std::min(a.Bottom(), b.Bottom()) - std::max(a.y, b.y) > 1e-6)
          all.push_back(other.number);
      }
      ASSERT_EQ(job.overlapCount, all.size()) << "round " << round << ", job " << job.number;
      all.resize(std::min(all.size(), t2dhost::kOverlapsListed));
      ASSERT_EQ(job.overlaps, all) << "round " << round << ", job " << job.number;
    }
  }
}

TEST(PlateGeometry, ReadsTheResultsItemsAndJobDictionaries) {
  const Json result = Json::parse(R"json({
    "dictionary": {
      "setup": [{"key": "rsx", "value": "1000.5"}, {"key": "rsy", "value": "749.85"},
                {"key": "shrexp", "value": "(9998,10000)"}, {"key": "rsx", "value": "1001"}],
      "jobs": {
        "1": [{"key": "rot", "value": "3"}, {"key": "hpos", "value": "12.5"}, {"key": "vpos", "value": "377.4245"},
              {"key": "job_mtop", "value": "5"}, {"key": "scale", "value": "0.5,0.25"}],
        "2": [{"key": "hpos", "value": "abc"}, {"key": "vpos", "value": "1"}, {"key": "rot", "value": "1.5"}]
      }
    },
    "jobDictionaries": {"@array": [
      {"JobName": "back.eps", "HSize": 105000, "VSize": 148000,
       "SelectArea": [{"@uint32": 1}, {"@uint32": 2}, {"@uint32": 3}, {"@uint32": 4294967295}]},
      {"HSize": "wide"}], "@lower": 0}
  })json");
  const PlateInput input = t2dhost::PlateInputFromResult(result);
  EXPECT_EQ(input.setup.width, 1001);  // the last write of a key holds
  EXPECT_EQ(input.setup.height, 749.85);
  EXPECT_DOUBLE_EQ(input.setup.vFactor, 0.9998);
  EXPECT_DOUBLE_EQ(input.setup.hFactor, 1.0);
  ASSERT_EQ(input.jobs.size(), 2u);
  const JobPlacementInput& back = input.jobs[0];
  EXPECT_EQ(back.name, "back.eps");
  EXPECT_EQ(back.quarterTurns, 3);
  EXPECT_EQ(back.hpos, 12.5);
  EXPECT_EQ(back.vScale, 0.5);
  EXPECT_EQ(back.hScale, 0.25);
  EXPECT_EQ(back.width, 105000);
  ASSERT_TRUE(back.selectArea);
  EXPECT_EQ((*back.selectArea)[3], -1);  // unsigned bits taken as signed, as the placement does
  EXPECT_TRUE(back.problems.empty());
  const JobPlacementInput& bad = input.jobs[1];
  EXPECT_FALSE(bad.hpos);
  EXPECT_EQ(bad.problems,
            (std::vector<std::string>{"\"HSize\" of the job dictionary is not a 32-bit integer",
                                      "\"hpos\" is not a number: \"abc\"", "\"rot\" is not a whole number: \"1.5\""}));
  EXPECT_FALSE(ComputePlateGeometry(input).jobs[1].placed);
}

}  // namespace

// Through the converter's own placement: for every quarter turn, with scale,
// distortion and a crop, the margins' outer corner lies at the job's own
// position from the ticket, stretched: (HPos · h, VPos · v) / 254.
TEST(PlateGeometry, AgreesWithTheConvertersPlacement) {
  std::string jobs;
  for (int q = 0; q < 4; ++q)
    jobs += std::string(q ? "," : "") + R"({"Rotation": )" + std::to_string(q * 90) +
            R"(, "HPos": 25400, "VPos": 50800, "HSize": 254000, "VSize": 127000, "VScale": 2.0, "HScale": 0.5,
               "TopMargin": 2540, "RightMargin": 5080, "BottomMargin": 7620, "LeftMargin": 10160,
               "SelectArea": [{"@uint32": 12700}, {"@uint32": 25400}, {"@uint32": 101600}, {"@uint32": 0}]})";
  const std::string task = R"({"ticket": {"configuration": {"Masters": {"M1": {"Options": {"HDistortion": 1.002,
      "VDistortion": 0.998}, "Info": {"WidthM": 300000, "HeightM": 200000}, "Jobs": [)" +
                           jobs + R"(]}}}},
      "setup": {"master": "M1"}, "servers": {"": {"FileServer": {}}}})";
  ASSERT_TRUE(__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__());
  const t2dhost::TaskFile file = t2dhost::ReadTaskFileText(task, "placement.json", "/");
  t2dhost::Conversion conversion(file);
  conversion.Run();
  const auto geometry =
      ComputePlateGeometry(t2dhost::PlateInputOf(conversion.Converter().Dictionary(), conversion.Jobs()));
  ASSERT_EQ(geometry.jobs.size(), 4u);
  for (const auto& job : geometry.jobs) {
    ASSERT_TRUE(job.placed && job.cropped) << job.number;
    EXPECT_NEAR(job.slot.x, 100 * 1.002, 1e-9) << job.number;
    EXPECT_NEAR(job.slot.y, 200 * 0.998, 1e-9) << job.number;
  }
}
