// Comparing results (diff) and testing task files against their expected
// results (test): the differences named, what is not a result, missing and
// malformed files, portable expected results, the INI form of the examples.
#include <gtest/gtest.h>

#include "regression.h"
#include "result_diff.h"
#include "result_writer.h"

#ifdef T2D_HOST_PROGRAM
#include "host_program.h"
#endif

namespace {

using t2dhost::Json;
using Lines = std::vector<std::string>;

const char* const kResult = R"({
  "dictionary": {
    "task": [{"key": "DeviceName", "value": "P1"}],
    "setup": [{"key": "rsx", "value": "1030", "comment": "a"}, {"key": "omode", "value": "mrg", "comment": "a"},
              {"key": "res", "value": "2400", "comment": null}],
    "environment": [],
    "jobs": {"2": [{"key": "type", "value": "pdf", "comment": ""}, {"key": "hpos", "value": "15", "comment": ""}]}
  },
  "log": [{"level": 0, "text": "qxmsm.fontsnotexported", "argument": "/srv/fonts"}],
  "templateNames": {"file": "brochure", "page": null},
  "tempFiles": [],
  "jobDictionaries": [{"JobName": "a.pdf", "Ink": [{"Color": "Cyan"}]}]
})";

TEST(ResultDiff, NamesEachDifferenceOnItsLine) {
  const Json a = Json::parse(kResult);
  Json b = a;
  b["dictionary"]["setup"][0]["value"] = "745";
  b["dictionary"]["setup"][1]["comment"] = "b";
  b["dictionary"]["jobs"]["2"].erase(1);
  b["log"].push_back({{"level", 2}, {"text", "qxmsm.nojob"}, {"step", "AddJobInfoGlobal"}, {"job", 2}});
  EXPECT_EQ(t2dhost::DiffResults(a, b), (Lines{"setup.rsx: 1030 -> 745", "setup.omode: comment \"a\" -> \"b\"",
                                              "jobs.2.hpos: removed",
                                              "log: + [2] qxmsm.nojob (AddJobInfoGlobal, job 2)"}));
  EXPECT_EQ(t2dhost::DiffResults(a, a), Lines{});
  b["trace"] = Json::array({1});
  EXPECT_EQ(t2dhost::DiffResults(b, b), Lines{}) << "the trace is not compared";
}

TEST(ResultDiff, AddedMovedQuotedAndDeepDifferences) {
  const Json a = Json::parse(kResult);
  Json b = a;
  auto& setup = b["dictionary"]["setup"];
  setup[2]["value"] = "";
  setup[0]["comment"] = nullptr;
  setup.push_back(setup[0]);  // omode, res, rsx
  setup.erase(0);
  setup.push_back({{"key", "new key"}, {"value", " x"}, {"comment", "c"}});
  b["log"].clear();
  b["templateNames"].erase("page");
  b["tempFiles"].push_back({{"url", "file:///t/a.ini"}, {"keep", false}});
  b["jobDictionaries"][0]["Ink"][0]["Color"] = 5;
  b["jobDictionaries"][0]["Ink"].push_back(Json::object());
  EXPECT_EQ(t2dhost::DiffResults(a, b),
            (Lines{"setup.rsx: comment \"a\" -> none", "setup.res: 2400 -> \"\"",
                   "setup[\"new key\"]: added \" x\", comment \"c\"", "setup.rsx: moved after res", "log: - [0] qxmsm.fontsnotexported \"/srv/fonts\"",
                   "templateNames.page: removed", "tempFiles: + file:///t/a.ini (keep false)",
                   "jobDictionaries[0].Ink[0].Color: \"Cyan\" -> 5", "jobDictionaries[0].Ink[1]: added {}"}));
  t2dhost::DiffOptions ignoring;
  ignoring.ignoreComments = true;
  EXPECT_EQ(t2dhost::DiffResults(a, b, ignoring).at(0), "setup.res: 2400 -> \"\"");
}

TEST(ResultDiff, RefusesWhatIsNotAResult) {
  const struct {
    const char* edit;  // JSON merge patch on the result
    const char* why;
  } cases[] = {
      {R"({"log": null})", "\"log\" is missing"},
      {R"({"dictionary": {"setup": {"rsx": "1"}}})", "dictionary.setup is not an array of items"},
      {R"({"dictionary": {"task": [{"key": "K"}]}})", "dictionary.task[0] is not an item"},
      {R"({"dictionary": {"task": [{"key": "K", "value": "1"}, {"key": "K", "value": "2"}]}})",
       "holds the key \"K\" twice"},
      {R"({"dictionary": {"jobs": {"01": []}}})", "dictionary.jobs.01 is not named by a job number"},
      {R"({"log": [{"level": "2", "text": "x"}]})", "log[0] is not a log entry"},
      {R"({"tempFiles": [{"url": "file:///a"}]})", "tempFiles[0] is not a temporary file"},
  };
  for (const auto& c : cases) {
    Json broken = Json::parse(kResult);
    broken.merge_patch(Json::parse(c.edit));
    try {
      t2dhost::CheckResult(broken);
      ADD_FAILURE() << c.edit << " was taken for a result";
    } catch (const t2dhost::NotAResultError& e) {
      EXPECT_NE(std::string(e.what()).find(c.why), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(t2dhost::CheckResult(Json::array()), t2dhost::NotAResultError);
}

TEST(RegressionPlaceholders, FolderAsThePathStartAndHostNameAsTheWholeText) {
  const t2dhost::Placeholders here{"rip1", "/w/ex"};
  const struct {
    const char* text;
    const char* portable;
  } cases[] = {
      {"file:///w/ex/cip3-ipl/a.ini", "file://<taskdir>/cip3-ipl/a.ini"},
      {"/w/ex", "<taskdir>"},
      {"\"/w/ex\\x\" /w/ex/y", "\"<taskdir>\\x\" <taskdir>/y"},
      {"/w/exa/b", "/w/exa/b"},
      {"/v/w/ex/b", "/v/w/ex/b"},
      {"rip1", "<hostname>"},
      {"rip10", "rip10"},
      {"\\\\rip1\\qx", "\\\\rip1\\qx"},
  };
  for (const auto& c : cases) {
    Json result = {{"values", {c.text, {{"k", c.text}}}}};
    t2dhost::Normalise(result, here);
    EXPECT_EQ(result["values"][0], c.portable) << c.text;
    EXPECT_EQ(result["values"][1]["k"], c.portable) << c.text;
  }
  Json root = "/a";
  t2dhost::Normalise(root, {"", "/"});
  EXPECT_EQ(root, "/a") << "the root folder is not replaced";
}

#ifdef T2D_HOST_PROGRAM

namespace fs = std::filesystem;
using hosttest::ReadFile;
using hosttest::TempDir;
using hosttest::WriteFile;

TEST(DiffProgram, ExitStatusAndOneLineForAFileThatIsNotAResult) {
  TempDir dir;
  Json b = Json::parse(kResult);
  b["dictionary"]["setup"][0]["value"] = "745";
  WriteFile(dir.File("a.json"), kResult);
  WriteFile(dir.File("b.json"), b.dump());
  WriteFile(dir.File("task.json"), "{\"ticket\": {}}");

  auto run = hosttest::Run({"diff", dir.File("a.json"), dir.File("a.json")});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  run = hosttest::Run({"diff", dir.File("a.json"), dir.File("b.json")});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_EQ(run.out, "setup.rsx: 1030 -> 745\n");
  for (const std::string& other : {dir.File("task.json"), dir.File("missing.json")}) {
    run = hosttest::Run({"diff", dir.File("a.json"), other});
    EXPECT_EQ(run.exitCode, 2) << other;
    EXPECT_EQ(run.err.rfind("ticket2dict: " + other + ": ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
}

// Two examples with their expected results and data folder, copied into a
// temporary folder.
class TestProgram : public ::testing::Test {
 protected:
  TestProgram() {
    const fs::path examples = fs::path(T2D_SOURCE_DIR) / "examples";
    for (const char* file : {"cip3.json", "cip3.expected.json", "typical.json", "typical.expected.json"})
      fs::copy_file(examples / file, dir.File(file));
    fs::copy(examples / "cip3-ipl", dir.File("cip3-ipl"));
  }
  hosttest::ProgramRun Test(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "test");
    return hosttest::Run(arguments);
  }
  TempDir dir;
};

TEST_F(TestProgram, PassesAndLeavesNoCopiesOfTheCip3Templates) {
  const auto run = Test({dir.Path(), "-j", "1"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "ok " + dir.File("cip3.json") + "\nok " + dir.File("typical.json") + "\n2 passed, 0 failed\n");
  for (const auto& entry : fs::directory_iterator(dir.File("cip3-ipl")))
    EXPECT_EQ(entry.path().filename().string().find("C7."), std::string::npos) << entry.path() << " stayed";
}

TEST_F(TestProgram, AChangedValueAMissingExpectedResultAndAMalformedTaskFail) {
  std::string expected = ReadFile(dir.File("typical.expected.json"));
  hosttest::ReplaceAll(expected, R"({"key": "rsx", "value": "2007.87401574803")", R"({"key": "rsx", "value": "999")");
  WriteFile(dir.File("typical.expected.json"), expected);
  fs::remove(dir.File("cip3.expected.json"));
  WriteFile(dir.File("bad.json"), "{\"ticket\": x}");

  const auto run = Test({dir.File("typical.json"), dir.Path(), "-j", "1"});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_EQ(run.out.rfind("FAIL " + dir.File("typical.json") + "\n  setup.rsx: 999 -> 2007.87401574803\nFAIL " +
                              dir.File("bad.json") + "\n  " + dir.File("bad.json") + ":1:12: not valid JSON: ",
                          0),
            0u)
      << run.out;
  EXPECT_NE(run.out.find("\nFAIL " + dir.File("cip3.json") + "\n  no expected result " +
                         dir.File("cip3.expected.json") + "; write it with: ticket2dict test --update " +
                         dir.File("cip3.json") + "\n0 passed, 3 failed\n"),
            std::string::npos)
      << run.out;
}

TEST_F(TestProgram, UpdateWritesPortableResultsThatPassInAnotherFolder) {
  fs::remove(dir.File("cip3.expected.json"));
  auto run = Test({dir.Path(), "--update", "-j", "1"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "wrote " + dir.File("cip3.expected.json") + "\nunchanged " + dir.File("typical.expected.json") +
                         "\n1 written, 1 unchanged, 0 failed\n");
  const std::string written = ReadFile(dir.File("cip3.expected.json"));
  EXPECT_EQ(written, ReadFile(T2D_SOURCE_DIR "/examples/cip3.expected.json"));
  EXPECT_EQ(written.find(dir.Path()), std::string::npos);

  TempDir elsewhere;
  fs::copy(dir.Path(), elsewhere.Path(), fs::copy_options::recursive);
  run = Test({elsewhere.Path(), "-j", "1"});
  EXPECT_EQ(run.exitCode, 0) << run.out;
}

TEST_F(TestProgram, BadCommandLinesAreExitStatusTwo) {
  for (const Lines& arguments : {Lines{dir.File("nothing")}, Lines{dir.File("cip3.expected.json")},
                                 Lines{dir.Path(), "-j", "0"}, Lines{dir.Path(), "--flavour", dir.File("no.so")}}) {
    const auto run = Test(arguments);
    EXPECT_EQ(run.exitCode, 2) << arguments[0] << " " << run.out;
    EXPECT_EQ(run.out, "");
  }
}

// Conversions run side by side in the workers: the report does not depend
// on how many there are.
TEST_F(TestProgram, FourWorkersGiveTheOutputOfOne) {
  WriteFile(dir.File("bad.json"), "{}}");
  fs::copy_file(dir.File("typical.json"), dir.File("typical2.json"));
  const auto one = Test({dir.Path(), "-j", "1"});
  for (int i = 0; i < 5; ++i) {
    const auto four = Test({dir.Path(), "-j", "4"});
    EXPECT_EQ(four.exitCode, one.exitCode);
    EXPECT_EQ(four.out, one.out);
  }
}

// The INI form of each example: the dictionary of its expected result, as
// the INI writer gives it.
TEST(ExampleIni, IsTheDictionaryOfTheExpectedResult) {
  for (const char* name : {"cip3", "multi-job", "typical"}) {
    TempDir dir;
    const fs::path examples = fs::path(T2D_SOURCE_DIR) / "examples";
    fs::copy_file(examples / (std::string(name) + ".json"), dir.File("task.json"));
    fs::copy(examples / "cip3-ipl", dir.File("cip3-ipl"));
    const auto run = hosttest::Run({"run", dir.File("task.json"), "--format", "ini", "-o", dir.File("out.ini")});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const Json expected = Json::parse(ReadFile((examples / (std::string(name) + ".expected.json")).string()));
    CParamDict dictionary;
    const auto add = [](CParamSection& section, const Json& items) {
      for (const Json& item : items) {
        const Json comment = item.value("comment", Json());
        section.Set(item["key"], item["value"],
                    comment.is_string() ? comment.get_ref<const std::string&>().c_str() : nullptr);
      }
    };
    for (auto section = expected["dictionary"].begin(); section != expected["dictionary"].end(); ++section)
      if (section.key() != "jobs") add(dictionary.Section(section.key()), *section);
    for (auto job = expected["dictionary"]["jobs"].begin(); job != expected["dictionary"]["jobs"].end(); ++job)
      add(dictionary.JobSection(std::stoi(job.key())), *job);
    EXPECT_EQ(hosttest::PortableIni(ReadFile(dir.File("out.ini")), dir.Path()), t2dhost::IniText(dictionary)) << name;
  }
}

#endif  // T2D_HOST_PROGRAM

}  // namespace
