// One conversion through the host's pieces: typed values reach the steps as
// their class, the job steps work on the jobs array's own elements, the
// template names before and after, every result field, the INI text, the
// log lines and the cleanup of temporary files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "conversion.h"
#include "converter_fixture.h"
#include "host_program.h"
#include "result_document.h"
#include "result_writer.h"
#include "task_file.h"

namespace {

using t2dhost::Conversion;
using t2dhost::Json;
using t2dhost::ReadTaskFileText;
using t2dhost::TaskFile;

// A flavour whose steps read what the tests hand them and write it out, so
// that the host's part is seen apart from the base converter's steps.
class ProbeConverter : public CTicket2Dict_msbasetask {
 public:
  using CTicket2Dict_msbasetask::CTicket2Dict_msbasetask;

 protected:
  void AddSetup2Dict(AT_TTicket& ticket, QX_TString name, int filmIndex, QX_TDict& master, int) override {
    AddItemSetup("master", name.Text(), nullptr);
    AddItemSetup("film", Format("%d", filmIndex).c_str(), "");
    AddItemSetup("pages", Format("%d,%d,%d,%d,%s", pageFlag1, pageFlag2, pageFlag3, pageFlag4, pageList).c_str(),
                 "the host's page selection");
    AddItemSetup("options", Format("%ld", T2D_CAST(QX_TDict, master["Options"]).Entries()).c_str(), nullptr);
    AddItemTask("DeviceName", ticket.DeviceName().Text());
    AddItemEnvironment("USER", ticket.UserInfo().Name().Text(), 0);
    Task().Names().SetValue(QX_TString("file"), QX_TString("brochure"));
    Task().Names().Define(QX_TString("Build_Number"), 0, 0);
    Task().LogMessage(0, "qxmsm.fontsnotexported", QX_TString("/srv/fonts\\"));
    Task().RegisterTempFile(QX_TURL(QX_TString("/srv/ipl/press.datA12.dat")), false);
  }
  void AddTask2Dict(AT_TTicket&) override {}
  void AddCIPOptions2Dict(AT_TTicket&, QX_TArray&) override {}
  void AddEnvironment2Dict(AT_TTicket&) override {}
  void AddJobInfoGlobal(AT_TTicket&, QX_TDict& job, int jobNumber, int jobFlag, QX_TArray& jobArray) override {
    const int rotation = T2D_CAST(QX_TInt32, job["Rotation"]);
    AddItemJob(jobNumber, "rot", Format("%d", rotation).c_str(), "Added by Mistral base task");
    AddItemJob(jobNumber, "flag", Format("%d/%d", jobFlag, jobArray.Size()).c_str(), nullptr);
  }
  void AddJobInfo(AT_TTicket&, QX_TDict&, int) override {}
  void AddExtraOptions(AT_TTicket&, QX_TDict& job, int jobNumber) override {
    job.Value(QX_TString("dot")) = QX_TString("Round");
    AddItemJob(jobNumber, "dot", "Round", "Overruled in Mistral Task by \"ExtraOptions\"");
  }
};

class HostConversion : public ::testing::Test {
 protected:
  // Runs `json` with the probe converter and answers the result document.
  Json Convert(const std::string& json) {
    file_ = std::make_unique<TaskFile>(ReadTaskFileText(json, "t.json", "/base"));
    conversion_ = std::make_unique<Conversion>(
        *file_, [](TW_TTask& task) { return std::make_unique<ProbeConverter>(task); });
    conversion_->Run();
    Json result = resulttest::ResultJson(*conversion_);
    // The host writes the result directly, in pieces; it must be this
    // document's text.
    const std::string text = t2dhost::ResultText(*conversion_);
    EXPECT_EQ(text, t2dhost::FormatJson(result));
    std::string pieces;
    pieceCount_ = 0;
    t2dhost::WriteResult(*conversion_, [&](const std::string& piece) {
      pieces += piece;
      ++pieceCount_;
    });
    EXPECT_EQ(pieces, text);
    return result;
  }

  static std::string LogText(const Json& result) { return result["log"].dump(); }

  ScopedEnv noServer_{"QX_SERVER", nullptr};
  std::unique_ptr<TaskFile> file_;
  std::unique_ptr<Conversion> conversion_;
  int pieceCount_ = 0;
};

const char* const kTask = R"({
  "options": {"DispatcherVersion": 704000},
  "task": {"mergeId": "4711", "templateNames": {"file": null, "page": "<page>", "in": {"@url": "/in"}}},
  "ticket": {"deviceName": "Platesetter 1", "userName": "alice",
             "configuration": {"Masters": {"M1": {"Options": {"Conf": "A"}, "Jobs": [
               {"JobName": "a.pdf", "Rotation": 90}, {"JobName": "b.pdf", "Rotation": {"@uint32": 90}}]}}}},
  "setup": {"master": "M1", "filmIndex": 3, "pageFlags": [1, 2, 3, 4], "pageList": "1-3"},
  "jobs": [{"index": 0, "jobFlag": 1, "jobArray": [{"Color": "Cyan"}, {"Color": "Black"}]}, {"index": 1}]
})";

TEST_F(HostConversion, EveryResultField) {
  const Json result = Convert(kTask);
  EXPECT_EQ(conversion_->Converter().DispatcherVersion(), 704000);

  const Json& dictionary = result["dictionary"];
  EXPECT_EQ(dictionary["task"], Json::parse(R"([{"key": "DeviceName", "value": "Platesetter 1"}])"));
  EXPECT_EQ(dictionary["environment"], Json::parse(R"([{"key": "USER", "value": "alice"}])"));
  // A comment is null when none was passed, "" for the empty text.
  EXPECT_EQ(dictionary["setup"], Json::parse(R"([
    {"key": "master", "value": "M1", "comment": null},
    {"key": "film", "value": "3", "comment": ""},
    {"key": "pages", "value": "1,2,3,4,1-3", "comment": "the host's page selection"},
    {"key": "options", "value": "1", "comment": null}])"));
  EXPECT_EQ(dictionary["jobs"]["1"], Json::parse(R"([
    {"key": "rot", "value": "90", "comment": "Added by Mistral base task"},
    {"key": "flag", "value": "1/2", "comment": null},
    {"key": "dot", "value": "Round", "comment": "Overruled in Mistral Task by \"ExtraOptions\""}])"));

  // The second job's rotation is a QX_TUInt32 where a QX_TInt32 is read:
  // the checked conversion fails that job, and only that job.
  EXPECT_FALSE(dictionary["jobs"].contains("2"));
  EXPECT_NE(LogText(result).find("expected QX_TInt32, got QX_TUInt32"), std::string::npos) << LogText(result);
  EXPECT_EQ(result["log"][0], Json::parse(R"({"level": 0, "text": "qxmsm.fontsnotexported",
                                               "argument": "/srv/fonts\\", "step": "AddSetup2Dict", "job": null})"));
  EXPECT_EQ(result["log"][1], Json::parse(R"({"level": 2, "text": "qxmsm.failaddjobglobal", "step": "AddJob2Dict",
                                               "job": 2})"));

  EXPECT_EQ(result["templateNames"], Json::parse(R"({"file": "brochure", "page": "<page>",
                                                       "in": {"@url": "file:///in"}, "Build_Number": null})"));
  EXPECT_EQ(result["tempFiles"], Json::parse(R"([{"url": "file:///srv/ipl/press.datA12.dat", "keep": false}])"));

  // The job steps worked on the jobs array's own elements.
  EXPECT_EQ(result["jobDictionaries"], Json::parse(R"([{"JobName": "a.pdf", "Rotation": 90, "dot": "Round"},
                                                        {"JobName": "b.pdf", "Rotation": {"@uint32": 90}}])"));
  // The ticket's configuration is the host's: it is not changed.
  EXPECT_EQ(file_->jobsArray.Size(), 2);
}

TEST_F(HostConversion, WithoutSetupNothingIsConverted) {
  const Json result = Convert(R"({"ticket": {"deviceName": "P"}, "jobs": [{"index": 0}],
                                  "task": {"templateNames": {"file": null}}})");
  EXPECT_EQ(result["dictionary"]["task"], Json::array());
  EXPECT_EQ(result["jobDictionaries"], Json::array());
  EXPECT_EQ(result["templateNames"], Json::parse(R"({"file": null})"));
  EXPECT_EQ(result["log"], Json::array());
}

TEST_F(HostConversion, AnAddJobBeyondTheJobsArrayIsLoggedAsTheHostWouldHaveIt) {
  const Json result = Convert(R"({"setup": {"master": "M", "masterDictionary": {"Options": {}}, "jobs": []},
                                  "jobs": [{"index": 4}]})");
  ASSERT_EQ(result["log"].size(), 2u);
  EXPECT_EQ(result["log"][1]["level"], 2);
  EXPECT_EQ(result["dictionary"]["jobs"], Json::object());
}

// ---- INI text, log lines ----------------------------------------------------------

TEST(HostIniText, SectionsItemsCommentsAndEscapes) {
  CParamDict dict;
  dict.JobSection(2).Set("type", "pdf", "Added by Mistral base task");
  dict.Section("environment").Set("QX_DATA_FONTS", "\\\\riphost\\qx\\fonts", nullptr);
  dict.Section("setup").Set("Output", "\"brochure\"", "Added by Mistral base task");
  dict.Section("setup").Set("omode", "mrg", "");
  dict.Section("setup").Set("note", "two\nlines", "a\tcomment");
  dict.Section("setup").Set("a=b", "x", nullptr);
  dict.Section("setup").Set(";k", "v", nullptr);
  dict.Section("setup").Set(" res ", " 2400", nullptr);
  dict.Section("task").Set("DeviceName", "P1", nullptr);
  EXPECT_EQ(t2dhost::IniText(dict),
            "[task]\n"
            "DeviceName=P1\n"
            "\n"
            "[setup]\n"
            "; Added by Mistral base task\n"
            "Output=\"brochure\"\n"
            ";\n"
            "omode=mrg\n"
            ";\"a\\tcomment\"\n"
            "\"note\"=\"two\\nlines\"\n"
            "\"a=b\"=\"x\"\n"
            "\";k\"=\"v\"\n"
            " res = 2400\n"
            "\n"
            "[environment]\n"
            "QX_DATA_FONTS=\\\\riphost\\qx\\fonts\n"
            "\n"
            "[job 2]\n"
            "; Added by Mistral base task\n"
            "type=pdf\n");
  EXPECT_EQ(t2dhost::IniText(CParamDict()), "");
}

TEST(HostLogLine, LevelTextAndArgument) {
  EXPECT_EQ(t2dhost::LogLine(TW_TLogEntry{2, "qxmsm.nomasters", false, QX_TAny(), "", std::nullopt}), "2 \"qxmsm.nomasters\"");
  EXPECT_EQ(t2dhost::LogLine(TW_TLogEntry{0, "qxmsm.fontsnotexported", true, QX_TString("/srv/fonts\\"), "AddEnvironment2Dict", std::nullopt}),
            "0 \"qxmsm.fontsnotexported\" \"/srv/fonts\\\\\" (AddEnvironment2Dict)");
  EXPECT_EQ(t2dhost::LogLine(TW_TLogEntry{1, "two\nlines", true, QX_TAny(), "AddJobInfoGlobal", 2}),
            "1 \"two\\nlines\" {\"@illegal\": null} (AddJobInfoGlobal, job 2)");
}

// Every shape a value can take in the job dictionaries, at the top of a
// job, inside objects and inside arrays, laid out as FormatJson lays out its
// JSON form (the fixture compares the two).
TEST_F(HostConversion, ResultTextLaysOutEveryShapeAsTheDocument) {
  const char* const shapes[] = {
      R"("text")", R"("tab\there")", "true", "7", "2.5", R"({"@double": "nan"})", R"({"@uint32": 7})",
      R"({"@uint16": 7})", R"({"@url": "/in"})", R"({"@illegal": null})", R"({"@userinfo": "alice"})", "{}", "[]",
      R"({"a": 1})", R"({"a": 1, "b": [1, 2]})", R"({"a": {}})", R"({"@tree": {}})", R"({"@tree": {"a": 1}})",
      R"({"@dict": {}})", R"({"@dict": {"@a": 1}})", R"({"@dict": {"@a": {"@uint32": 1}}})",
      R"({"@dict": {"@a": 1, "b": 2}})", R"({"@tree": {"@a": "x"}})", R"({"@tree": {"@a": [1]}})",
      R"({"@array": [], "@lower": 1})",
      R"({"@array": [1, "x"], "@lower": -2})", R"({"@array": [{"a": 1}], "@lower": 1})", "[1, [2]]",
      R"([{"a": 1}, {"@tree": {}}, {"@array": [], "@lower": 3}])",
      R"({"a": 1, "b": 2, "c": 3, "d": 4, "e": 5, "f": 6, "g": 7, "h": 8})",
      R"({"a": 1, "b": 2, "c": 3, "d": 4, "e": 5, "f": 6, "g": 7, "h": 8, "i": 9})"};
  std::string jobs;
  for (const char* shape : shapes) {
    const std::string value = std::string("{\"Rotation\": 0, \"v\": ") + shape + ", \"in\": [" + shape + "], \"x\": [[" +
                              shape + ", " + shape + "]]}";
    jobs += (jobs.empty() ? "" : ", ") + value;
  }
  const Json result = Convert(std::string(R"({"setup": {"master": "M", "masterDictionary": {"Options": {}},
                                                         "jobs": [)") + jobs + "]}}");
  EXPECT_EQ(result["jobDictionaries"].size(), std::size(shapes));
}

// Sections the writers do not name today follow the fixed ones; one that a
// flavour names "jobs" stays beside the job sections rather than being lost.
TEST(HostResult, SectionsOfAnyNameAreKept) {
  class SectionWriter : public ProbeConverter {
   public:
    using ProbeConverter::ProbeConverter;

   protected:
    void AddTask2Dict(AT_TTicket&) override {
      CUnivType value;
      value = "1";
      SetValue("jobs", "fromFlavour", value, nullptr);
      SetValue("press", "speed", value, "a comment");
    }
  };
  ScopedEnv noServer{"QX_SERVER", nullptr};
  const TaskFile file = ReadTaskFileText(
      R"({"setup": {"master": "M", "masterDictionary": {"Options": {}}, "jobs": [{"Rotation": 0}]}})", "t.json", "/base");
  Conversion conversion(file, [](TW_TTask& task) { return std::make_unique<SectionWriter>(task); });
  conversion.Run();
  const std::string text = t2dhost::ResultText(conversion);
  EXPECT_EQ(text, t2dhost::FormatJson(resulttest::ResultJson(conversion)));
  EXPECT_NE(text.find("\"press\": [\n      {\"key\": \"speed\", \"value\": \"1\", \"comment\": \"a comment\"}"),
            std::string::npos);
  EXPECT_NE(text.find("{\"key\": \"fromFlavour\", \"value\": \"1\", \"comment\": null}"), std::string::npos);
  EXPECT_NE(text.find("\"rot\""), std::string::npos) << "the job sections are there too";
}

// A large result is handed over in pieces of about a megabyte, never
// whole; a small one in one piece.
TEST_F(HostConversion, LargeResultsAreWrittenInPieces) {
  const std::string big(400000, 'x');
  std::string jobs;
  for (int i = 0; i < 6; ++i) jobs += std::string(i ? ", " : "") + R"({"Rotation": 0, "Note": ")" + big + "\"}";
  Convert(std::string(R"({"setup": {"master": "M", "masterDictionary": {"Options": {}}, "jobs": [)") + jobs + "]}}");
  EXPECT_GE(pieceCount_, 2);
  Convert(R"({"setup": {"master": "M", "masterDictionary": {"Options": {}}, "jobs": [{"Rotation": 0}]}})");
  EXPECT_EQ(pieceCount_, 1);
}

TEST(HostFormatJson, LayoutFollowsTheShapeOfTheValues) {
  const Json doc = Json::parse(R"({"items": [{"key": "a", "value": "b", "comment": null}],
                                   "names": {"x": null}, "list": [1, {"@uint16": 2}], "empty": {}})");
  EXPECT_EQ(t2dhost::FormatJson(doc),
            "{\n"
            "  \"items\": [\n"
            "    {\"key\": \"a\", \"value\": \"b\", \"comment\": null}\n"
            "  ],\n"
            "  \"names\": {\n"
            "    \"x\": null\n"
            "  },\n"
            "  \"list\": [1, {\"@uint16\": 2}],\n"
            "  \"empty\": {}\n"
            "}\n");
  EXPECT_EQ(Json::parse(t2dhost::FormatJson(doc)), doc);
}

// ---- Cleanup ------------------------------------------------------------------------

TEST(HostCleanup, DeletesOnlyFilesRegisteredWithKeepFalse) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("t2dcleanup." + std::to_string(::getpid()));
  fs::create_directories(dir);
  const auto file = [&](const char* name) {
    std::ofstream((dir / name).string()) << "x";
    return QX_TURL::LocalToURL(QX_TString((dir / name).string()));
  };
  TW_TTask task;
  task.RegisterTempFile(file("gone.ini"), false);
  task.RegisterTempFile(file("kept.ini"), true);
  task.RegisterTempFile(file("both.ini"), false);
  task.RegisterTempFile(QX_TURL::LocalToURL(QX_TString((dir / "both.ini").string())), true);
  task.RegisterTempFile(QX_TURL::LocalToURL(QX_TString((dir / "gone.ini").string())), false);
  task.RegisterTempFile(QX_TURL(QX_TString("http://example.com/x.ini")), false);

  const std::vector<std::string> problems = t2dhost::CleanupTempFiles(task);
  EXPECT_FALSE(fs::exists(dir / "gone.ini"));
  EXPECT_TRUE(fs::exists(dir / "kept.ini"));
  EXPECT_TRUE(fs::exists(dir / "both.ini")) << "a file also registered to be kept stays";
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("http://example.com/x.ini"), std::string::npos);
  fs::remove_all(dir);
}

// The traced result written directly (reads, calls and writes of every
// step run) is the document form's text, as for an untraced one.
TEST(HostResult, TracedResultIsTheDocumentsText) {
  namespace fs = std::filesystem;
  ASSERT_TRUE(__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__());
  hosttest::TempDir dir;
  const fs::path examples = fs::path(T2D_SOURCE_DIR) / "examples";
  hosttest::CopyCip3Templates(dir.File("cip3-ipl"));
  for (const char* example : {"typical", "multi-job", "cip3"}) {
    fs::copy_file(examples / (std::string(example) + ".json"), dir.File(std::string(example) + ".json"));
    const t2dhost::TaskFile file = t2dhost::ReadTaskFile(dir.File(std::string(example) + ".json"));
    t2dhost::ConversionOptions options;
    options.trace = true;
    t2dhost::Conversion conversion(file, nullptr, options);
    testing::internal::CaptureStdout();
    conversion.Run();
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(t2dhost::ResultText(conversion), t2dhost::FormatJson(resulttest::ResultJson(conversion))) << example;
  }
}

}  // namespace
