// Job inks and ink selection: which inks get an entry, their indexes, the
// "Designer" name check and the ink selection "inksel".
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "converter_fixture.h"

namespace {

const char* const kDesignerSentence = "Error: This job contains an ink name longer than 15 characters (max)";
const char* const kDesignerFailure =
    "CTicket2Dict_msbasetask::AddJobInfoGlobal - job with ink name longer than 15 characters  ";

QX_TDict Ink(const std::string& color, const char* type = "process") {
  QX_TDict ink;
  ink.Add("Color", QX_TString(color));
  if (type) ink.Add("Type", QX_TString(type));
  return ink;
}

QX_TDict Unselected(const std::string& color) {
  QX_TDict ink = Ink(color);
  ink.Add("Selected", QX_TInt32(0));
  return ink;
}

QX_TArray Array(std::initializer_list<QX_TAny> values) {
  QX_TArray array;
  for (const QX_TAny& value : values) array.Append(value);
  return array;
}

class InkSelectionTest : public ConversionTest {
 protected:
  InkSelectionTest() {
    converter.masterName = "M1";
    converter.dispatcherVersion = 704000;
    QX_TDict masters;
    masters.Add("M1", EmptyMaster());
    QX_TDict configuration;
    configuration.Add("Masters", masters);
    ticket.SetConfiguration(configuration);
    Serve("FileServer")->On("Query", [this](const std::vector<QX_TAny>& arguments) {
      QX_TDict answer = qx_cast<QX_TDict>(arguments.at(1), "test", 0);
      answer.Add("Type", QX_TString(isPdf ? "pdfsc" : "gro"));
      return QX_TAny(answer);
    });
    job.Add("FileSpec", QX_TURL(QX_TString("/in/job")));
    Serve("QXCMS")->Answer("TIDB_InkExists", QX_TAny(true));
  }

  std::string Run(int jobFlag) {
    try {
      converter.AddJobInfoGlobal(ticket, job, 1, jobFlag, jobArray);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  }

  // The ink entries' keys, in order, and their values.
  std::vector<std::string> InkKeys() const {
    std::vector<std::string> keys;
    for (const CParamItem& item : JobItems(1))
      if (item.key.rfind("ink", 0) == 0) keys.push_back(item.key);
    return keys;
  }
  std::string Value(const char* key) const {
    const CParamItem* item = JobItem(1, key);
    return item ? item->value : "-";
  }

  bool isPdf = false;
  QX_TDict job;
  QX_TArray jobArray;
};

TEST_F(InkSelectionTest, InksAndGroupsFromTheHost) {
  jobArray = Array({Ink("W"), Array({Ink("X"), Ink("Y")}), Ink("Z")});
  EXPECT_EQ(Run(1), "");
  EXPECT_EQ(InkKeys(), (std::vector<std::string>{"ink", "ink1", "ink2", "ink3", "inksel"}));
  EXPECT_EQ(Value("ink"), "\"(W,process)\"");
  EXPECT_EQ(Value("ink1"), "\"(X,process)\"");
  EXPECT_EQ(Value("ink2"), "\"(Y,process)\"");
  EXPECT_EQ(Value("ink3"), "\"(Z,process)\"");
  EXPECT_EQ(Value("inksel"), "ink,ink1+ink2,ink3");
  for (const std::string& key : InkKeys())
    EXPECT_EQ(JobItem(1, key.c_str())->comment, std::optional<std::string>("")) << key;
  // The inks come last, after the screening items.
  EXPECT_EQ(JobKeys(1).back(), "inksel");
  EXPECT_EQ(JobKeys(1)[JobKeys(1).size() - 6], "Tessaro_GRO");
}

TEST_F(InkSelectionTest, UnselectedGroupMemberKeepsThePlusOfTheNext) {
  jobArray = Array({Ink("W"), Array({Unselected("X"), Ink("Y")}), Ink("Z")});
  Run(1);
  EXPECT_EQ(InkKeys(), (std::vector<std::string>{"ink", "ink1", "ink2", "inksel"}));
  EXPECT_EQ(Value("ink1"), "\"(Y,process)\"");
  EXPECT_EQ(Value("inksel"), "ink+ink1,ink2");
}

TEST_F(InkSelectionTest, FirstInkUnselected) {
  jobArray = Array({Unselected("W"), Ink("X"), Array({Ink("Y"), Ink("Z")})});
  Run(1);
  EXPECT_EQ(Value("ink"), "\"(X,process)\"");
  EXPECT_EQ(Value("inksel"), "ink,ink1+ink2");
}

TEST_F(InkSelectionTest, SelectedOneAndMissingCountAsSelected) {
  QX_TDict selected = Ink("X");
  selected.Add("Selected", QX_TInt32(1));
  jobArray = Array({Ink("W"), Unselected("V"), selected});
  Run(1);
  EXPECT_EQ(Value("ink1"), "\"(X,process)\"");
  EXPECT_EQ(Value("inksel"), "ink,ink1");
}

TEST_F(InkSelectionTest, NothingSelectedWritesNoSelection) {
  jobArray = Array({Unselected("W"), Array({Unselected("X")})});
  EXPECT_EQ(Run(1), "");
  EXPECT_TRUE(InkKeys().empty());
  jobArray = QX_TArray();
  EXPECT_EQ(Run(1), "");
  EXPECT_TRUE(InkKeys().empty());
}

TEST_F(InkSelectionTest, JobInksWithoutSelection) {
  job.Add("Ink", Array({Ink("C"), Unselected("M"), Ink("Y")}));
  jobArray = Array({Ink("Host ink")});
  Run(0);
  EXPECT_EQ(InkKeys(), (std::vector<std::string>{"ink", "ink1"}));
  EXPECT_EQ(Value("ink1"), "\"(Y,process)\"");
}

TEST_F(InkSelectionTest, HostInksIgnoreTheJobsInks) {
  job.Add("Ink", Array({Ink("C")}));
  jobArray = Array({Ink("K")});
  Run(1);
  EXPECT_EQ(Value("ink"), "\"(K,process)\"");
  EXPECT_EQ(Value("inksel"), "ink");
}

TEST_F(InkSelectionTest, JobInksWithALowerBound) {
  QX_TArray inks(4);
  inks.Append(Ink("C"));
  inks.Append(Ink("M"));
  job.Add("Ink", inks);
  Run(0);
  EXPECT_EQ(InkKeys(), (std::vector<std::string>{"ink", "ink1"}));
}

// An ink that gets no entry (no "Type" here) takes no index and no place in
// the selection, and can't repeat the previous ink's entry.
TEST_F(InkSelectionTest, InkWithoutEntryIsLeftOut) {
  QX_TDict noType = Ink("X", nullptr);
  noType.Add("InkBook", QX_TString("process"));
  jobArray = Array({Ink("W"), Array({noType, Ink("Y")}), noType, Ink("Z")});
  EXPECT_EQ(Run(1), "");
  EXPECT_EQ(InkKeys(), (std::vector<std::string>{"ink", "ink1", "ink2", "inksel"}));
  EXPECT_EQ(Value("ink1"), "\"(Y,process)\"");
  EXPECT_EQ(Value("ink2"), "\"(Z,process)\"");
  EXPECT_EQ(Value("inksel"), "ink+ink1,ink2");
}

TEST_F(InkSelectionTest, InkWithoutNameIsLeftOutOfAPdfJobAndFailsAnyOther) {
  QX_TDict noName;
  noName.Add("Type", QX_TString("process"));
  jobArray = Array({noName, Ink("Y")});
  isPdf = true;
  EXPECT_EQ(Run(1), "");
  EXPECT_EQ(InkKeys(), (std::vector<std::string>{"ink", "inksel"}));
  EXPECT_EQ(Value("ink"), "\"(Y,process)\"");
  EXPECT_EQ(Value("inksel"), "ink");

  isPdf = false;
  EXPECT_NE(Run(1).find("QX_EIllegalCast"), std::string::npos);
}

// A flavour whose entries may have a key but no value: such an ink is
// counted and selected, but has no entry.
class KeyOnlyConverter : public TestConverter {
 public:
  using TestConverter::TestConverter;
  void Ink2IniEntry(QX_TDict& ink, int index, char* key, char* value, bool isPdfJob) override {
    TestConverter::Ink2IniEntry(ink, index, key, value, isPdfJob);
    if (T2D_CAST(QX_TString, ink["Color"]) == "Varnish") value[0] = '\0';
  }
};

TEST_F(InkSelectionTest, EntryWithoutValueIsSelectedButNotWritten) {
  KeyOnlyConverter flavoured(task);
  flavoured.masterName = "M1";
  flavoured.dispatcherVersion = 704000;
  jobArray = Array({Ink("W"), Ink("Varnish"), Ink("Z")});
  flavoured.AddJobInfoGlobal(ticket, job, 1, 1, jobArray);
  const CParamSection* section = flavoured.Dictionary().FindJobSection(1);
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(section->Find("ink1"), nullptr);
  EXPECT_EQ(section->Find("ink2")->value, "\"(Z,process)\"");
  EXPECT_EQ(section->Find("inksel")->value, "ink,ink1,ink2");
}

struct DesignerRow {
  const char* name;
  const char* inkBook;  // null: none
  const char* type;
  size_t nameLength;
  bool isPdf;
  bool fails;
  const char* color = nullptr;  // the name itself; null: nameLength times 'd'
};

class InkDesignerTest : public InkSelectionTest, public ::testing::WithParamInterface<DesignerRow> {};

TEST_P(InkDesignerTest, NameCheck) {
  const DesignerRow& row = GetParam();
  isPdf = row.isPdf;
  QX_TDict ink = Ink(row.color ? std::string(row.color) : std::string(row.nameLength, 'd'), row.type);
  if (row.inkBook) ink.Add("InkBook", QX_TString(row.inkBook));
  jobArray = Array({Ink("Cyan"), ink, Ink("Black")});
  const std::string failure = Run(1);
  if (row.fails) {
    EXPECT_EQ(failure, kDesignerFailure);
    EXPECT_EQ(task.Log().back().text, kDesignerSentence);
    EXPECT_EQ(task.Log().back().level, 2);
    // The earlier ink's entry stays; nothing after it, no selection.
    EXPECT_EQ(InkKeys(), (std::vector<std::string>{"ink"}));
  } else {
    EXPECT_EQ(failure, "");
    EXPECT_EQ(InkKeys(), (std::vector<std::string>{"ink", "ink1", "ink2", "inksel"}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Books, InkDesignerTest,
    ::testing::Values(DesignerRow{"Fifteen", "Designer", "spot", 15, false, false},
                      DesignerRow{"Sixteen", "Designer", "spot", 16, false, true},
                      DesignerRow{"TypeWhenNoBook", nullptr, "Designer", 16, false, true},
                      DesignerRow{"BookBeforeType", "Metallics", "Designer", 16, false, false},
                      DesignerRow{"CaseSensitive", "designer", "spot", 16, false, false},
                      DesignerRow{"PdfJob", "Designer", "spot", 20, true, false},
                      // The limit counts characters, not bytes: 14 characters in 28 bytes pass.
                      DesignerRow{"FourteenTwoByteCharacters", "Designer", "spot", 0, false, false,
                                  "\u00c4\u00d6\u00dc\u00e4\u00f6\u00fc\u00df\u00c4\u00d6\u00dc\u00e4\u00f6\u00fc\u00df"},
                      DesignerRow{"SixteenTwoByteCharacters", "Designer", "spot", 0, false, true,
                                  "\u00c4\u00d6\u00dc\u00e4\u00f6\u00fc\u00df\u00c4\u00d6\u00dc\u00e4\u00f6\u00fc\u00df"
                                  "\u00c4\u00d6"},
                      // A faulty sequence counts as one character, even cut short at the end.
                      DesignerRow{"FifteenWithFaultySequences", "Designer", "spot", 0, false, false,
                                  "\xff\xe2\x82" "abcdefghijkl\xc3"},
                      DesignerRow{"SixteenWithFaultySequences", "Designer", "spot", 0, false, true,
                                  "\xff\xe2\x82" "abcdefghijklm\xc3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InkSelectionTest, JobInksAreCheckedToo) {
  QX_TDict designer = Ink(std::string(16, 'd'), "Designer");
  job.Add("Ink", Array({designer}));
  EXPECT_EQ(Run(0), kDesignerFailure);
}

// Outside groups, keys that no longer fit are left out silently.
TEST_F(InkSelectionTest, SelectionBoundOutsideGroups) {
  QX_TArray inks;
  for (int i = 0; i < 500; ++i) inks.Append(Ink("I" + std::to_string(i)));
  jobArray = inks;
  EXPECT_EQ(Run(1), "");
  EXPECT_EQ(Value("ink499"), "\"(I499,process)\"");
  const std::string selection = Value("inksel");
  EXPECT_LT(selection.size(), 2048u);
  // The selection is "ink,ink1,...,inkN", and the next key would not fit.
  const size_t last = selection.rfind(",ink");
  ASSERT_NE(last, std::string::npos);
  const int n = std::stoi(selection.substr(last + 4));
  std::string expected = "ink";
  for (int i = 1; i <= n; ++i) expected += ",ink" + std::to_string(i);
  EXPECT_EQ(selection, expected);
  EXPECT_GE(selection.size() + 1 + ("ink" + std::to_string(n + 1)).size(), 2048u);
  EXPECT_TRUE(LogTexts().empty());
}

// In groups, the first key left out is warned about, once per step.
TEST_F(InkSelectionTest, SelectionBoundInGroupsWarnsOnce) {
  QX_TArray group;
  for (int i = 0; i < 500; ++i) group.Append(Ink("I" + std::to_string(i)));
  jobArray = Array({group, Ink("Z"), group});
  EXPECT_EQ(Run(1), "");
  EXPECT_EQ(Value("ink1000"), "\"(I499,process)\"");
  const std::string selection = Value("inksel");
  EXPECT_LT(selection.size(), 2048u);
  EXPECT_EQ(selection.substr(0, 14), "ink+ink1+ink2+");
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"Ink selection is more than 2048 characters"}));
  EXPECT_EQ(LogLevels(), (std::vector<int>{1}));

  // A new step warns again.
  converter.AddJobInfoGlobal(ticket, job, 2, 1, jobArray);
  EXPECT_EQ(LogTexts().size(), 2u);
}

// A flavour whose entry keys are the ink names, so that key lengths can be
// chosen freely.
class NamedKeyConverter : public TestConverter {
 public:
  using TestConverter::TestConverter;
  void Ink2IniEntry(QX_TDict& ink, int, char* key, char* value, bool) override {
    std::snprintf(key, kInkKeyCapacity, "%s", T2D_CAST(QX_TString, ink["Color"]).Text());
    std::snprintf(value, kInkValueCapacity, "%s", "v");
  }
};

// The bound itself: a selection may reach 2047 characters, not 2048.
TEST_F(InkSelectionTest, SelectionBoundIsExact) {
  for (size_t firstLength : {1u, 2u}) {
    NamedKeyConverter flavoured(task);
    flavoured.masterName = "M1";
    // The first key, then 66 keys of 30 characters, each with a separator.
    QX_TArray inks;
    inks.Append(Ink(std::string(firstLength, 'a')));
    std::string expected(firstLength, 'a');
    for (int i = 0; i < 66; ++i) {
      const std::string key = std::string(28, 'k') + static_cast<char>('A' + i / 26) + static_cast<char>('a' + i % 26);
      inks.Append(Ink(key));
      if (firstLength + 31 * (i + 1) < 2048) expected += "," + key;
    }
    jobArray = inks;
    flavoured.AddJobInfoGlobal(ticket, job, 1, 1, jobArray);
    const std::string selection = flavoured.Dictionary().FindJobSection(1)->Find("inksel")->value;
    EXPECT_EQ(selection, expected);
    EXPECT_EQ(selection.size(), firstLength == 1 ? 2047u : 2017u);
  }
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(InkSelectionTest, WrongElementsFail) {
  jobArray = Array({Ink("W"), QX_TString("X")});
  EXPECT_NE(Run(1).find("QX_EIllegalCast"), std::string::npos);
  EXPECT_EQ(Value("ink"), "\"(W,process)\"");
  EXPECT_EQ(Value("inksel"), "-");

  jobArray = Array({Array({QX_TInt32(1)})});
  EXPECT_NE(Run(1).find("QX_EIllegalCast"), std::string::npos);

  QX_TDict badSelected = Ink("W");
  badSelected.Add("Selected", QX_TBool(false));
  jobArray = Array({badSelected});
  EXPECT_NE(Run(1).find("QX_EIllegalCast"), std::string::npos);

  job.Add("Ink", QX_TDict());
  EXPECT_NE(Run(0).find("QX_EIllegalCast"), std::string::npos);
}

TEST_F(InkSelectionTest, DesignerFailureTravelsThroughTheJobGuard) {
  QX_TArray jobs;
  jobs.Append(job);
  jobArray = Array({Ink(std::string(16, 'd'), "Designer")});
  converter.AddJob(ticket, 0, 1, jobArray, jobs, false);
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{kDesignerSentence, "qxmsm.failaddjobglobal", kDesignerFailure}));
  EXPECT_EQ(LogLevels(), (std::vector<int>{2, 2, 2}));
}

}  // namespace
