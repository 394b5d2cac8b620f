// The report page: escaping of every text (bidirectional marks included),
// nothing fetched, one group per job, labels inside their jobs, the trace's
// steps and replaced values, the log's steps, jobs and meanings, the
// findings; and `ticket2dict report` on the command line.
#include "report.h"

#include <gtest/gtest.h>

#include <regex>

#include <set>

#include "html_markup.h"
#include "message_catalogue.h"
#include "param_dict.h"

#ifdef T2D_HOST_PROGRAM
#include "../host/host_program.h"
#endif

namespace {

using t2dhost::Json;
using t2dhost::ReportHtml;
using t2dhost::ReportInput;

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The parts of a conversion that the page reads, held by the test.
struct Parts {
  CParamDict dictionary;
  std::vector<TW_TLogEntry> log;
  QX_TArray jobs;
  std::vector<t2dhost::StepRun> trace;
  ReportInput Input(bool traced = true) const {
    ReportInput input;
    input.dictionary = &dictionary;
    input.log = &log;
    input.jobDictionaries = &jobs;
    if (traced) input.trace = &trace;
    input.taskFileName = "a<b>.json";
    input.findings = {{"warning", "ticket.configuration.Masters.M1.Jobs[0].Rotaton never read; \"Rotation\" <absent>"}};
    return input;
  }
};

QX_TArray JobDictionaries(const char* json) {
  const QX_TAny value = t2dhost::DecodeValue(Json::parse(json), "test", "jobs", "/");
  return dynamic_cast<const QX_TArray&>(*value.Object());
}

Parts Sample() {
  Parts parts;
  parts.dictionary.Section("task").Set("DeviceName", "P & <1>", nullptr);
  CParamSection& setup = parts.dictionary.Section("setup");
  setup.Set("rsx", "1000", "rsx");
  setup.Set("rsy", "800", nullptr);
  setup.Set("note", "bad \xff byte \xe2\x80\xae reversed", "it's <b>");
  CParamSection& job1 = parts.dictionary.JobSection(1);
  job1.Set("hpos", "10", nullptr);
  job1.Set("vpos", "10", nullptr);
  job1.Set("ink", "\"(Cyan|process|175|15|Round)\"", "");
  job1.Set("ink1", "\"(<Gold>,Designer)\"", nullptr);
  parts.dictionary.JobSection(2).Set("type", "pdf", nullptr);
  parts.log.push_back({2, "qxmsm.failaddjob <x>", false, QX_TAny(), "AddJob", 2});
  parts.log.push_back({0, "qxmsm.nocusname", false, QX_TAny(), "AddEnvironment2Dict", std::nullopt});
  parts.jobs = JobDictionaries(
      R"([{"JobName": "<script>alert(1)</script>\u202efdp.exe", "HSize": 254000, "VSize": 127000}, {}])");
  t2dhost::StepRun global, end;
  global.step = "AddSetupGlobal";
  global.writes.push_back({"setup", "rsx", "999", std::nullopt, true, "", {}});
  end.step = "AddSetup_end";
  end.writes.push_back({"setup", "rsx", "1000", std::string("rsx"), true, "", {}});
  parts.trace = {global, end};
  return parts;
}

TEST(Report, EscapesEveryTextAndFetchesNothing) {
  const Parts parts = Sample();
  const std::string page = ReportHtml(parts.Input());
  for (const char* raw : {"<script>", "<b>", "<Gold>", "<x>", "<absent>", "P & <1>", "a<b>", "\xe2\x80\xae"})
    EXPECT_EQ(page.find(raw), std::string::npos) << raw;
  for (const char* escaped : {"&lt;script&gt;alert(1)&lt;/script&gt;", "it&#39;s &lt;b&gt;", "P &amp; &lt;1&gt;",
                              "&lt;Gold&gt;", "bad \xEF\xBF\xBD byte [U+202E] reversed", "a&lt;b&gt;.json"})
    EXPECT_NE(page.find(escaped), std::string::npos) << escaped;
  // The job's name with its direction mark shown, in its group, tooltip, job list and card alike.
  EXPECT_EQ(Count(page, "&lt;/script&gt;[U+202E]fdp.exe"), Count(page, "&lt;/script&gt;"));
  EXPECT_GE(Count(page, "&lt;/script&gt;[U+202E]fdp.exe"), 4u);
  // Nothing to fetch: no scheme, no source, links only inside the page.
  EXPECT_FALSE(std::regex_search(page, std::regex("https?:|src=|url\\((?!#)|@import")));
  EXPECT_FALSE(std::regex_search(page, std::regex("href=\"[^#]")));
  EXPECT_EQ(Count(page, "<g data-job=\""), 2u);
  EXPECT_NE(page.find("<g data-job=\"2\" class=\"job unplaced\""), std::string::npos);
}

// Every text through the one escaping: markup, control characters and the
// marks that turn text around, and bytes that are not UTF-8.
TEST(Report, EscapingShowsControlsAndDirectionMarks) {
  const struct {
    const char* raw;
    const char* shown;
  } cases[] = {{"a<b>&\"'", "a&lt;b&gt;&amp;&quot;&#39;"},
               {"tab\there\x7f", "tab\xE2\x90\x89here\xE2\x90\xA1"},
               {"cover\xE2\x80\xAE" "fdp.exe", "cover[U+202E]fdp.exe"},
               {"\xE2\x81\xA6x\xE2\x81\xA9\xE2\x80\x8E\xD8\x9C", "[U+2066]x[U+2069][U+200E][U+061C]"},
               {"\xC2\x85 \xC3\xA9", "[U+0085] \xC3\xA9"},
               {"\xff\xe2\x80 \xf0\x9f\x98\x80", "\xEF\xBF\xBD\xEF\xBF\xBD \xf0\x9f\x98\x80"},
               {"\xed\xa0\x80", "\xEF\xBF\xBD"}};
  for (const auto& c : cases) EXPECT_EQ(t2dhost::EscapeHtml(c.raw), c.shown) << c.raw;
  t2dhost::Markup open;
  open.Open("p");
  EXPECT_THROW(open.Take(), std::logic_error);
  t2dhost::Markup style;
  style.Open("style");
  EXPECT_THROW(style.StyleSheet("</style><script>"), std::logic_error);
  EXPECT_THROW(t2dhost::Markup().Close(), std::logic_error);
}

TEST(Report, ShowsTraceStepsLogMeaningsJobsAndFindings) {
  const Parts parts = Sample();
  const std::string page = ReportHtml(parts.Input());
  EXPECT_NE(page.find("<th>Written by</th>"), std::string::npos);
  EXPECT_NE(page.find("earlier <code>999</code> written by AddSetupGlobal; replaced by AddSetup_end"),
            std::string::npos);
  EXPECT_NE(page.find("<td class=\"step\">AddSetup_end</td>"), std::string::npos);
  EXPECT_NE(page.find("<span class=\"badge warning\">warning</span> ticket.configuration"), std::string::npos);
  // Job 2's card lists its own log entry; the log names step and job, and
  // what a known entry means.
  const size_t card = page.find("id=\"job-2\"");
  ASSERT_NE(card, std::string::npos);
  EXPECT_NE(page.find("qxmsm.failaddjob &lt;x&gt;", card), std::string::npos);
  EXPECT_NE(page.find("<td class=\"step\">AddEnvironment2Dict</td><td class=\"num\">–</td>"), std::string::npos);
  const t2dhost::MessageInfo* info = t2dhost::FindMessage("qxmsm.nocusname");
  ASSERT_NE(info, nullptr);
  EXPECT_NE(page.find("<div class=\"meaning\">" + t2dhost::EscapeHtml(info->meaning) + "</div>"), std::string::npos);
  // Process inks get a swatch, others their name.
  EXPECT_NE(page.find("<span class=\"swatch\" style=\"background:#00a0e3\"></span>"), std::string::npos);
  EXPECT_NE(page.find("<td class=\"ink-name\">&lt;Gold&gt;</td>"), std::string::npos);

  ReportInput plain = parts.Input(false);
  plain.findings.clear();
  const std::string without = ReportHtml(plain);
  EXPECT_EQ(without.find("Written by"), std::string::npos);
  EXPECT_EQ(without.find("class=\"findings\""), std::string::npos);
}

// Each item names the ticket keys that feed it, as the table of ticket keys
// says; an item no key feeds names none.
TEST(Report, ItemsNameTheTicketKeysThatFeedThem) {
  const std::string page = ReportHtml(Sample().Input(false));
  EXPECT_NE(page.find("<td class=\"key\">rsx<div class=\"from muted\">from: HDistortion, WidthM, HSize</div></td>"),
            std::string::npos);
  EXPECT_NE(page.find("<td class=\"key\">ink1<div class=\"from muted\">from: Ink, Selected, Color, Type, InkBook, LPI, "
                      "Angle, Dotshape</div></td>"),
            std::string::npos);
  EXPECT_NE(page.find("<td class=\"key\">note</td>"), std::string::npos);
  EXPECT_NE(page.find("<td class=\"key\">DeviceName</td>"), std::string::npos);
}

TEST(Report, SurvivesAConversionWithoutItsParts) {
  for (const bool withSetup : {false, true}) {
    Parts parts;
    if (withSetup) parts.dictionary.Section("setup").Set("rsx", "-1", nullptr);
    ReportInput input = withSetup ? parts.Input() : ReportInput{};
    const std::string page = ReportHtml(input);
    EXPECT_NE(page.find("</html>"), std::string::npos);
    EXPECT_NE(page.find("plate size unknown"), std::string::npos);
  }
  // A plate and a job farther apart than doubles reach: nothing drawn, no "inf" written.
  Parts far;
  far.dictionary.Section("setup").Set("rsx", "1e308", nullptr);
  far.dictionary.Section("setup").Set("rsy", "1", nullptr);
  far.dictionary.JobSection(1).Set("hpos", "-1e308", nullptr);
  far.dictionary.JobSection(1).Set("vpos", "0", nullptr);
  far.jobs = JobDictionaries(R"([{"HSize": 254, "VSize": 254}])");
  const std::string page = ReportHtml(far.Input());
  EXPECT_NE(page.find("Nothing drawn"), std::string::npos);
  EXPECT_FALSE(std::regex_search(page, std::regex("[^a-z](inf|nan)[^a-z]")));
}

// Jobs stacked on one spot with long names: each label is cut to its job's
// width, no two labels share a line, and the whole name stays in the
// tooltip and the job list.
TEST(Report, LabelsStayInTheirJobAndNeverStack) {
  Parts parts;
  parts.dictionary.Section("setup").Set("rsx", "1200", nullptr);
  parts.dictionary.Section("setup").Set("rsy", "1200", nullptr);
  std::string jobs = "[";
  const std::string name(200, 'n');
  for (int n = 1; n <= 3; ++n) {
    parts.dictionary.JobSection(n).Set("hpos", "100", nullptr);
    parts.dictionary.JobSection(n).Set("vpos", "100", nullptr);
    jobs += std::string(n > 1 ? "," : "") + R"({"JobName": ")" + name + R"(", "HSize": 254000, "VSize": 254000})";
  }
  parts.jobs = JobDictionaries((jobs + "]").c_str());
  const std::string page = ReportHtml(parts.Input());
  const std::regex label("<svg class=\"label\" data-label-for=\"(\\d)\"[^>]*><text class=\"job-label\" x=\"([^\"]+)\" "
                         "y=\"([^\"]+)\" style=\"font-size:([^\"]+)px\"><tspan class=\"job-number\">\\d</tspan> (n*)…</text>");
  std::set<std::string> lines;
  size_t labels = 0;
  for (auto it = std::sregex_iterator(page.begin(), page.end(), label); it != std::sregex_iterator(); ++it, ++labels) {
    const double x = std::stod((*it)[2]), font = std::stod((*it)[4]);
    // "1 nnn…" in the job's 1000 units, at the widths the cut takes.
    EXPECT_LE(x + (0.85 + 0.45 + static_cast<double>((*it)[5].length()) * 0.75 + 1.0) * font, 1000.0);
    EXPECT_GT((*it)[5].length(), 20u);  // cut, not dropped
    EXPECT_TRUE(lines.insert((*it)[3]).second) << "two labels on the line at " << (*it)[3];
  }
  EXPECT_EQ(labels, 3u);
  // Whole in each job's group (its label and tooltip), job list entry and card.
  EXPECT_EQ(Count(page, name), 12u);
}

#ifdef T2D_HOST_PROGRAM
TEST(ReportCommand, WritesThePageOrFailsLikeRun) {
  hosttest::TempDir dir;
  const std::string page = dir.File("page.html");
  const auto ok = hosttest::Run({"report", std::string(T2D_SOURCE_DIR) + "/examples/multi-job.json", "-o", page});
  EXPECT_EQ(ok.exitCode, 0) << ok.err;
  EXPECT_EQ(Count(hosttest::ReadFile(page), "<g data-job=\""), 3u);

  hosttest::WriteFile(dir.File("bad.json"), "{\"setup\": 5}");
  hosttest::WriteFile(page, "before");
  const auto bad = hosttest::Run({"report", dir.File("bad.json"), "-o", page});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_EQ(Count(bad.err, "\n"), 1u) << bad.err;
  EXPECT_EQ(hosttest::ReadFile(page), "before");

  EXPECT_EQ(hosttest::Run({"report", dir.File("bad.json")}).exitCode, 2);  // -o is required
}
#endif

}  // namespace
