// Output file naming of the global setup: fixed, job-name, merged and
// template names, the job checks, the build number and the smart names.
#include "setup_fixture.h"

namespace {

using namespace setup_test;

const char* const kBy = "Added by Mistral base task";

class OutputNamingTest : public SetupTest {
 protected:
  OutputNamingTest() { task.SetMergeID("4711"); }

  // The "Output" and "extendfilename" items after a global setup with
  // "FileName" = `fileName` and these jobs.
  std::vector<Written> Naming(const char* fileName, const QX_TArray& jobs, int filmIndex = 0) {
    TestConverter fresh(task);
    QX_TDict master = Master();
    master.Add("Jobs", jobs);
    QX_TDict options = Dict({{"FileName", QX_TString(fileName)}});
    master.Add("Options", options);
    QX_TString name("M1");
    fresh.AddSetupGlobal(ticket, master, name, filmIndex, 0);
    std::vector<Written> written;
    for (auto& item : fresh.Dictionary().FindSection("setup")->Items())
      if (item.key == "Output" || item.key == "extendfilename")
        written.emplace_back(item.key, item.value, item.comment.value_or("(none)"));
    return written;
  }

  // The failure of a global setup with "FileName" = `fileName`: the
  // sentence, after checking that the step logged `key` at level 2 last.
  std::string Failure(const char* fileName, const QX_TAny& jobs, const char* key) {
    TestConverter fresh(task);
    QX_TDict master = Master();
    if (jobs.IsIllegal())
      master.Remove("Jobs");
    else
      master.Add("Jobs", jobs);
    master.Add("Options", Dict({{"FileName", QX_TString(fileName)}}));
    QX_TString name("M1");
    const size_t logged = Log().size();
    std::string sentence = "(no failure)";
    try {
      fresh.AddSetupGlobal(ticket, master, name, 0, 0);
    } catch (const std::exception& e) {
      sentence = e.what();
    }
    EXPECT_EQ(Log().size(), logged + 1);
    if (Log().size() > logged) {
      EXPECT_EQ(Log().back(), (std::pair<int, std::string>{2, key}));
    }
    EXPECT_EQ(fresh.Dictionary().FindSection("setup")->Find("Output"), nullptr);
    return sentence;
  }
};

TEST_F(OutputNamingTest, FixedJobAndMergedNames) {
  struct Row {
    const char* name;
    const char* fileName;
    QX_TArray jobs;
    int filmIndex;
    std::vector<Written> expected;
  };
  const std::vector<Row> rows = {
      {"fixed, one job", "plate_A", Array({Job("brochure.pdf")}), 0, {{"Output", "\"plate_A\"", kBy}}},
      {"job name, one job", "", Array({Job("brochure.v2.pdf")}), 0, {{"Output", "\"brochure.v2\"", kBy}}},
      {"job name without extension", "", Array({Job("brochure")}), 0, {{"Output", "\"brochure\"", kBy}}},
      {"job name, same base names", "", Array({Job("brochure.pdf"), Job("brochure.ps")}), 0,
       {{"Output", "\"brochure\"", kBy}}},
      {"fixed, same base names", "plate_A", Array({Job("brochure.pdf"), Job("brochure.ps")}), 0,
       {{"Output", "\"plate_A\"", kBy}}},
      {"job name, different base names", "", Array({Job("front.pdf"), Job("back.pdf")}), 2,
       {{"Output", "\"Merge_ID4711_Film2\"", kBy}, {"extendfilename", "0", kBy}}},
      {"fixed, different base names", "plate_A", Array({Job("front.pdf"), Job("back.pdf")}), 0,
       {{"Output", "\"plate_A_Merge_ID4711_Film0\"", kBy}, {"extendfilename", "0", kBy}}},
      {"base names differ in letter case only", "", Array({Job("Front.pdf"), Job("front.pdf")}), -1,
       {{"Output", "\"Merge_ID4711_Film-1\"", kBy}, {"extendfilename", "0", kBy}}},
      {"the walk stops at the first difference", "", Array({Job("a.pdf"), Job("b.pdf"), QX_TDict()}), 1,
       {{"Output", "\"Merge_ID4711_Film1\"", kBy}, {"extendfilename", "0", kBy}}},
      {"jobs from lower bound 1", "", Array({Job("a.pdf"), Job("a.ps")}, 1), 0, {{"Output", "\"a\"", kBy}}},
  };
  ServeConfig();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Naming(row.fileName, row.jobs, row.filmIndex), row.expected);
  }
}

TEST_F(OutputNamingTest, NoFileNameWritesNoOutput) {
  ServeConfig();
  SetJobs(QX_TArray());  // not looked at without "FileName"
  RunGlobal();
  EXPECT_EQ(Item("setup", "Output"), nullptr);
  EXPECT_EQ(std::get<0>(SetupItem("ShortID")), "ShortID");
}

TEST_F(OutputNamingTest, JobChecksOfFixedAndJobNames) {
  ServeConfig();
  EXPECT_EQ(Failure("plate_A", QX_TAny(), "qxmsm.jobsentrynotfound"),
            "CTicket2Dict_msbasetask::AddSetupGlobal - job entry not found");
  EXPECT_EQ(Failure("", QX_TArray(), "qxmsm.nojobinjobsentry"),
            "CTicket2Dict_msbasetask::AddSetupGlobal - no job in job entry");
  EXPECT_EQ(Failure("", Array({Dict({{"FileSpec", QX_TURL(QX_TString("/in/a.pdf"))}})}), "qxmsm.nojobnameinfirstjob"),
            "CTicket2Dict_msbasetask::AddSetupGlobal - no job name in first job");
  EXPECT_EQ(Failure("plate_A", Array({Job("a.pdf"), Job("a.ps"), QX_TDict()}), "qxmsm.nojobnameinjob"),
            "CTicket2Dict_msbasetask::AddSetupGlobal - no job name in job");
}

TEST_F(OutputNamingTest, FailureTravelsThroughTheFrame) {
  ServeConfig();
  ServeJobs();
  Option("FileName", QX_TString(""));
  SetJobs(QX_TArray());
  RunSetupDict();
  EXPECT_EQ(LogTail(3),
            (std::vector<std::pair<int, std::string>>{
                {2, "qxmsm.nojobinjobsentry"},
                {2, "qxmsm.failaddsetupglobal"},
                {2, "CTicket2Dict_msbasetask::AddSetupGlobal - no job in job entry"}}));
  EXPECT_EQ(Item("setup", "cip"), nullptr);
  EXPECT_EQ(Item("setup", "ShortID"), nullptr);
}

TEST_F(OutputNamingTest, TemplateResolvesWithPlaceholdersLeftForTheRip) {
  auto cfs = ServeConfig();
  Define({"file", "page", "ink", "sink", "nink", "ripdate", "riptime", "ripfile"});
  EXPECT_EQ(Naming("<file>_<page>_<ink>_<sink>_<nink>_<ripdate>_<riptime>_<ripfile>",
                   Array({Job("brochure.pdf"), Job("other.pdf")})),
            (std::vector<Written>{
                {"Output", "\"brochure_<page>_<ink>_<sink>_<nink>_<date>_<time>_<file>\"", kBy}}));
  EXPECT_EQ(NameValue("file"), "brochure");
  EXPECT_EQ(NameValue("ripfile"), "<file>");
  // The build number is asked with the flag false; without an answer the
  // name is left as it was.
  ASSERT_EQ(cfs->calls.size(), 2u);
  EXPECT_EQ(cfs->calls[1].method, "[]");
  ASSERT_EQ(cfs->calls[1].arguments.size(), 2u);
  EXPECT_EQ(T2D_CAST(QX_TString, cfs->calls[1].arguments[0]).Str(),
            "Devices/Instances/PS1/Rip/Config/Mistral/BuildNumber");
  EXPECT_FALSE(cfs->calls[1].arguments[1].AsBool());
  EXPECT_EQ(NameValue("Build_Number"), "(undefined)");
}

TEST_F(OutputNamingTest, TemplateNamesUndefinedStayUndefined) {
  ServeConfig();
  EXPECT_EQ(Naming("out_<page>", Array({Job("brochure.pdf")})), (std::vector<Written>{{"Output", "\"brochure\"", kBy}}));
  for (const char* name : {"file", "ink", "sink", "nink", "page", "ripdate", "riptime", "ripfile"})
    EXPECT_EQ(NameValue(name), "(undefined)") << name;
}

TEST_F(OutputNamingTest, BuildNumber) {
  ServeConfig({{"Devices/Instances/PS1/Rip/Config/Mistral/BuildNumber", QX_TString("1234")}});
  EXPECT_EQ(Naming("v<Build_Number>", Array({Job("a.pdf")})), (std::vector<Written>{{"Output", "\"v1234\"", kBy}}));
  EXPECT_EQ(NameValue("Build_Number"), "1234");

  // A build number of another class is skipped.
  servers.Clear();
  task.Names() = TName();
  task.Names().SetValue("Build_Number", QX_TString("old"));
  ServeConfig({{"Devices/Instances/PS1/Rip/Config/Mistral/BuildNumber", QX_TInt32(5)}});
  EXPECT_EQ(Naming("v<Build_Number>", Array({Job("a.pdf")})), (std::vector<Written>{{"Output", "\"vold\"", kBy}}));
}

TEST_F(OutputNamingTest, SmartNamesOfTheFirstJob) {
  ServeConfig();
  Define({"customer", "empty", "order"});
  task.Names().SetValue("empty", QX_TString("kept"));
  QX_TDict first = Job("brochure.pdf");
  first.Add("Contents", Dict({{"SmartNames", Dict({{"customer", QX_TString("ACME")},
                                                   {"empty", QX_TString("")},
                                                   {"undefined", QX_TString("x")},
                                                   {"order", QX_TString("42")}})}}));
  QX_TDict second = Job("other.pdf");
  second.Add("Contents", Dict({{"SmartNames", Dict({{"order", QX_TString("99")}})}}));
  EXPECT_EQ(Naming("<customer>_<empty>_<order>", Array({first, second})),
            (std::vector<Written>{{"Output", "\"ACME_kept_42\"", kBy}}));
  EXPECT_EQ(NameValue("undefined"), "(undefined)");
}

TEST_F(OutputNamingTest, SmartNameOfAnotherClassEndsTheWalk) {
  ServeConfig();
  Define({"a", "b"});
  QX_TDict first = Job("brochure.pdf");
  first.Add("Contents", Dict({{"SmartNames", Dict({{"a", QX_TString("A")}, {"b", QX_TInt32(1)}})}}));
  EXPECT_EQ(Naming("<a>_<b>", Array({first})), (std::vector<Written>{{"Output", "\"A_\"", kBy}}));
}

TEST_F(OutputNamingTest, UndefinedPlaceholderLeavesTheJobsBaseName) {
  ServeConfig();
  EXPECT_EQ(Naming("<nosuchname>", Array({Job("brochure.pdf")})),
            (std::vector<Written>{{"Output", "\"brochure\"", kBy}}));
}

// The job checks of a template: the word "job" anywhere with a number of
// jobs other than one; "job" inside a placeholder with no job.
TEST_F(OutputNamingTest, JobChecksOfTemplates) {
  struct Row {
    const char* fileName;
    std::vector<std::string> worksFor;
    const char* key;  // null: no failure
  };
  const std::vector<Row> rows = {
      {"<jobname>", {"J1", "J2"}, "qxmsm.morethanonejob"},
      {"<jobname>", {}, "qxmsm.morethanonejob"},
      {"myjob_<date>", {"J1", "J2"}, "qxmsm.morethanonejob"},
      {"<JobName>", {""}, "qxmsm.nojob"},
      {"x<a>y<jobname>", {""}, "qxmsm.nojob"},
      {"<date>_<job", {""}, "qxmsm.nojob"},
      {"Job_<date>", {""}, nullptr},
      {"<date>_job", {""}, nullptr},
      {"job<date>job", {""}, nullptr},
      {"<date>_job>", {""}, nullptr},
      {"<file>", {"J1", "J2"}, nullptr},
      {"<jobname>", {"J1"}, nullptr},
  };
  ServeConfig();
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.fileName << " with " << row.worksFor.size() << " job(s)");
    WorksFor(row.worksFor);
    if (row.key == nullptr) {
      const size_t logged = Log().size();
      EXPECT_EQ(std::get<0>(Naming(row.fileName, Array({Job("a.pdf")})).at(0)), "Output");
      EXPECT_EQ(Log().size(), logged);
      continue;
    }
    const std::string sentence = Failure(row.fileName, Array({Job("a.pdf")}), row.key);
    EXPECT_EQ(sentence, std::string("CTicket2Dict_msbasetask::AddSetupGlobal - ") +
                            (std::string(row.key) == "qxmsm.nojob" ? "no job" : "more than one job"));
  }
}

TEST_F(OutputNamingTest, MissingWorksForJobsMeansNoJob) {
  ServeConfig();
  ticket.SetWorkDictionary(Dict({{"ResultsFromPreviousTask", QX_TDict()}}));
  EXPECT_EQ(Failure("<jobname>", Array({Job("a.pdf")}), "qxmsm.nojob"), "CTicket2Dict_msbasetask::AddSetupGlobal - no job");
}

TEST_F(OutputNamingTest, TemplateFirstJobWithoutJobNameFailsInTheCast) {
  ServeConfig();
  TestConverter fresh(task);
  QX_TDict master = Master();
  master.Add("Jobs", Array({QX_TDict()}));
  master.Add("Options", Dict({{"FileName", QX_TString("<file>")}}));
  QX_TString name("M1");
  EXPECT_THROW(fresh.AddSetupGlobal(ticket, master, name, 0, 0), QX_EIllegalCast);
}

TEST_F(OutputNamingTest, LongNamesAreWrittenWhole) {
  ServeConfig();
  const std::string fixed(2000, 'f');
  EXPECT_EQ(Naming(fixed.c_str(), Array({Job("a.pdf")})), (std::vector<Written>{{"Output", "\"" + fixed + "\"", kBy}}));
  const std::string longJob(1500, 'j');
  EXPECT_EQ(Naming(fixed.c_str(), Array({Job((longJob + ".pdf").c_str()), Job("b.pdf")})),
            (std::vector<Written>{{"Output", "\"" + fixed + "_Merge_ID4711_Film0\"", kBy}, {"extendfilename", "0", kBy}}));
  Define({"file"});
  EXPECT_EQ(Naming("<file>", Array({Job((longJob + ".pdf").c_str())})),
            (std::vector<Written>{{"Output", "\"" + longJob + "\"", kBy}}));
}

}  // namespace
