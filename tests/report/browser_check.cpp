// The report of one task file in headless Chromium with the network cut:
// `ticket2dict report` writes the page; a copy with a measuring script
// appended is loaded with --dump-dom; the script writes the plate's box and
// each job group's area and margins, mapped into the plate's coordinates,
// into the page. They must lie where the plate geometry puts them, with one
// group per job, no console message and nothing fetched.
//
// Each job has at most one label, and the label's text lies inside the job's
// area. With --long-names, every job of the task is renamed to a name of 200
// characters first: the labels must still fit.
//
// t2d_report_browser_check TASKFILE [--long-names]. Exit 0 when all holds, 1
// otherwise, 77 (skipped) without Chromium (T2D_CHROMIUM names it, else
// chromium on PATH).
#include <cmath>
#include <iostream>

#include "../host/host_program.h"
#include "conversion.h"
#include "plate_geometry.h"
#include "report.h"
#include "result_writer.h"

namespace {

namespace fs = std::filesystem;
using t2dhost::Json;
using t2dhost::PlateRect;

constexpr int kSkipped = 77;

const char* const kMeasure = R"js(<script>
(function () {
  var frame = document.getElementById('plate-frame');
  var toFrame = frame.getScreenCTM().inverse();
  function box(el) {
    if (!el) return null;
    var b = el.getBBox(), m = toFrame.multiply(el.getScreenCTM());
    var xs = [], ys = [];
    [[b.x, b.y], [b.x + b.width, b.y], [b.x, b.y + b.height], [b.x + b.width, b.y + b.height]].forEach(function (p) {
      var q = new DOMPoint(p[0], p[1]).matrixTransform(m);
      xs.push(q.x); ys.push(q.y);
    });
    var x = Math.min.apply(null, xs), y = Math.min.apply(null, ys);
    return [x, y, Math.max.apply(null, xs) - x, Math.max.apply(null, ys) - y];
  }
  var out = {plate: box(frame.querySelector('rect.plate')), jobs: {}, groups: 0,
             fetched: performance.getEntriesByType('resource').map(function (r) { return r.name; })};
  document.querySelectorAll('g[data-job]').forEach(function (g) {
    out.groups++;
    out.jobs[g.getAttribute('data-job')] = {area: box(g.querySelector('rect.area')), slot: box(g.querySelector('rect.slot'))};
  });
  out.labels = {};
  document.querySelectorAll('svg.label').forEach(function (l) {
    var n = l.getAttribute('data-label-for');
    out.labels[n] = (out.labels[n] || []).concat([box(l.querySelector('text'))]);
  });
  var pre = document.createElement('pre');
  pre.id = 't2d-measure';
  pre.textContent = JSON.stringify(out);
  document.body.appendChild(pre);
})();
</script>
)js";

std::string FindChromium() {
  if (const char* named = std::getenv("T2D_CHROMIUM")) return named;
  const char* path = std::getenv("PATH");
  std::stringstream folders(path != nullptr ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');)
    for (const char* name : {"chromium", "chromium-browser"})
      if (access((fs::path(folder) / name).c_str(), X_OK) == 0) return (fs::path(folder) / name).string();
  return "";
}

// The text of the measuring script's <pre>, as --dump-dom escapes it.
std::string Measured(const std::string& dom) {
  const std::string open = "<pre id=\"t2d-measure\">";
  const size_t start = dom.find(open), end = dom.find("</pre>", start);
  if (start == std::string::npos || end == std::string::npos) return "";
  std::string text = dom.substr(start + open.size(), end - start - open.size());
  hosttest::ReplaceAll(text, "&lt;", "<");
  hosttest::ReplaceAll(text, "&gt;", ">");
  hosttest::ReplaceAll(text, "&amp;", "&");
  return text;
}

int failures = 0;

void Expect(bool holds, const std::string& what) {
  if (holds) return;
  ++failures;
  std::cerr << "FAIL: " << what << "\n";
}

void ExpectBox(const Json& measured, const PlateRect& expected, const std::string& what) {
  if (!measured.is_array() || measured.size() != 4) return Expect(false, what + ": not drawn");
  const double values[4] = {expected.x, expected.y, expected.width, expected.height};
  const double tolerance =
      1e-5 * std::max({1.0, std::fabs(expected.x) + expected.width, std::fabs(expected.y) + expected.height});
  for (size_t i = 0; i < 4; ++i)
    Expect(std::fabs(measured[i].get<double>() - values[i]) <= tolerance,
           what + " is drawn at " + measured.dump() + ", the geometry puts it at [" + std::to_string(values[0]) + "," +
               std::to_string(values[1]) + "," + std::to_string(values[2]) + "," + std::to_string(values[3]) + "]");
}

// `measured` lies inside `area`, but for a hair of rounding.
void ExpectInside(const Json& measured, const PlateRect& area, const std::string& what) {
  if (!measured.is_array() || measured.size() != 4) return Expect(false, what + ": not drawn");
  const double x = measured[0], y = measured[1], w = measured[2], h = measured[3];
  const double tolerance = 1e-5 * std::max({1.0, area.width, area.height});
  Expect(x >= area.x - tolerance && y >= area.y - tolerance && x + w <= area.Right() + tolerance &&
             y + h <= area.Bottom() + tolerance,
         what + " is drawn at " + measured.dump() + ", outside its area [" + std::to_string(area.x) + "," +
             std::to_string(area.y) + "," + std::to_string(area.width) + "," + std::to_string(area.height) + "]");
}

}  // namespace

int main(int argc, char** argv) {
  const bool longNames = argc == 3 && std::string(argv[2]) == "--long-names";
  if (argc != 2 && !longNames) {
    std::cerr << "usage: t2d_report_browser_check TASKFILE [--long-names]\n";
    return 2;
  }
  const std::string chromium = FindChromium();
  if (chromium.empty()) {
    std::cerr << "SKIP: chromium is not installed (tools/install-deps.sh installs it)\n";
    return kSkipped;
  }
  try {
    // The example runs on a copy, with its data folders, as the golden tests do.
    const fs::path source(argv[1]);
    const std::string name = source.stem().string();
    hosttest::TempDir work;
    fs::copy_file(source, fs::path(work.Path()) / source.filename());
    for (const auto& entry : fs::directory_iterator(source.parent_path()))
      if (entry.is_directory() && entry.path().filename().string().rfind(name + "-", 0) == 0)
        fs::copy(entry.path(), fs::path(work.Path()) / entry.path().filename(), fs::copy_options::recursive);
    const std::string task = (fs::path(work.Path()) / source.filename()).string();
    if (longNames) {
      Json taskJson = Json::parse(hosttest::ReadFile(task));
      size_t renamed = 0;
      for (auto& master : taskJson["ticket"]["configuration"]["Masters"].items())
        if (master.value().is_object() && master.value().contains("Jobs"))
          for (Json& job : master.value()["Jobs"])
            job["JobName"] = "Autumn-catalogue-" + std::to_string(++renamed) + "-" + std::string(180, 'w') + ".pdf";
      if (renamed == 0) throw std::runtime_error("the task has no jobs to rename");
      hosttest::WriteFile(task, taskJson.dump(2));
    }

    const auto report = hosttest::Run({"report", task, "-o", work.File("page.html")});
    if (report.exitCode != 0) throw std::runtime_error("ticket2dict report failed: " + report.err);
    std::string page = hosttest::ReadFile(work.File("page.html"));
    const size_t body = page.rfind("</body>");
    if (body == std::string::npos) throw std::runtime_error("the page has no </body>");
    page.insert(body, kMeasure);
    hosttest::WriteFile(work.File("measure.html"), page);

    fs::create_directory(work.File("profile"));
    const auto browser = hosttest::RunCommand(
        {chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
         "--disable-component-update", "--disable-sync", "--user-data-dir=" + work.File("profile"),
         "--host-resolver-rules=MAP * ~NOTFOUND", "--proxy-server=127.0.0.1:9", "--enable-logging=stderr", "--v=0",
         "--window-size=1400,1000", "--dump-dom", "file://" + work.File("measure.html")});
    if (browser.exitCode != 0)
      throw std::runtime_error("chromium failed (" + std::to_string(browser.exitCode) + "): " + browser.err);
    std::stringstream log(browser.err);
    for (std::string line; std::getline(log, line);)
      Expect(line.find(":CONSOLE") == std::string::npos, "console message: " + line);
    const std::string measured = Measured(browser.out);
    if (measured.empty()) throw std::runtime_error("the measuring script wrote nothing; chromium said: " + browser.err);
    Json drawn = Json::parse(measured);

    // Where the geometry puts everything, from the same conversion in process.
    unsetenv("QX_SERVER");
    if (!__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__())
      throw std::runtime_error("the framework did not initialize");
    const t2dhost::TaskFile file = t2dhost::ReadTaskFile(task);
    t2dhost::Conversion conversion(file);
    conversion.Run();
    t2dhost::PlateInput input = t2dhost::PlateInputOf(conversion.Converter().Dictionary(), conversion.Jobs());
    if (const auto master = t2dhost::MasterPlateSizeOf(file)) {
      input.setup.masterWidth = master->width;
      input.setup.masterHeight = master->height;
    }
    const t2dhost::PlateGeometry geometry = t2dhost::ComputePlateGeometry(input);

    Expect(drawn["fetched"].empty(), "the page fetched " + drawn["fetched"].dump());
    Expect(drawn["groups"] == geometry.jobs.size(),
           "groups drawn: " + drawn["groups"].dump() + ", jobs: " + std::to_string(geometry.jobs.size()));
    if (geometry.plate)
      ExpectBox(drawn["plate"], *geometry.plate, "the plate");
    else
      Expect(drawn["plate"].is_null(), "a plate is drawn where its size is unknown");
    for (const t2dhost::PlacedJob& job : geometry.jobs) {
      const std::string n = std::to_string(job.number);
      if (!drawn["jobs"].contains(n)) {
        Expect(false, "job " + n + " has no group");
        continue;
      }
      if (!job.placed) continue;
      ExpectBox(drawn["jobs"][n]["area"], job.area, "job " + n + "'s area");
      ExpectBox(drawn["jobs"][n]["slot"], job.slot, "job " + n + "'s margins");
      const Json& labels = drawn["labels"].contains(n) ? drawn["labels"][n] : Json::array();
      Expect(labels.size() <= 1, "job " + n + " has " + std::to_string(labels.size()) + " labels");
      if (longNames) Expect(labels.size() == 1, "job " + n + " has no label");
      for (const Json& label : labels) ExpectInside(label, job.area, "job " + n + "'s label");
    }
    std::cout << name << ": " << geometry.jobs.size() << " jobs measured, " << failures << " failures\n";
  } catch (const std::exception& e) {
    std::cerr << "FAIL: " << e.what() << "\n";
    return 1;
  }
  return failures == 0 ? 0 : 1;
}
