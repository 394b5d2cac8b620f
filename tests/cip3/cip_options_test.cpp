// The CIP3 options: the working CIP3 dictionary handed to the files step
// (resolved keys, keep switch of the first job, required plate settings
// name) and the failure key of the files step.
#include <optional>
#include <string>
#include <vector>

#include "cip3_fixture.h"

namespace cip3test {
namespace {

// Records the dictionary the files step receives; fails when told to.
class RecordingConverter : public TestConverter {
 public:
  using TestConverter::TestConverter;
  void DoCIPParams(AT_TTicket&, QX_TDict& cip) override {
    received.push_back(cip);
    if (fail) throw std::runtime_error("files step failed");
  }
  std::vector<QX_TDict> received;
  bool fail = false;
};

class CipOptionsTest : public Cip3Test {
 protected:
  void SetCipParameters(const QX_TAny& cip) {
    QX_TDict configuration;
    configuration.Add("Masters", QX_TDict());
    configuration.Add("CipParameters", cip);
    ticket.SetConfiguration(configuration);
  }
  static QX_TArray Jobs(std::vector<QX_TDict> jobs) {
    QX_TArray array;
    for (const QX_TDict& job : jobs) array.Append(job);
    return array;
  }
  static QX_TDict Job(std::optional<QX_TAny> keep) {
    QX_TDict job;
    job.Add("JobName", QX_TString("brochure.pdf"));
    if (keep) job.Add("Keep_CIP_ini", *keep);
    return job;
  }
  static std::string Text(const QX_TDict& dict, const char* key) {
    return qx_cast<QX_TString>(dict[key], "test", 0).Str();
  }

  RecordingConverter recorder{task};
};

TEST_F(CipOptionsTest, NoCipParametersDoesNothing) {
  QX_TArray jobs;  // not even looked at
  recorder.AddCIPOptions2Dict(ticket, jobs);
  EXPECT_TRUE(recorder.received.empty());
  EXPECT_TRUE(task.Log().empty());
  EXPECT_TRUE(task.TempFiles().empty());
}

TEST_F(CipOptionsTest, NineKeysAreResolvedTheOthersHandedOnUnchanged) {
  task.Names().SetValue("cust", QX_TString("ACME"));
  task.Names().Define("file", 0, 0);
  const std::vector<const char*> resolved = {"OutputFileName", "Cip_Customer",    "Cip_Make",
                                             "Cip_JobName",    "Cip_SheetName",   "Cip_Artist",
                                             "Cip_JobCode",    "Cip_PaperWeight", "Cip_PaperThickness"};
  const std::vector<const char*> unresolved = {"PlateSettingFile", "PressConfigFile", "PageSide", "Cip_Software"};
  QX_TDict cip;
  for (const char* key : resolved) cip.Add(key, QX_TString(std::string("<cust>-") + key + "<file>"));
  for (const char* key : unresolved) cip.Add(key, QX_TString(std::string("<cust>-") + key));
  cip.Add("Cip_Other", QX_TString("<cust>"));
  SetCipParameters(cip);
  QX_TArray jobs = Jobs({Job(std::nullopt)});
  recorder.AddCIPOptions2Dict(ticket, jobs);

  ASSERT_EQ(recorder.received.size(), 1u);
  const QX_TDict& got = recorder.received[0];
  for (const char* key : resolved) EXPECT_EQ(Text(got, key), std::string("ACME-") + key) << key;
  for (const char* key : unresolved) EXPECT_EQ(Text(got, key), std::string("<cust>-") + key) << key;
  EXPECT_EQ(Text(got, "Cip_Other"), "<cust>");
  EXPECT_TRUE(task.Log().empty());
  // The ticket's own parameters are not changed.
  const QX_TDict& own = qx_cast<QX_TDict>(ticket.Configuration()["CipParameters"], "test", 0);
  EXPECT_EQ(Text(own, "Cip_Customer"), "<cust>-Cip_Customer<file>");
  EXPECT_FALSE(own.HasKey("Keep_CIP_ini"));
}

TEST_F(CipOptionsTest, UndefinedNameLeavesTheTextAndAbsentKeysStayAbsent) {
  QX_TDict cip;
  cip.Add("PlateSettingFile", QX_TString("plate.ini"));
  cip.Add("Cip_Customer", QX_TString("<nosuchname> Print"));
  SetCipParameters(cip);
  QX_TArray jobs = Jobs({Job(std::nullopt)});
  recorder.AddCIPOptions2Dict(ticket, jobs);
  ASSERT_EQ(recorder.received.size(), 1u);
  EXPECT_EQ(Text(recorder.received[0], "Cip_Customer"), "<nosuchname> Print");
  EXPECT_FALSE(recorder.received[0].HasKey("Cip_Make"));
  EXPECT_EQ(recorder.received[0].Entries(), 3);  // the two and "Keep_CIP_ini"
}

TEST_F(CipOptionsTest, KeepSwitchComesFromTheFirstJobOnly) {
  struct Row {
    const char* name;
    std::vector<QX_TDict> jobs;
    std::optional<QX_TAny> inParameters;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"first job without it: \"0\"", {Job(std::nullopt)}, std::nullopt, "0"},
      {"the parameters' own switch is overwritten", {Job(std::nullopt)}, QX_TAny(QX_TString("1")), "0"},
      {"first job \"1\"", {Job(QX_TString("1"))}, std::nullopt, "1"},
      {"first job's text as it is", {Job(QX_TString("yes"))}, QX_TAny(QX_TString("0")), "yes"},
      {"later jobs are not looked at", {Job(std::nullopt), Job(QX_TString("1"))}, std::nullopt, "0"},
      {"later jobs are not looked at (2)", {Job(QX_TString("0")), Job(QX_TString("1"))}, std::nullopt, "0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TW_TTask rowTask;
    RecordingConverter rowConverter(rowTask);
    QX_TDict cip;
    cip.Add("PlateSettingFile", QX_TString("plate.ini"));
    if (row.inParameters) cip.Add("Keep_CIP_ini", *row.inParameters);
    SetCipParameters(cip);
    QX_TArray jobs = Jobs(row.jobs);
    rowConverter.AddCIPOptions2Dict(ticket, jobs);
    ASSERT_EQ(rowConverter.received.size(), 1u);
    EXPECT_EQ(Text(rowConverter.received[0], "Keep_CIP_ini"), row.expected);
  }
}

// Faults of the ticket fail before the files step, with the conversion or
// array error and without "qxmsm.failaddcip".
TEST_F(CipOptionsTest, TicketFaultsFailBeforeTheFilesStep) {
  struct Row {
    const char* name;
    QX_TAny cip;
    QX_TArray jobs;
  };
  QX_TDict noPlate;
  noPlate.Add("PressConfigFile", QX_TString("press.dat"));
  QX_TDict plateNotText;
  plateNotText.Add("PlateSettingFile", QX_TInt32(3));
  QX_TDict good;
  good.Add("PlateSettingFile", QX_TString("plate.ini"));
  QX_TDict customerNotText = good;
  customerNotText.Add("Cip_Customer", QX_TInt32(7));
  QX_TArray jobNotDict;
  jobNotDict.Append(QX_TString("job"));
  QX_TArray fromOne(1);
  fromOne.Append(Job(std::nullopt));
  const std::vector<Row> rows = {
      {"no \"PlateSettingFile\"", noPlate, Jobs({Job(std::nullopt)})},
      {"\"PlateSettingFile\" not a text", plateNotText, Jobs({Job(std::nullopt)})},
      {"\"CipParameters\" not a dictionary", QX_TString("plate.ini"), Jobs({Job(std::nullopt)})},
      {"a resolved key not a text", customerNotText, Jobs({Job(std::nullopt)})},
      {"keep switch not a text", good, Jobs({Job(QX_TInt32(1))})},
      {"no jobs", good, QX_TArray()},
      {"jobs without element 0", good, fromOne},
      {"first job not a dictionary", good, jobNotDict},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TW_TTask rowTask;
    RecordingConverter rowConverter(rowTask);
    SetCipParameters(row.cip);
    QX_TArray jobs = row.jobs;
    EXPECT_THROW(rowConverter.AddCIPOptions2Dict(ticket, jobs), QX_EException);
    EXPECT_TRUE(rowConverter.received.empty());
    EXPECT_TRUE(rowTask.Log().empty());
  }
}

TEST_F(CipOptionsTest, FailureOfTheFilesStep) {
  QX_TDict cip;
  cip.Add("PlateSettingFile", QX_TString("plate.ini"));
  SetCipParameters(cip);
  QX_TArray jobs = Jobs({Job(std::nullopt)});
  recorder.fail = true;
  try {
    recorder.AddCIPOptions2Dict(ticket, jobs);
    ADD_FAILURE() << "no failure";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "CTicket2Dict_msbasetask::AddCIPOptions2Dict - failed to add CIP options");
  }
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"qxmsm.failaddcip"});
  EXPECT_EQ(LogLevels(), std::vector<int>{2});
}

// The whole chain with the real files step: resolved values in the plate
// copy, the first job's switch on the registrations.
TEST_F(CipOptionsTest, ResolvedValuesReachTheCopies) {
  task.Names().SetValue("cust", QX_TString("ACME"));
  QX_TDict cip = FullCip();
  cip.Remove("Keep_CIP_ini");
  cip.Add("Cip_Customer", QX_TString("<cust> Print"));
  cip.Add("Cip_PaperWeight", QX_TString("<cust>-115"));
  SetCipParameters(cip);
  QX_TArray jobs = Jobs({Job(QX_TString("1"))});
  converter.AddCIPOptions2Dict(ticket, jobs);
  EXPECT_NE(ReadFile(PlateCopy()).find("Customer=ACME Print"), std::string::npos);
  ASSERT_EQ(task.TempFiles().size(), 2u);
  EXPECT_TRUE(task.TempFiles()[0].keep);
  EXPECT_TRUE(task.TempFiles()[1].keep);
  EXPECT_EQ(Item("setup", "cip3_paper_weight")->value, "ACME-115");
  EXPECT_TRUE(task.Log().empty());

  // A failing files step (a refused template name): its own sentence, then
  // "qxmsm.failaddcip"; the step's sentence travels on.
  TW_TTask otherTask;
  TestConverter other(otherTask);
  cip.Add("PressConfigFile", QX_TString("../press.dat"));
  SetCipParameters(cip);
  EXPECT_THROW(other.AddCIPOptions2Dict(ticket, jobs), std::runtime_error);
  ASSERT_EQ(otherTask.Log().size(), 2u);
  EXPECT_EQ(otherTask.Log()[0].level, 2);
  EXPECT_NE(otherTask.Log()[0].text.find("\"PressConfigFile\""), std::string::npos);
  EXPECT_EQ(otherTask.Log()[1].text, "qxmsm.failaddcip");
  EXPECT_EQ(otherTask.Log()[1].level, 2);
}

// A flavour without the setup section, so that SetupDict runs the task
// section, the CIP3 options and the environment section only.
class NoSetupConverter : public TestConverter {
 public:
  using TestConverter::TestConverter;
  void AddSetup2Dict(AT_TTicket&, QX_TString, int, QX_TDict&, int) override {}
};

TEST_F(CipOptionsTest, WithinSetupDict) {
  Serve("CFS");  // no roots: the environment section holds the server items only
  QX_TDict master = EmptyMaster();
  QX_TArray jobs = Jobs({Job(std::nullopt)});
  QX_TDict cip = FullCip();
  SetCipParameters(cip);
  {
    NoSetupConverter flavour(task);
    flavour.SetupDict(ticket, master, "M1", 0, 0, jobs, 0, 0, 0, 0, "");
    const CParamSection* setup = flavour.Dictionary().FindSection("setup");
    ASSERT_NE(setup, nullptr);
    EXPECT_NE(setup->Find("inkplan"), nullptr);
    // The environment section follows the CIP3 options.
    ASSERT_NE(flavour.Dictionary().FindSection("environment"), nullptr);
    EXPECT_EQ(flavour.Dictionary().Sections().back().first, "environment");
  }

  // A failing files step: "qxmsm.failaddcip", then the step's sentence as
  // SetupDict logs it; the environment section is skipped.
  TW_TTask failingTask;
  NoSetupConverter flavour(failingTask);
  cip.Add("PlateSettingFile", QX_TString("missing.ini"));
  SetCipParameters(cip);
  flavour.SetupDict(ticket, master, "M1", 0, 0, jobs, 0, 0, 0, 0, "");
  std::vector<std::pair<int, std::string>> log;
  for (const TW_TLogEntry& e : failingTask.Log()) log.emplace_back(e.level, e.text);
  EXPECT_EQ(log, (std::vector<std::pair<int, std::string>>{
                     {2, "qxmsm.failaddcip"},
                     {2, "CTicket2Dict_msbasetask::AddCIPOptions2Dict - failed to add CIP options"}}));
  EXPECT_EQ(flavour.Dictionary().FindSection("environment"), nullptr);
  EXPECT_EQ(flavour.Dictionary().FindSection("setup"), nullptr);
  EXPECT_TRUE(failingTask.TempFiles().empty());
}

}  // namespace
}  // namespace cip3test
