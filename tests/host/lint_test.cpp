// `lint`: every mistake of a task file in one run, with its place; several
// files; the output formats; the key tables of the docs against the table of
// ticket keys.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <thread>

#include "conversion.h"
#include "host_program.h"
#include "lint.h"
#include "task_file.h"
#include "ticket_keys.h"

namespace {

namespace fs = std::filesystem;
using t2dhost::Json;

std::string Example(const std::string& name) {
  return (fs::path(T2D_SOURCE_DIR) / "examples" / (name + ".json")).string();
}

Json Typical() { return Json::parse(hosttest::ReadFile(Example("typical"))); }
Json& Master(Json& task) { return task["ticket"]["configuration"]["Masters"]["M1"]; }

// "LINE:COLUMN" of the first `needle` in `text` at or after `from`.
std::string PlaceOf(const std::string& text, const std::string& needle, const std::string& from = "") {
  const size_t at = text.find(needle, from.empty() ? 0 : text.find(from));
  if (at == std::string::npos) return "(" + needle + " not found)";
  const size_t lineStart = text.rfind('\n', at);
  const size_t line = 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n'));
  return std::to_string(line) + ":" + std::to_string(at - (lineStart == std::string::npos ? 0 : lineStart + 1) + 1);
}

// Two class errors in different jobs, one in the master options, a
// misspelling, a job off the plate, two overlapping jobs: all in one run,
// each at its key's line and column, in text and in JSON.
TEST(Lint, SixPlantedMistakesInOneRun) {
  Json task = Typical();
  task.erase("jobs");  // one AddJob per job of the master
  Json& master = Master(task);
  master["Options"]["HDistortion"] = 1;
  Json first = master["Jobs"][0], second = first, third = first;
  first["Rotation"] = 90.0;
  second["JobName"] = "cover.pdf";
  second["Ink"][0]["LPI"] = 175;
  second.erase("Rotation");
  second["Rotaton"] = 90;
  second["HPos"] = 600000;  // 600 mm: beyond the 510 mm plate
  third["JobName"] = "insert.pdf";  // where the first job is
  master["Jobs"] = Json::array({first, second, third});
  hosttest::TempDir dir;
  const std::string text = task.dump(2), path = dir.File("six.json");
  hosttest::WriteFile(path, text);

  const auto run = hosttest::Run({"lint", path});
  EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
  const std::string jobs = "\"Jobs\"";
  const std::string expected[] = {
      path + ":" + PlaceOf(text, "\"Rotation\"", jobs) + ": error: ticket.configuration.Masters.M1.Jobs[0].Rotation "
          "is a QX_TDouble (90.0); it is read as a QX_TInt32 (degrees) (write 90 (a number without '.', 'e' or 'E', "
          "no tag)) [type]",
      path + ":" + PlaceOf(text, "\"LPI\": 175,") + ": error: ticket.configuration.Masters.M1.Jobs[1].Ink[0].LPI is "
          "a QX_TInt32 (175); it is read as a QX_TDouble (lines per inch) (write 175.0, or {\"@double\": 175}) [type]",
      path + ":" + PlaceOf(text, "\"HDistortion\"") + ": error: ticket.configuration.Masters.M1.Options.HDistortion "
          "is a QX_TInt32 (1); it is read as a QX_TDouble (factor) (write 1.0, or {\"@double\": 1}) [type]",
      path + ":" + PlaceOf(text, "\"Rotaton\"") + ": warning: ticket.configuration.Masters.M1.Jobs[1].Rotaton is "
          "never read; \"Rotation\" was asked for and is absent: probably misspelt (write \"Rotation\") [misspelling]",
      ": warning: job 1 (brochure.pdf)'s exposed area overlaps that of job 3",
      ": warning: job 2 (cover.pdf)'s exposed area leaves the plate (510 x 400 mm): beyond its right edge by",
  };
  for (const std::string& line : expected) EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
  // The failures in the log come first, each once per job.
  EXPECT_EQ(run.out.find(path + ":"), run.out.find("error: qxmsm.failaddjobglobal (AddJob2Dict, job 1)") -
                                          (path + ":" + PlaceOf(text, "{", jobs) + ": ").size());

  const auto json = hosttest::Run({"lint", path, "--format", "json"});
  EXPECT_EQ(json.exitCode, 3);
  const Json findings = Json::parse(json.out);
  std::string lines;
  for (const Json& f : findings) {
    lines += path + ":" + std::to_string(f["line"].get<int>()) + ":" + std::to_string(f["column"].get<int>()) + ": " +
             f["severity"].get<std::string>() + ": " + f["message"].get<std::string>() +
             (f["hint"].is_null() ? "" : " (" + f["hint"].get<std::string>() + ")") + " [" +
             f["code"].get<std::string>() + "]\n";
    EXPECT_EQ(f["file"], path);
  }
  EXPECT_EQ(lines, run.out);
  EXPECT_EQ(findings.at(findings.size() - 1)["job"], 2);  // off the plate: job 2
}

// Keys that a walk finds by the table in every place: the class found, the
// fix, and whether the value, read as its key wants, lets the second
// conversion go on (a JSON object where an array is read can't be).
TEST(Lint, ClassFindingsAndTheirFixes) {
  const struct {
    std::vector<std::string> at;  // key path into the typical task
    Json value;
    const char* path;
    const char* hint;
  } cases[] = {
      {{"Options", "Copies"}, 2, "Options.Copies", "write {\"@uint16\": 2}"},
      {{"Jobs", "0", "FileSpec"}, "/srv/in/a.pdf", "Jobs[0].FileSpec", "write {\"@url\": \"/srv/in/a.pdf\"}"},
      {{"Jobs", "0", "SelectArea"}, Json::parse(R"([{"@uint32": 0}, {"@uint32": 0}, {"@uint32": 0}, 7])"), "Jobs[0].SelectArea[3]", "write {\"@uint32\": 7}"},
      {{"Jobs", "0", "PageRange"}, Json::parse("[[1, {\"@uint32\": 4}]]"), "Jobs[0].PageRange[0][0]",
       "write {\"@uint32\": 1}"},
      {{"Jobs", "0", "Ink"}, Json::object(), "Jobs[0].Ink", "write an array"},
      {{"Jobs", "0", "Contents"}, Json::parse("{\"Layers\": [\"a\", 2]}"), "Jobs[0].Contents.Layers[1]",
       "write it in quotes: \"2\""},
      {{"Info", "WidthM"}, -2.5, "Info.WidthM", "write a number without '.', 'e' or 'E' (or {\"@int32\": n})"},
      {{"Jobs", "0", "Ink", "0", "Selected"}, true, "Jobs[0].Ink[0].Selected",
       "write a number without '.', 'e' or 'E' (or {\"@int32\": n})"},
  };
  ASSERT_TRUE(__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__());
  for (const auto& c : cases) {
    Json task = Typical();
    Json* at = &Master(task);
    for (size_t i = 0; i + 1 < c.at.size(); ++i)
      at = at->is_array() ? &(*at)[std::stoul(c.at[i])] : &(*at)[c.at[i]];
    (*at)[c.at.back()] = c.value;
    const t2dhost::TaskFile file = t2dhost::ReadTaskFileText(task.dump(1), "t.json", "/", true);
    t2dhost::ConversionOptions traced;
    traced.trace = true;
    t2dhost::Conversion conversion(file, nullptr, traced);
    conversion.Run();
    const std::string path = std::string("ticket.configuration.Masters.M1.") + c.path;
    std::vector<std::string> hints;
    for (const t2dhost::LintFinding& f : t2dhost::Lint(file, conversion, false))
      if (f.code == "type") {
        EXPECT_EQ(f.path, path);
        EXPECT_GT(f.position.line, 1u);
        hints.push_back(f.hint);
      }
    EXPECT_EQ(hints, std::vector<std::string>{c.hint}) << path;
  }
}

// The second conversion works on a copy: the task file is left as it was,
// and two lints on two threads find the same.
TEST(Lint, TheFixedCopyLeavesTheTaskFileAloneOnTwoThreads) {
  Json task = Typical();
  Master(task)["Options"]["HDistortion"] = 1;
  ASSERT_TRUE(__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__());
  const t2dhost::TaskFile file = t2dhost::ReadTaskFileText(task.dump(), "t.json", "/", true);
  std::vector<std::string> found[2];
  const auto lint = [&](std::vector<std::string>& out) {
    t2dhost::ConversionOptions traced;
    traced.trace = true;
    t2dhost::Conversion conversion(file, nullptr, traced);
    conversion.Run();
    for (const t2dhost::LintFinding& f : t2dhost::Lint(file, conversion, true)) out.push_back(t2dhost::FindingLine(f));
  };
  std::thread one(lint, std::ref(found[0])), two(lint, std::ref(found[1]));
  one.join();
  two.join();
  EXPECT_EQ(found[0], found[1]);
  EXPECT_FALSE(found[0].empty());
  EXPECT_EQ(t2dhost::EncodeValue(file.configuration)["Masters"]["M1"]["Options"]["HDistortion"], Json(1));
}

// Folders and files in one call: a malformed file is a finding of its own
// (exit 2) and the others are still checked; an output value built from an
// empty template name; the examples are clean but the one that fails on
// purpose.
TEST(Lint, SeveralPathsAMalformedFileAndTheExamples) {
  hosttest::TempDir dir;
  fs::copy(fs::path(T2D_SOURCE_DIR) / "examples", dir.Path(), fs::copy_options::recursive);
  for (const char* left : {"PlateSettings.iniC7.ini", "PressConfig.datC7.dat"})  // a source-tree run's copies
    fs::remove(dir.File(std::string("cip3-ipl/") + left));
  hosttest::WriteFile(dir.File("broken.json"), "{\n  \"setup\": [1,\n");
  Json task = Typical();
  Master(task)["Options"]["DGC"] = "<page>";  // defined, without a value
  fs::create_directory(dir.File("extra"));
  hosttest::WriteFile(dir.File("extra/template.json"), task.dump(2));

  auto run = hosttest::Run({"lint", dir.Path(), dir.File("extra"), dir.File("missing")});
  EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
  EXPECT_NE(run.out.find(dir.File("broken.json") + ":3:"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(dir.File("missing") + ":1:1: error: "), std::string::npos);
  EXPECT_NE(run.out.find(dir.File("extra/template.json") + ":" + PlaceOf(task.dump(2), "\"DGC\"") +
                         ": warning: ticket.configuration.Masters.M1.Options.DGC \"<page>\" is built from the "
                         "template name \"page\", which is defined but empty"),
            std::string::npos)
      << run.out;
  for (const char* clean : {"typical.json", "cip3.json", "flavour"})
    EXPECT_EQ(run.out.find(dir.File(clean)), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(dir.File("multi-job.json")), std::string::npos);
  EXPECT_FALSE(fs::exists(dir.File("cip3-ipl/PlateSettings.iniC7.ini")));  // the copies are cleaned up

  run = hosttest::Run({"lint", dir.File("typical.json"), dir.File("flavour/task.json"), dir.File("cip3.json")});
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_EQ(hosttest::Run({"lint", dir.File("typical.json"), "--format", "xml"}).exitCode, 2);
}

// The key tables of docs/task-file.md are the table's, in order.
TEST(Lint, KeyTablesOfTheDocsAreGeneratedFromTheTable) {
  const std::string path = T2D_SOURCE_DIR "/docs/task-file.md";
  std::string document = hosttest::ReadFile(path), generated;
  size_t from = 0;
  bool same = true;
  for (const t2dhost::KeyPlace place : t2dhost::kAllKeyPlaces) {
    const size_t begin = document.find(t2dhost::kKeyTableBegin, from);
    const size_t end = document.find(t2dhost::kKeyTableEnd, begin == std::string::npos ? from : begin);
    ASSERT_NE(end, std::string::npos) << path << " lacks a generated table";
    const std::string table = t2dhost::TicketKeyTableMarkdown(place);
    const size_t length = end + std::string(t2dhost::kKeyTableEnd).size() - begin;
    same = same && document.compare(begin, length, table) == 0;
    document.replace(begin, length, table);
    from = begin + table.size();
  }
  EXPECT_EQ(document.find(t2dhost::kKeyTableBegin, from), std::string::npos) << "a generated table too many";
  if (same) return;
  if (std::getenv("T2D_UPDATE_KEYS_DOC") != nullptr) return hosttest::WriteFile(path, document);
  ADD_FAILURE() << path << " differs from the table of ticket keys; regenerate it with\n  T2D_UPDATE_KEYS_DOC=1 "
                << "t2d_tests --gtest_filter=Lint.KeyTablesOfTheDocsAreGeneratedFromTheTable";
}

}  // namespace

// Where each key stands, in bytes from 1: keys holding escaped quotes and
// backslashes, keys after multibyte texts, elements of nested arrays, and the
// keys of a tag, which stand where the tagged value does.
TEST(Lint, PositionsOfKeysAndElements) {
  const std::string text =
      "{\"ticket\": {\"configuration\": {\n"
      "  \"a\\\"b\": 1, \"c\\\\\": {\"d\": [[1], {\"e\": 2}]},\n"
      "  \"ü\": \"ß\", \"f\": {\"@double\": 1}}}}";
  const t2dhost::TaskFile file = t2dhost::ReadTaskFileText(text, "t.json", "/", true);
  ASSERT_TRUE(file.positions);
  const std::pair<const char*, const char*> cases[] = {
      {"ticket", "1:2"},
      {"ticket.configuration[\"a\\\"b\"]", "2:3"},
      {"ticket.configuration[\"c\\\\\"].d", "2:22"},
      {"ticket.configuration[\"c\\\\\"].d[1]", "2:33"},
      {"ticket.configuration[\"c\\\\\"].d[1].e", "2:34"},
      {"ticket.configuration.f", "3:15"},
  };
  for (const auto& [path, place] : cases) {
    const auto found = file.positions->find(path);
    ASSERT_NE(found, file.positions->end()) << path;
    EXPECT_EQ(std::to_string(found->second.line) + ":" + std::to_string(found->second.column), place) << path;
  }
  EXPECT_EQ(file.positions->count("ticket.configuration.f[\"@double\"]"), 0u);
  EXPECT_FALSE(t2dhost::ReadTaskFileText(text, "t.json", "/").positions);  // only when asked for
}

// What only the second conversion shows is an error that says so; a job
// beyond the top-left corner names those edges; standard input is a task
// file; a flavour that can't be loaded is exit status 2.
TEST(Lint, PastTheFailureTopLeftEdgesStandardInputAndABadFlavour) {
  Json task = Typical();
  Json& job = Master(task)["Jobs"][0];
  job["Rotation"] = 90.0;  // fails the job's global info before the previews are read
  job.erase("RGBPreview");
  job["HPos"] = -100000;
  job["VPos"] = -50000;
  hosttest::TempDir dir;
  hosttest::WriteFile(dir.File("t.json"), task.dump(2));
  const auto run = hosttest::RunProgram({"lint", "-"}, {{"QX_SERVER", std::nullopt}}, {dir.File("t.json"), ""});
  EXPECT_EQ(run.exitCode, 3) << run.err;
  EXPECT_NE(run.out.find("(standard input):"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\"RGBPreview\" at ticket.configuration.Masters.M1.Jobs[0].RGBPreview"), std::string::npos);
  EXPECT_NE(run.out.find("seen once the values of the wrong class are read as their keys want"), std::string::npos);
  EXPECT_NE(run.out.find("beyond its left edge by "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(", top edge by "), std::string::npos);
  EXPECT_EQ(hosttest::Run({"lint", dir.File("t.json"), "--flavour", dir.File("none.so")}).exitCode, 2);
}
