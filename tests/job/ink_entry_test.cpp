// Ink entries: the key and value text of one ink, the ink check on the
// colour management server and the book mapping for older dispatchers.
#include <clocale>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "converter_fixture.h"

namespace {

const char* const kNotInSync =
    "Dispatcher is not in sync with server: ink books will hav to be remapped to Process, PANTONE Colors Coated or "
    "Designer for the dispatcher";

QX_TDict Ink(const char* color, const char* type) {
  QX_TDict ink;
  if (color) ink.Add("Color", QX_TString(color));
  if (type) ink.Add("Type", QX_TString(type));
  return ink;
}

void AddScreen(QX_TDict& ink, double lpi, double angle, const char* dotShape) {
  ink.Add("LPI", QX_TDouble(lpi));
  ink.Add("Angle", QX_TDouble(angle));
  ink.Add("Dotshape", QX_TString(dotShape));
}

class InkEntryTest : public ConversionTest {
 protected:
  InkEntryTest() {
    converter.dispatcherVersion = 704000;
    cms = Serve("QXCMS");
    // Every book holds the inks in `known`; an empty book holds none.
    cms->On("TIDB_InkExists", [this](const std::vector<QX_TAny>& arguments) {
      const std::string book = qx_cast<QX_TString>(arguments.at(0), "test", 0).Str();
      const std::string name = qx_cast<QX_TString>(arguments.at(1), "test", 0).Str();
      return QX_TAny(!book.empty() && known.count(name) != 0);
    });
    std::memset(key, '#', sizeof key - 1);
    std::memset(value, '#', sizeof value - 1);
  }

  void Run(QX_TDict ink, int index = 0, bool isPdfJob = false) {
    converter.Ink2IniEntry(ink, index, key, value, isPdfJob);
  }
  std::string Fails(QX_TDict ink, int index = 0, bool isPdfJob = false) {
    try {
      Run(ink, index, isPdfJob);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "";
  }

  std::shared_ptr<FakeService> cms;
  std::set<std::string> known = {"Cyan", "Orange 021", "Gold"};
  char key[CTicket2Dict_msbasetask::kInkKeyCapacity] = {};
  char value[CTicket2Dict_msbasetask::kInkValueCapacity] = {};
};

TEST_F(InkEntryTest, KeyFromTheIndex) {
  for (auto [index, expected] : std::vector<std::pair<int, const char*>>{{0, "ink"}, {1, "ink1"}, {3, "ink3"},
                                                                          {2147483647, "ink2147483647"}}) {
    Run(Ink("Cyan", "process"), index);
    EXPECT_STREQ(key, expected);
  }
}

TEST_F(InkEntryTest, PlainEntryAsksTheServerAndLogsNothing) {
  Run(Ink("Cyan", "process"));
  EXPECT_STREQ(value, "\"(Cyan,process)\"");
  EXPECT_TRUE(LogTexts().empty());
  ASSERT_EQ(cms->calls.size(), 1u);
  EXPECT_EQ(cms->calls[0].method, "TIDB_InkExists");
  ASSERT_EQ(cms->calls[0].arguments.size(), 2u);
  EXPECT_EQ(qx_cast<QX_TString>(cms->calls[0].arguments[0], "test", 0).Str(), "process");
  EXPECT_EQ(qx_cast<QX_TString>(cms->calls[0].arguments[1], "test", 0).Str(), "Cyan");
}

struct FormRow {
  const char* name;
  bool lpi, angle, dotShape;
  bool isPdfJob;
  int dispatcherVersion;
  const char* value;
};

class InkEntryFormTest : public InkEntryTest, public ::testing::WithParamInterface<FormRow> {};

TEST_P(InkEntryFormTest, Value) {
  const FormRow& row = GetParam();
  converter.dispatcherVersion = row.dispatcherVersion;
  QX_TDict ink = Ink("Cyan", "process");
  if (row.lpi) ink.Add("LPI", QX_TDouble(150));
  if (row.angle) ink.Add("Angle", QX_TDouble(15));
  if (row.dotShape) ink.Add("Dotshape", QX_TString("Round"));
  Run(ink, 0, row.isPdfJob);
  EXPECT_STREQ(value, row.value);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, InkEntryFormTest,
    ::testing::Values(FormRow{"Comma", true, true, true, false, 704000, "\"(Cyan,process,150,15,Round)\""},
                      FormRow{"Bars", true, true, true, true, 704000, "\"(Cyan|process|150|15|Round)\""},
                      FormRow{"BarsNewerDispatcher", true, true, true, true, 800000, "\"(Cyan|process|150|15|Round)\""},
                      FormRow{"PdfOlderDispatcher", true, true, true, true, 703999, "\"(Cyan,process,150,15,Round)\""},
                      FormRow{"PdfNoDispatcher", true, true, true, true, -1, "\"(Cyan,process,150,15,Round)\""},
                      FormRow{"NoLpi", false, true, true, true, 704000, "\"(Cyan,process)\""},
                      FormRow{"NoAngle", true, false, true, false, 704000, "\"(Cyan,process)\""},
                      FormRow{"NoDotShape", true, true, false, false, 704000, "\"(Cyan,process)\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InkEntryTest, UnknownDotShapeLeavesTheFieldEmpty) {
  for (const char* unknown : {"UNKNOWN", "Unknown", "unknown"}) {
    QX_TDict ink = Ink("Cyan", "process");
    AddScreen(ink, 133.5, 22.5, unknown);
    Run(ink);
    EXPECT_STREQ(value, "\"(Cyan,process,133.5,22.5,)\"") << unknown;
  }
}

// Screen values keep their fifteen significant digits in either form.
TEST_F(InkEntryTest, ScreenValuesKeepAllTheirDigits) {
  for (const bool isPdfJob : {false, true}) {
    QX_TDict ink = Ink("Cyan", "process");
    AddScreen(ink, 133.3333333, 22.123456789012, "Round");
    Run(ink, 0, isPdfJob);
    EXPECT_STREQ(value, isPdfJob ? "\"(Cyan|process|133.3333333|22.123456789012|Round)\""
                                 : "\"(Cyan,process,133.3333333,22.123456789012,Round)\"");
  }
}

TEST_F(InkEntryTest, NumbersUseAPointWhateverTheLocale) {
  if (!std::setlocale(LC_NUMERIC, "de_DE.utf8")) GTEST_SKIP() << "no German locale";
  QX_TDict ink = Ink("Cyan", "process");
  AddScreen(ink, 133.5, 22.5, "Round");
  Run(ink);
  EXPECT_STREQ(value, "\"(Cyan,process,133.5,22.5,Round)\"");
  std::setlocale(LC_NUMERIC, "C");
}

// The book written for each kind of book, for an old and a new dispatcher.
struct BookRow {
  const char* name;
  const char* inkBook;  // null: none
  const char* type;
  const char* color;
  bool isPdfJob;
  const char* asked;  // the book sent to the server
  const char* oldBook;
  const char* newBook;
};

class InkEntryBookTest : public InkEntryTest, public ::testing::WithParamInterface<BookRow> {
 protected:
  std::string EntryFor(int dispatcherVersion) {
    converter.dispatcherVersion = dispatcherVersion;
    QX_TDict ink = Ink(GetParam().color, GetParam().type);
    if (GetParam().inkBook) ink.Add("InkBook", QX_TString(GetParam().inkBook));
    Run(ink, 0, GetParam().isPdfJob);
    EXPECT_EQ(qx_cast<QX_TString>(cms->calls.back().arguments.at(0), "test", 0).Str(), GetParam().asked);
    return value;
  }
};

TEST_P(InkEntryBookTest, OldDispatcher) {
  EXPECT_EQ(EntryFor(600000), "\"(" + std::string(GetParam().color) + "," + GetParam().oldBook + ")\"");
}

TEST_P(InkEntryBookTest, NewDispatcher) {
  EXPECT_EQ(EntryFor(704000), "\"(" + std::string(GetParam().color) + "," + GetParam().newBook + ")\"");
}

INSTANTIATE_TEST_SUITE_P(
    Mapping, InkEntryBookTest,
    ::testing::Values(
        BookRow{"ProcessLower", nullptr, "process", "Cyan", false, "process", "process", "process"},
        BookRow{"ProcessUpper", nullptr, "Process", "Cyan", false, "Process", "Process", "Process"},
        BookRow{"ProcessAsInkBook", "process", "spot", "Cyan", true, "process", "process", "process"},
        BookRow{"PantoneBook", "pms1000c", "spot", "Orange 021", false, "pms1000c", "pantone", "pms1000c"},
        BookRow{"PantoneType", nullptr, "Pantone", "Orange 021", false, "pms1000c", "pantone", "pms1000c"},
        BookRow{"PantoneTypeIsCaseSensitive", nullptr, "PANTONE", "Orange 021", false, "PANTONE", "designer",
                "PANTONE"},
        BookRow{"PantoneTypeWithOwnBook", "MyBook", "Pantone", "Gold", false, "MyBook", "designer", "MyBook"},
        BookRow{"OtherBook", "Metallics", "spot", "Gold", true, "Metallics", "designer", "Metallics"},
        BookRow{"NotFound", nullptr, "process", "Mauve", false, "process", "designer", "designer"},
        BookRow{"NotFoundInPdf", nullptr, "process", "Mauve", true, "process", "designer", ""},
        BookRow{"EmptyBook", "", "spot", "Gold", false, "", "designer", "designer"},
        BookRow{"EmptyBookInPdf", "", "spot", "Gold", true, "", "designer", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InkEntryTest, UnknownInkIsWarnedAndForcedUnregistered) {
  Run(Ink("Mauve", "Spot Book"));
  EXPECT_STREQ(value, "\"(Mauve,designer)\"");
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{
                            "Ink <Mauve> is not found in the Book <Spot Book> specified in XMP. Forcing unregistered"}));
  EXPECT_EQ(LogLevels(), (std::vector<int>{1}));

  Run(Ink("Mauve", "Spot Book"), 0, true);
  EXPECT_STREQ(value, "\"(Mauve,)\"");
}

TEST_F(InkEntryTest, DispatcherWarnings) {
  converter.dispatcherVersion = -1;
  Run(Ink("Cyan", "process"));
  Run(Ink("Cyan", "process"), 1);
  EXPECT_EQ(LogTexts(), (std::vector<std::string>{"DispatcherVersion not specified", kNotInSync,
                                                  "DispatcherVersion not specified", kNotInSync}));
  EXPECT_EQ(LogLevels(), (std::vector<int>{1, 1, 1, 1}));

  converter.dispatcherVersion = 703999;
  Run(Ink("Cyan", "process"));
  EXPECT_EQ(LogTexts().size(), 5u);
  EXPECT_EQ(LogTexts().back(), kNotInSync);
}

TEST_F(InkEntryTest, InkWithoutNameOrTypeGetsNothing) {
  const std::string keyBefore = key, valueBefore = value;
  QX_TDict noType = Ink("Cyan", nullptr);
  noType.Add("InkBook", QX_TString("process"));
  for (const QX_TDict& ink : {Ink(nullptr, "process"), noType, QX_TDict()}) {
    Run(ink, 2);
    EXPECT_EQ(key, keyBefore);
    EXPECT_EQ(value, valueBefore);
  }
  EXPECT_TRUE(cms->calls.empty());
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(InkEntryTest, OverlongTextsAreRefusedNamingTheKey) {
  struct Row {
    QX_TDict ink;
    std::string failure;
  };
  const std::string name255(255, 'n');
  QX_TDict longBook = Ink("Cyan", "process");
  longBook.Add("InkBook", QX_TString(std::string(256, 'b')));
  QX_TDict longDot = Ink("Cyan", "process");
  AddScreen(longDot, 150, 15, std::string(256, 'd').c_str());
  known.insert(name255);
  const std::vector<Row> rows = {
      {Ink(std::string(256, 'n').c_str(), "process"),
       "CTicket2Dict_msbasetask::Ink2IniEntry - the value of \"Color\" is 256 characters long; at most 255 are "
       "allowed"},
      {Ink("Cyan", std::string(256, 't').c_str()),
       "CTicket2Dict_msbasetask::Ink2IniEntry - the value of \"Type\" is 256 characters long; at most 255 are "
       "allowed"},
      {longBook,
       "CTicket2Dict_msbasetask::Ink2IniEntry - the value of \"InkBook\" is 256 characters long; at most 255 are "
       "allowed"},
      {longDot,
       "CTicket2Dict_msbasetask::Ink2IniEntry - the value of \"Dotshape\" is 256 characters long; at most 255 are "
       "allowed"},
      // 255 + "process" + 5 = 267 characters of value, under the entry's key.
      {Ink(name255.c_str(), "process"),
       "CTicket2Dict_msbasetask::Ink2IniEntry - the value of \"ink4\" is 267 characters long; at most 259 are "
       "allowed"},
  };
  for (const Row& row : rows) {
    const size_t logSize = task.Log().size();
    EXPECT_EQ(Fails(row.ink, 4), row.failure);
    ASSERT_EQ(task.Log().size(), logSize + 1);
    EXPECT_EQ(task.Log().back().text, row.failure);
    EXPECT_EQ(task.Log().back().level, 2);
  }
  // The longest value that fits: 247 + "," + "process" and 4 delimiters = 259.
  known.insert(std::string(247, 'n'));
  Run(Ink(std::string(247, 'n').c_str(), "process"));
  EXPECT_EQ(std::strlen(value), 259u);
}

TEST_F(InkEntryTest, WrongTypesFail) {
  QX_TDict numericLpi = Ink("Cyan", "process");
  numericLpi.Add("LPI", QX_TInt32(150));
  numericLpi.Add("Angle", QX_TDouble(15));
  numericLpi.Add("Dotshape", QX_TString("Round"));
  EXPECT_THROW(Run(numericLpi), QX_EIllegalCast);
  QX_TDict numericName;
  numericName.Add("Color", QX_TInt32(1));
  numericName.Add("Type", QX_TString("process"));
  EXPECT_THROW(Run(numericName), QX_EIllegalCast);
}

TEST_F(InkEntryTest, ServerAnswerThatIsNotABoolFails) {
  cms->Answer("TIDB_InkExists", QX_TString("yes"));
  EXPECT_THROW(Run(Ink("Cyan", "process")), QX_EIllegalCast);
  servers.Clear();
  EXPECT_THROW(Run(Ink("Cyan", "process")), std::exception);
}

}  // namespace
