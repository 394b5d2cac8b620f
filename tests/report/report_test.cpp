// The report page: escaping of every text from the result, nothing fetched,
// one group per job, the trace's steps and replaced values, the log's steps
// and jobs, the findings; and `ticket2dict report` on the command line.
#include "report.h"

#include <gtest/gtest.h>

#include <regex>

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

ReportInput Input() {
  ReportInput input;
  input.taskFileName = "a<b>.json";
  input.result = Json::parse(R"json({
    "dictionary": {
      "task": [{"key": "DeviceName", "value": "P & <1>"}],
      "setup": [{"key": "rsx", "value": "1000"}, {"key": "rsy", "value": "800"},
                {"key": "note", "value": "two\nlines \"q\" \u00e9", "comment": "it's <b>"}],
      "environment": [],
      "jobs": {
        "1": [{"key": "hpos", "value": "10"}, {"key": "vpos", "value": "10"},
              {"key": "ink", "value": "\"(Cyan|process|175|15|Round)\"", "comment": ""},
              {"key": "ink1", "value": "\"(<Gold>,Designer)\"", "comment": null}],
        "2": [{"key": "type", "value": "pdf"}]
      }
    },
    "log": [{"level": 2, "text": "qxmsm.failaddjob <x>", "step": "AddJob", "job": 2},
            {"level": 0, "text": "qxmsm.nocusname", "step": "AddEnvironment2Dict", "job": null}],
    "jobDictionaries": [{"JobName": "<script>alert(1)</script>", "HSize": 254000, "VSize": 127000}, {}],
    "trace": [{"step": "AddSetupGlobal", "job": null, "parent": null, "reads": [], "calls": [],
               "writes": [{"section": "setup", "key": "rsx", "value": "999", "comment": null}]},
              {"step": "AddSetup_end", "job": null, "parent": null, "reads": [], "calls": [],
               "writes": [{"section": "setup", "key": "rsx", "value": "1000", "comment": "rsx"}]}]
  })json");
  input.result["dictionary"]["setup"][2]["value"] = std::string("bad \xff byte");
  input.findings = {{"warning", "ticket.configuration.Masters.M1.Jobs[0].Rotaton never read; \"Rotation\" <absent>"}};
  return input;
}

TEST(Report, EscapesEveryTextAndFetchesNothing) {
  const std::string page = ReportHtml(Input());
  for (const char* raw : {"<script>", "<b>", "<Gold>", "<x>", "<absent>", "P & <1>", "a<b>"})
    EXPECT_EQ(page.find(raw), std::string::npos) << raw;
  for (const char* escaped : {"&lt;script&gt;alert(1)&lt;/script&gt;", "it&#39;s &lt;b&gt;", "P &amp; &lt;1&gt;",
                              "&lt;Gold&gt;", "bad \xEF\xBF\xBD byte", "a&lt;b&gt;.json"})
    EXPECT_NE(page.find(escaped), std::string::npos) << escaped;
  // Nothing to fetch: no scheme, no source, links only inside the page.
  EXPECT_FALSE(std::regex_search(page, std::regex("https?:|src=|url\\((?!#)|@import")));
  EXPECT_FALSE(std::regex_search(page, std::regex("href=\"[^#]")));
  EXPECT_EQ(Count(page, "<g data-job=\""), 2u);
  EXPECT_NE(page.find("<g data-job=\"2\" class=\"job unplaced\""), std::string::npos);
}

TEST(Report, ShowsTraceStepsLogStepsJobsAndFindings) {
  const std::string page = ReportHtml(Input());
  EXPECT_NE(page.find("<th>Written by</th>"), std::string::npos);
  EXPECT_NE(page.find("replaced: <span><code>999</code> by AddSetupGlobal</span>"), std::string::npos);
  EXPECT_NE(page.find("<td class=\"step\">AddSetup_end</td>"), std::string::npos);
  EXPECT_NE(page.find("<span class=\"badge warning\">warning</span> ticket.configuration"), std::string::npos);
  // Job 2's card lists its own log entry; the log names step and job.
  const size_t card = page.find("id=\"job-2\"");
  ASSERT_NE(card, std::string::npos);
  EXPECT_NE(page.find("qxmsm.failaddjob &lt;x&gt;", card), std::string::npos);
  EXPECT_NE(page.find("<td class=\"step\">AddEnvironment2Dict</td><td class=\"num\">–</td>"), std::string::npos);
  // Process inks get a swatch, others their name.
  EXPECT_NE(page.find("<span class=\"swatch\" style=\"background:#00a0e3\"></span>"), std::string::npos);
  EXPECT_NE(page.find("<td class=\"ink-name\">&lt;Gold&gt;</td>"), std::string::npos);

  ReportInput plain = Input();
  plain.result.erase("trace");
  plain.findings.clear();
  const std::string without = ReportHtml(plain);
  EXPECT_EQ(without.find("Written by"), std::string::npos);
  EXPECT_EQ(without.find("class=\"findings\""), std::string::npos);
}

TEST(Report, SurvivesAResultWithoutItsParts) {
  for (const char* text :
       {"{}", "{\"dictionary\": [], \"log\": {}, \"trace\": 5}", "[]",
        "{\"dictionary\": {\"setup\": [{\"key\": \"rsx\", \"value\": \"-1\"}], \"jobs\": {\"x\": []}}}"}) {
    ReportInput input;
    input.result = Json::parse(text);
    const std::string page = ReportHtml(input);
    EXPECT_NE(page.find("</html>"), std::string::npos) << text;
    EXPECT_NE(page.find("plate size unknown"), std::string::npos) << text;
  }
  // A plate and a job farther apart than doubles reach: nothing drawn, no "inf" written.
  ReportInput far;
  far.result =
      Json::parse(R"json({"dictionary": {"setup": [{"key": "rsx", "value": "1e308"}, {"key": "rsy", "value": "1"}],
    "jobs": {"1": [{"key": "hpos", "value": "-1e308"}, {"key": "vpos", "value": "0"}]}},
    "jobDictionaries": [{"HSize": 254, "VSize": 254}]})json");
  const std::string page = ReportHtml(far);
  EXPECT_NE(page.find("Nothing drawn"), std::string::npos);
  EXPECT_FALSE(std::regex_search(page, std::regex("[^a-z](inf|nan)[^a-z]")));
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
