// The setup section through the ticket2dict program: template names filled
// by the setup steps and left for the RIP, the configuration chosen by the
// device, and a naming failure with the frame's log lines.
#ifdef T2D_HOST_PROGRAM

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "../host/host_program.h"

namespace {

using Json = nlohmann::ordered_json;

// One master with one job; the options are filled in by each test.
std::string TaskFile(const std::string& options, const std::string& worksForJobs) {
  return R"({
  "task": {"mergeId": "77",
           "templateNames": {"file": null, "fileurl": null, "joburl": null, "page": null, "ripdate": null,
                             "ink": null, "customer": null}},
  "ticket": {
    "deviceName": "PS9", "shortId": "Z9",
    "configuration": {"Masters": {"Order": ["M1"], "M1": {
      "Options": )" + options + R"(,
      "Info": {"WidthM": 5080, "HeightM": 2540},
      "Jobs": [{"JobName": "flyer.v1.pdf", "FileSpec": {"@url": "/srv/jobs/J7/flyer.v1.pdf"},
                "Contents": {"SmartNames": {"customer": "ACME", "nobody": "x"}}}]}}},
    "work": {"ResultsFromPreviousTask": {"WorksForJobs": )" + worksForJobs + R"(},
             "Inputfolder": {"@url": "/srv/hot/in"}}
  },
  "setup": {"master": "M1", "pageFlags": [1, 1, 0, 0]},
  "jobs": [],
  "servers": {"": {
    "CFS": {"tree": {"Devices": {"Instances": {"PS9": {"Rip": {
      "EmptyPages": true, "DefaultGroupName": "spot",
      "Config": {"Config": {"Zeta": {}, "Alpha": {"Outdir": "/srv/alpha"}, "Gamma": {"Outdir": ""}},
                 "Mistral": {"BuildNumber": "12.0.7"}}}}}}}},
    "ElemServer": {"jobs": {"J7": {"Url": {"@url": "/srv/jobs/J7"}}}}
  }}
})";
}

Json SetupItems(const Json& result) {
  Json items = Json::object();
  for (const Json& item : result["dictionary"]["setup"])
    items[item["key"].get<std::string>()] = Json::array({item["value"], item["comment"]});
  return items;
}

TEST(SetupProgram, TemplatesConfigurationAndPlaceholders) {
  hosttest::TempDir dir;
  hosttest::WriteFile(dir.File("t.json"),
                      TaskFile(R"({"Conf": "", "OutputPath": "<joburl>/<ripdate>",
                                   "FileName": "<customer>_<file>_<page>_v<Build_Number>", "ActualResolution": 2400.0,
                                   "HDistortion": 1.001})",
                               R"({"J7": ""})"));
  const auto run = hosttest::Run({"run", dir.File("t.json")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Json result = Json::parse(run.out);
  const Json setup = SetupItems(result);

  EXPECT_EQ(setup["Output"], Json::parse(R"(["\"ACME_flyer.v1_<page>_v12.0.7\"", "Added by Mistral base task"])"));
  EXPECT_FALSE(setup.contains("extendfilename"));
  // Only the configurations without their own folder may be chosen.
  EXPECT_EQ(setup["conf"], Json::parse(R"(["Gamma", "Configuration"])"));
  EXPECT_EQ(setup["outdir"],
            Json::parse(R"(["\"file:///srv/jobs/J7/<date>\"", "Output Directory"])"));
  EXPECT_EQ(setup["mstr_defaultinkname"], Json::parse(R"(["black", "Added by the Mistral base task"])"));
  EXPECT_EQ(setup["mstr_defaultgroupname"], Json::parse(R"(["spot", "Added by the Mistral base task"])"));
  // The setup end rewrites the scales with the distortion, and "omode".
  EXPECT_EQ(setup["rsx"], Json::parse(R"j(["20.02", "rsx (bringing normal horizontal distortion into account)"])j"));
  EXPECT_EQ(setup["rsy"], Json::parse(R"j(["10", "rsy (bringing distortion into account)"])j"));
  EXPECT_EQ(setup["res"], Json::parse(R"(["2400", "Resolution"])"));
  EXPECT_EQ(setup["omode"], Json::parse(R"(["multipage", ""])"));

  const Json& names = result["templateNames"];
  EXPECT_EQ(names["file"], "flyer.v1");
  EXPECT_EQ(names["fileurl"], Json::parse(R"({"@url": "file:///srv/hot/in"})"));
  EXPECT_EQ(names["joburl"], Json::parse(R"({"@url": "file:///srv/jobs/J7"})"));
  EXPECT_EQ(names["page"], "<page>");
  EXPECT_EQ(names["ripdate"], "<date>");
  EXPECT_EQ(names["ink"], "<ink>");
  EXPECT_EQ(names["customer"], "ACME");
  EXPECT_EQ(names["Build_Number"], "12.0.7");
  EXPECT_FALSE(names.contains("nobody"));
  EXPECT_FALSE(names.contains("sink"));
}

TEST(SetupProgram, NamingFailureStopsTheSetup) {
  hosttest::TempDir dir;
  hosttest::WriteFile(dir.File("t.json"),
                      TaskFile(R"({"Conf": "Fine", "FileName": "<jobname>"})", R"({"J7": "", "J8": ""})"));
  const auto run = hosttest::Run({"run", dir.File("t.json")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Json result = Json::parse(run.out);
  EXPECT_EQ(result["log"], Json::parse(R"([
    {"level": 2, "text": "qxmsm.morethanonejob", "step": "AddSetupGlobal", "job": null},
    {"level": 2, "text": "qxmsm.failaddsetupglobal", "step": "AddSetup2Dict", "job": null},
    {"level": 2, "text": "CTicket2Dict_msbasetask::AddSetupGlobal - more than one job", "step": "SetupDict",
     "job": null}])"));
  const Json setup = SetupItems(result);
  // The items written before the failure stay; the setup steps after it don't run.
  EXPECT_EQ(setup["omode"], Json::parse(R"(["multipage", "Added by Mistral base task"])"));
  EXPECT_FALSE(setup.contains("Output"));
  EXPECT_FALSE(setup.contains("ShortID"));
  EXPECT_FALSE(setup.contains("conf"));
  EXPECT_EQ(result["dictionary"]["environment"], Json::array());
}

}  // namespace

#endif  // T2D_HOST_PROGRAM
