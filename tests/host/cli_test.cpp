// The ticket2dict program end to end: command line, exit codes, malformed
// task files, --format ini, --cleanup, the server that QX_SERVER picks.
#ifdef T2D_HOST_PROGRAM

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <thread>

#include <nlohmann/json.hpp>
#include <regex>

#include "host_program.h"

namespace {

namespace fs = std::filesystem;
using hosttest::ReadFile;
using hosttest::TempDir;
using hosttest::WriteFile;
using Json = nlohmann::ordered_json;

size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// ---- Malformed task files ---------------------------------------------------

struct Malformed {
  const char* name;
  const char* content;  // null: the file does not exist
  const char* position;  // what the message names: ":line:column:" or the key path
  const char* problem;
};

const Malformed kMalformed[] = {
    {"not_json", "{\"options\": nope}", ":1:", "not valid JSON"},
    {"truncated", "{\"ticket\": {\"deviceName\": \"P1\",\n  \"taskId\": \"T", ":2:", "not valid JSON"},
    {"empty_file", "", ":1:1:", "not valid JSON"},
    {"invalid_utf8", "{\"ticket\": {\"taskId\": \"\xff\"}}", ":1:", "not valid JSON"},
    {"number_overflow", "{\"ticket\":\n {\"work\": {\"N\": 1e999}}}", ":2:17:", "number overflow"},
    {"unknown_tag", "{\"ticket\": {\"configuration\": {\"X\": {\"@int64\": 5}}}}", ": ticket.configuration.X: ",
     "unknown tag \"@int64\""},
    {"tag_with_extra_key", "{\"ticket\": {\"work\": {\"N\": {\"@int32\": 5, \"@uint32\": 6}}}}", ": ticket.work.N: ",
     "\"@uint32\" is one too many"},
    {"tag_with_plain_extra_key", "{\"ticket\": {\"work\": {\"N\": {\"@url\": \"/a\", \"x\": 1}}}}", ": ticket.work.N: ",
     "\"x\" is one too many"},
    {"int32_out_of_range", "{\"ticket\": {\"work\": {\"N\": {\"@int32\": 2147483648}}}}", ": ticket.work.N: ",
     "out of the 32-bit signed range"},
    {"uint16_of_70000", "{\"ticket\": {\"work\": {\"N\": {\"@uint16\": 70000}}}}", ": ticket.work.N: ",
     "out of the 16-bit unsigned range"},
    {"uint32_negative", "{\"ticket\": {\"work\": {\"N\": {\"@uint32\": -1}}}}", ": ticket.work.N: ",
     "out of the 32-bit unsigned range"},
    {"int_tag_with_fraction", "{\"ticket\": {\"work\": {\"N\": {\"@int32\": 1.5}}}}", ": ticket.work.N: ",
     "needs an integer"},
    {"url_tag_with_number", "{\"ticket\": {\"work\": {\"U\": {\"@url\": 7}}}}", ": ticket.work.U: ", "needs a text"},
    {"array_without_lower", "{\"ticket\": {\"work\": {\"A\": {\"@array\": [1]}}}}", ": ticket.work.A: ",
     "needs \"@lower\""},
    {"plain_null_value", "{\"ticket\": {\"work\": {\"Inputfolder\": null}}}", ": ticket.work.Inputfolder: ",
     "{\"@illegal\": null}"},
    {"setup_without_master", "{\"setup\": {\"pageList\": \"\"}}", ": setup.master: ", "missing"},
    {"master_not_under_masters",
     "{\"ticket\": {\"configuration\": {\"Masters\": {\"M1\": {}}}}, \"setup\": {\"master\": \"M2\"}}",
     ": ticket.configuration.Masters.M2: ", "not under \"Masters\""},
    {"no_masters_at_all", "{\"setup\": {\"master\": \"M1\"}}", ": ticket.configuration.Masters: ", "missing"},
    {"job_without_index",
     "{\"setup\": {\"master\": \"M1\", \"masterDictionary\": {}}, \"jobs\": [{\"index\": 0}, {\"jobFlag\": 1}]}",
     ": jobs[1].index: ", "missing"},
    {"non_object_server", "{\"servers\": {\"\": 5}}", ": servers[\"\"]: ", "a server is an object of services"},
    {"unknown_service", "{\"servers\": {\"\": {\"CMS\": {}}}}", ": servers[\"\"].CMS: ", "unknown service"},
    {"unknown_top_level_key", "{\"server\": {}}", ": server: ", "unknown key"},
    {"duplicate_key", "{\"ticket\": {\"taskId\": \"a\", \"taskId\": \"b\"}}", ": ticket.taskId: ", "appears twice"},
    {"page_flags_of_three", "{\"setup\": {\"master\": \"M\", \"masterDictionary\": {}, \"pageFlags\": [0, 0, 0]}}",
     ": setup.pageFlags: ", "four integers"},
    {"option_of_wrong_kind", "{\"options\": {\"DispatcherVersion\": 7.5}}", ": options.DispatcherVersion: ",
     "an integer or a text"},
    {"option_the_converter_refuses", "{\"options\": {\"DispatcherVersion\": \"new\"}}",
     ": options.DispatcherVersion: ", "refuses the option"},
    {"text_of_wrong_kind", "{\"ticket\": {\"deviceName\": 17}}", ": ticket.deviceName: ", "needs a text"},
    {"configuration_not_a_dictionary", "{\"ticket\": {\"configuration\": [1]}}", ": ticket.configuration: ",
     "needs a dictionary"},
    {"deep_nesting", nullptr, ": ", "nested deeper than"},
    {"missing_file", nullptr, ": ", "can't read the task file"},
};

void PrintTo(const Malformed& c, std::ostream* os) { *os << c.name; }

class MalformedTaskFile : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedTaskFile, ExitsWithTwoAndOneLineNamingFilePositionAndProblem) {
  const Malformed& c = GetParam();
  TempDir dir;
  const std::string task = dir.File("task.json");
  if (c.content != nullptr) {
    WriteFile(task, c.content);
  } else if (std::string(c.name) == "deep_nesting") {
    WriteFile(task, std::string(100000, '[') + std::string(100000, ']'));
  }
  // An earlier result must survive a failed run untouched.
  const std::string result = dir.File("result.json");
  WriteFile(result, "earlier result");

  const auto run = hosttest::Run({"run", task, "-o", result});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(Lines(run.err), 1u) << run.err;
  EXPECT_EQ(run.err.rfind("ticket2dict: " + task, 0), 0u) << run.err;
  EXPECT_NE(run.err.find(task + c.position), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(c.problem), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(result), "earlier result");
  EXPECT_EQ(FilesIn(dir.Path()), (c.content ? std::vector<std::string>{"result.json", "task.json"}
                                            : FilesIn(dir.Path())));
  EXPECT_TRUE(run.out.empty()) << run.out;
}

INSTANTIATE_TEST_SUITE_P(Table, MalformedTaskFile, ::testing::ValuesIn(kMalformed),
                         [](const ::testing::TestParamInfo<Malformed>& info) { return std::string(info.param.name); });

TEST(HostProgram, AFolderIsNotATaskFile) {
  TempDir dir;
  const auto run = hosttest::Run({"run", dir.Path()});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("it is a folder"), std::string::npos) << run.err;
}

// ---- Command line ----------------------------------------------------------

TEST(HostProgram, VersionAndHelp) {
  const auto version = hosttest::Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_TRUE(std::regex_match(version.out, std::regex("ticket2dict [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;

  const auto help = hosttest::Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("run"), std::string::npos);
  const auto runHelp = hosttest::Run({"run", "--help"});
  EXPECT_EQ(runHelp.exitCode, 0);
  EXPECT_NE(runHelp.out.find("--cleanup"), std::string::npos);
  EXPECT_NE(runHelp.out.find("--format"), std::string::npos);
}

TEST(HostProgram, CommandLineMistakesExitWithTwo) {
  TempDir dir;
  WriteFile(dir.File("t.json"), "{}");
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{}, {"convert", dir.File("t.json")}, {"run"},
        {"run", dir.File("t.json"), "--format", "xml"}, {"run", dir.File("t.json"), "--bogus"}}) {
    const auto run = hosttest::Run(arguments);
    EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(arguments);
    EXPECT_FALSE(run.err.empty());
  }
}

TEST(HostProgram, AMistypedCommandIsNamedAndABareCallListsTheCommands) {
  const struct {
    std::vector<std::string> arguments;
    const char* line;
  } cases[] = {
      {{"runn", "x.json"}, "ticket2dict: unknown command \"runn\"; did you mean \"run\"?\n"},
      {{"Lint"}, "ticket2dict: unknown command \"Lint\"; did you mean \"lint\"?\n"},
      {{"convert"}, "ticket2dict: unknown command \"convert\"; the commands are run, explain, lint, test, diff, "
                    "report, schema\n"},
  };
  for (const auto& c : cases) {
    const auto run = hosttest::Run(c.arguments);
    EXPECT_EQ(run.exitCode, 2) << c.arguments[0];
    EXPECT_EQ(run.err, c.line);
  }
  const auto bare = hosttest::Run({});
  EXPECT_EQ(bare.exitCode, 2);
  for (const char* command : {"run", "explain", "lint", "test", "diff", "report", "schema"})
    EXPECT_TRUE(std::regex_search(bare.err, std::regex(std::string("\n  ") + command + " +[A-Z][^\n]+\n")))
        << command << " in " << bare.err;
}

// --format flat: each item's final value, per section, nothing else.
TEST(HostProgram, FlatFormatHoldsTheFinalValuesOfTheDictionary) {
  const std::string task = (fs::path(T2D_SOURCE_DIR) / "examples" / "multi-job.json").string();
  const auto flat = hosttest::Run({"run", task, "--format", "flat"});
  ASSERT_EQ(flat.exitCode, 0) << flat.err;
  const auto whole = hosttest::Run({"run", task});
  ASSERT_EQ(whole.exitCode, 0) << whole.err;
  const Json result = Json::parse(whole.out);
  Json expected = Json::object();
  for (auto section = result["dictionary"].begin(); section != result["dictionary"].end(); ++section) {
    const bool jobs = section.key() == "jobs";
    expected[section.key()] = Json::object();
    for (auto job = section->begin(); jobs && job != section->end(); ++job)
      for (const Json& item : *job) expected["jobs"][job.key()][item["key"].get<std::string>()] = item["value"];
    for (const Json& item : jobs ? Json::array() : *section)
      expected[section.key()][item["key"].get<std::string>()] = item["value"];
  }
  EXPECT_EQ(Json::parse(flat.out), expected);
  EXPECT_NE(flat.err, "") << "the log goes to standard error";
}

TEST(HostProgram, AnEmptyTaskFileGivesAnEmptyResult) {
  TempDir dir;
  WriteFile(dir.File("t.json"), "{}");
  const auto run = hosttest::Run({"run", dir.File("t.json")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Json::parse(run.out),
            Json::parse(R"({"dictionary": {"task": [], "setup": [], "environment": [], "jobs": {}}, "log": [],
                            "templateNames": {}, "tempFiles": [], "jobDictionaries": [], "files": []})"));
}

TEST(HostProgram, AResultThatCantBeWrittenExitsWithOne) {
  TempDir dir;
  WriteFile(dir.File("t.json"), "{}");
  const auto run = hosttest::Run({"run", dir.File("t.json"), "-o", dir.File("no/such/folder/out.json")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("out.json\": can't create a temporary file beside it"), std::string::npos) << run.err;
}

TEST(HostProgram, OutputFileHoldsTheWholeResultAndNothingBeside) {
  TempDir dir;
  WriteFile(dir.File("t.json"), "{\"ticket\": {\"deviceName\": \"Platesetter 1\"}, "
                                "\"setup\": {\"master\": \"M\", \"masterDictionary\": {}}}");
  const auto run = hosttest::Run({"run", dir.File("t.json"), "-o", dir.File("out.json")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.out.empty());
  const Json result = Json::parse(ReadFile(dir.File("out.json")));
  EXPECT_EQ(result["dictionary"]["task"][0], Json::parse(R"({"key": "DeviceName", "value": "Platesetter 1"})"));
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"out.json", "t.json"}));
}

// ---- Typed values reach the converter as their class ------------------------

TEST(HostProgram, TaggedTreeIsNotTheDictionaryTheConverterExpects) {
  TempDir dir;
  for (const char* options : {"{}", "{\"@tree\": {}}", "{\"@dict\": {}}"}) {
    WriteFile(dir.File("t.json"), std::string("{\"setup\": {\"master\": \"M\", \"masterDictionary\": {\"Options\": ") +
                                      options + ", \"Info\": {}, \"Jobs\": []}}}");
    const auto run = hosttest::Run({"run", dir.File("t.json")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string log = Json::parse(run.out)["log"].dump();
    const bool refused = log.find("expected QX_TDict, got QX_TTree") != std::string::npos;
    EXPECT_EQ(refused, std::string(options).find("@tree") != std::string::npos) << options << " " << log;
  }
}

// ---- Servers ------------------------------------------------------------------

// A task whose environment step asks the CFS for the fonts root: the
// default server and "press2" answer different roots.
const char* const kTwoServers = R"({
  "ticket": {"configuration": {"Masters": {"M": {"Options": {}, "Info": {}, "Jobs": []}}},
             "work": {"ResultsFromPreviousTask": {"WorksForJobs": {}}}},
  "setup": {"master": "M"},
  "servers": {
    "": {"ElemServer": {}, "CFS": {"roots": {"qx_data_fonts": {"@url": "/srv/qx/default-fonts"}}}},
    "press2": {"ElemServer": {}, "CFS": {"roots": {"qx_data_fonts": {"@url": "/srv/qx/press2-fonts"}}}}
  },
  "shares": {"/srv/qx": "\\\\riphost\\qx"}
})";

std::string EnvironmentItem(const Json& result, const std::string& key) {
  for (const Json& item : result["dictionary"]["environment"])
    if (item["key"] == key) return item["value"].get<std::string>();
  return "<absent>";
}

TEST(HostProgram, QxServerPicksTheServer) {
  TempDir dir;
  WriteFile(dir.File("t.json"), kTwoServers);

  const auto byDefault = hosttest::RunProgram({"run", dir.File("t.json")}, {{"QX_SERVER", std::nullopt}});
  ASSERT_EQ(byDefault.exitCode, 0) << byDefault.err;
  EXPECT_EQ(EnvironmentItem(Json::parse(byDefault.out), "QX_DATA_FONTS"), "\\\\riphost\\qx\\default-fonts");

  const auto press2 = hosttest::RunProgram({"run", dir.File("t.json")}, {{"QX_SERVER", std::string("press2")}});
  ASSERT_EQ(press2.exitCode, 0) << press2.err;
  const Json result = Json::parse(press2.out);
  EXPECT_EQ(EnvironmentItem(result, "QX_DATA_FONTS"), "\\\\riphost\\qx\\press2-fonts");
  EXPECT_EQ(EnvironmentItem(result, "QX_SERVER"), "press2");
}

TEST(HostProgram, AnUnknownServerRefusesTheConnection) {
  TempDir dir;
  WriteFile(dir.File("t.json"), kTwoServers);
  const auto run = hosttest::RunProgram({"run", dir.File("t.json")}, {{"QX_SERVER", std::string("nowhere")}});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Json result = Json::parse(run.out);
  EXPECT_EQ(result["dictionary"]["environment"], Json::array());
  EXPECT_NE(result["log"].dump().find("connection refused"),
            std::string::npos)
      << result["log"].dump();
  EXPECT_NE(result["log"].dump().find("on server \\\"nowhere\\\""), std::string::npos) << result["log"].dump();
}

// ---- --format ini ------------------------------------------------------------

TEST(HostProgram, IniFormatWritesTheDictionaryAndTheLogGoesToStandardError) {
  TempDir dir;
  WriteFile(dir.File("t.json"), R"({
    "ticket": {"deviceName": "Platesetter 1", "userName": "alice",
               "configuration": {"Masters": {"M": {"Options": {}, "Info": {}, "Jobs": []}}},
               "work": {"ResultsFromPreviousTask": {"WorksForJobs": {}}}},
    "setup": {"master": "M"},
    "servers": {"": {"ElemServer": {}, "CFS": {"roots": {"qx_data_fonts": {"@url": "/opt/fonts"}}}}}
  })");
  const auto run = hosttest::Run({"run", dir.File("t.json"), "--format", "ini"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.rfind("[task]\nDeviceName=Platesetter 1\nUserName=alice\n\n", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("\n[environment]\n"), std::string::npos);
  EXPECT_NE(run.out.find("\nIOB_USE_CFS=*\n"), std::string::npos);
  // One log entry a line: level, the text as a JSON string, the argument,
  // where it was logged.
  EXPECT_NE(run.err.find("0 \"qxmsm.fontsnotexported\" \"/opt/fonts\\\\\" (AddEnvironment2Dict)\n"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("0 \"qxmsm.nocmsresource\" (AddEnvironment2Dict)\n"), std::string::npos) << run.err;
}

// ---- --cleanup ----------------------------------------------------------------

class CleanupTest : public ::testing::Test {
 protected:
  CleanupTest() {
    const fs::path examples = fs::path(T2D_SOURCE_DIR) / "examples";
    hosttest::CopyCip3Templates(dir.File("cip3-ipl"));
    task = ReadFile((examples / "cip3.json").string());
  }
  std::vector<std::string> Copies() const {
    std::vector<std::string> names;
    for (const std::string& name : FilesIn(dir.File("cip3-ipl")))
      if (name.find("C7.") != std::string::npos) names.push_back(name);
    return names;
  }
  TempDir dir;
  std::string task;
};

TEST_F(CleanupTest, DeletesOnlyFilesRegisteredWithKeepFalse) {
  const std::vector<std::string> both{"PlateSettings.iniC7.ini", "PressConfig.datC7.dat"};

  WriteFile(dir.File("cip3.json"), task);
  auto run = hosttest::Run({"run", dir.File("cip3.json"), "-o", dir.File("out.json")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Copies(), both) << "without --cleanup every registered file stays";
  const Json registered = Json::parse(ReadFile(dir.File("out.json")))["tempFiles"];
  ASSERT_EQ(registered.size(), 2u);
  EXPECT_EQ(registered[0]["keep"], false);

  for (const std::string& name : both) fs::remove(dir.File("cip3-ipl/" + name));  // a run's own copies only
  run = hosttest::Run({"run", dir.File("cip3.json"), "-o", dir.File("out.json"), "--cleanup"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Copies().empty());
  EXPECT_EQ(Json::parse(ReadFile(dir.File("out.json")))["tempFiles"], registered) << "deleted files stay listed";

  hosttest::ReplaceAll(task, "\"Keep_CIP_ini\": \"0\"", "\"Keep_CIP_ini\": \"1\"");
  WriteFile(dir.File("cip3.json"), task);
  run = hosttest::Run({"run", dir.File("cip3.json"), "-o", dir.File("out.json"), "--cleanup"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Copies(), both) << "files registered with keep true stay";
}

// A result that can't be written still leaves no copy behind: the cleanup
// runs however the writing ends.
TEST_F(CleanupTest, RunsWhenTheResultCantBeWritten) {
  WriteFile(dir.File("cip3.json"), task);
  const auto run = hosttest::RunProgram({"run", dir.File("cip3.json"), "--cleanup"}, {{"QX_SERVER", std::nullopt}},
                                        hosttest::Streams{"", "/dev/full"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("can't write to standard output"), std::string::npos) << run.err;
  EXPECT_TRUE(Copies().empty());
}

// ---- Writing a result with -o ---------------------------------------------------

class OutputTest : public ::testing::Test {
 protected:
  hosttest::ProgramRun RunTo(const std::string& target) { return hosttest::Run({"run", task, "-o", target}); }
  TempDir dir;
  const std::string task = dir.File("t.json");
  void SetUp() override { WriteFile(task, "{}"); }
};

TEST_F(OutputTest, ARegularFileKeepsItsModeAndANewOneGetsTheUmasks) {
  WriteFile(dir.File("old.json"), "old");
  ASSERT_EQ(chmod(dir.File("old.json").c_str(), 0640), 0);
  ASSERT_EQ(RunTo(dir.File("old.json")).exitCode, 0);
  struct stat info {};
  ASSERT_EQ(stat(dir.File("old.json").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(dir.File("old.json")).front(), '{');

  const mode_t mask = umask(022);
  umask(mask);
  ASSERT_EQ(RunTo(dir.File("new.json")).exitCode, 0);
  ASSERT_EQ(stat(dir.File("new.json").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0666u & ~mask);
  EXPECT_EQ(FilesIn(dir.Path()), (std::vector<std::string>{"new.json", "old.json", "t.json"})) << "no temporary file";
}

TEST_F(OutputTest, ALinkKeepsLeadingToTheReplacedFile) {
  WriteFile(dir.File("real.json"), "old");
  ASSERT_EQ(symlink("real.json", dir.File("link.json").c_str()), 0);
  ASSERT_EQ(RunTo(dir.File("link.json")).exitCode, 0);
  struct stat info {};
  ASSERT_EQ(lstat(dir.File("link.json").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(ReadFile(dir.File("real.json")).front(), '{');
}

TEST_F(OutputTest, ADeviceOrAFifoIsWrittenAsItIs) {
  // A character device like /dev/null, made here when allowed (as root).
  if (mknod(dir.File("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    ASSERT_EQ(RunTo(dir.File("null")).exitCode, 0);
    struct stat info {};
    ASSERT_EQ(stat(dir.File("null").c_str(), &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
  }
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  std::string read;
  std::thread reader([&] { read = ReadFile(dir.File("fifo")); });
  const auto run = RunTo(dir.File("fifo"));
  reader.join();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(Json::parse(read)["log"], Json::array());
  struct stat info {};
  ASSERT_EQ(stat(dir.File("fifo").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(OutputTest, ANameOfTheLongestLengthWorks) {
  const std::string name = dir.File(std::string(250, 'r') + ".json");
  const auto run = RunTo(name);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(ReadFile(name).front(), '{');
}

// ---- Reading the task file --------------------------------------------------------

TEST(TaskFileInput, StandardInputAndTheSizeLimit) {
  TempDir dir;
  const std::string typical = (fs::path(T2D_SOURCE_DIR) / "examples" / "typical.json").string();
  auto run = hosttest::RunProgram({"run", "-"}, {{"QX_SERVER", std::nullopt}}, hosttest::Streams{typical, ""});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, hosttest::Run({"run", typical}).out);
  WriteFile(dir.File("t.json"), R"({"ticket": {"deviceName": "Platesetter 1"}})");

  const std::map<std::string, std::optional<std::string>> small{{"TICKET2DICT_MAX_TASK_FILE_SIZE", "20"}};
  run = hosttest::RunProgram({"run", dir.File("t.json")}, small);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("larger than 20 bytes"), std::string::npos) << run.err;
  // Endless input is refused at the limit, not read until memory runs out.
  run = hosttest::RunCommand({"/bin/sh", "-c", "yes ' ' | '" T2D_HOST_PROGRAM "' run -"},
                             {{"TICKET2DICT_MAX_TASK_FILE_SIZE", "1000000"}});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("larger than 1000000 bytes"), std::string::npos) << run.err;
  run = hosttest::RunProgram({"run", dir.File("t.json")}, {{"TICKET2DICT_MAX_TASK_FILE_SIZE", "lots"}});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("must be a number of bytes"), std::string::npos) << run.err;
}

// NUL characters are refused, not read as the end of a C text; whatever the
// input holds, the message is one line.
struct OneLineCase {
  const char* name;
  std::string json;
  const char* says;
};

TEST(TaskFileInput, RefusalsAreOneLine) {
  const OneLineCase cases[] = {
      {"nul_in_device_name", R"({"ticket": {"deviceName": "Plate\u0000setter"}})", "ticket.deviceName: a text can't hold a NUL"},
      {"nul_in_extra_option",
       R"({"ticket": {"configuration": {"Masters": {"M1": {"Jobs": [{"ExtraOptions": "job.a=1\u0000|setup.b=2"}]}}}}})",
       "ticket.configuration.Masters.M1.Jobs[0].ExtraOptions: a text can't hold a NUL"},
      {"nul_in_key", R"({"ticket": {"work": {"a\u0000b": 1}}})", "a key can't hold a NUL"},
      {"raw_nul_byte", std::string("{\"ticket\": {}}\n") + '\0' + "{}", ":2:1: not valid JSON: a NUL character"},
      {"option_with_line_break", R"({"options": {"DispatcherVersion": "7\n5"}})", "options.DispatcherVersion"},
      {"key_with_line_break", R"({"bogus\nkey": 1})", "bogus\\nkey"},
  };
  for (const OneLineCase& c : cases) {
    TempDir dir;
    WriteFile(dir.File("t.json"), c.json);
    const auto run = hosttest::Run({"run", dir.File("t.json")});
    EXPECT_EQ(run.exitCode, 2) << c.name;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.name << ": " << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
    EXPECT_TRUE(run.out.empty()) << c.name;
  }
}

}  // namespace

#endif  // T2D_HOST_PROGRAM
