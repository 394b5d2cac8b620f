// Comparing results (diff) and testing task files against their expected
// results (test): the differences named, what is not a result, missing and
// malformed files, portable expected results, the INI form of the examples.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <pugixml.hpp>

#include "regression.h"
#include "result_diff.h"
#include "result_writer.h"
#include "sha256.h"
#include "task.h"

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
      {R"({"files": [{"url": "file:///a", "bytes": 3}]})", "files[0] is not a written file"},
      {R"({"files": {}})", "files is not an array"},
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

// The written files: an INI text line by line, a changed key named by its
// file, section and key; other kinds of file as a whole.
TEST(ResultDiff, WrittenFilesByFileSectionAndKey) {
  Json a = Json::parse(kResult), b = a;
  const std::string plate = "[JOB]\nJobName=a.pdf\n\n[CIP3]\nJobName=Spring\nMake=Brackwater\n";
  a["files"] = {{{"url", "file:///d/p.ini"}, {"text", plate}},
                {{"url", "file:///d/q.dat"}, {"bytes", 3}, {"sha256", "ab"}},
                {{"url", "file:///d/gone"}, {"missing", true}},
                {{"url", "file:///d/p.ini"}, {"text", plate}}};
  b["files"] = {{{"url", "file:///d/p.ini"},
                 {"text", "[JOB]\nJobName=a.pdf\n\n[CIP3]\nJobName=Autumn\nMake=Brackwater\nx\n"}},
                {{"url", "file:///d/q.dat"}, {"text", "abc"}},
                {{"url", "file:///d/new"}, {"missing", true}}};
  EXPECT_EQ(t2dhost::DiffResults(a, b),
            (Lines{"files: file:///d/p.ini: [CIP3] JobName: Spring -> Autumn", "files: file:///d/p.ini: line 7: + x",
                   "files: file:///d/q.dat: 3 bytes, sha256 \"ab\" -> a text of 1 line",
                   "files: file:///d/gone: removed", "files: file:///d/new: added, missing"}));
  b.erase("files");
  EXPECT_EQ(t2dhost::DiffResults(a, b).size(), 3u) << "a result without files has none";
}

TEST(RegressionPlaceholders, DiffFindsTheFolderOnEitherSide) {
  const Json expected = {{"inkplan", "file://<taskdir>/ipl/p.ini"}, {"host", "<hostname>"}};
  const struct {
    const char* fresh;
    const char* folder;
  } cases[] = {
      {"file:///w/ex/ipl/p.ini", "/w/ex"},
      {"file:///w/ex\\ipl/p.ini", ""},  // the rest after the folder differs
      {"file://w/ex/ipl/p.ini", ""},     // no absolute folder
      {"file:///ipl/p.ini", ""},         // the root is never the folder
  };
  for (const auto& c : cases) {
    const Json fresh = {{"inkplan", c.fresh}};
    EXPECT_EQ(t2dhost::PlaceholdersBetween(expected, fresh).taskFolder, c.folder) << c.fresh;
    EXPECT_EQ(t2dhost::PlaceholdersBetween(fresh, expected).taskFolder, c.folder) << c.fresh;
  }
  EXPECT_EQ(t2dhost::PlaceholdersBetween(Json{{"k", "a"}}, Json{{"k", "/w/ex"}}).taskFolder, "");
  EXPECT_EQ(t2dhost::PlaceholdersBetween(Json{{"k", "a"}}, Json{{"k", "/w/ex"}}).hostName, "")
      << "no placeholder, no host name";
}

TEST(JUnitReport, EscapesWhatTheDifferencesHold) {
  std::vector<t2dhost::TaskOutcome> outcomes(3);
  outcomes[0].name = "ex/a.json";
  outcomes[0].verdict = t2dhost::TaskOutcome::Verdict::kPassed;
  outcomes[1].name = "ex/<b&c>.json";
  outcomes[1].details = {"setup.x: \"<\" -> ]]>&amp;", std::string("bad \x01 \xff bytes")};
  outcomes[2].name = "c.json";
  outcomes[2].details = {"no expected result"};
  const std::string xml = t2dhost::JUnitReport(outcomes);
  pugi::xml_document document;
  ASSERT_TRUE(document.load_string(xml.c_str())) << xml;
  const pugi::xml_node suite = document.child("testsuites").child("testsuite");
  EXPECT_EQ(suite.attribute("tests").as_int(), 3);
  EXPECT_EQ(suite.attribute("failures").as_int(), 2);
  const pugi::xml_node failed = suite.find_child_by_attribute("testcase", "name", "<b&c>.json");
  EXPECT_STREQ(failed.attribute("classname").value(), "ex");
  EXPECT_EQ(std::string(failed.child("failure").attribute("message").value()),
            "2 differences, the first: setup.x: \"<\" -> ]]>&amp;");
  EXPECT_EQ(std::string(failed.child("failure").text().get()),
            "setup.x: \"<\" -> ]]>&amp;\nbad \\u0001 \xef\xbf\xbd bytes\n");
  EXPECT_STREQ(suite.find_child_by_attribute("testcase", "name", "c.json").attribute("classname").value(), ".");
  EXPECT_FALSE(suite.find_child_by_attribute("testcase", "name", "a.json").child("failure"));
}

TEST(Sha256, KnownDigestsAcrossTheBlockEnds) {
  const struct {
    std::string bytes;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // 56 bytes: the length needs a second block
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
  };
  for (const auto& c : cases) EXPECT_EQ(t2dhost::Sha256Hex(c.bytes), c.digest) << c.bytes.size() << " bytes";
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

TEST(WrittenFiles, TextBytesMissingAndWhatCantBeRead) {
  TempDir dir;
  WriteFile(dir.File("a.ini"), "[A]\nk=v\n");
  WriteFile(dir.File("b.bin"), std::string("abc\0", 4));
  WriteFile(dir.File("c.txt"), "caf\xe9");  // Latin-1, not UTF-8
  TW_TTask task;
  for (const char* name : {"a.ini", "b.bin", "c.txt", "none"})
    task.RegisterTempFile(QX_TURL::LocalToURL(QX_TString(dir.File(name))), false);
  const Json files = t2dhost::WrittenFilesJson(task);
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0]["text"], "[A]\nk=v\n");
  EXPECT_EQ(files[1]["bytes"], 4);
  EXPECT_EQ(files[1]["sha256"], t2dhost::Sha256Hex(std::string("abc\0", 4)));
  EXPECT_EQ(files[2]["bytes"], 4);
  EXPECT_EQ(files[3], (Json{{"url", "file://" + dir.File("none")}, {"missing", true}}));

  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  task.RegisterTempFile(QX_TURL::LocalToURL(QX_TString(dir.File("fifo"))), false);
  EXPECT_THROW(t2dhost::WrittenFilesJson(task), std::runtime_error) << "a FIFO is refused, not waited on";
}

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
    hosttest::CopyCip3Templates(dir.File("cip3-ipl"));
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

// A CIP3 value changed in the task: the plate file differs, named by file,
// section and key, in the output and in a JUnit report that the schema of
// CI servers takes.
TEST_F(TestProgram, AChangedCip3ValueFailsInTheOutputAndTheJUnitReport) {
  std::string task = ReadFile(dir.File("cip3.json"));
  hosttest::ReplaceAll(task, R"("Cip_JobName": "<file>")", R"("Cip_JobName": "Autumn <b>")");
  WriteFile(dir.File("cip3.json"), task);
  const auto run = Test({dir.Path(), "-j", "1", "--junit", dir.File("report.xml")});
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_NE(run.out.find("FAIL " + dir.File("cip3.json") +
                         "\n  files: file://<taskdir>/cip3-ipl/PlateSettings.iniC7.ini: [CIP3] JobName: "),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(" -> Autumn <b>\n"), std::string::npos) << run.out;
  const std::string xmllint = "/usr/bin/xmllint";
  if (!fs::exists(xmllint)) GTEST_SKIP() << "xmllint missing (Debian libxml2-utils): the report is not validated";
  const auto valid = hosttest::RunCommand({xmllint, "--noout", "--schema",
                                           T2D_SOURCE_DIR "/tests/host/junit.xsd", dir.File("report.xml")});
  EXPECT_EQ(valid.exitCode, 0) << valid.err << ReadFile(dir.File("report.xml"));
  EXPECT_NE(ReadFile(dir.File("report.xml")).find("Autumn &lt;b&gt;"), std::string::npos);

  const auto unwritable = Test({dir.Path(), "--junit", dir.File("no/folder/report.xml")});
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_EQ(unwritable.out, "") << "nothing is converted when the report can't be written";
}

// An expected result holds placeholders; a fresh result of the task on this
// machine compares equal to it.
TEST_F(TestProgram, DiffOfAnExpectedResultAndAFreshResultIsEmpty) {
  const auto fresh = hosttest::Run({"run", dir.File("cip3.json"), "--cleanup", "-o", dir.File("fresh.json")});
  ASSERT_EQ(fresh.exitCode, 0) << fresh.err;
  for (const auto& pair : {std::make_pair("cip3.expected.json", "fresh.json"),
                           std::make_pair("fresh.json", "cip3.expected.json")}) {
    const auto run = hosttest::Run({"diff", dir.File(pair.first), dir.File(pair.second)});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.out, "");
  }
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
    hosttest::CopyCip3Templates(dir.File("cip3-ipl"));
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
