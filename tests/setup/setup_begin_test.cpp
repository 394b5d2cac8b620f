// Setup begin: masters check, job count, template names, output path,
// configuration and output directory.
#include <functional>

#include "setup_fixture.h"

namespace {

using namespace setup_test;

class SetupBeginTest : public SetupTest {};

TEST_F(SetupBeginTest, NoMastersFailsThroughTheFrame) {
  ServeConfig();
  ServeJobs();
  ticket.SetConfiguration(QX_TDict());
  RunSetupDict();

  EXPECT_EQ(LogTail(3), (std::vector<std::pair<int, std::string>>{
                      {2, "qxmsm.nomasters"},
                      {2, "qxmsm.failaddsetup"},
                      {2, "CTicket2Dict_msbasetask::AddSetup begin - no masters"}}));
  // The global setup's items stay; middle, end and the environment don't run.
  EXPECT_EQ(std::get<1>(SetupItem("ServerVersion")), "HX12.0");
  EXPECT_EQ(Item("setup", "omode")->comment, std::optional<std::string>("Added by Mistral base task"));
  EXPECT_TRUE(Items("environment").empty());
}

TEST_F(SetupBeginTest, PlainOutputPathGoesToOutdirUnchanged) {
  auto cfs = ServeConfig();
  ServeJobs({{"J1", Dict({{"Url", QX_TURL(QX_TString("/jobs/J1"))}})}});
  Define({"file", "ink"});
  WorksFor({"J1", "J2"});  // no job check without a template
  Option("OutputPath", QX_TString("\\\\host\\out\\job"));
  Option("Conf", QX_TString("Fine"));
  RunBegin();

  EXPECT_EQ(Setup(), (std::vector<Written>{{"conf", "\"Fine\"", "Configuration"},
                                           {"outdir", "\"\\\\host\\out\\job\"", "OutputPath"}}));
  EXPECT_EQ(NameValue("file"), "(no value)");
  EXPECT_EQ(NameValue("ink"), "(no value)");
  EXPECT_TRUE(cfs->calls.empty());  // a given configuration needs no lookup
  EXPECT_TRUE(Log().empty());
}

TEST_F(SetupBeginTest, JobInfoGivesTheJobUrl) {
  ServeConfig();
  auto elem = ServeJobs({{"J1", Dict({{"Url", QX_TURL(QX_TString("/jobs/J1"))}})}});
  Define({"joburl", "jobfolderurl"});
  Option("OutputPath", QX_TString("<jobfolderurl>"));
  Option("Conf", QX_TString("Fine"));
  RunBegin();

  ASSERT_EQ(elem->requests.size(), 1u);
  const QX_TDict& request = elem->requests[0];
  EXPECT_EQ(T2D_CAST(QX_TString, request["M"]).Str(), "jinfo_cpp");
  EXPECT_EQ(T2D_CAST(QX_TString, request["ElemType"]).Str(), "job");
  EXPECT_EQ(T2D_CAST(QX_TString, request["P1"]).Str(), "J1");
  EXPECT_EQ(NameValue("joburl"), "file:///jobs/J1");
  EXPECT_EQ(NameValue("jobfolderurl"), "file:///jobs/J1");
  EXPECT_EQ(SetupItem("outdir"), (Written{"outdir", "\"file:///jobs/J1\"", "OutputPath"}));
}

// When "jinfo_cpp" fails, the "ij" request for the master's first job
// decides: element 4 is the URL when element 0 is true.
TEST_F(SetupBeginTest, IjFallbackWhenJobInfoFails) {
  const QX_TURL found(QX_TString("/jobs/found"));
  struct Row {
    const char* name;
    QX_TArray answer;
    const char* joburl;
  };
  const std::vector<Row> rows = {
      {"found", Array({true, QX_TInt32(0), QX_TInt32(0), QX_TInt32(0), found}), "file:///jobs/found"},
      {"not found", Array({false, QX_TInt32(0), QX_TInt32(0), QX_TInt32(0), found}), "(no value)"},
      {"found without a URL", Array({true, QX_TInt32(0), QX_TInt32(0), QX_TInt32(0), QX_TAny()}), "(no value)"},
      {"answer too short", Array({true}), "(no value)"},
      {"empty answer", Array({}), "(no value)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    servers.Clear();
    task.Names() = TName();
    ServeConfig();
    // The first job at the lower bound 1 of the master's "Jobs".
    SetJobs(Array({Job("brochure.pdf", "/in/brochure.pdf")}, 1));
    auto elem = ServeJobs({}, {{"file:///in/brochure.pdf", row.answer}});
    Define({"joburl", "jobfolderurl"});
    Option("OutputPath", QX_TString("/out/<joburl>"));
    RunBegin();

    ASSERT_EQ(elem->requests.size(), 2u);
    const QX_TDict& ij = elem->requests[1];
    EXPECT_EQ(T2D_CAST(QX_TString, ij["M"]).Str(), "ij");
    EXPECT_EQ(T2D_CAST(QX_TURL, ij["P1"]).Text().Str(), "file:///in/brochure.pdf");
    EXPECT_EQ(T2D_CAST(QX_TInt32, ij["P2"]).Value(), 1);
    EXPECT_EQ(NameValue("joburl"), row.joburl);
    EXPECT_EQ(NameValue("jobfolderurl"), row.joburl);
  }
}

TEST_F(SetupBeginTest, IjFailureEndsTheStep) {
  ServeConfig();
  ServeJobs();  // neither request answers
  Option("OutputPath", QX_TString("/out"));
  EXPECT_THROW(RunBegin(), std::exception);
}

TEST_F(SetupBeginTest, JobChecksOfATemplatedOutputPath) {
  struct Row {
    const char* name;
    std::vector<std::string> worksFor;
    const char* outputPath;
    const char* key;  // null: no failure
    const char* sentence;
  };
  const char* several = "CTicket2Dict_msbasetask::AddSetup begin - more than one job";
  const std::vector<Row> rows = {
      {"job, two jobs", {"J1", "J2"}, "/out/<Job>", "qxmsm.morethanonejob", several},
      {"job, no jobs", {}, "/out/<JOBURL>", "qxmsm.morethanonejob", several},
      {"job word outside a placeholder, two jobs", {"J1", "J2"}, "/job/<page>", "qxmsm.morethanonejob", several},
      {"file, two jobs", {"J1", "J2"}, "/out/<file>", "qxmsm.morethanonejob", several},
      {"job, empty job id", {""}, "/out/<joburl>", "qxmsm.nojob", "CTicket2Dict_msbasetask::AddSetup begin - no job"},
      {"file, empty job id", {""}, "/out/<file>", nullptr, nullptr},
      {"neither, two jobs", {"J1", "J2"}, "/out/<page>", nullptr, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    servers.Clear();
    task.Names() = TName();
    ServeConfig();
    ServeJobs({{"J1", Dict({{"Url", QX_TURL(QX_TString("/jobs/J1"))}})}});
    WorksFor(row.worksFor);
    Define({"file", "page", "joburl"});
    Option("OutputPath", QX_TString(row.outputPath));
    const size_t logged = Log().size();
    if (row.key == nullptr) {
      EXPECT_NO_THROW(RunBegin());
      EXPECT_EQ(Log().size(), logged);
      continue;
    }
    try {
      RunBegin();
      ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), row.sentence);
    }
    ASSERT_EQ(Log().size(), logged + 1);
    EXPECT_EQ(Log().back(), (std::pair<int, std::string>{2, row.key}));
  }
}

TEST_F(SetupBeginTest, MissingWorksForJobsMeansNoJob) {
  ServeConfig();
  ServeJobs();
  ticket.SetWorkDictionary(Dict({{"ResultsFromPreviousTask", QX_TDict()}}));
  Option("OutputPath", QX_TString("/out/<joburl>"));
  EXPECT_THROW(RunBegin(), std::runtime_error);
  EXPECT_EQ(Log().back(), (std::pair<int, std::string>{2, "qxmsm.nojob"}));
}

TEST_F(SetupBeginTest, TemplateNamesFilledOnlyWhenDefined) {
  ServeConfig();
  ServeJobs({{"J1", Dict({{"Url", QX_TURL(QX_TString("/jobs/J1"))}})}});
  SetJobs(Array({Job("brochure.v2.pdf")}));
  QX_TDict work = ticket.WorkDictionary();
  work.Add("Inputfolder", QX_TURL(QX_TString("/hot/in")));
  ticket.SetWorkDictionary(work);
  Define({"file", "fileurl", "ink", "sink", "page", "nink", "ripdate", "riptime"});
  Option("OutputPath", QX_TString("\\out\\<file>\\<ink>_<sink>_<nink>_<page>_<ripdate>_<riptime>"));
  Option("Conf", QX_TString("Fine"));
  RunBegin();

  EXPECT_EQ(NameValue("file"), "brochure.v2");
  EXPECT_EQ(NameValue("fileurl"), "file:///hot/in");
  EXPECT_EQ(NameValue("ink"), "<ink>");
  EXPECT_EQ(NameValue("sink"), "<sink>");
  EXPECT_EQ(NameValue("page"), "<page>");
  EXPECT_EQ(NameValue("nink"), "<nink>");
  EXPECT_EQ(NameValue("ripdate"), "<date>");
  EXPECT_EQ(NameValue("riptime"), "<time>");
  EXPECT_EQ(NameValue("joburl"), "(undefined)");
  EXPECT_EQ(NameValue("jobfolderurl"), "(undefined)");
  // Backslashes become slashes; the placeholders stay for the RIP.
  EXPECT_EQ(SetupItem("outdir"),
            (Written{"outdir", "\"file:///out/brochure.v2/<ink>_<sink>_<nink>_<page>_<date>_<time>\"", "OutputPath"}));
}

TEST_F(SetupBeginTest, PlaceholderNamesStayUndefined) {
  ServeConfig();
  ServeJobs({{"J1", Dict({{"Url", QX_TURL(QX_TString("/jobs/J1"))}})}});
  Define({"file"});
  Option("OutputPath", QX_TString("/out/<file>"));
  RunBegin();
  for (const char* name : {"ink", "sink", "page", "nink", "ripdate", "riptime", "fileurl", "joburl"})
    EXPECT_EQ(NameValue(name), "(undefined)") << name;
  EXPECT_EQ(NameValue("file"), "brochure");
}

TEST_F(SetupBeginTest, FileUrlFallsBackToTheFolderOfTheFirstJob) {
  ServeConfig();
  ServeJobs({{"J1", QX_TDict()}});  // no "Url": no job URL
  SetJobs(Array({Job("a.pdf", "/hot/folder/a.pdf")}));
  Define({"fileurl", "joburl"});
  Option("OutputPath", QX_TString("<fileurl>/out"));
  Option("Conf", QX_TString("Fine"));
  RunBegin();
  EXPECT_EQ(NameValue("fileurl"), "file:///hot/folder");
  EXPECT_EQ(NameValue("joburl"), "(no value)");
  EXPECT_EQ(SetupItem("outdir"), (Written{"outdir", "\"file:///hot/folder/out\"", "OutputPath"}));
}

TEST_F(SetupBeginTest, UnresolvableOutputPathIsUnknown) {
  ServeConfig();
  ServeJobs({{"J1", QX_TDict()}});
  Define({"file"});
  Option("OutputPath", QX_TString("relative/<file>"));  // neither a URL nor an absolute path
  Option("Conf", QX_TString("Fine"));
  RunBegin();
  EXPECT_EQ(SetupItem("outdir"), (Written{"outdir", "\"Unknown\"", "OutputPath"}));
}

TEST_F(SetupBeginTest, NoConfWritesNothing) {
  auto cfs = ServeConfig();
  ServeJobs({{"J1", QX_TDict()}});
  Option("OutputPath", QX_TString("/out"));
  RunBegin();
  EXPECT_TRUE(Setup().empty());
  EXPECT_TRUE(cfs->calls.empty());
}

TEST_F(SetupBeginTest, ConfigurationChoice) {
  const QX_TTree configurations = Tree({{"B", Tree({{"Outdir", QX_TString("")}})},
                                        {"A", Tree({{"Outdir", QX_TString("/a")}})},
                                        {"D", Tree({})},
                                        {"C", Tree({{"Outdir", QX_TString("/c")}})}});
  const QX_TTree allOwnFolders =
      Tree({{"A", Tree({{"Outdir", QX_TString("/a")}})}, {"B", Tree({{"Outdir", QX_TString("/b")}})}});
  struct Row {
    const char* name;
    QX_TTree tree;
    QX_TAny outputPath;  // illegal: no "OutputPath"
    std::vector<Written> expected;
    bool asked;
  };
  const std::vector<Row> rows = {
      {"empty output path: every configuration, smallest name", configurations, QX_TString(""),
       {{"conf", "A", "Configuration"}}, true},
      {"output path: only those without a folder of their own", configurations, QX_TString("/out"),
       {{"conf", "B", "Configuration"}, {"outdir", "\"/out\"", "Output Directory"}}, true},
      {"output path, every configuration has a folder", allOwnFolders, QX_TString("/out"),
       {{"outdir", "\"/out\"", "Output Directory"}}, true},
      {"no output path: nothing", configurations, QX_TAny(), {}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    servers.Clear();
    TestConverter fresh(task);
    fresh.masterName = "M1";
    auto cfs = ServeConfig({{"Devices/Instances/PS1/Rip/Config/Config", row.tree}});
    ServeJobs({{"J1", QX_TDict()}});
    QX_TDict options = Dict({{"Conf", QX_TString("")}});
    if (!row.outputPath.IsIllegal()) options.Add("OutputPath", row.outputPath);
    fresh.AddSetup_begin(ticket, options, 0);

    std::vector<Written> written;
    if (const CParamSection* s = fresh.Dictionary().FindSection("setup"))
      for (auto& item : s->Items()) written.emplace_back(item.key, item.value, item.comment.value_or("(none)"));
    EXPECT_EQ(written, row.expected);
    EXPECT_EQ(cfs->calls.size(), row.asked ? 1u : 0u);
  }
}

TEST_F(SetupBeginTest, ConfigurationNotAvailable) {
  struct Row {
    const char* name;
    std::map<std::string, QX_TAny> values;
  };
  const std::vector<Row> rows = {
      {"no answer", {}},
      {"not a tree", {{"Devices/Instances/PS1/Rip/Config/Config", QX_TString("x")}}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    servers.Clear();
    ServeConfig(row.values);
    ServeJobs({{"J1", QX_TDict()}});
    Option("Conf", QX_TString(""));
    Option("OutputPath", QX_TString("/out"));
    const size_t logged = Log().size();
    try {
      RunBegin();
      ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), "CTicket2Dict_msbasetask::AddSetup begin - configuration not available");
    }
    ASSERT_EQ(Log().size(), logged + 1);
    EXPECT_EQ(Log().back(), (std::pair<int, std::string>{2, "qxmsm.confnotavailable"}));
  }
}

TEST_F(SetupBeginTest, LongValuesAreWrittenWhole) {
  ServeConfig();
  ServeJobs({{"J1", QX_TDict()}});
  const std::string path = "/" + std::string(1999, 'p');
  const std::string conf(2000, 'c');
  Option("OutputPath", QX_TString(path));
  Option("Conf", QX_TString(conf));
  RunBegin();
  EXPECT_EQ(std::get<1>(SetupItem("conf")), "\"" + conf + "\"");
  EXPECT_EQ(std::get<1>(SetupItem("outdir")), "\"" + path + "\"");
}

}  // namespace

namespace {

using namespace setup_test;

// A failing setup step leaves three level-2 lines: its own key, the frame's
// "qxmsm.failaddsetup" and its sentence; the later setup steps, the CIP3
// options and the environment don't run, the items before stay.
TEST_F(SetupBeginTest, SetupStepFailuresThroughTheFrame) {
  struct Row {
    const char* name;
    std::function<void()> arrange;
    const char* key;
    const char* sentence;
    const char* lastItem;
  };
  const std::vector<Row> rows = {
      {"begin: more than one job",
       [this] {
         WorksFor({"J1", "J2"});
         Option("OutputPath", QX_TString("/out/<joburl>"));
       },
       "qxmsm.morethanonejob", "CTicket2Dict_msbasetask::AddSetup begin - more than one job", "ShortID"},
      {"begin: configuration not available",
       [this] {
         Option("Conf", QX_TString(""));
         Option("OutputPath", QX_TString("/out"));
       },
       "qxmsm.confnotavailable", "CTicket2Dict_msbasetask::AddSetup begin - configuration not available", "ShortID"},
      {"end: the ticket's plate width is 0",
       [this] {
         // The global setup reads the master it is handed, the setup end
         // the ticket's master: only the ticket's says 0.
         QX_TDict ticketMaster = Master();
         ticketMaster.Add("Info", Dict({{"WidthM", QX_TInt32(0)}}));
         QX_TDict parameters = ticket.Configuration();
         parameters.Add("Masters", Dict({{"Order", Array({QX_TString("M1")})}, {"M1", ticketMaster}}));
         ticket.SetConfiguration(parameters);
         Master().Add("Options", Dict({{"Left", true}}));
       },
       "qxmsm.invalidplatesizes", "CTicket2Dict_msbasetask::AddSetup end - invalid plate sizes (horizontal)",
       "left"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    servers.Clear();
    ServeConfig();
    ServeJobs({{"J1", QX_TDict()}});
    Serve("FileServer");
    Serve("QXCMS");
    TestConverter fresh(task);
    row.arrange();
    QX_TArray jobs;
    fresh.SetupDict(ticket, Master(), "M1", 0, 0, jobs, 0, 0, 0, 0, "");
    EXPECT_EQ(LogTail(3), (std::vector<std::pair<int, std::string>>{
                              {2, row.key}, {2, "qxmsm.failaddsetup"}, {2, row.sentence}}));
    const auto& items = fresh.Dictionary().FindSection("setup")->Items();
    EXPECT_EQ(items.back().key, row.lastItem);
    EXPECT_EQ(fresh.Dictionary().FindSection("environment"), nullptr);
  }
}

}  // namespace
