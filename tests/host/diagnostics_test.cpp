// Why the result is what it is: the step and job of each log entry, the
// trace of a conversion, `explain`, `lint` and `run --strict`.
#include <gtest/gtest.h>

#include "conversion.h"
#include "diagnostics.h"
#include "lint.h"
#include "host_program.h"
#include "message_catalogue.h"
#include "result_writer.h"
#include "task_file.h"

namespace {

namespace fs = std::filesystem;
using t2dhost::Json;

std::string Example(const std::string& name) {
  return (fs::path(T2D_SOURCE_DIR) / "examples" / (name + ".json")).string();
}

// A flavour that replaces the setup's end with a step of its own that logs.
class LoggingFlavour : public CTicket2Dict_msbasetask {
 public:
  using CTicket2Dict_msbasetask::CTicket2Dict_msbasetask;

 protected:
  void AddSetup_end(AT_TTicket&, QX_TDict&, int) override { Task().LogMessage(1, "the flavour's own end"); }
};

TEST(LogEntryPlace, StepAndJobOfFailingJobsAndOfAFlavoursOverride) {
  ASSERT_TRUE(__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__());
  // Job 2 of the three fails in its job info.
  const t2dhost::TaskFile file = t2dhost::ReadTaskFile(Example("multi-job"));
  t2dhost::Conversion conversion(file);
  conversion.Run();
  std::vector<std::string> places;
  for (const TW_TLogEntry& entry : conversion.Task().Log())
    places.push_back(t2dhost::LogEntryPlace(entry.step, entry.job));
  EXPECT_EQ(places, (std::vector<std::string>{"AddEnvironment2Dict", "AddEnvironment2Dict", "AddJob2Dict, job 2",
                                              "AddJob, job 2", "Ink2IniEntry, job 3"}));

  t2dhost::Conversion flavoured(file, [](TW_TTask& task) { return std::make_unique<LoggingFlavour>(task); });
  flavoured.Run();
  ASSERT_FALSE(flavoured.Task().Log().empty());
  EXPECT_EQ(flavoured.Task().Log()[0].text, "the flavour's own end");
  EXPECT_EQ(flavoured.Task().Log()[0].step, "AddSetup_end");
}

class Traced : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const auto run = hosttest::Run({"run", Example("typical"), "--trace"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    trace_ = Json::parse(run.out)["trace"];
  }
  // The runs of `step`, in order.
  static std::vector<Json> Runs(const std::string& step) {
    std::vector<Json> runs;
    for (const Json& run : trace_)
      if (run["step"] == step) runs.push_back(run);
    return runs;
  }
  static bool Holds(const Json& list, const Json& entry) {
    return std::find(list.begin(), list.end(), entry) != list.end();
  }
  static Json trace_;
};
Json Traced::trace_;

TEST_F(Traced, ReadsCallsAndWritesOfTheTypicalTask) {
  const Json end = Runs("AddSetup_end").at(0);
  EXPECT_TRUE(Holds(end["reads"], Json{{"path", "ticket.configuration.Masters.M1.Info.WidthM"}, {"value", 510000}}));
  EXPECT_TRUE(Holds(end["reads"],
                    Json{{"path", "ticket.configuration.Masters.M1.Options.HTopDistortion"}, {"absent", true}}));
  // Nested runs name their enclosing run.
  EXPECT_EQ(trace_[end["parent"].get<size_t>()]["step"], "AddSetup");

  const Json global = Runs("AddSetupGlobal").at(0);
  EXPECT_TRUE(Holds(global["calls"], Json::parse(R"({"service": "CFS", "method": "[]",
      "arguments": ["Devices/Instances/Platesetter 1/Rip/EmptyPages"], "answer": false})")));

  // "omode" is written by the global setup, the setup's end and the job.
  std::vector<std::string> writers;
  for (const Json& run : trace_)
    for (const Json& write : run["writes"])
      if (write["section"] == "setup" && write["key"] == "omode")
        writers.push_back(run["step"].get<std::string>() + (run["job"].is_null() ? "" : " " + run["job"].dump()));
  EXPECT_EQ(writers, (std::vector<std::string>{"AddSetupGlobal", "AddSetup_end", "AddJobInfoGlobal 1"}));
}

TEST(Explain, HistoryOfAnItemAndAnItemNeverWritten) {
  auto run = hosttest::Run({"explain", Example("typical"), "setup.omode"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const size_t first = run.out.find("1. written by AddSetupGlobal: \"mrg\"");
  const size_t second = run.out.find("2. written by AddSetup_end: \"mrg\"");
  const size_t third = run.out.find("3. written by AddJobInfoGlobal, job 1: \"multipage\"");
  EXPECT_TRUE(first < second && second < third && third != std::string::npos) << run.out;
  EXPECT_NE(run.out.find("ticket.configuration.Masters.M1.Jobs[0].PageRange[1][1] = {\"@uint32\":8}"),
            std::string::npos);
  EXPECT_NE(run.out.find("final value: \"multipage\""), std::string::npos);

  run = hosttest::Run({"explain", Example("typical"), "setup.omod"});
  EXPECT_EQ(run.exitCode, 4);
  EXPECT_EQ(run.out, "setup.omod was never written; the written items of setup closest to it: setup.omode, "
                     "setup.rsx, setup.rsy\n");
  EXPECT_EQ(hosttest::Run({"explain", Example("typical"), "nothing"}).exitCode, 4);
  // An item that the table of ticket keys knows names the keys that would write it.
  run = hosttest::Run({"explain", Example("typical"), "setup.duplex"});
  EXPECT_EQ(run.exitCode, 4);
  EXPECT_NE(run.out.find("; the ticket keys that write it: Duplex\n"), std::string::npos) << run.out;
}

TEST(Lint, MisspellingsWarnExtraKeysDoNot) {
  hosttest::TempDir dir;
  std::string task = hosttest::ReadFile(Example("typical"));
  hosttest::ReplaceAll(task, "\"Rotation\": 90,", "\"Rotation\": 90, \"ForAnotherTask\": 1, \"Rotations\": 2,");
  hosttest::WriteFile(dir.File("extra.json"), task);
  auto run = hosttest::Run({"lint", dir.File("extra.json")});
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(run.out, "");
  run = hosttest::Run({"lint", dir.File("extra.json"), "--all"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_NE(run.out.find(": note: ticket.configuration.Masters.M1.Jobs[0].ForAnotherTask is never read [unread]\n"),
            std::string::npos);

  hosttest::ReplaceAll(task, "\"Rotation\": 90, \"ForAnotherTask\": 1, \"Rotations\": 2,", "\"Rotaton\": 90,");
  hosttest::WriteFile(dir.File("misspelt.json"), task);
  run = hosttest::Run({"lint", dir.File("misspelt.json")});
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.out, dir.File("misspelt.json") + ":46:15: warning: ticket.configuration.Masters.M1.Jobs[0].Rotaton is "
                     "never read; \"Rotation\" was asked for and is absent: probably misspelt (write \"Rotation\") "
                     "[misspelling]\n");

  // Errors name their step and job and say what they mean in the catalogue's words.
  run = hosttest::Run({"lint", Example("multi-job")});
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.out.rfind(Example("multi-job") + ":45:13: error: qxmsm.failaddjob (AddJob2Dict, job 2): " +
                              t2dhost::FindMessage("qxmsm.failaddjob")->meaning + " [qxmsm.failaddjob]\n",
                          0),
            0u)
      << run.out;
}

TEST(Lint, EditDistanceCountsLettersNotCase) {
  const std::tuple<const char*, const char*, size_t> cases[] = {
      {"Rotaton", "Rotation", 1}, {"rotation", "Rotation", 0}, {"Roatation", "Rotation", 1},
      {"HSize", "VSize", 1},      {"Copies", "Cpoies", 1},     {"Dotshape", "Shape", 3}};
  for (const auto& c : cases) EXPECT_EQ(t2dhost::EditDistance(std::get<0>(c), std::get<1>(c), 2),
                                        std::min<size_t>(std::get<2>(c), 3)) << std::get<0>(c);
}

TEST(RunOutput, StrictExitsWithThreeAndStandardOutputHoldsTheResultAlone) {
  auto run = hosttest::Run({"run", Example("multi-job"), "--strict"});
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_FALSE(Json::parse(run.out)["dictionary"].empty());
  EXPECT_EQ(hosttest::Run({"run", Example("typical"), "--strict"}).exitCode, 0);

  // The IPL proxy's traces go to standard error: standard output parses.
  hosttest::TempDir dir;
  hosttest::CopyCip3Templates(dir.File("cip3-ipl"));
  fs::copy_file(Example("cip3"), dir.File("cip3.json"));
  run = hosttest::Run({"run", dir.File("cip3.json"), "--cleanup"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NO_THROW(Json::parse(run.out)) << run.out;
  EXPECT_NE(run.err.find("making the connection"), std::string::npos);
}

}  // namespace
