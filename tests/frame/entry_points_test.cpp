// The converter's entry points: options, the order of the steps, and how a
// failure travels through the guards to the task log.
#include <stdexcept>

#include "converter_fixture.h"

namespace {

using Strings = std::vector<std::string>;

// A converter whose steps record that they ran and can be told to fail.
class ScriptedConverter : public TestConverter {
 public:
  using TestConverter::TestConverter;

  Strings ran;
  std::string failIn;       // the step that throws
  int failForJob = 0;       // 0: every job
  bool logOwnKey = false;   // the failing step logs its own key first

  void AddSetupGlobal(AT_TTicket&, QX_TDict&, QX_TString&, int, int) override { Step("AddSetupGlobal", 0); }
  void AddSetup_begin(AT_TTicket&, QX_TDict&, int) override { Step("AddSetup_begin", 0); }
  void AddSetup_middle(AT_TTicket&, QX_TDict&, int) override { Step("AddSetup_middle", 0); }
  void AddSetup_end(AT_TTicket&, QX_TDict&, int) override { Step("AddSetup_end", 0); }
  void AddCIPOptions2Dict(AT_TTicket&, QX_TArray&) override { Step("AddCIPOptions2Dict", 0); }
  void AddEnvironment2Dict(AT_TTicket&) override { Step("AddEnvironment2Dict", 0); }
  void AddJobInfoGlobal(AT_TTicket&, QX_TDict&, int n, int, QX_TArray&) override { Step("AddJobInfoGlobal", n); }
  void AddJobInfo_noPreviews(AT_TTicket&, QX_TDict&, int n) override { Step("AddJobInfo_noPreviews", n); }
  void AddJobInfo_previewsOnly(AT_TTicket&, QX_TDict&, int n) override { Step("AddJobInfo_previewsOnly", n); }
  void AddExtraOptions(AT_TTicket&, QX_TDict&, int n) override { Step("AddExtraOptions", n); }

 private:
  void Step(const std::string& name, int jobNumber) {
    ran.push_back(jobNumber ? name + "/" + std::to_string(jobNumber) : name);
    if (name == failIn && (failForJob == 0 || failForJob == jobNumber)) {
      if (logOwnKey) Task().LogMessage(2, "qxmsm.own");
      throw std::runtime_error("CTicket2Dict_msbasetask::" + name + " - broken");
    }
  }
};

class EntryPoints : public ConversionTest {
 protected:
  EntryPoints() {
    ticket.SetDeviceName("Platesetter 1");
    ticket.SetTaskID("T-17");
    ticket.SetUserInfo(QX_TUserInfo("alice"));
    for (int i = 0; i < 3; ++i) {
      QX_TDict job;
      job.Add("JobName", QX_TString("job" + std::to_string(i + 1)));
      jobs.Append(job);
    }
  }

  void Setup(ScriptedConverter& c) { c.SetupDict(ticket, master, "M1", 0, 0, jobs, 1, 2, 3, 4, "1-3"); }
  void Jobs(ScriptedConverter& c) {
    for (int i = 0; i < 3; ++i) c.AddJob(ticket, i, 0, jobArray, jobs, false);
  }

  QX_TDict master = EmptyMaster();
  QX_TArray jobs;
  QX_TArray jobArray;
};

TEST_F(EntryPoints, StepsRunInTheirFixedOrder) {
  ScriptedConverter c(task);
  Setup(c);
  Jobs(c);
  EXPECT_EQ(c.ran, (Strings{"AddSetupGlobal", "AddSetup_begin", "AddSetup_middle", "AddSetup_end",
                            "AddCIPOptions2Dict", "AddEnvironment2Dict", "AddJobInfoGlobal/1",
                            "AddJobInfo_noPreviews/1", "AddJobInfo_previewsOnly/1", "AddExtraOptions/1",
                            "AddJobInfoGlobal/2", "AddJobInfo_noPreviews/2", "AddJobInfo_previewsOnly/2",
                            "AddExtraOptions/2", "AddJobInfoGlobal/3", "AddJobInfo_noPreviews/3",
                            "AddJobInfo_previewsOnly/3", "AddExtraOptions/3"}));
  EXPECT_TRUE(task.Log().empty());
  EXPECT_EQ(c.pageFlag1, 1);
  EXPECT_EQ(c.pageFlag4, 4);
  EXPECT_STREQ(c.pageList, "1-3");
  EXPECT_EQ(c.masterName, "M1");
}

TEST_F(EntryPoints, GlobalSetupFailureSkipsTheRestOfTheSetupAndKeepsTheTaskItems) {
  ScriptedConverter c(task);
  c.failIn = "AddSetupGlobal";
  Setup(c);
  EXPECT_EQ(c.ran, (Strings{"AddSetupGlobal"}));
  EXPECT_EQ(LogTexts(), (Strings{"qxmsm.failaddsetupglobal", "CTicket2Dict_msbasetask::AddSetupGlobal - broken"}));
  EXPECT_EQ(LogLevels(), (std::vector<int>{2, 2}));
  const CParamSection* taskSection = c.Dictionary().FindSection("task");
  ASSERT_NE(taskSection, nullptr);
  EXPECT_EQ(taskSection->Items().size(), 3u);
}

TEST_F(EntryPoints, SetupStepFailureLogsThreeLinesInOrder) {
  ScriptedConverter c(task);
  c.failIn = "AddSetup_middle";
  c.logOwnKey = true;
  Setup(c);
  EXPECT_EQ(c.ran, (Strings{"AddSetupGlobal", "AddSetup_begin", "AddSetup_middle"}));
  EXPECT_EQ(LogTexts(),
            (Strings{"qxmsm.own", "qxmsm.failaddsetup", "CTicket2Dict_msbasetask::AddSetup_middle - broken"}));
  EXPECT_EQ(LogLevels(), (std::vector<int>{2, 2, 2}));
}

TEST_F(EntryPoints, JobFailureStaysInItsJob) {
  struct Row {
    const char* step;
    const char* key;
    Strings job2Ran;
  };
  const Row rows[] = {
      {"AddJobInfoGlobal", "qxmsm.failaddjobglobal", {"AddJobInfoGlobal/2"}},
      {"AddJobInfo_noPreviews", "qxmsm.failaddjob", {"AddJobInfoGlobal/2", "AddJobInfo_noPreviews/2"}},
      {"AddJobInfo_previewsOnly",
       "qxmsm.failaddjob",
       {"AddJobInfoGlobal/2", "AddJobInfo_noPreviews/2", "AddJobInfo_previewsOnly/2"}},
      {"AddExtraOptions",
       "qxmsm.failaddextra",
       {"AddJobInfoGlobal/2", "AddJobInfo_noPreviews/2", "AddJobInfo_previewsOnly/2", "AddExtraOptions/2"}},
  };
  for (const Row& row : rows) {
    TW_TTask jobTask;
    ScriptedConverter c(jobTask);
    c.failIn = row.step;
    c.failForJob = 2;
    c.AddJob(ticket, 1, 0, jobArray, jobs, false);
    c.AddJob(ticket, 2, 0, jobArray, jobs, false);
    Strings expected = row.job2Ran;
    for (const char* s : {"AddJobInfoGlobal/3", "AddJobInfo_noPreviews/3", "AddJobInfo_previewsOnly/3",
                          "AddExtraOptions/3"})
      expected.push_back(s);
    EXPECT_EQ(c.ran, expected) << row.step;
    ASSERT_EQ(jobTask.Log().size(), 2u) << row.step;
    EXPECT_EQ(jobTask.Log()[0].text, row.key);
    EXPECT_EQ(jobTask.Log()[1].text, std::string("CTicket2Dict_msbasetask::") + row.step + " - broken");
    EXPECT_EQ(jobTask.Log()[1].level, 2);
  }
}

TEST_F(EntryPoints, JobIndexZeroWritesJobOne) {
  class Writer : public TestConverter {
   public:
    using TestConverter::TestConverter;
    void AddJobInfoGlobal(AT_TTicket&, QX_TDict& job, int n, int, QX_TArray&) override {
      AddItemJob(n, "seen", qx_cast<QX_TString>(job["JobName"], "t", 1).Text(), nullptr);
    }
  };
  Writer c(task);
  c.AddJob(ticket, 0, 0, jobArray, jobs, false);
  const CParamSection* job1 = c.Dictionary().FindJobSection(1);
  ASSERT_NE(job1, nullptr);
  EXPECT_EQ(job1->Find("seen")->value, "job1");
  EXPECT_EQ(c.Dictionary().FindJobSection(0), nullptr);
}

TEST_F(EntryPoints, AJobOutsideTheArrayIsLoggedAndTheNextJobConverts) {
  ScriptedConverter c(task);
  c.AddJob(ticket, 7, 0, jobArray, jobs, false);
  c.AddJob(ticket, 2147483647, 0, jobArray, jobs, false);
  c.AddJob(ticket, 0, 0, jobArray, jobs, false);
  ASSERT_EQ(task.Log().size(), 2u);
  EXPECT_NE(task.Log()[0].text.find("index 7"), std::string::npos) << task.Log()[0].text;
  EXPECT_EQ(c.ran.front(), "AddJobInfoGlobal/1");
}

TEST_F(EntryPoints, AJobThatIsNotADictionaryFailsTheCall) {
  QX_TArray odd;
  odd.Append(QX_TString("not a job"));
  ScriptedConverter c(task);
  c.AddJob(ticket, 0, 0, jobArray, odd, false);
  ASSERT_EQ(task.Log().size(), 1u);
  EXPECT_NE(task.Log()[0].text.find("QX_EIllegalCast"), std::string::npos);
  EXPECT_TRUE(c.ran.empty());
}

TEST_F(EntryPoints, MasterWithoutOptionsFailsTheSetupAfterTheTaskItems) {
  ScriptedConverter c(task);
  QX_TDict bare;
  c.SetupDict(ticket, bare, "M1", 0, 0, jobs, 0, 0, 0, 0, "");
  EXPECT_TRUE(c.ran.empty());
  ASSERT_EQ(task.Log().size(), 1u);
  EXPECT_NE(task.Log()[0].text.find("\"Options\": expected QX_TDict, got QX_TIllegal (converter/ticket2dict_msbasetask.cpp"),
            std::string::npos) << task.Log()[0].text;
  EXPECT_EQ(Strings({"DeviceName", "TaskID", "UserName"}), [&] {
    Strings keys;
    for (auto& item : c.Dictionary().FindSection("task")->Items()) keys.push_back(item.key);
    return keys;
  }());
}

TEST_F(EntryPoints, OverlongPageListIsRefusedWholeBeforeAnyStep) {
  ScriptedConverter c(task);
  const std::string fits(1023, '1');
  c.SetupDict(ticket, master, "M1", 0, 0, jobs, 0, 0, 0, 0, fits.c_str());
  EXPECT_EQ(std::string(c.pageList), fits);
  EXPECT_TRUE(task.Log().empty());

  TW_TTask other;
  ScriptedConverter refused(other);
  const std::string tooLong(1024, '2');
  refused.SetupDict(ticket, master, "M1", 0, 0, jobs, 0, 0, 0, 0, tooLong.c_str());
  EXPECT_TRUE(refused.ran.empty());
  EXPECT_EQ(refused.Dictionary().FindSection("task"), nullptr);
  ASSERT_EQ(other.Log().size(), 1u);
  EXPECT_EQ(other.Log()[0].level, 2);
  EXPECT_NE(other.Log()[0].text.find("page list"), std::string::npos);
  EXPECT_NE(other.Log()[0].text.find("1023"), std::string::npos);
  EXPECT_STREQ(refused.pageList, "") << "nothing cut is kept";
}

// A refused page list leaves the whole page selection as it was: the job
// steps read the flags and the list together.
TEST_F(EntryPoints, RefusedPageListStoresNoPageFlag) {
  ScriptedConverter c(task);
  c.SetupDict(ticket, master, "M1", 0, 0, jobs, 3, 0, 2, 1, "1-3");
  const std::string tooLong(1200, '1');
  c.SetupDict(ticket, master, "M1", 0, 0, jobs, 1, 1, 0, 0, tooLong.c_str());
  EXPECT_EQ((std::vector<int>{c.pageFlag1, c.pageFlag2, c.pageFlag3, c.pageFlag4}), (std::vector<int>{3, 0, 2, 1}));
  EXPECT_STREQ(c.pageList, "1-3");
}

TEST_F(EntryPoints, DispatcherVersionIsKeptInExactCaseOnly) {
  EXPECT_EQ(converter.dispatcherVersion, -1);
  CUnivType v;
  v = 704000;
  EXPECT_TRUE(converter.SetOption("DispatcherVersion", v));
  EXPECT_EQ(converter.dispatcherVersion, 704000);

  CUnivType t;
  t = "703000";
  EXPECT_TRUE(converter.SetOption("DispatcherVersion", t));
  EXPECT_EQ(converter.dispatcherVersion, 703000);

  CUnivType other;
  other = 5;
  converter.SetOption("dispatcherversion", other);
  EXPECT_EQ(converter.dispatcherVersion, 703000);
  CStringKeyDict options;
  converter.GetOptions(options, true);
  ASSERT_NE(options.Find("dispatcherversion"), nullptr);
  EXPECT_EQ(options.Find("DispatcherVersion"), nullptr);

  CUnivType bad;
  bad = "seven";
  EXPECT_THROW(converter.SetOption("DispatcherVersion", bad), std::invalid_argument);
  EXPECT_EQ(converter.dispatcherVersion, 703000);
}

TEST_F(EntryPoints, CopyKeepsEveryField) {
  ScriptedConverter c(task);
  CUnivType v;
  v = 704000;
  c.SetOption("DispatcherVersion", v);
  Setup(c);
  TestConverter copy(c);
  EXPECT_EQ(copy.dispatcherVersion, 704000);
  EXPECT_EQ(copy.pageFlag2, 2);
  EXPECT_EQ(copy.pageFlag3, 3);
  EXPECT_STREQ(copy.pageList, "1-3");
  EXPECT_EQ(copy.masterName, "M1");
  EXPECT_EQ(copy.Dictionary().FindSection("task")->Items().size(), 3u);
  EXPECT_EQ(copy.getFlavorName(), "BaseTask");
}

TEST_F(EntryPoints, GenericBaseFormsSayTheyAreNotOffered) {
  QX_TString name("M1");
  QX_TDict job;
  CTicket2Dict& base = converter;
  EXPECT_THROW(base.SetupDict(ticket, master, name, 0), std::logic_error);
  EXPECT_THROW(base.AddJob(ticket, 0, job, QX_TURL(), false), std::logic_error);
}

}  // namespace
