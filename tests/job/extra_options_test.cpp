// The job's extra options: "|"-separated "[section.]key=value" assignments
// that overrule or add setup and job items.
#include <string>
#include <utility>
#include <vector>

#include "converter_fixture.h"

namespace {

using KeyValue = std::pair<std::string, std::string>;
using KeyValues = std::vector<KeyValue>;

constexpr const char* kComment = "Overruled in Mistral Task by \"ExtraOptions\"";

class ExtraOptionsTest : public ConversionTest {
 protected:
  void Run(const std::string& options) {
    job.Add("ExtraOptions", QX_TString(options));
    converter.AddExtraOptions(ticket, job, 3);
  }

  static KeyValues Pairs(const std::vector<CParamItem>& items) {
    KeyValues out;
    for (const CParamItem& item : items) out.emplace_back(item.key, item.value);
    return out;
  }

  QX_TDict job;
};

TEST_F(ExtraOptionsTest, AssignmentsBecomeSetupAndJobItems) {
  struct Row {
    const char* options;
    KeyValues setup;
    KeyValues job;
  };
  const std::vector<Row> rows = {
      {"res=2400", {{"res", "2400"}}, {}},
      {"setup.res=2400", {{"res", "2400"}}, {}},
      {"SETUP.res=2400", {{"res", "2400"}}, {}},
      {"sEtUp.res=2400", {{"res", "2400"}}, {}},
      {"job.dot=Round", {}, {{"dot", "Round"}}},
      {"a.b.c=1", {}, {{"b.c", "1"}}},
      {"k=x=y", {{"k", "x=y"}}, {}},
      {"setup.k=x.y=z", {{"k", "x.y=z"}}, {}},
      {"res=2400||=5|novalue=|noequal|dpi=300", {{"res", "2400"}, {"dpi", "300"}}, {}},
      {"res=2400|", {{"res", "2400"}}, {}},
      {"|res=2400", {{"res", "2400"}}, {}},
      {".key=1", {}, {{"key", "1"}}},
      {"setup.=5", {{"", "5"}}, {}},
      {" res = 2400", {{" res ", " 2400"}}, {}},
      {"setup .res=1", {}, {{"res", "1"}}},
      {"setupx.res=1", {}, {{"res", "1"}}},
      {"", {}, {}},
      {"|", {}, {}},
      {"=", {}, {}},
      {"==", {}, {}},
      {".=", {}, {}},
      {"job.=x", {}, {{"", "x"}}},
      {"res=1|res=2", {{"res", "2"}}, {}},
      {"res=1|job.res=2|dpi=3", {{"res", "1"}, {"dpi", "3"}}, {{"res", "2"}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("\"") + row.options + "\"");
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    QX_TDict rowJob;
    rowJob.Add("ExtraOptions", QX_TString(row.options));
    rowConverter.AddExtraOptions(ticket, rowJob, 3);

    const CParamSection* setup = rowConverter.Dictionary().FindSection("setup");
    const CParamSection* jobSection = rowConverter.Dictionary().FindJobSection(3);
    EXPECT_EQ(Pairs(setup ? setup->Items() : std::vector<CParamItem>()), row.setup);
    EXPECT_EQ(Pairs(jobSection ? jobSection->Items() : std::vector<CParamItem>()), row.job);
    for (const CParamSection* section : {setup, jobSection}) {
      if (section == nullptr) continue;
      for (const CParamItem& item : section->Items()) EXPECT_EQ(item.comment, std::optional<std::string>(kComment));
    }
    EXPECT_EQ(rowConverter.Dictionary().JobSections().size(), jobSection ? 1u : 0u);
    EXPECT_TRUE(rowTask.Log().empty());

    // Every job item is handed to the job dictionary too, and nothing else is.
    KeyValues handed;
    for (const auto& entry : rowJob) {
      if (entry.first != "ExtraOptions")
        handed.emplace_back(entry.first.Str(), T2D_CAST(QX_TString, entry.second).Str());
    }
    KeyValues expectedHanded;
    for (const KeyValue& item : row.job) {
      bool seen = false;
      for (KeyValue& h : expectedHanded) {
        if (h.first == item.first) {
          h.second = item.second;
          seen = true;
        }
      }
      if (!seen) expectedHanded.push_back(item);
    }
    EXPECT_EQ(handed, expectedHanded);
  }
}

TEST_F(ExtraOptionsTest, ExtraOptionsOverruleEarlierItemsInPlace) {
  converter.AddItemSetup("omode", "single", "Added by Mistral base task");
  converter.AddItemSetup("res", "1200", "Added by the Mistral base task");
  converter.AddItemJob(3, "dot", "Euclid", "Added by Mistral base task");
  Run("res=2400|job.dot=Round");
  EXPECT_EQ(Pairs(Items("setup")), (KeyValues{{"omode", "single"}, {"res", "2400"}}));
  EXPECT_EQ(Item("setup", "res")->comment, std::optional<std::string>(kComment));
  EXPECT_EQ(Item("setup", "omode")->comment, std::optional<std::string>("Added by Mistral base task"));
  EXPECT_EQ(Pairs(JobItems(3)), (KeyValues{{"dot", "Round"}}));
  EXPECT_EQ(JobItem(3, "dot")->comment, std::optional<std::string>(kComment));
}

TEST_F(ExtraOptionsTest, JobEntriesAreReplacedOrAddedAsText) {
  job.Add("JobName", QX_TString("brochure.pdf"));
  job.Add("Copies", QX_TInt32(2));
  Run("job.Copies=5|job.Plate=B2");
  const std::vector<std::string> keys = [&] {
    std::vector<std::string> out;
    for (const auto& entry : job) out.push_back(entry.first.Str());
    return out;
  }();
  EXPECT_EQ(keys, (std::vector<std::string>{"JobName", "Copies", "ExtraOptions", "Plate"}));
  EXPECT_EQ(T2D_CAST(QX_TString, job["Copies"]), "5");
  EXPECT_EQ(T2D_CAST(QX_TString, job["Plate"]), "B2");
  EXPECT_EQ(T2D_CAST(QX_TString, job["JobName"]), "brochure.pdf");
}

TEST_F(ExtraOptionsTest, AnOptionThatReplacesTheOptionsTextDoesNotDisturbTheWalk) {
  Run("job.ExtraOptions=gone|res=2400");
  EXPECT_EQ(T2D_CAST(QX_TString, job["ExtraOptions"]), "gone");
  EXPECT_EQ(Pairs(Items("setup")), (KeyValues{{"res", "2400"}}));
}

TEST_F(ExtraOptionsTest, AJobWithoutExtraOptionsWritesNothing) {
  converter.AddExtraOptions(ticket, job, 3);
  EXPECT_TRUE(Items("setup").empty());
  EXPECT_TRUE(JobItems(3).empty());
  EXPECT_EQ(job.Entries(), 0);
}

TEST_F(ExtraOptionsTest, ExtraOptionsOfAnotherTypeFail) {
  job.Add("ExtraOptions", QX_TInt32(5));
  EXPECT_THROW(converter.AddExtraOptions(ticket, job, 3), QX_EIllegalCast);
  EXPECT_TRUE(Items("setup").empty());
}

TEST_F(ExtraOptionsTest, KeysAndValuesUpToTheirRoomAreWritten) {
  const std::string key(199, 'k');
  const std::string value(999, 'v');
  Run("job." + key + "=" + value + "|setup." + key + "=1");
  ASSERT_NE(JobItem(3, key), nullptr);
  EXPECT_EQ(JobItem(3, key)->value, value);
  ASSERT_NE(Item("setup", key), nullptr);
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(ExtraOptionsTest, OverlongKeysAndValuesAreRefused) {
  struct Row {
    const char* name;
    std::string overlong;  // the refused assignment
    const char* limit;
    std::string named;  // what the sentence must show
  };
  const std::string longKey(200, 'k');
  const std::string longValue(1000, 'v');
  const std::vector<Row> rows = {
      {"setup key", longKey + "=1", "199", std::string(60, 'k') + "...\""},
      {"job key", "job." + longKey + "=1", "199", std::string(60, 'k') + "...\""},
      {"setup value", "res=" + longValue, "999", "\"res\""},
      {"job value", "job.dot=" + longValue, "999", "\"dot\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    QX_TDict rowJob;
    rowJob.Add("ExtraOptions", QX_TString("dpi=300|" + row.overlong + "|job.after=1"));
    std::string what;
    try {
      rowConverter.AddExtraOptions(ticket, rowJob, 3);
    } catch (const std::exception& e) {
      what = e.what();
    }
    ASSERT_EQ(rowTask.Log().size(), 1u);
    EXPECT_EQ(rowTask.Log()[0].level, 2);
    EXPECT_EQ(rowTask.Log()[0].text, what);
    EXPECT_EQ(what.rfind("CTicket2Dict_msbasetask::AddExtraOptions - ", 0), 0u) << what;
    EXPECT_NE(what.find(row.limit), std::string::npos) << what;
    EXPECT_NE(what.find(row.named), std::string::npos) << what;
    // The sentence is short even for a long key.
    EXPECT_LT(what.size(), 200u);
    // Assignments before the refused one stay; nothing of it or after it is
    // written or handed to the job.
    const CParamSection* setup = rowConverter.Dictionary().FindSection("setup");
    ASSERT_NE(setup, nullptr);
    EXPECT_EQ(Pairs(setup->Items()), (KeyValues{{"dpi", "300"}}));
    EXPECT_EQ(rowConverter.Dictionary().FindJobSection(3), nullptr);
    EXPECT_EQ(rowJob.Entries(), 1);
  }
}

// A flavour whose earlier job steps write nothing, so that a job runs
// straight into its extra options.
class OnlyExtraOptions : public TestConverter {
 public:
  using TestConverter::TestConverter;
  void AddJobInfoGlobal(AT_TTicket&, QX_TDict&, int, int, QX_TArray&) override {}
  void AddJobInfo(AT_TTicket&, QX_TDict&, int) override {}
};

TEST_F(ExtraOptionsTest, ARefusalEndsTheJobThroughItsGuardAndLeavesTheNextJobWhole) {
  OnlyExtraOptions flavour(task);
  QX_TArray jobs;
  QX_TDict first;
  first.Add("ExtraOptions", QX_TString("job.a=1|job.b=" + std::string(1000, 'v')));
  QX_TDict second;
  second.Add("ExtraOptions", QX_TString("job.a=2"));
  jobs.Append(first);
  jobs.Append(second);
  QX_TArray jobArray;
  flavour.AddJob(ticket, 0, 0, jobArray, jobs, false);
  flavour.AddJob(ticket, 1, 0, jobArray, jobs, false);

  const std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_NE(log[0].find("\"b\""), std::string::npos) << log[0];
  EXPECT_EQ(log[1], "qxmsm.failaddextra");
  EXPECT_EQ(log[2], log[0]);
  EXPECT_EQ(LogLevels(), (std::vector<int>{2, 2, 2}));

  // The job dictionaries are the array's own elements.
  EXPECT_EQ(T2D_CAST(QX_TString, T2D_CAST(QX_TDict, jobs[0])["a"]), "1");
  EXPECT_FALSE(T2D_CAST(QX_TDict, jobs[0]).HasKey("b"));
  EXPECT_EQ(T2D_CAST(QX_TString, T2D_CAST(QX_TDict, jobs[1])["a"]), "2");
  const CParamSection* job2 = flavour.Dictionary().FindJobSection(2);
  ASSERT_NE(job2, nullptr);
  EXPECT_EQ(Pairs(job2->Items()), (KeyValues{{"a", "2"}}));
}

}  // namespace
