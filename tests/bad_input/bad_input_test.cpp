// Bad input end to end: the rows of docs/bad-input.md that the host
// program's own tests do not cover, each run through ticket2dict on a
// variant of an example task file. Whatever the ticket holds, the program
// exits with 0, writes the whole result, and the log says what failed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../host/host_program.h"

namespace {

using Json = nlohmann::ordered_json;
using hosttest::TempDir;

struct Outcome {
  int exitCode = -1;
  Json result;
  std::string log;  // the "log" array as one JSON text, for searching
  std::vector<std::string> filesBefore;  // what the task file's folder held before the run
  std::vector<std::string> files;        // and afterwards, without the result
};

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
    files.push_back(std::filesystem::relative(entry.path(), folder).string());
  std::sort(files.begin(), files.end());
  return files;
}

// The example `name`, changed by `change`, run from a fresh folder that also
// holds a copy of the CIP3 example's IPL data folder.
Outcome RunVariant(const std::string& name, const std::function<void(Json&)>& change) {
  TempDir dir;
  hosttest::CopyCip3Templates(dir.File("cip3-ipl"));
  Json task = Json::parse(hosttest::ReadFile(T2D_SOURCE_DIR "/examples/" + name + ".json"));
  change(task);
  hosttest::WriteFile(dir.File("task.json"), task.dump(2));

  const std::vector<std::string> before = FilesIn(dir.Path());
  const auto run = hosttest::Run({"run", dir.File("task.json"), "-o", dir.File("result.json")});
  Outcome outcome;
  outcome.exitCode = run.exitCode;
  outcome.result = Json::parse(hosttest::ReadFile(dir.File("result.json")));
  outcome.log = outcome.result["log"].dump();
  outcome.filesBefore = before;
  std::filesystem::remove(dir.File("result.json"));
  outcome.files = FilesIn(dir.Path());
  return outcome;
}

Json& Master(Json& task) { return task["ticket"]["configuration"]["Masters"]["M1"]; }

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

size_t Count(const Outcome& outcome, const char* section) { return outcome.result["dictionary"][section].size(); }

TEST(BadInput, ValueOfTheWrongTypeInTheTicketFailsItsStep) {
  const Outcome o = RunVariant("typical", [](Json& t) { Master(t)["Jobs"][0]["JobName"] = 5; });
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(Holds(o.log, "qxmsm.failaddsetupglobal")) << o.log;
  // The cast names what it read, where in the task file, and the source file that read it.
  EXPECT_TRUE(Holds(o.log, "QX_EIllegalCast: \\\"JobName\\\" at ticket.configuration.Masters.M1.Jobs[0].JobName: "
                           "expected QX_TString, got QX_TInt32 (steps/setup/")) << o.log;
  // The items written before the failure stay; the rest of the setup block
  // (the environment section among it) is skipped.
  EXPECT_GT(Count(o, "task"), 0u);
  EXPECT_EQ(Count(o, "environment"), 0u);
}

TEST(BadInput, NumberTheConverterCantHoldFailsItsStep) {
  const Outcome o = RunVariant("typical", [](Json& t) { Master(t)["Jobs"][0]["Rotation"] = 1e300; });
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(Holds(o.log, "qxmsm.failaddjobglobal")) << o.log;
  EXPECT_TRUE(Holds(o.log, "ticket.configuration.Masters.M1.Jobs[0].Rotation: expected QX_TInt32, got QX_TDouble"))
      << o.log;
  EXPECT_GT(Count(o, "environment"), 0u);  // only the job failed
}

TEST(BadInput, MissingKeyInTheTicketFailsItsStep) {
  const Outcome o = RunVariant("typical", [](Json& t) { Master(t).erase("Info"); });
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(Holds(o.log, "\\\"Info\\\" at ticket.configuration.Masters.M1.Info: expected QX_TDict, got QX_TIllegal"))
      << o.log;
  EXPECT_EQ(Count(o, "environment"), 0u);
}

// A plain integer where a 16-bit unsigned one is read: the cast names the key,
// its key path, both classes and the real source file.
TEST(BadInput, PlainIntegerForAnUnsignedKeyNamesItsKeyPath) {
  const Outcome o = RunVariant("typical", [](Json& t) { Master(t)["Options"]["Copies"] = 2; });
  EXPECT_TRUE(Holds(o.log, "QX_EIllegalCast: \\\"Copies\\\" at ticket.configuration.Masters.M1.Options.Copies: "
                           "expected QX_TUInt16, got QX_TInt32 (steps/setup/setup_global.cpp, line ")) << o.log;
}

TEST(BadInput, OverLongPageListIsRefusedBeforeAnyStep) {
  const Outcome o = RunVariant("typical", [](Json& t) { t["setup"]["pageList"] = std::string(1200, '1'); });
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(Holds(o.log, "CTicket2Dict_msbasetask::SetupDict - the page list is 1200 characters long; at most "
                           "1023 are allowed"))
      << o.log;
  EXPECT_EQ(Count(o, "task"), 0u);
  EXPECT_EQ(Count(o, "setup"), 0u);
  EXPECT_EQ(Count(o, "environment"), 0u);
}

TEST(BadInput, OverLongExtraOptionKeyIsRefusedNotCut) {
  const Outcome o =
      RunVariant("typical", [](Json& t) { Master(t)["Jobs"][0]["ExtraOptions"] = std::string(250, 'k') + "=1"; });
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(Holds(o.log, "qxmsm.failaddextra")) << o.log;
  EXPECT_TRUE(Holds(o.log, "is 250 characters long; at most 199 are allowed")) << o.log;
  EXPECT_FALSE(Holds(o.result["dictionary"].dump(), std::string(199, 'k'))) << "no shortened key is written";
  EXPECT_GT(Count(o, "environment"), 0u);
}

TEST(BadInput, HostileTemplateNameWritesNothingOutsideTheDataFolder) {
  const Outcome o = RunVariant("cip3", [](Json& t) {
    t["ticket"]["configuration"]["CipParameters"]["PlateSettingFile"] = "../../etc/passwd";
  });
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(Holds(o.log, "\\\"PlateSettingFile\\\" must name a file in the IPL data folder")) << o.log;
  EXPECT_TRUE(Holds(o.log, "qxmsm.failaddcip")) << o.log;
  EXPECT_TRUE(o.result["tempFiles"].empty()) << o.result["tempFiles"].dump();
  EXPECT_EQ(o.files, o.filesBefore);
}

// Either template missing: the plate copy made before a missing press
// template is found is removed again.
TEST(BadInput, UnreadableTemplateFailsTheCip3StepAndWritesNothing) {
  for (const char* key : {"PlateSettingFile", "PressConfigFile"}) {
    SCOPED_TRACE(key);
    const Outcome o =
        RunVariant("cip3", [key](Json& t) { t["ticket"]["configuration"]["CipParameters"][key] = "Missing.ini"; });
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_TRUE(Holds(o.log, "qxmsm.failaddcip")) << o.log;
    EXPECT_TRUE(Holds(o.log, "CTicket2Dict_msbasetask::AddCIPOptions2Dict - failed to add CIP options")) << o.log;
    EXPECT_TRUE(o.result["tempFiles"].empty()) << o.result["tempFiles"].dump();
    EXPECT_EQ(o.files, o.filesBefore);
    EXPECT_EQ(Count(o, "environment"), 0u);
  }
}

TEST(BadInput, MissingServiceFailsTheStepThatNeedsIt) {
  const Outcome o = RunVariant("typical", [](Json& t) { t["servers"][""].erase("ElemServer"); });
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(Holds(o.log, "qxmsm.failaddsetup")) << o.log;
  EXPECT_TRUE(Holds(o.log, "connection refused: no service \\\"ElemServer\\\" on server \\\"\\\"")) << o.log;
  EXPECT_EQ(Count(o, "environment"), 0u);
}

}  // namespace
