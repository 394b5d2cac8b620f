// The task file reader: typed values and their tags, URLs, the calls it
// derives (setup, jobs), and the typed encoding of the result.
#include <gtest/gtest.h>

#include <random>

#include "task_file.h"

namespace {

using t2dhost::DecodeValue;
using t2dhost::EncodeValue;
using t2dhost::Json;
using t2dhost::ReadTaskFileText;
using t2dhost::TaskFile;
using t2dhost::TaskFileError;

QX_TAny Decode(const std::string& json) { return DecodeValue(Json::parse(json), "t.json", "v", "/base"); }

TaskFile Read(const std::string& json) { return ReadTaskFileText(json, "t.json", "/base"); }

// The message of a malformed task file, or "" when it is read.
std::string Refusal(const std::string& json) {
  try {
    Read(json);
  } catch (const TaskFileError& e) {
    return e.what();
  }
  return "";
}

struct TypedCase {
  const char* json;
  const char* className;
  const char* encoded;  // the result's encoding of the value
};

const TypedCase kTyped[] = {
    {R"("abc")", "QX_TString", R"("abc")"},
    {"true", "QX_TBool", "true"},
    {"7", "QX_TInt32", "7"},
    {"-2147483648", "QX_TInt32", "-2147483648"},
    {"2147483647", "QX_TInt32", "2147483647"},
    {"2147483648", "QX_TDouble", "2147483648.0"},
    {"-2147483649", "QX_TDouble", "-2147483649.0"},
    {"18446744073709551616", "QX_TDouble", "1.8446744073709552e+19"},
    {"7.0", "QX_TDouble", "7.0"},
    {"1e3", "QX_TDouble", "1000.0"},
    {"2E1", "QX_TDouble", "20.0"},
    {"[1, \"a\"]", "QX_TArray", "[1, \"a\"]"},
    {R"({"b": 1, "a": 2})", "QX_TDict", R"({"b": 1, "a": 2})"},
    {R"({"@int32": 7})", "QX_TInt32", "7"},
    {R"({"@uint32": 4294967295})", "QX_TUInt32", R"({"@uint32": 4294967295})"},
    {R"({"@uint16": 65535})", "QX_TUInt16", R"({"@uint16": 65535})"},
    {R"({"@double": 2400})", "QX_TDouble", "2400.0"},
    {R"({"@url": "/in"})", "QX_TURL", R"({"@url": "file:///in"})"},
    {R"({"@tree": {"k": {"x": 1}}})", "QX_TTree", R"({"@tree": {"k": {"x": 1}}})"},
    {R"({"@illegal": null})", "QX_TIllegal", R"({"@illegal": null})"},
    {R"({"@array": [1, 2], "@lower": 1})", "QX_TArray", R"({"@array": [1, 2], "@lower": 1})"},
    {R"({"@array": [], "@lower": 0})", "QX_TArray", "[]"},
    {R"({"@dict": {"@x": 1}})", "QX_TDict", R"({"@dict": {"@x": 1}})"},
};

class TypedValue : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedValue, DecodesToItsClassAndEncodesBack) {
  const TypedCase& c = GetParam();
  const QX_TAny value = Decode(c.json);
  EXPECT_STREQ(value.ClassName(), c.className);
  const Json encoded = EncodeValue(value);
  EXPECT_EQ(encoded, Json::parse(c.encoded));
  // Reading the encoding back gives the same value.
  EXPECT_TRUE(Decode(encoded.dump()) == value) << encoded.dump();
}

// The values handed to the converter are built while the file is parsed;
// they come out as the reader makes them of a parsed document.
TEST_P(TypedValue, ReadsTheSameInsideATaskFile) {
  const TypedCase& c = GetParam();
  const TaskFile file = Read(std::string(R"({"ticket": {"work": {"a": [0, )") + c.json + "]}}}");
  const QX_TAny& read = static_cast<const QX_TArray&>(*file.work[QX_TString("a")].Object())[1];
  EXPECT_STREQ(read.ClassName(), c.className);
  EXPECT_TRUE(read == Decode(c.json));
}

INSTANTIATE_TEST_SUITE_P(Table, TypedValue, ::testing::ValuesIn(kTyped));

TEST(TypedValues, KeepTheirDetails) {
  const QX_TAny dict = Decode(R"({"b": 1, "a": {"@uint16": 3}, "c": [{"@illegal": null}]})");
  const auto& d = static_cast<const QX_TDict&>(*dict.Object());
  ASSERT_EQ(d.Entries(), 3);
  EXPECT_EQ(d.Items()[0].first, "b");
  EXPECT_EQ(d.Items()[1].first, "a");
  EXPECT_EQ(static_cast<const QX_TUInt16&>(*d[QX_TString("a")].Object()).Value(), 3);
  EXPECT_TRUE(static_cast<const QX_TArray&>(*d[QX_TString("c")].Object())[0].IsIllegal());

  const QX_TAny array = Decode(R"({"@array": ["x", "y"], "@lower": -5})");
  const auto& a = static_cast<const QX_TArray&>(*array.Object());
  EXPECT_EQ(a.LowerBound(), -5);
  EXPECT_EQ(a.UpperBound(), -4);

  EXPECT_EQ(static_cast<const QX_TDouble&>(*Decode("0.1").Object()).Value(), 0.1);
  EXPECT_EQ(EncodeValue(QX_TDouble(std::nan(""))), Json::parse(R"({"@double": "nan"})"));
  EXPECT_TRUE(std::isnan(static_cast<const QX_TDouble&>(*Decode(R"({"@double": "nan"})").Object()).Value()));
  EXPECT_EQ(EncodeValue(QX_TUserInfo(QX_TString("alice"))), Json::parse(R"({"@userinfo": "alice"})"));
}

struct RefusedCase {
  const char* json;
  const char* problem;
};

const RefusedCase kRefused[] = {
    {R"({"@int32": 2147483648})", "out of the 32-bit signed range"},
    {R"({"@int32": -2147483649})", "out of the 32-bit signed range"},
    {R"({"@uint32": 4294967296})", "out of the 32-bit unsigned range"},
    {R"({"@uint16": 70000})", "out of the 16-bit unsigned range"},
    {R"({"@uint16": -1})", "out of the 16-bit unsigned range"},
    {R"({"@uint16": 99999999999999999999})", "needs an integer"},
    {R"({"@int32": "7"})", "needs an integer"},
    {R"({"@double": "7"})", "needs a number"},
    {R"({"@url": null})", "needs a text"},
    {R"({"@url": "\\single"})", "not an absolute local or UNC path"},
    {R"({"@tree": []})", "needs an object"},
    {R"({"@illegal": 0})", "takes null"},
    {R"({"@array": {}, "@lower": 0})", "needs an array"},
    {R"({"@array": [1, 2], "@lower": 2147483647})", "upper bound"},
    {R"({"@lower": 0})", "goes only beside"},
    {R"({"@int32": 1, "@lower": 0})", "is one too many"},
    {R"({"@array": [], "@lower": 0, "@x": 1})", "is one too many"},
    {R"({"a": 1, "@int32": 1})", "is one too many"},
    {R"({"@Int32": 1})", "unknown tag"},
    {R"(null)", "{\"@illegal\": null}"},
};

class RefusedValue : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedValue, IsMalformed) {
  const RefusedCase& c = GetParam();
  try {
    Decode(c.json);
    FAIL() << c.json << " was read";
  } catch (const TaskFileError& e) {
    const std::string what = e.what();
    EXPECT_EQ(what.rfind("t.json: v: ", 0), 0u) << what;
    EXPECT_NE(what.find(c.problem), std::string::npos) << what;
  }
}

TEST_P(RefusedValue, IsRefusedTheSameInsideATaskFile) {
  const RefusedCase& c = GetParam();
  std::string expected;
  try {
    Decode(c.json);
  } catch (const TaskFileError& e) {
    expected = std::string("t.json: jobs[0].jobArray[1]") + (e.what() + std::string("t.json: v").size());
  }
  EXPECT_EQ(Refusal(std::string(R"({"setup": {"master": "M", "masterDictionary": {}}, )") +
                    R"("jobs": [{"index": 0, "jobArray": [0, )" + c.json + "]}]}"),
            expected);
}

INSTANTIATE_TEST_SUITE_P(Table, RefusedValue, ::testing::ValuesIn(kRefused));

// A problem inside a value is reported when the reader reaches the value:
// the file's syntax, its repeated keys and its nesting come first, then the
// problems in the order the reader checks the file.
TEST(TypedValues, ProblemsKeepTheirOrder) {
  EXPECT_NE(Refusal(R"({"ticket": {"work": {"a": null}}, "x": })").find("t.json:1:40: not valid JSON"),
            std::string::npos);
  EXPECT_NE(Refusal(R"({"ticket": {"work": {"a": null, "a": 1}}})").find("ticket.work.a: the key \"a\" appears twice"),
            std::string::npos);
  EXPECT_NE(Refusal(R"({"ticket": {"work": {"a": null}}, "options": 5})").find("t.json: options: needs an object"),
            std::string::npos);
  EXPECT_NE(Refusal(R"({"ticket": {"work": {"a": null, "b": {"@int32": "x"}}}})")
                .find("t.json: ticket.work.a: null is not a value here"),
            std::string::npos);
  EXPECT_NE(Refusal(R"({"ticket": {"work": {"a": {"@url": 5}}}})").find("t.json: ticket.work.a: {\"@url\": ...} needs a text"),
            std::string::npos);
  EXPECT_NE(Refusal(R"({"ticket": {"work": {"@dict": {"a": null}}}})").find("t.json: ticket.work.a: null is not"),
            std::string::npos);
  std::string deep = R"({"ticket": {"work": {"a": )";
  for (int i = 0; i < 250; ++i) deep += "[";
  EXPECT_NE(Refusal(deep).find("nested deeper than 200 levels"), std::string::npos);
  // Values built while parsing and values read from the document agree.
  EXPECT_EQ(Refusal(R"({"ticket": {"work": [1]}})"), "t.json: ticket.work: needs a dictionary (a JSON object), not QX_TArray");
  EXPECT_EQ(Refusal(R"({"ticket": {"work": 7}})"), "t.json: ticket.work: needs a dictionary (a JSON object), not QX_TInt32");
  EXPECT_EQ(Read(R"({"ticket": {"work": {"@dict": {"@a": 1}}}})").work.Entries(), 1);
}

TEST(TypedValues, NestedRefusalsNameTheKeyPath) {
  EXPECT_NE(Refusal(R"({"ticket": {"work": {"a b": [0, {"x": {"@uint16": 1e9}}]}}})")
                .find("t.json: ticket.work[\"a b\"][1].x: "),
            std::string::npos);
}

// ---- URLs ----------------------------------------------------------------------

// Messages quote what they echo as JSON strings: the value library's quoting
// gives what nlohmann-json gives, invalid UTF-8 included.
TEST(KeyPaths, QuotingMatchesJson) {
  std::mt19937 random(7);
  const char pieces[][5] = {"a", "\"", "\\", "\n", "\x01", "\x7f", "\xc3\xa4", "\xe2\x82\xac", "\xf0\x9f\x98\x80",
                            "\xc3", "\xe2\x82", "\xff", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xc0\xaf", "\x80"};
  for (int i = 0; i < 2000; ++i) {
    std::string text;
    for (size_t n = random() % 8; n > 0; --n) text += pieces[random() % std::size(pieces)];
    EXPECT_EQ(QX_TOrigin::Quoted(text), Json(text).dump(-1, ' ', false, Json::error_handler_t::replace)) << i;
  }
  EXPECT_EQ(t2dhost::MemberPath("servers", ""), "servers[\"\"]");
  EXPECT_EQ(t2dhost::MemberPath("ticket.work", "a b"), "ticket.work[\"a b\"]");
}

TEST(TaskFileUrls, LocalUncRelativeAndOtherSchemes) {
  const std::pair<const char*, const char*> cases[] = {
      {"/srv/ipl/plate.ini", "file:///srv/ipl/plate.ini"},
      {"\\\\host\\share\\dir", "file://host/share/dir"},
      {"file:///already/a/url", "file:///already/a/url"},
      {"http://example.com/x", "http://example.com/x"},
      {"", ""},
      {"cip3-ipl", "file:///base/cip3-ipl"},
      {"jobs/../jobs/a.pdf", "file:///base/jobs/a.pdf"},
      {"../up", "file:///up"},
  };
  for (const auto& c : cases) EXPECT_EQ(t2dhost::UrlFromText(c.first, "/base").Text(), c.second) << c.first;
}

TEST(TaskFileUrls, RelativePathsResolveAgainstTheTaskFilesFolder) {
  const TaskFile file = Read(R"({"ticket": {"work": {"Inputfolder": {"@url": "in/hot"}}},
                                 "servers": {"": {"FileServer": {"types": {"jobs/a.pdf": "pdfsc"}}}}})");
  EXPECT_EQ(static_cast<const QX_TURL&>(*file.work[QX_TString("Inputfolder")].Object()).Text(), "file:///base/in/hot");
  EXPECT_EQ(file.servers[0].second.fileServer->types.count("file:///base/jobs/a.pdf"), 1u);
}

// ---- The calls -------------------------------------------------------------------

TEST(TaskFileCalls, EverythingIsOptional) {
  const TaskFile file = Read("{}");
  EXPECT_FALSE(file.setup);
  EXPECT_TRUE(file.jobs.empty());
  EXPECT_EQ(file.configuration.Entries(), 0);
  EXPECT_EQ(file.deviceName, "");
  EXPECT_EQ(file.verbosity, 0);
}

TEST(TaskFileCalls, OptionsKeepTheirOrderAndKind) {
  const TaskFile file = Read(R"({"options": {"DispatcherVersion": 704000, "Flavor": "Kestrel"}, "verbosity": 2})");
  ASSERT_EQ(file.options.size(), 2u);
  EXPECT_EQ(file.options[0].name, "DispatcherVersion");
  EXPECT_EQ(file.options[0].value.KindCode(), CUnivType::kInteger);
  EXPECT_EQ(static_cast<int>(file.options[0].value), 704000);
  EXPECT_EQ(file.options[1].value.Text(), "Kestrel");
  EXPECT_EQ(file.verbosity, 2);
}

TEST(TaskFileCalls, TemplateNamesWithAndWithoutValue) {
  const TaskFile file = Read(R"({"task": {"mergeId": "4711",
      "templateNames": {"file": null, "dgc": "Curve A", "fileurl": {"@url": "/in"}}}})");
  EXPECT_EQ(file.mergeId, "4711");
  ASSERT_EQ(file.templateNames.size(), 3u);
  EXPECT_FALSE(file.templateNames[0].value);
  EXPECT_STREQ(file.templateNames[1].value->ClassName(), "QX_TString");
  EXPECT_STREQ(file.templateNames[2].value->ClassName(), "QX_TURL");
  EXPECT_NE(Refusal(R"({"task": {"templateNames": {"n": 5}}})").find("task.templateNames.n: "), std::string::npos);
}

TEST(TaskFileCalls, MasterAndJobsComeFromTheConfigurationByDefault) {
  const TaskFile file = Read(R"({
    "ticket": {"configuration": {"Masters": {"M1": {"Options": {}, "Jobs": [{"JobName": "a"}, {"JobName": "b"}]}}}},
    "setup": {"master": "M1", "pageFlags": [1, 2, 3, 4], "pageList": "1-3", "filmIndex": 2}})");
  ASSERT_TRUE(file.setup);
  EXPECT_EQ(file.setup->master, "M1");
  EXPECT_TRUE(file.setup->masterDictionary.HasKey(QX_TString("Options")));
  EXPECT_EQ(file.setup->pageFlags[3], 4);
  EXPECT_EQ(file.setup->pageList, "1-3");
  EXPECT_EQ(file.setup->filmIndex, 2);
  EXPECT_EQ(file.jobsArray.Size(), 2);
  // Without "jobs": one AddJob per element, index 0 upward, flag 0, no inks.
  ASSERT_EQ(file.jobs.size(), 2u);
  EXPECT_EQ(file.jobs[1].index, 1);
  EXPECT_EQ(file.jobs[1].jobFlag, 0);
  EXPECT_EQ(file.jobs[1].jobArray.Size(), 0);
}

TEST(TaskFileCalls, GivenMasterDictionaryJobsAndCalls) {
  const TaskFile file = Read(R"({
    "setup": {"master": "X", "masterDictionary": {"Jobs": [1]}, "jobs": {"@array": [{}, {}], "@lower": 0}},
    "jobs": [{"index": 5, "jobFlag": 1, "jobArray": [{"Color": "Cyan"}]}, {"index": 0}]})");
  EXPECT_EQ(file.jobsArray.Size(), 2);
  ASSERT_EQ(file.jobs.size(), 2u);
  EXPECT_EQ(file.jobs[0].index, 5);
  EXPECT_EQ(file.jobs[0].jobFlag, 1);
  EXPECT_EQ(file.jobs[0].jobArray.Size(), 1);

  // A master without "Jobs" hands an empty jobs array; without a setup no
  // AddJob is called at all.
  EXPECT_EQ(Read(R"({"setup": {"master": "X", "masterDictionary": {}}})").jobsArray.Size(), 0);
  EXPECT_TRUE(Read(R"({"jobs": [{"index": 0}]})").jobs.empty());
  EXPECT_NE(Refusal(R"({"setup": {"master": "X", "masterDictionary": {"Jobs": {}}}})")
                .find("setup.masterDictionary.Jobs: "),
            std::string::npos);
  EXPECT_NE(Refusal(R"({"setup": {"master": "X", "masterDictionary": {}, "pageList": "a\u0000b"}})")
                .find("NUL"),
            std::string::npos);
}

TEST(TaskFileCalls, ServicesAndShares) {
  const TaskFile file = Read(R"({
    "servers": {"": {"CFS": {"tree": {"A": {"B": 1}}}, "QXCMS": {"books": {"process": ["Cyan"]}}},
                "press2": {"IPLServer": {"dataFolder": {"@url": "/ipl"}}}},
    "shares": {"/srv/qx": "\\\\riphost\\qx"}})");
  ASSERT_EQ(file.servers.size(), 2u);
  EXPECT_EQ(file.servers[0].first, "");
  EXPECT_TRUE(file.servers[0].second.cfs);
  EXPECT_FALSE(file.servers[0].second.fileServer);
  // Objects in the CFS tree are trees.
  EXPECT_STREQ(file.servers[0].second.cfs->tree[QX_TString("A")].ClassName(), "QX_TTree");
  EXPECT_TRUE(file.servers[1].second.ipl);
  ASSERT_EQ(file.shares.size(), 1u);
  EXPECT_EQ(file.shares[0].second, "\\\\riphost\\qx");

  EXPECT_NE(Refusal(R"({"servers": {"": {"QXCMS": {"books": {"process": "Cyan"}}}}})").find("an array of ink names"),
            std::string::npos);
  EXPECT_NE(Refusal(R"({"servers": {"": {"CFS": {"tress": {}}}}})").find("unknown key"), std::string::npos);
  EXPECT_NE(Refusal(R"({"shares": {"": "\\\\h\\s"}})").find("needs a local path"), std::string::npos);
}

}  // namespace
