// The JSON text of a task file at its edges: what the reader refuses, at
// which line and column, and what it reads that a looser parser might get
// wrong (escapes, surrogate pairs, numbers beyond 64 bits or the double
// range), whatever the process's locale.
#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <string>

#include "task_file.h"

namespace {

struct TextCase {
  const char* name;
  std::string text;
  const char* refusal;  // the start of the message after "t.json"; null: read, holding `read`
  const char* read = "";
};

const TextCase kTexts[] = {
    {"lone_low_surrogate", R"({"ticket": {"taskId": "\udc00"}})", ":1:24: not valid JSON: "},
    {"high_surrogate_alone", R"({"ticket": {"taskId": "\ud800x"}})", ":1:30: not valid JSON: "},
    {"overlong_utf8", "{\"ticket\": {\"taskId\": \"\xC0\x80\"}}", ":1:24: not valid JSON: invalid UTF-8"},
    {"surrogate_in_utf8", "{\"ticket\": {\"taskId\": \"\xED\xA0\x80\"}}", ":1:25: not valid JSON: invalid UTF-8"},
    {"cut_utf8", "{\"ticket\": {\"taskId\": \"\xE2\x82", ":1:26: not valid JSON: "},
    {"unknown_escape", R"({"ticket": {"taskId": "\q"}})", ":1:25: not valid JSON: unknown escape"},
    {"raw_tab", "{\"ticket\": {\"taskId\": \"a\tb\"}}", ":1:25: not valid JSON: a control character"},
    {"trailing_comma", R"({"ticket": {},})", ":1:15: not valid JSON: expected a key"},
    {"leading_zero", "{\"ticket\":\n {\"work\": {\"N\": 01}}}", ":2:18: not valid JSON: "},
    {"minus_alone", R"({"ticket": {"work": {"N": -}}})", ":1:28: not valid JSON: expected a digit"},
    {"bad_literal", R"({"ticket": {"work": {"N": nul}}})", ":1:30: not valid JSON: "},
    {"two_values", R"({} {})", ":1:4: not valid JSON: "},
    {"cut_in_escape", R"({"ticket": {"taskId": "\u12)", ":1:28: not valid JSON: the text ends inside"},
    {"negative_overflow", R"({"ticket": {"work": {"N": -1e400}}})",
     ":1:27: not valid JSON: number overflow parsing '-1e400'"},
    {"escapes", R"({"ticket": {"work": {"N": "\u00e9\ud83d\ude00\/\"\t"}}})", nullptr, "\xC3\xA9\xF0\x9F\x98\x80/\"\t"},
    {"utf8_kept", "{\"ticket\": {\"work\": {\"N\": \"\xE2\x82\xAC \xF4\x8F\xBF\xBF\"}}}", nullptr,
     "\xE2\x82\xAC \xF4\x8F\xBF\xBF"},
    {"underflow_is_zero", R"({"ticket": {"work": {"N": 1e-400}}})", nullptr, "0"},
    {"beyond_64_bits", R"({"ticket": {"work": {"N": -9223372036854775809}}})", nullptr, "-9.22337e+18"},
    {"fraction", R"({"ticket": {"work": {"N": 0.25}}})", nullptr, "0.25"},
};

class JsonText : public ::testing::TestWithParam<TextCase> {};

// "N" of the work dictionary: a text as it is, a number as "%g" writes it.
std::string ReadN(const std::string& text) {
  const t2dhost::TaskFile file = t2dhost::ReadTaskFileText(text, "t.json", "/base");
  const QX_TObject* n = file.work[QX_TString("N")].Object();
  if (n == nullptr) return "(no N)";
  if (const auto* s = dynamic_cast<const QX_TString*>(n)) return s->Str();
  char number[32];
  const double value = QX_TAny(*n).AsDouble();
  const auto end = std::to_chars(number, number + sizeof number, value, std::chars_format::general, 6).ptr;
  return std::string(number, end);
}

TEST_P(JsonText, IsRefusedWhereItGoesWrongOrReadExactly) {
  const TextCase& c = GetParam();
  // A comma as the decimal point must change nothing the reader reads.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) std::setlocale(LC_NUMERIC, "C");
  std::string outcome;
  try {
    outcome = ReadN(c.text);
  } catch (const t2dhost::TaskFileError& e) {
    outcome = e.what();
  }
  std::setlocale(LC_NUMERIC, "C");
  if (c.refusal == nullptr)
    EXPECT_EQ(outcome, c.read);
  else
    EXPECT_EQ(outcome.rfind(std::string("t.json") + c.refusal, 0), 0u) << outcome;
}

INSTANTIATE_TEST_SUITE_P(Table, JsonText, ::testing::ValuesIn(kTexts),
                         [](const ::testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

}  // namespace
