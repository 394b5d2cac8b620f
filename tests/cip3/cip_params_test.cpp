// The CIP3 parameter files: the copies beside the templates, their header
// values, their registration with the task, and the "setup" items.
#include <optional>
#include <string>
#include <vector>

#include "cip3_fixture.h"
#include "rdbshared.h"

namespace cip3test {
namespace {

std::string Value(const std::string& path, const char* section, const char* key) {
  RDB_HANDLE db = rdb_open_push(path.c_str(), nullptr);
  if (!db) return "(no file)";
  const char* value = nullptr;
  rdb_search(db, section, key, &value);
  std::string text = value;
  rdb_close(db);
  return text;
}

using SetupList = std::vector<std::tuple<std::string, std::string, std::string>>;

class CipParamsTest : public Cip3Test {
 protected:
  SetupList SetupItems() const {
    SetupList out;
    for (const CParamItem& item : Items("setup")) out.emplace_back(item.key, item.value, item.comment.value_or("(none)"));
    return out;
  }
  std::vector<std::pair<std::string, bool>> TempFiles() const {
    std::vector<std::pair<std::string, bool>> out;
    for (const TW_TTempFile& file : task.TempFiles()) out.emplace_back(file.url.Text().Str(), file.keep);
    return out;
  }
  // Runs the step and answers the text of its failure ("" for none).
  std::string Run(QX_TDict cip) {
    try {
      converter.DoCIPParams(ticket, cip);
    } catch (const std::exception& e) {
      EXPECT_FALSE(IplClientOf::Held(converter));
      return e.what();
    }
    EXPECT_FALSE(IplClientOf::Held(converter));
    return "";
  }
  static constexpr const char* kGeneral = "CTicket2Dict_msbasetask::DoCIPParams - general";
};

TEST_F(CipParamsTest, WritesBothCopiesRegistersThemAndWritesTheSetupItems) {
  // The step keeps its IPL proxy on the converter while it runs.
  bool heldWhileRunning = false;
  iplServer->On("GetDataIPL", [&](const std::vector<QX_TAny>&) {
    heldWhileRunning = IplClientOf::Held(converter);
    return QX_TAny(QX_TURL::LocalToURL(ipl));
  });
  ASSERT_EQ(Run(FullCip()), "");
  EXPECT_TRUE(heldWhileRunning);

  // The templates stay as they were; the copies lie beside them.
  EXPECT_EQ(ReadFile(ipl + "/plate.ini"), kPlateTemplate);
  EXPECT_EQ(ReadFile(ipl + "/press.dat"), kPressTemplate);
  EXPECT_EQ(Listing(ipl), (std::vector<std::string>{"plate.ini", "plate.iniA12.ini", "press.dat",
                                                    "press.datA12.dat"}));
  EXPECT_EQ(Listing(root), std::vector<std::string>{"ipl"});

  // Press copy: the IPL data folder, as the template names none.
  EXPECT_EQ(Value(PressCopy(), "Header", "OutputDirectory"), Url(ipl) + "/");
  EXPECT_EQ(Value(PressCopy(), "Header", "Press"), "Lindwell Fourcolour");

  // Plate copy: every header row; the press copy named by its URL text.
  const std::vector<std::tuple<const char*, const char*, std::string>> rows = {
      {"JOB", "PressConfigFile", Url(PressCopy())},
      {"JOB", "JobName", "brochure"},
      {"JOB", "PageSide", "Front"},
      {"CIP3", "JobName", "Brochure 2027"},
      {"CIP3", "SheetName", "Sheet 1"},
      {"CIP3", "JobCode", "J-17"},
      {"CIP3", "Customer", "ACME Print"},
      {"CIP3", "Artist", "alice"},
      {"CIP3", "Software", "Kestrel"},
      {"CIP3", "Make", "Brackwater Pressworks"},
      {"Inks", "Zones", "32"},
  };
  for (const auto& [section, key, value] : rows) EXPECT_EQ(Value(PlateCopy(), section, key), value) << key;
  // The copy keeps the template's comments, sections and key order.
  const std::string plate = ReadFile(PlateCopy());
  EXPECT_NE(plate.find("; CIP3 plate settings"), std::string::npos);
  EXPECT_NE(plate.find("; header of the CIP3 file"), std::string::npos);
  EXPECT_LT(plate.find("[JOB]"), plate.find("[CIP3]"));
  EXPECT_LT(plate.find("[CIP3]"), plate.find("[Inks]"));
  EXPECT_LT(plate.find("Artist="), plate.find("Software="));
  EXPECT_LT(plate.find("Software="), plate.find("Make="));

  // Registered press copy first, then the plate copy, with the keep switch.
  EXPECT_EQ(TempFiles(), (std::vector<std::pair<std::string, bool>>{{Url(PressCopy()), false},
                                                                    {Url(PlateCopy()), false}}));
  EXPECT_EQ(SetupItems(), (SetupList{{"inkplan", Url(PlateCopy()), "CIP loaded this"},
                                 {"cip3_paper_weight", "115", "CIP loaded this"},
                                 {"cip3_paper_thickness", "0.1", "CIP loaded this"}}));
  EXPECT_TRUE(task.Log().empty());
  EXPECT_EQ(iplServer->calls.size(), 1u);
}

TEST_F(CipParamsTest, KeepSwitch) {
  struct Row {
    const char* name;
    std::optional<QX_TAny> value;  // none: no "Keep_CIP_ini"
    bool keep;
  };
  const std::vector<Row> rows = {
      {"\"0\"", QX_TAny(QX_TString("0")), false},  {"\"1\"", QX_TAny(QX_TString("1")), true},
      {"empty", QX_TAny(QX_TString("")), true},    {"\"00\"", QX_TAny(QX_TString("00")), true},
      {"\"no\"", QX_TAny(QX_TString("no")), true}, {"missing", std::nullopt, false},
      {"not a text", QX_TAny(QX_TInt32(1)), false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    QX_TDict cip = FullCip();
    cip.Remove("Keep_CIP_ini");
    if (row.value) cip.Add("Keep_CIP_ini", *row.value);
    rowConverter.DoCIPParams(ticket, cip);
    ASSERT_EQ(rowTask.TempFiles().size(), 2u);
    EXPECT_EQ(rowTask.TempFiles()[0].url.Text().Str(), Url(PressCopy()));
    EXPECT_EQ(rowTask.TempFiles()[0].keep, row.keep);
    EXPECT_EQ(rowTask.TempFiles()[1].url.Text().Str(), Url(PlateCopy()));
    EXPECT_EQ(rowTask.TempFiles()[1].keep, row.keep);
    EXPECT_TRUE(rowTask.Log().empty());
  }
}

TEST_F(CipParamsTest, OutputDirectoryOfThePressTemplate) {
  struct Row {
    const char* name;
    std::string directory;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"empty: the IPL data folder", "", Url(ipl) + "/"},
      {"a named folder", "/srv/cip3/out", "file:///srv/cip3/out/"},
      {"a slash is added even after a slash", "/srv/cip3/out/", "file:///srv/cip3/out//"},
      {"a UNC folder", "\\\\filer\\cip3", "file://filer/cip3/"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFile(ipl + "/press.dat", "[Header]\nOutputDirectory=" + row.directory + "\n");
    ASSERT_EQ(Run(FullCip()), "");
    EXPECT_EQ(Value(PressCopy(), "Header", "OutputDirectory"), row.expected);
  }
}

TEST_F(CipParamsTest, PaperItemsOnlyWhenGiven) {
  QX_TDict noThickness = FullCip();
  noThickness.Remove("Cip_PaperThickness");
  ASSERT_EQ(Run(noThickness), "");
  EXPECT_EQ(Keys("setup"), (std::vector<std::string>{"inkplan", "cip3_paper_weight"}));

  TW_TTask otherTask;
  TestConverter other(otherTask);
  QX_TDict neither = FullCip();
  neither.Remove("Cip_PaperThickness");
  neither.Remove("Cip_PaperWeight");
  other.DoCIPParams(ticket, neither);
  ASSERT_NE(other.Dictionary().FindSection("setup"), nullptr);
  EXPECT_EQ(other.Dictionary().FindSection("setup")->Items().size(), 1u);
  EXPECT_EQ(other.Dictionary().FindSection("setup")->Items()[0].key, "inkplan");
}

// A required key missing after the plate copy was opened: the handle is
// released without a flush, the press copy is already done, no item.
TEST_F(CipParamsTest, MissingRequiredKeyAfterThePlateCopyWasOpened) {
  for (const char* missing : {"Cip_Software", "PageSide", "Cip_Make", "OutputFileName"}) {
    SCOPED_TRACE(missing);
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    QX_TDict cip = FullCip();
    cip.Remove(missing);
    EXPECT_THROW(
        {
          try {
            rowConverter.DoCIPParams(ticket, cip);
          } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), kGeneral);
            throw;
          }
        },
        std::runtime_error);
    EXPECT_FALSE(IplClientOf::Held(rowConverter));
    EXPECT_EQ(ReadFile(PlateCopy()), kPlateTemplate);  // opened, edited in memory, not flushed
    EXPECT_EQ(Value(PressCopy(), "Header", "OutputDirectory"), Url(ipl) + "/");
    EXPECT_EQ(rowTask.TempFiles().size(), 2u);
    EXPECT_EQ(rowConverter.Dictionary().FindSection("setup"), nullptr);
    EXPECT_TRUE(rowTask.Log().empty());
  }
}

TEST_F(CipParamsTest, PressCopyThatCannotBeOpened) {
  // A press template that is no text: it is copied, but the copy can't be
  // opened as a resource database.
  WriteFile(ipl + "/press.dat", std::string("[Header]\0binary", 15));
  EXPECT_EQ(Run(FullCip()), kGeneral);
  EXPECT_EQ(ReadFile(PlateCopy()), kPlateTemplate);  // no plate copy is edited
  EXPECT_EQ(TempFiles().size(), 2u);
  EXPECT_TRUE(Items("setup").empty());
}

// A failed copy fails the step instead of editing an older copy of the
// same name.
TEST_F(CipParamsTest, FailedCopyIsDetected) {
  WriteFile(PressCopy(), "[Header]\nOutputDirectory=/older/run\n");
  unlink((ipl + "/press.dat").c_str());
  EXPECT_EQ(Run(FullCip()), kGeneral);
  EXPECT_EQ(ReadFile(PressCopy()), "[Header]\nOutputDirectory=/older/run\n");
  EXPECT_TRUE(task.TempFiles().empty());
  EXPECT_TRUE(Items("setup").empty());

  // The same for the plate template.
  WriteFile(ipl + "/press.dat", kPressTemplate);
  WriteFile(PlateCopy(), "[JOB]\nJobName=older\n");
  unlink((ipl + "/plate.ini").c_str());
  EXPECT_EQ(Run(FullCip()), kGeneral);
  EXPECT_EQ(ReadFile(PlateCopy()), "[JOB]\nJobName=older\n");
  EXPECT_TRUE(task.TempFiles().empty());
}

// A task whose registry of temporary files refuses its `failAt`-th entry.
struct RefusingTask : TW_TTask {
  int failAt = -1;
  int calls = 0;
  TW_TTask& RegisterTempFile(const QX_TURL& url, bool keep) override {
    if (calls++ == failAt) throw std::runtime_error("registry refused " + url.Text().Str());
    return TW_TTask::RegisterTempFile(url, keep);
  }
};

// Whatever fails once a copy exists, no copy stays on disk without being on
// the task's list, so that the task's cleanup finds every one.
TEST_F(CipParamsTest, NoFailureLeavesACopyOffTheTasksList) {
  struct Row {
    const char* name;
    bool pressTemplateMissing;
    int registrationFailing;  // -1: none
    std::vector<std::string> files;
    size_t listed;  // the press copy, when 1
  };
  const std::vector<Row> rows = {
      {"press template missing", true, -1, {"plate.ini"}, 0},
      {"press copy refused by the registry", false, 0, {"plate.ini", "press.dat"}, 0},
      {"plate copy refused by the registry", false, 1, {"plate.ini", "press.dat", "press.datA12.dat"}, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RemoveTree(ipl);
    mkdir(ipl.c_str(), 0700);
    WriteFile(ipl + "/plate.ini", kPlateTemplate);
    if (!row.pressTemplateMissing) WriteFile(ipl + "/press.dat", kPressTemplate);
    RefusingTask rowTask;
    rowTask.failAt = row.registrationFailing;
    TestConverter rowConverter(rowTask);
    QX_TDict cip = FullCip();
    EXPECT_THROW(rowConverter.DoCIPParams(ticket, cip), std::exception);
    EXPECT_EQ(Listing(ipl), row.files);
    ASSERT_EQ(rowTask.TempFiles().size(), row.listed);
    if (row.listed) {
      EXPECT_EQ(rowTask.TempFiles()[0].url.Text().Str(), Url(PressCopy()));
    }
  }
}

// Template names that would put a copy outside the IPL data folder are
// refused before anything is written.
TEST_F(CipParamsTest, NamesLeadingOutOfTheDataFolderAreRefused) {
  WriteFile(root + "/plate.ini", kPlateTemplate);
  const std::vector<std::string> names = {"../plate.ini", "sub/plate.ini", "/etc/plate.ini", "..\\plate.ini",
                                          "..", ".", std::string("plate.ini\0/../x", 15)};
  for (const char* key : {"PlateSettingFile", "PressConfigFile"}) {
    for (const std::string& name : names) {
      SCOPED_TRACE(std::string(key) + " = " + name);
      TW_TTask rowTask;
      TestConverter rowConverter(rowTask);
      QX_TDict cip = FullCip();
      cip.Add(key, QX_TString(name));
      std::string failure;
      try {
        rowConverter.DoCIPParams(ticket, cip);
      } catch (const std::exception& e) {
        failure = e.what();
      }
      EXPECT_EQ(failure, kGeneral);
      ASSERT_EQ(rowTask.Log().size(), 1u);
      EXPECT_EQ(rowTask.Log()[0].level, 2);
      EXPECT_NE(rowTask.Log()[0].text.find(key), std::string::npos) << rowTask.Log()[0].text;
      EXPECT_EQ(Listing(ipl), (std::vector<std::string>{"plate.ini", "press.dat"}));
      EXPECT_EQ(Listing(root), (std::vector<std::string>{"ipl", "plate.ini"}));
      EXPECT_TRUE(rowTask.TempFiles().empty());
      EXPECT_EQ(rowConverter.Dictionary().FindSection("setup"), nullptr);
    }
  }
}

TEST_F(CipParamsTest, ShortIdentifier) {
  // 95 characters fit the names of the copies.
  const std::string longest(95, 'S');
  ticket.SetShortID(longest);
  ASSERT_EQ(Run(FullCip()), "");
  EXPECT_EQ(Item("setup", "inkplan")->value, Url(ipl + "/plate.ini" + longest + ".ini"));
  EXPECT_EQ(ReadFile(ipl + "/press.dat" + longest + ".dat").empty(), false);

  struct Row {
    const char* name;
    std::string id;
    const char* logged;  // part of the level-2 sentence
  };
  const std::vector<Row> rows = {
      {"96 characters", std::string(96, 'S'), "\"ShortID\" is 96 characters long; at most 95 are allowed"},
      {"a slash", "A/../../x", "\"ShortID\""},
      {"a backslash", "A\\x", "\"ShortID\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RemoveTree(ipl);
    mkdir(ipl.c_str(), 0700);
    WriteFile(ipl + "/plate.ini", kPlateTemplate);
    WriteFile(ipl + "/press.dat", kPressTemplate);
    TW_TTask rowTask;
    TestConverter rowConverter(rowTask);
    ticket.SetShortID(row.id);
    QX_TDict cip = FullCip();
    std::string failure;
    try {
      rowConverter.DoCIPParams(ticket, cip);
    } catch (const std::exception& e) {
      failure = e.what();
    }
    EXPECT_EQ(failure, kGeneral);
    ASSERT_EQ(rowTask.Log().size(), 1u);
    EXPECT_EQ(rowTask.Log()[0].level, 2);
    EXPECT_NE(rowTask.Log()[0].text.find(row.logged), std::string::npos) << rowTask.Log()[0].text;
    EXPECT_EQ(Listing(ipl), (std::vector<std::string>{"plate.ini", "press.dat"}));
    EXPECT_EQ(Listing(root), std::vector<std::string>{"ipl"});
    EXPECT_TRUE(rowTask.TempFiles().empty());
  }
}

TEST_F(CipParamsTest, ValueWithALineBreakIsRefusedNotWritten) {
  QX_TDict cip = FullCip();
  cip.Add("Cip_Customer", QX_TString("ACME\n[JOB]\nPressConfigFile=/etc/passwd"));
  EXPECT_EQ(Run(cip), kGeneral);
  EXPECT_EQ(ReadFile(PlateCopy()), kPlateTemplate);
  EXPECT_TRUE(Items("setup").empty());
}

TEST_F(CipParamsTest, IplServerFailures) {
  // No IPL server: the proxy can't connect.
  servers.Clear();
  EXPECT_EQ(Run(FullCip()), kGeneral);
  // "GetDataIPL" fails, or answers no URL.
  Serve("IPLServer");
  EXPECT_EQ(Run(FullCip()), kGeneral);
  Serve("IPLServer")->Answer("GetDataIPL", QX_TString(ipl));
  EXPECT_EQ(Run(FullCip()), kGeneral);
  EXPECT_EQ(Listing(ipl), (std::vector<std::string>{"plate.ini", "press.dat"}));
  EXPECT_TRUE(task.Log().empty());
  EXPECT_TRUE(task.TempFiles().empty());
}

TEST_F(CipParamsTest, ProxyFollowsQxServer) {
  ScopedEnv env("QX_SERVER", "iplhost");
  servers.Clear();
  EXPECT_EQ(Run(FullCip()), kGeneral);  // the default server is not asked
  Serve("IPLServer", "iplhost")->Answer("GetDataIPL", QX_TURL::LocalToURL(ipl));
  EXPECT_EQ(Run(FullCip()), "");
}

}  // namespace
}  // namespace cip3test
