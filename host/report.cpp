#include "report.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "plate_geometry.h"
#include "result_writer.h"

namespace t2dhost {

namespace {

// ---- Texts -----------------------------------------------------------------

// `text` for HTML text and attribute values: markup characters escaped,
// control characters shown as their visible pictures (U+2400 on), bytes
// that are not UTF-8 replaced.
std::string Html(const std::string& raw) {
  const bool plainAscii =
      std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  const std::string text = plainAscii ? raw : Json::parse(QuotedText(raw)).get<std::string>();
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        if (byte < 0x20) {
          out += "\xE2\x90";  // U+2400 + byte
          out += static_cast<char>(0x80 + byte);
        } else if (byte == 0x7F) {
          out += "\xE2\x90\xA1";  // U+2421
        } else {
          out += c;
        }
    }
  }
  return out;
}

const Json* Member(const Json& json, const char* key) {
  if (!json.is_object()) return nullptr;
  const auto found = json.find(key);
  return found == json.end() ? nullptr : &*found;
}

std::string StringOr(const Json* json, const std::string& fallback = "") {
  return json != nullptr && json->is_string() ? json->get<std::string>() : fallback;
}

// A typed value of the result as one line of JSON; a text as it is.
std::string ValueText(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string Number(double value, int decimals = 2) { return FixedText(value, decimals); }
std::string Millimetres(double units) { return FixedText(units / kUnitsPerMillimetre, 2) + " mm"; }
std::string Inches(double units) { return FixedText(units / kUnitsPerInch, 2) + " in"; }
std::string Lengths(double units) { return Millimetres(units) + " (" + Inches(units) + ")"; }
std::string Coordinate(double value) { return FixedText(value, 4); }

std::string JobTitle(int number, const std::string& name) {
  return "Job " + std::to_string(number) + (name.empty() ? std::string() : " · " + name);
}

// A name as the items quote it ("\"brochure.pdf\"") without its quotes.
std::string Unquoted(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

// ---- The log and the trace -------------------------------------------------

struct LogEntry {
  size_t index = 0;
  int64_t level = 0;
  std::string text, argument, step;
  std::optional<int64_t> job;
  bool hasArgument = false;
};

std::vector<LogEntry> LogEntries(const Json& result) {
  std::vector<LogEntry> entries;
  const Json* log = Member(result, "log");
  if (log == nullptr || !log->is_array()) return entries;
  for (const Json& item : *log) {
    LogEntry entry;
    entry.index = entries.size() + 1;
    if (const Json* level = Member(item, "level"); level != nullptr && level->is_number_integer())
      entry.level = level->get<int64_t>();
    entry.text = StringOr(Member(item, "text"));
    if (const Json* argument = Member(item, "argument")) {
      entry.hasArgument = true;
      entry.argument = ValueText(*argument);
    }
    entry.step = StringOr(Member(item, "step"));
    if (const Json* job = Member(item, "job"); job != nullptr && job->is_number_integer())
      entry.job = job->get<int64_t>();
    entries.push_back(std::move(entry));
  }
  return entries;
}

bool LogNamesSteps(const Json& result) {
  const Json* log = Member(result, "log");
  if (log == nullptr || !log->is_array()) return false;
  return std::any_of(log->begin(), log->end(), [](const Json& e) { return Member(e, "step") != nullptr; });
}

bool LogNamesJobs(const Json& result) {
  const Json* log = Member(result, "log");
  if (log == nullptr || !log->is_array()) return false;
  return std::any_of(log->begin(), log->end(), [](const Json& e) { return Member(e, "job") != nullptr; });
}

struct Write {
  std::string value;
  std::string step;
  std::optional<int64_t> job;
};

// Every write of the trace by section ("setup", "jobs.2") and key, in order.
using Writes = std::map<std::pair<std::string, std::string>, std::vector<Write>>;

std::optional<Writes> TraceWrites(const Json& result) {
  const Json* trace = Member(result, "trace");
  if (trace == nullptr || !trace->is_array()) return std::nullopt;
  Writes writes;
  for (const Json& run : *trace) {
    const Json* list = Member(run, "writes");
    if (list == nullptr || !list->is_array()) continue;
    std::optional<int64_t> job;
    if (const Json* j = Member(run, "job"); j != nullptr && j->is_number_integer()) job = j->get<int64_t>();
    for (const Json& w : *list) {
      Write write;
      write.value = StringOr(Member(w, "value"));
      write.step = StringOr(Member(run, "step"));
      write.job = job;
      writes[{StringOr(Member(w, "section")), StringOr(Member(w, "key"))}].push_back(std::move(write));
    }
  }
  return writes;
}

std::string LevelBadge(int64_t level) {
  if (level >= 2) return "<span class=\"badge error\">error</span>";
  if (level == 1) return "<span class=\"badge warning\">warning</span>";
  return "<span class=\"badge notice\">notice</span>";
}

// ---- Tables ----------------------------------------------------------------

std::string CommentCell(const Json* comment) {
  if (comment == nullptr || comment->is_null()) return "<td class=\"comment\"><span class=\"muted\">none</span></td>";
  const std::string text = StringOr(comment);
  if (text.empty()) return "<td class=\"comment\"><span class=\"muted\">empty</span></td>";
  return "<td class=\"comment\">" + Html(text) + "</td>";
}

std::string StepText(const Write& write) {
  return write.step + (write.job ? ", job " + std::to_string(*write.job) : std::string());
}

// One section's items: key, value, comment (where the section's items carry
// one) and, with a trace, the step that wrote each and the values it replaced.
std::string ItemsTable(const Json& items, const std::string& section, const std::optional<Writes>& writes) {
  if (!items.is_array() || items.empty()) return "<p class=\"muted\">No items.</p>\n";
  const bool comments =
      std::any_of(items.begin(), items.end(), [](const Json& i) { return Member(i, "comment") != nullptr; });
  std::string out = "<table class=\"items\">\n<thead><tr><th>Key</th><th>Value</th>";
  if (comments) out += "<th>Comment</th>";
  if (writes) out += "<th>Written by</th>";
  out += "</tr></thead>\n<tbody>\n";
  for (const Json& item : items) {
    const std::string key = StringOr(Member(item, "key"));
    out += "<tr><td class=\"key\">" + Html(key) + "</td><td class=\"value\"><code>" +
           Html(StringOr(Member(item, "value"))) + "</code>";
    const std::vector<Write>* history = nullptr;
    if (writes) {
      const auto found = writes->find({section, key});
      if (found != writes->end()) history = &found->second;
    }
    if (history != nullptr && history->size() > 1) {
      out += "<div class=\"earlier\">replaced:";
      for (size_t i = 0; i + 1 < history->size(); ++i)
        out += " <span><code>" + Html((*history)[i].value) + "</code> by " + Html(StepText((*history)[i])) + "</span>";
      out += "</div>";
    }
    out += "</td>";
    if (comments) out += CommentCell(Member(item, "comment"));
    if (writes)
      out += "<td class=\"step\">" +
             (history != nullptr ? Html(StepText(history->back()))
                                 : std::string("<span class=\"muted\">not traced</span>")) +
             "</td>";
    out += "</tr>\n";
  }
  return out + "</tbody></table>\n";
}

std::string LogTable(const std::vector<LogEntry>& entries, bool steps, bool jobs) {
  if (entries.empty()) return "<p class=\"muted\">The log is empty.</p>\n";
  std::string out = "<table class=\"log\">\n<thead><tr><th>#</th><th>Level</th>";
  if (steps) out += "<th>Step</th>";
  if (jobs) out += "<th>Job</th>";
  out += "<th>Message</th></tr></thead>\n<tbody>\n";
  for (const LogEntry& e : entries) {
    out += "<tr class=\"level-" + std::to_string(std::clamp<int64_t>(e.level, 0, 2)) + "\"><td class=\"num\">" +
           std::to_string(e.index) + "</td><td>" + LevelBadge(e.level) + " <span class=\"muted\">" +
           std::to_string(e.level) + "</span></td>";
    if (steps) out += "<td class=\"step\">" + Html(e.step) + "</td>";
    if (jobs) out += "<td class=\"num\">" + (e.job ? std::to_string(*e.job) : std::string("–")) + "</td>";
    out += "<td class=\"message\">" + Html(e.text);
    if (e.hasArgument) out += "<div class=\"argument\">argument: <code>" + Html(e.argument) + "</code></div>";
    out += "</td></tr>\n";
  }
  return out + "</tbody></table>\n";
}

// ---- Inks ------------------------------------------------------------------

struct Ink {
  std::string key, name, book, ruling, angle, dot;
  bool screened = false;
};

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

bool IsNumber(const std::string& text) {
  if (text.empty()) return false;
  return text.find_first_not_of("0123456789.eE+-") == std::string::npos;
}

// An ink entry: "(name,book)", "(name,book,ruling,angle,dot)" or the same
// with vertical bars, in double quotes.
Ink ParseInk(const std::string& key, const std::string& value) {
  Ink ink;
  ink.key = key;
  std::string body = Unquoted(value);
  if (body.size() >= 2 && body.front() == '(' && body.back() == ')') body = body.substr(1, body.size() - 2);
  const bool bars = body.find('|') != std::string::npos;
  std::vector<std::string> fields = Split(body, bars ? '|' : ',');
  const auto join = [&fields](size_t from, size_t to, char separator) {
    std::string out;
    for (size_t i = from; i < to; ++i) out += (i > from ? std::string(1, separator) : std::string()) + fields[i];
    return out;
  };
  const size_t n = fields.size();
  if (n >= 5 && IsNumber(fields[n - 3]) && IsNumber(fields[n - 2])) {
    ink.screened = true;
    ink.name = join(0, n - 4, bars ? '|' : ',');
    ink.book = fields[n - 4];
    ink.ruling = fields[n - 3];
    ink.angle = fields[n - 2];
    ink.dot = fields[n - 1];
  } else if (n >= 2) {
    ink.name = join(0, n - 1, bars ? '|' : ',');
    ink.book = fields[n - 1];
  } else {
    ink.name = body;
  }
  return ink;
}

bool IsInkKey(const std::string& key) {
  return key == "ink" || (key.size() > 3 && key.compare(0, 3, "ink") == 0 &&
                          key.find_first_not_of("0123456789", 3) == std::string::npos);
}

std::string LowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The swatch colour of a process ink, empty for any other.
std::string ProcessColour(const std::string& name) {
  const std::string n = LowerCase(name);
  if (n == "cyan") return "#00a0e3";
  if (n == "magenta") return "#e5007d";
  if (n == "yellow") return "#ffe500";
  if (n == "black") return "#1d1d1b";
  return "";
}

std::string InksBlock(const Json& items) {
  std::vector<Ink> inks;
  std::string selection, family, dot;
  for (const Json& item : items) {
    const std::string key = StringOr(Member(item, "key"));
    if (IsInkKey(key)) inks.push_back(ParseInk(key, StringOr(Member(item, "value"))));
    if (key == "inksel") selection = StringOr(Member(item, "value"));
    if (key == "ScreeningType") family = StringOr(Member(item, "value"));
    if (key == "dot") dot = StringOr(Member(item, "value"));
  }
  std::string screening;
  if (!family.empty() || !dot.empty())
    screening = "<p class=\"inksel\">Job screening: " +
                (family.empty() ? std::string() : "family <b>" + Html(family) + "</b>") +
                (!family.empty() && !dot.empty() ? ", " : "") +
                (dot.empty() ? std::string() : "dot shape <b>" + Html(dot) + "</b>") + "</p>\n";
  if (inks.empty()) return "<p class=\"muted\">No ink entries.</p>\n" + screening;
  std::string out =
      "<table class=\"inks\">\n<thead><tr><th></th><th>Ink</th><th>Book</th><th>Ruling</th>"
      "<th>Angle</th><th>Dot shape</th><th>Entry</th></tr></thead>\n<tbody>\n";
  for (const Ink& ink : inks) {
    const std::string colour = ProcessColour(ink.name);
    out += "<tr><td>" +
           (colour.empty() ? std::string("<span class=\"swatch spot\" title=\"not a process ink\"></span>")
                           : "<span class=\"swatch\" style=\"background:" + colour + "\"></span>") +
           "</td><td class=\"ink-name\">" + Html(ink.name) + "</td><td>" +
           (ink.book.empty() ? std::string("<span class=\"muted\">none</span>") : Html(ink.book)) + "</td>";
    if (ink.screened)
      out += "<td>" + Html(ink.ruling) + " lpi</td><td>" + Html(ink.angle) + "°</td><td>" +
             (ink.dot.empty() ? std::string("<span class=\"muted\">none</span>") : Html(ink.dot)) + "</td>";
    else
      out += "<td class=\"muted\" colspan=\"3\">no screening values</td>";
    out += "<td class=\"key\">" + Html(ink.key) + "</td></tr>\n";
  }
  out += "</tbody></table>\n";
  if (!selection.empty()) out += "<p class=\"inksel\">Ink selection: <code>" + Html(selection) + "</code></p>\n";
  return out + screening;
}

// ---- The plate drawing -----------------------------------------------------

const char* const kJobColours[] = {"#2563eb", "#0d9488", "#7c3aed", "#16a34a",
                                   "#0369a1", "#a21caf", "#4d7c0f", "#4338ca"};

std::string JobColour(int number) {
  return kJobColours[static_cast<size_t>(std::max(number, 1) - 1) % (sizeof kJobColours / sizeof kJobColours[0])];
}

const char* UpText(JobUp up) {
  switch (up) {
    case JobUp::kUp:
      return "up";
    case JobUp::kLeft:
      return "to the left";
    case JobUp::kDown:
      return "down";
    case JobUp::kRight:
      return "to the right";
  }
  return "up";
}

// A round length near `target`: 1, 2 or 5 times a power of ten.
double NiceLength(double target) {
  if (!(target > 0) || !std::isfinite(target)) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(target)));
  if (!(power > 0) || !std::isfinite(power)) return target;
  for (const double step : {5.0, 2.0, 1.0})
    if (step * power <= target) return step * power;
  return power;
}

PlateRect Union(const PlateRect& a, const PlateRect& b) {
  const double x = std::min(a.x, b.x), y = std::min(a.y, b.y);
  return {x, y, std::max(a.Right(), b.Right()) - x, std::max(a.Bottom(), b.Bottom()) - y};
}

bool SameSize(const PlateRect& a, const PlateRect& b) {
  const double tolerance = 1e-9 * std::max({1.0, a.width, a.height});
  return std::fabs(a.width - b.width) <= tolerance && std::fabs(a.height - b.height) <= tolerance;
}

std::string Rect(const PlateRect& r, const std::string& cls, const std::string& extra = "") {
  return "<rect class=\"" + cls + "\" x=\"" + Coordinate(r.x) + "\" y=\"" + Coordinate(r.y) + "\" width=\"" +
         Coordinate(r.width) + "\" height=\"" + Coordinate(r.height) + "\"" + extra + "/>";
}

std::string Text(double x, double y, const std::string& cls, const std::string& content,
                 const std::string& extra = "") {
  return "<text class=\"" + cls + "\" x=\"" + Coordinate(x) + "\" y=\"" + Coordinate(y) + "\"" + extra + ">" + content +
         "</text>";
}

std::string JobFlagText(const PlacedJob& job) {
  std::string flags;
  if (job.outside) flags = "OUTSIDE THE PLATE";
  if (job.overlapCount > 0)
    flags += (flags.empty() ? "" : " · ") + (job.overlapCount == 1
                                                 ? "OVERLAPS JOB " + std::to_string(job.overlaps.front())
                                                 : "OVERLAPS " + std::to_string(job.overlapCount) + " JOBS");
  if (job.placed && !job.sizeKnown) flags += (flags.empty() ? "" : " · ") + std::string("SIZE UNKNOWN");
  return flags;
}

// The job's group: its margins, the page where cropped, the exposed area
// (the part off the plate hatched), its top edge and an arrow towards it.
std::string JobGroup(const PlacedJob& job, double font) {
  std::string cls = "job";
  if (job.outside) cls += " outside";
  if (!job.overlaps.empty()) cls += " overlap";
  if (!job.placed) cls += " unplaced";
  const std::string title = JobTitle(job.number, job.name);
  std::string out = "<g data-job=\"" + std::to_string(job.number) + "\" class=\"" + cls +
                    "\" style=\"--job:" + JobColour(job.number) + "\" aria-label=\"" + Html(title) + "\">";
  if (!job.placed) return out + "<title>" + Html(title) + ": not placed</title></g>\n";
  const PlateRect& a = job.area;
  out += "<a href=\"#job-" + std::to_string(job.number) + "\"><title>" + Html(title) + " — " +
         (job.sizeKnown ? Html(Millimetres(a.width) + " × " + Millimetres(a.height) + " at ") : std::string("at ")) +
         Html(Millimetres(a.x) + ", " + Millimetres(a.y)) + "</title>";
  out += Rect(job.slot, "slot");
  if (job.cropped) out += Rect(job.page, "page");
  out += Rect(a, "area");
  if (job.outside) out += Rect(a, "off-plate", " mask=\"url(#off-plate)\"");
  if (!job.sizeKnown) {
    // A cross at the position: the page's size is not known.
    const double r = font * 0.8;
    out += "<path class=\"marker\" d=\"M" + Coordinate(a.x - r) + " " + Coordinate(a.y) + "H" + Coordinate(a.x + r) +
           "M" + Coordinate(a.x) + " " + Coordinate(a.y - r) + "V" + Coordinate(a.y + r) + "\"/>";
    return out + "</a></g>\n";
  }
  // The job's top edge, drawn thick, and an arrow from the centre to it.
  const double cx = a.x + a.width / 2, cy = a.y + a.height / 2;
  double x1 = a.x, y1 = a.y, x2 = a.Right(), y2 = a.y, dx = 0, dy = -1;
  switch (job.up) {
    case JobUp::kUp:
      break;
    case JobUp::kLeft:
      x2 = a.x;
      y2 = a.Bottom();
      dx = -1;
      dy = 0;
      break;
    case JobUp::kDown:
      y1 = y2 = a.Bottom();
      dy = 1;
      break;
    case JobUp::kRight:
      x1 = x2 = a.Right();
      y2 = a.Bottom();
      dx = 1;
      dy = 0;
      break;
  }
  out += "<line class=\"top-edge\" x1=\"" + Coordinate(x1) + "\" y1=\"" + Coordinate(y1) + "\" x2=\"" + Coordinate(x2) +
         "\" y2=\"" + Coordinate(y2) + "\"/>";
  const double reach = std::min(a.width, a.height) * 0.3, head = std::min(font * 0.9, reach * 0.5);
  const double tipX = cx + dx * reach, tipY = cy + dy * reach, baseX = tipX - dx * head, baseY = tipY - dy * head;
  out += "<path class=\"up\" d=\"M" + Coordinate(cx) + " " + Coordinate(cy) + "L" + Coordinate(baseX) + " " +
         Coordinate(baseY) + "M" + Coordinate(tipX) + " " + Coordinate(tipY) + "L" +
         Coordinate(baseX - dy * head * 0.6) + " " + Coordinate(baseY + dx * head * 0.6) + "L" +
         Coordinate(baseX + dy * head * 0.6) + " " + Coordinate(baseY - dx * head * 0.6) + "Z\"/>";
  return out + "</a></g>\n";
}

// The job's label and flags, drawn above every job so that no job hides
// another's: inside the area's top-left corner (beside the cross of a job
// whose size is unknown).
std::string JobLabel(const PlacedJob& job, double font) {
  if (!job.placed) return "";
  const PlateRect& a = job.area;
  const double inset = job.up == JobUp::kUp || job.up == JobUp::kLeft ? font * 0.8 : font * 0.5;
  const double x = a.x + (job.sizeKnown ? inset : font), y = a.y + (job.sizeKnown ? inset + font : -font * 0.4);
  const std::string flagged = job.outside ? " outside" : !job.overlaps.empty() ? " overlap" : "";
  std::string out = "<g class=\"label" + flagged + "\" data-label-for=\"" + std::to_string(job.number) +
                    "\" style=\"--job:" + JobColour(job.number) + "\">";
  out += Text(x, y, "job-label",
              "<tspan class=\"job-number\">" + std::to_string(job.number) + "</tspan> " + Html(job.name));
  const std::string flags = JobFlagText(job);
  if (!flags.empty()) out += Text(x, y + font * 1.25, "job-flag", Html(flags));
  return out + "</g>\n";
}

std::string PlateSvg(const PlateGeometry& geometry) {
  // The drawing's extent: the plate, the master's size and every job.
  std::optional<PlateRect> extent = geometry.plate;
  const auto include = [&extent](const PlateRect& r) { extent = extent ? Union(*extent, r) : r; };
  const bool showMaster = geometry.master && (!geometry.plate || !SameSize(*geometry.master, *geometry.plate));
  if (showMaster) include(*geometry.master);
  for (const PlacedJob& job : geometry.jobs)
    if (job.placed) {
      include(job.slot);
      include(job.page);
    }
  if (!extent) return "<p class=\"muted\">Nothing to draw: no plate size and no placed job.</p>\n";
  if (!std::isfinite(extent->width) || !std::isfinite(extent->height))
    return "<p class=\"note\">Nothing drawn: the plate and the jobs span more than numbers can hold.</p>\n";
  const double size = std::max({extent->width, extent->height, 1.0});
  const double font = size / 42, pad = size * 0.035;
  const double top = extent->y - pad - font * 2.2;
  const double left = extent->x - pad - font * 1.8;
  const double barsTop = extent->Bottom() + pad + font * 1.2;
  const double bottom = barsTop + font * 4.6;
  const double right = extent->Right() + pad;
  const PlateRect view{left, top, right - left, bottom - top};

  std::string out = "<svg class=\"plate-drawing\" viewBox=\"" + Coordinate(view.x) + " " + Coordinate(view.y) + " " +
                    Coordinate(view.width) + " " + Coordinate(view.height) +
                    "\" role=\"img\" aria-label=\"The plate drawn to scale with the jobs placed on it\" "
                    "style=\"--font:" +
                    Coordinate(font) + "px\">\n";
  const double hatch = size / 110;
  const auto pattern = [hatch](const char* id, const char* angle, const char* background, const char* stripe) {
    return std::string("<pattern id=\"") + id + "\" patternUnits=\"userSpaceOnUse\" width=\"" + Coordinate(hatch) +
           "\" height=\"" + Coordinate(hatch) + "\" patternTransform=\"rotate(" + angle + ")\"><rect width=\"" +
           Coordinate(hatch) + "\" height=\"" + Coordinate(hatch) + "\" fill=\"" + background + "\"/><rect width=\"" +
           Coordinate(hatch * 0.35) + "\" height=\"" + Coordinate(hatch) + "\" fill=\"" + stripe + "\"/></pattern>";
  };
  out += "<defs>" + pattern("hatch-outside", "45", "#fde8e8", "#dc2626") +
         pattern("hatch-overlap", "-45", "#fff4db", "#d97706");
  // Everything but the plate: where a job's area is hatched as outside.
  out += "<mask id=\"off-plate\" maskUnits=\"userSpaceOnUse\" x=\"" + Coordinate(view.x) + "\" y=\"" +
         Coordinate(view.y) + "\" width=\"" + Coordinate(view.width) + "\" height=\"" + Coordinate(view.height) +
         "\">" + Rect(view, "", " fill=\"#fff\"") +
         (geometry.plate ? Rect(*geometry.plate, "", " fill=\"#000\"") : "") + "</mask></defs>\n";
  out += "<g id=\"plate-frame\">\n";
  if (geometry.plate) {
    const PlateRect& p = *geometry.plate;
    out += Rect(p, "plate") + "\n";
    // A light grid every round number of millimetres.
    const double step = NiceLength(std::max(p.width, p.height) / kUnitsPerMillimetre / 8) * kUnitsPerMillimetre;
    std::string grid;
    if (step > 0 && p.width / step < 100 && p.height / step < 100) {
      for (double x = step; x < p.width - step * 0.01; x += step)
        grid += "M" + Coordinate(x) + " 0V" + Coordinate(p.height);
      for (double y = step; y < p.height - step * 0.01; y += step)
        grid += "M0 " + Coordinate(y) + "H" + Coordinate(p.width);
    }
    if (!grid.empty()) out += "<path class=\"grid\" d=\"" + grid + "\"/>\n";
  }
  if (showMaster) out += Rect(*geometry.master, "master") + "\n";
  for (const PlacedJob& job : geometry.jobs) out += JobGroup(job, font);

  // Where two jobs' areas meet, hatched over both.
  for (size_t i = 0; i < geometry.jobs.size(); ++i)
    for (size_t j = i + 1; j < geometry.jobs.size(); ++j) {
      const PlacedJob &a = geometry.jobs[i], &b = geometry.jobs[j];
      if (std::find(a.overlaps.begin(), a.overlaps.end(), b.number) == a.overlaps.end()) continue;
      const double x = std::max(a.area.x, b.area.x), y = std::max(a.area.y, b.area.y);
      const PlateRect meet{x, y, std::min(a.area.Right(), b.area.Right()) - x,
                           std::min(a.area.Bottom(), b.area.Bottom()) - y};
      out += Rect(meet, "overlap-region",
                  " data-jobs=\"" + std::to_string(a.number) + " " + std::to_string(b.number) + "\"");
    }
  out += "\n";
  if (geometry.plate) {
    const PlateRect& p = *geometry.plate;
    out += Rect(p, "plate-edge") + "\n";
    out += Text(p.x, p.y - font * 0.7, "dimension", "0,0 — positions are measured from this corner");
    out += Text(p.Right(), p.y - font * 0.7, "dimension end", Html(Millimetres(p.width) + " · " + Inches(p.width)));
    out +=
        Text(p.x - font * 0.7, p.y + p.height / 2, "dimension middle",
             Html(Millimetres(p.height) + " · " + Inches(p.height)),
             " transform=\"rotate(-90 " + Coordinate(p.x - font * 0.7) + " " + Coordinate(p.y + p.height / 2) + ")\"");
    out += "\n";
  }
  if (showMaster) {
    const PlateRect& m = *geometry.master;
    out += Text(m.Right(), std::max(m.Bottom(), extent->Bottom()) + font * 1.3, "dimension end master-label",
                Html("dashed: the master's own size, " + Millimetres(m.width) + " × " + Millimetres(m.height))) +
           "\n";
  }
  for (const PlacedJob& job : geometry.jobs) out += JobLabel(job, font);

  // Scale bars: round lengths in millimetres and in inches.
  const double mm = NiceLength(extent->width / 3 / kUnitsPerMillimetre);
  const double in = NiceLength(extent->width / 3 / kUnitsPerInch);
  const auto bar = [&](double y, double length, const std::string& label) {
    const double h = font * 0.45;
    std::string b = "<g class=\"scale-bar\">";
    b += Rect({extent->x, y, length, h}, "bar") + Rect({extent->x, y, length / 2, h}, "bar-half");
    b += Text(extent->x + length + font * 0.6, y + h, "scale-label", Html(label));
    return b + "</g>";
  };
  out += bar(barsTop + font * 0.6, mm * kUnitsPerMillimetre, FixedText(mm, 3) + " mm");
  out += bar(barsTop + font * 2.4, in * kUnitsPerInch, FixedText(in, 3) + " in");
  out += "\n</g>\n</svg>\n";
  return out;
}

// ---- The job cards ---------------------------------------------------------

std::string Row(const std::string& head, const std::string& cell) {
  return "<tr><th>" + head + "</th><td>" + cell + "</td></tr>\n";
}

std::string PlacementFacts(const PlacedJob& job, const JobPlacementInput& input) {
  if (!job.placed) return "<p class=\"warning-text\">Not placed: the job section has no position.</p>\n";
  std::string out = "<table class=\"facts\">\n";
  out += Row("Position", "hpos " + Number(*input.hpos, 4) + ", vpos " + Number(*input.vpos, 4) +
                             " <span class=\"muted\">(" + Html(Millimetres(*input.hpos)) + ", " +
                             Html(Millimetres(*input.vpos)) + " from the top-left corner)</span>");
  static const char* const kTurns[] = {"no turn", "a quarter turn counter-clockwise", "a half turn",
                                       "three quarter turns counter-clockwise"};
  out += Row("Rotation", "rot " + std::to_string(input.quarterTurns) + ": " + kTurns[job.turns] +
                             "; the job's top points " + UpText(job.up));
  out += Row("Scale", Number(input.vScale, 6) + " vertical, " + Number(input.hScale, 6) + " horizontal");
  if (job.sizeKnown)
    out += Row("Exposed area", Html(Millimetres(job.area.width)) + " × " + Html(Millimetres(job.area.height)) +
                                   " <span class=\"muted\">(" + Html(Inches(job.area.width)) + " × " +
                                   Html(Inches(job.area.height)) + ")</span> at " + Html(Millimetres(job.area.x)) +
                                   ", " + Html(Millimetres(job.area.y)));
  else
    out += Row("Exposed area", "<span class=\"muted\">unknown: the job gives no size</span>");
  if (job.cropped)
    out += Row("Cropped", "the page " + Html(Millimetres(job.page.width)) + " × " + Html(Millimetres(job.page.height)) +
                              " is cut to its selected area");
  out += Row("Margins", "top " + Html(Millimetres(input.top)) + ", bottom " + Html(Millimetres(input.bottom)) +
                            ", left " + Html(Millimetres(input.left)) + ", right " + Html(Millimetres(input.right)) +
                            " <span class=\"muted\">(the job's own sides)</span>");
  return out + "</table>\n";
}

std::string Chips(const PlacedJob& job) {
  std::string out;
  if (job.outside) out += "<span class=\"chip outside\">outside the plate</span>";
  if (job.overlapCount > 0)
    out += "<span class=\"chip overlap\">" +
           (job.overlapCount == 1 ? "overlaps job " + std::to_string(job.overlaps.front())
                                  : "overlaps " + std::to_string(job.overlapCount) + " jobs") +
           "</span>";
  if (job.cropped) out += "<span class=\"chip\">cropped</span>";
  if (job.placed && job.turns != 0) out += "<span class=\"chip\">turned " + std::to_string(job.turns * 90) + "°</span>";
  if (!job.placed) out += "<span class=\"chip outside\">not placed</span>";
  return out;
}

std::string JobCard(const PlacedJob& job, const JobPlacementInput& input, const Json& items,
                    const std::vector<LogEntry>& log, bool logNamesJobs, bool logNamesSteps,
                    const std::optional<Writes>& writes) {
  const std::string n = std::to_string(job.number);
  std::string out = "<article class=\"job-card\" id=\"job-" + n + "\" style=\"--job:" + JobColour(job.number) + "\">\n";
  out += "<header><h3><span class=\"job-dot\"></span>" + Html(JobTitle(job.number, job.name)) +
         "</h3><div class=\"chips\">" + Chips(job) + "</div></header>\n";
  for (const std::string& note : job.notes) out += "<p class=\"note\">" + Html(note) + "</p>\n";
  out += "<div class=\"job-columns\"><section><h4>Placement</h4>\n" + PlacementFacts(job, input) +
         "</section><section><h4>Inks</h4>\n" + InksBlock(items) + "</section></div>\n";
  out += "<h4>Log entries of this job</h4>\n";
  if (!logNamesJobs) {
    out += "<p class=\"muted\">The log does not name jobs; every entry is in the log below.</p>\n";
  } else {
    std::vector<LogEntry> own;
    for (const LogEntry& e : log)
      if (e.job && *e.job == job.number) own.push_back(e);
    out += own.empty() ? std::string("<p class=\"muted\">None.</p>\n") : LogTable(own, logNamesSteps, false);
  }
  out += "<details open><summary><h4>Items of section “job " + n + "”</h4></summary>\n" +
         ItemsTable(items, "jobs." + n, writes) + "</details>\n";
  return out + "</article>\n";
}

// ---- The page --------------------------------------------------------------

const char* const kStyle = R"css(
:root { --ink: #1f2933; --muted: #66727f; --line: #d9dee4; --panel: #f6f8fa; --accent: #1d4ed8;
        --error: #b91c1c; --warning: #b45309; --notice: #475569; }
* { box-sizing: border-box; }
body { margin: 0; color: var(--ink); background: #fff; font: 15px/1.5 system-ui, "Segoe UI", "Helvetica Neue", Arial, "DejaVu Sans", sans-serif; }
main { max-width: 1280px; margin: 0 auto; padding: 24px 32px 48px; }
h1 { font-size: 26px; margin: 0 0 4px; letter-spacing: -0.01em; }
h2 { font-size: 20px; margin: 36px 0 12px; padding-bottom: 6px; border-bottom: 2px solid var(--ink); }
h3 { font-size: 18px; margin: 0; display: flex; align-items: center; gap: 10px; }
h4 { font-size: 14px; margin: 16px 0 6px; text-transform: uppercase; letter-spacing: 0.04em; color: var(--muted); }
summary h4 { display: inline; }
code { font: 13px/1.4 "DejaVu Sans Mono", Menlo, Consolas, monospace; overflow-wrap: anywhere; }
.muted { color: var(--muted); }
.subtitle { color: var(--muted); margin: 0; }
.summary { display: flex; flex-wrap: wrap; gap: 8px 28px; margin: 16px 0 0; padding: 12px 16px; background: var(--panel); border-radius: 8px; }
.summary div { display: flex; flex-direction: column; }
.summary span:first-child { font-size: 12px; text-transform: uppercase; letter-spacing: 0.05em; color: var(--muted); }
.summary span:last-child { font-weight: 600; }
.findings { list-style: none; margin: 16px 0 0; padding: 12px 16px; border: 1px solid #f3c9c9; background: #fff7f7; border-radius: 8px; }
.findings li { margin: 4px 0; }
.badge { display: inline-block; min-width: 64px; text-align: center; font-size: 12px; font-weight: 600; border-radius: 4px; padding: 0 6px; color: #fff; background: var(--notice); }
.badge.error { background: var(--error); } .badge.warning { background: var(--warning); } .badge.note { background: var(--notice); }
.plate-layout { display: grid; grid-template-columns: minmax(0, 3fr) minmax(260px, 1fr); gap: 24px; align-items: start; }
.plate-drawing { width: 100%; height: auto; max-height: 80vh; display: block; background: #fbfcfd; border: 1px solid var(--line); border-radius: 8px; }
.plate-drawing text { font-size: var(--font); fill: var(--ink); font-family: system-ui, "DejaVu Sans", sans-serif; }
.plate-drawing .plate { fill: #e9edf1; }
.plate-drawing .grid { fill: none; stroke: #c5ccd4; stroke-width: 0.6; stroke-dasharray: 2 3; vector-effect: non-scaling-stroke; }
.plate-drawing .master { fill: none; stroke: #475569; stroke-width: 1.2; stroke-dasharray: 7 4; vector-effect: non-scaling-stroke; }
.plate-drawing .dimension { fill: var(--muted); }
.plate-drawing .dimension { font-size: calc(var(--font) * 0.85); }
.plate-drawing .dimension.end { text-anchor: end; } .plate-drawing .dimension.middle { text-anchor: middle; }
.plate-drawing .slot { fill: var(--job); fill-opacity: 0.10; stroke: var(--job); stroke-opacity: 0.8; stroke-width: 1; stroke-dasharray: 4 3; vector-effect: non-scaling-stroke; }
.plate-drawing .page { fill: none; stroke: var(--job); stroke-width: 1; stroke-dasharray: 1 3; vector-effect: non-scaling-stroke; }
.plate-drawing .area { fill: var(--job); fill-opacity: 0.28; stroke: var(--job); stroke-width: 1.6; vector-effect: non-scaling-stroke; }
.plate-drawing .overlap .area { stroke: #b45309; stroke-width: 2.4; stroke-dasharray: 10 4; }
.plate-drawing .outside .area { stroke: #b91c1c; stroke-width: 2.6; stroke-dasharray: 12 4; }
.plate-drawing .off-plate { fill: url(#hatch-outside); fill-opacity: 0.75; }
.plate-drawing .overlap-region { fill: url(#hatch-overlap); fill-opacity: 0.5; stroke: #b45309; stroke-width: 1.5; stroke-dasharray: 5 3; vector-effect: non-scaling-stroke; pointer-events: none; }
.plate-drawing .plate-edge { fill: none; stroke: #334155; stroke-width: 2; vector-effect: non-scaling-stroke; pointer-events: none; }
.plate-drawing .top-edge { stroke: var(--job); stroke-width: 6; stroke-linecap: butt; vector-effect: non-scaling-stroke; }
.plate-drawing .up { fill: var(--job); stroke: var(--job); stroke-width: 2.5; vector-effect: non-scaling-stroke; }
.plate-drawing .marker { stroke: var(--job); stroke-width: 2.5; vector-effect: non-scaling-stroke; }
.plate-drawing .label { pointer-events: none; }
.plate-drawing .label.overlap .job-flag { fill: #92400e; }
.plate-drawing .job-label { font-weight: 600; paint-order: stroke; stroke: #fff; stroke-width: 4px; stroke-linejoin: round; }
.plate-drawing .job-number { fill: var(--job); font-weight: 800; }
.plate-drawing .job-flag { font-weight: 700; fill: #991b1b; paint-order: stroke; stroke: #fff; stroke-width: 4px; stroke-linejoin: round; font-size: calc(var(--font) * 0.8); letter-spacing: 0.03em; }
.plate-drawing .bar { fill: #fff; stroke: var(--ink); stroke-width: 1; vector-effect: non-scaling-stroke; }
.plate-drawing .bar-half { fill: var(--ink); }
.plate-drawing .scale-label { font-size: calc(var(--font) * 0.85); }
.plate-drawing a:hover .area { fill-opacity: 0.45; }
.facts-panel { background: var(--panel); border-radius: 8px; padding: 14px 16px; font-size: 14px; }
.facts-panel h3 { font-size: 15px; margin: 0 0 8px; }
.facts-panel dl { margin: 0; display: grid; grid-template-columns: auto 1fr; gap: 2px 12px; }
.facts-panel dt { color: var(--muted); } .facts-panel dd { margin: 0; }
.legend { list-style: none; padding: 0; margin: 8px 0 0; }
.legend li { display: flex; align-items: center; gap: 8px; margin: 5px 0; }
.legend .key-box { width: 26px; height: 16px; flex: none; border-radius: 2px; }
.legend.jobs a { color: inherit; text-decoration: none; border-bottom: 1px dotted var(--muted); }
.note { margin: 6px 0; padding: 6px 10px; border-left: 4px solid var(--warning); background: #fffaf0; font-size: 14px; }
.job-card { border: 1px solid var(--line); border-top: 5px solid var(--job); border-radius: 8px; padding: 16px 20px; margin: 0 0 24px; break-inside: avoid-page; }
.job-card header { display: flex; flex-wrap: wrap; align-items: center; justify-content: space-between; gap: 8px; }
.job-dot { width: 14px; height: 14px; border-radius: 50%; background: var(--job); display: inline-block; }
.chips { display: flex; gap: 6px; flex-wrap: wrap; }
.chip { font-size: 12px; font-weight: 600; padding: 1px 8px; border-radius: 10px; background: #e2e8f0; color: #334155; }
.chip.outside { background: #fee2e2; color: #991b1b; border: 1px dashed #b91c1c; }
.chip.overlap { background: #fef3c7; color: #92400e; border: 1px dashed #b45309; }
.job-columns { display: grid; grid-template-columns: minmax(0, 1fr) minmax(0, 1fr); gap: 24px; }
table { border-collapse: collapse; width: 100%; font-size: 14px; }
th, td { text-align: left; vertical-align: top; padding: 5px 10px; border-bottom: 1px solid var(--line); }
thead th { font-size: 12px; text-transform: uppercase; letter-spacing: 0.04em; color: var(--muted); border-bottom: 2px solid var(--line); background: #fff; }
table.items tbody tr:nth-child(even), table.log tbody tr:nth-child(even) { background: #fafbfc; }
table.facts th { width: 130px; color: var(--muted); font-weight: 500; }
td.key { font-weight: 600; white-space: nowrap; } td.step { color: #334155; white-space: nowrap; } td.num { text-align: right; width: 3em; }
td.comment { color: #475569; }
.earlier { font-size: 12px; color: var(--muted); margin-top: 2px; }
.earlier span { margin-right: 6px; } .earlier code { text-decoration: line-through; font-size: 12px; }
.argument { font-size: 13px; color: var(--muted); }
tr.level-2 td:first-child { box-shadow: inset 4px 0 var(--error); } tr.level-1 td:first-child { box-shadow: inset 4px 0 var(--warning); }
.swatch { display: inline-block; width: 22px; height: 22px; border-radius: 4px; border: 1px solid rgba(0,0,0,0.25); vertical-align: middle; }
.swatch.spot { background: repeating-linear-gradient(45deg, #fff 0 4px, #cbd5e1 4px 6px); }
.ink-name { font-weight: 600; }
.inksel { font-size: 14px; margin: 6px 0 0; }
details summary { cursor: pointer; margin: 16px 0 6px; }
.section-nav { font-size: 14px; margin: 14px 0 0; display: flex; gap: 8px; }
.section-nav a { color: var(--accent); text-decoration: none; padding: 2px 12px; border: 1px solid var(--line); border-radius: 14px; }
.section-nav a:hover { background: var(--panel); }
h3.section-title { margin: 26px 0 8px; }
table.items td.key { width: 22%; } table.items td.value { width: 40%; }
footer { margin-top: 40px; color: var(--muted); font-size: 13px; }
@media (max-width: 900px) { .plate-layout, .job-columns { grid-template-columns: 1fr; } main { padding: 16px; } }
@media print {
  @page { margin: 12mm; }
  body { font-size: 10pt; }
  main { max-width: none; padding: 0; }
  .plate-layout { grid-template-columns: 1fr; }
  .plate-drawing { max-height: none; border: none; }
  h2 { break-after: avoid; }
  .job-card, table tr, .facts-panel { break-inside: avoid; }
  details > summary { list-style: none; }
  a { color: inherit; text-decoration: none; }
  .section-nav { display: none; }
  .summary, .facts-panel, .job-card { background: none; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
)css";

std::string TaskItem(const Json* dictionary, const std::string& key) {
  if (dictionary == nullptr) return "";
  const Json* task = Member(*dictionary, "task");
  if (task == nullptr || !task->is_array()) return "";
  for (const Json& item : *task)
    if (StringOr(Member(item, "key")) == key) return StringOr(Member(item, "value"));
  return "";
}

std::string SummaryBlock(const ReportInput& input, const PlateGeometry& geometry, const std::vector<LogEntry>& log) {
  const Json* dictionary = Member(input.result, "dictionary");
  size_t errors = 0, warnings = 0;
  for (const LogEntry& e : log) {
    if (e.level >= 2)
      ++errors;
    else if (e.level == 1)
      ++warnings;
  }
  const auto cell = [](const std::string& head, const std::string& value) {
    return "<div><span>" + head + "</span><span>" + value + "</span></div>";
  };
  std::string out = "<div class=\"summary\">";
  const std::string device = TaskItem(dictionary, "DeviceName"), taskId = TaskItem(dictionary, "TaskID");
  if (!device.empty()) out += cell("Device", Html(device));
  if (!taskId.empty()) out += cell("Task", Html(taskId));
  out += cell("Plate", geometry.plate
                           ? Html(Millimetres(geometry.plate->width) + " × " + Millimetres(geometry.plate->height))
                           : std::string("unknown"));
  out += cell("Jobs", std::to_string(geometry.jobs.size()));
  size_t flagged = 0;
  for (const PlacedJob& job : geometry.jobs) flagged += (job.outside || !job.overlaps.empty() || !job.placed) ? 1 : 0;
  out += cell("Placement", flagged == 0 ? std::string("every job on the plate, none overlapping")
                                        : std::to_string(flagged) + (flagged == 1 ? " job" : " jobs") + " to check");
  const auto count = [](size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  out += cell("Log", count(errors, "error", "errors") + ", " + count(warnings, "warning", "warnings") + ", " +
                         count(log.size(), "entry", "entries"));
  return out + "</div>\n";
}

std::string FindingsBlock(const std::vector<ReportFinding>& findings) {
  if (findings.empty()) return "";
  std::string out = "<ul class=\"findings\" id=\"findings\">\n";
  for (const ReportFinding& f : findings) {
    const std::string severity = f.severity == "error" || f.severity == "warning" ? f.severity : "note";
    out += "<li><span class=\"badge " + severity + "\">" + Html(f.severity) + "</span> " + Html(f.text) + "</li>\n";
  }
  return out + "</ul>\n";
}

std::string FactsPanel(const PlateGeometry& geometry, const PlateInput& input) {
  std::string out = "<aside class=\"facts-panel\"><h3>Plate</h3><dl>";
  if (geometry.plate) {
    out += "<dt>Width</dt><dd>" + Html(Lengths(geometry.plate->width)) + " <span class=\"muted\">rsx " +
           Number(geometry.plate->width, 4) + "</span></dd>";
    out += "<dt>Height</dt><dd>" + Html(Lengths(geometry.plate->height)) + " <span class=\"muted\">rsy " +
           Number(geometry.plate->height, 4) + "</span></dd>";
  } else {
    out += "<dt>Size</dt><dd>unknown</dd>";
  }
  if (geometry.master)
    out += "<dt>Master</dt><dd>" +
           Html(Millimetres(geometry.master->width) + " × " + Millimetres(geometry.master->height)) +
           (geometry.plate && SameSize(*geometry.master, *geometry.plate) ? std::string(" (the same)")
                                                                          : std::string(" (its own size, dashed)")) +
           "</dd>";
  out += "<dt>Stretch</dt><dd>" + Number(input.setup.hFactor, 6) + " across, " + Number(input.setup.vFactor, 6) +
         " down</dd>";
  out += "</dl>";
  for (const std::string& note : geometry.notes) out += "<p class=\"note\">" + Html(note) + "</p>";
  out += "<h3 style=\"margin-top:14px\">Jobs</h3><ul class=\"legend jobs\">";
  for (const PlacedJob& job : geometry.jobs) {
    out += "<li><span class=\"key-box\" style=\"background:" + JobColour(job.number) +
           "; opacity: 0.75\"></span><a href=\"#job-" + std::to_string(job.number) + "\">" +
           Html(JobTitle(job.number, job.name)) + "</a>";
    if (job.outside) out += " <span class=\"chip outside\">outside</span>";
    if (!job.overlaps.empty()) out += " <span class=\"chip overlap\">overlap</span>";
    if (!job.placed) out += " <span class=\"chip outside\">not placed</span>";
    out += "</li>";
  }
  out +=
      "</ul><h3 style=\"margin-top:14px\">Key</h3><ul class=\"legend\">"
      "<li><span class=\"key-box\" style=\"background:#2563eb48;border:2px solid #2563eb\"></span>the area the job "
      "exposes</li>"
      "<li><span class=\"key-box\" style=\"background:#2563eb1a;border:1px dashed #2563eb\"></span>its margins</li>"
      "<li><span class=\"key-box\" style=\"border-top:6px solid #2563eb\"></span>the job's top edge; the arrow points "
      "to it</li>"
      "<li><span class=\"key-box\" style=\"background:repeating-linear-gradient(45deg,#fde8e8 0 3px,#e66 3px "
      "5px);border:2px dashed #b91c1c\"></span>outside the plate: red dashes, the part off the plate hatched</li>"
      "<li><span class=\"key-box\" style=\"background:repeating-linear-gradient(-45deg,#fff4db 0 3px,#e9a94a 3px "
      "5px);border:2px dashed #b45309\"></span>overlapping jobs: amber dashes, the shared part hatched</li>"
      "<li><span class=\"key-box\" style=\"border:2px dashed #475569\"></span>the master's own size, where the plate "
      "differs</li>"
      "</ul></aside>\n";
  return out;
}

}  // namespace

std::string ReportHtml(const ReportInput& input) {
  const Json& result = input.result;
  PlateInput plateInput = PlateInputFromResult(result);
  if (input.masterSize) {
    plateInput.setup.masterWidth = input.masterSize->width;
    plateInput.setup.masterHeight = input.masterSize->height;
  }
  const PlateGeometry geometry = ComputePlateGeometry(plateInput);
  const std::vector<LogEntry> log = LogEntries(result);
  const bool logSteps = LogNamesSteps(result), logJobs = LogNamesJobs(result);
  const std::optional<Writes> writes = TraceWrites(result);
  const Json* dictionary = Member(result, "dictionary");

  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
      Html("Plate report · " + input.taskFileName) + "</title>\n<style>" + kStyle +
      "</style>\n</head>\n<body>\n<main>\n";
  out += "<header>\n<h1>Plate report</h1>\n<p class=\"subtitle\">ticket2dict report of <code>" +
         Html(input.taskFileName) +
         "</code>: where the RIP will place each job, and the parameter dictionary it receives.</p>\n";
  out += FindingsBlock(input.findings);
  out += SummaryBlock(input, geometry, log) + "</header>\n";
  out +=
      "<nav class=\"section-nav\"><a href=\"#plate\">Plate</a><a href=\"#jobs\">Jobs</a><a href=\"#dictionary\">"
      "Parameter dictionary</a><a href=\"#log\">Log</a></nav>\n";

  out += "<section id=\"plate\">\n<h2>The plate</h2>\n<div class=\"plate-layout\">\n<div>" + PlateSvg(geometry) +
         "</div>\n" + FactsPanel(geometry, plateInput) + "</div>\n</section>\n";

  out += "<section id=\"jobs\">\n<h2>Jobs</h2>\n";
  const Json* jobSections = nullptr;
  if (dictionary != nullptr)
    for (const auto& member : dictionary->items())
      if (member.key() == "jobs" && member.value().is_object()) jobSections = &member.value();
  if (geometry.jobs.empty()) out += "<p class=\"muted\">The dictionary has no job sections.</p>\n";
  for (size_t i = 0; i < geometry.jobs.size(); ++i) {
    const PlacedJob& job = geometry.jobs[i];
    const Json* items = jobSections != nullptr ? Member(*jobSections, std::to_string(job.number).c_str()) : nullptr;
    out += JobCard(job, plateInput.jobs[i], items != nullptr ? *items : Json::array(), log, logJobs, logSteps, writes);
  }
  out += "</section>\n";

  out +=
      "<section id=\"dictionary\">\n<h2>Parameter dictionary</h2>\n"
      "<p class=\"muted\">One table per section; the job sections are in their jobs above.";
  if (!writes) out += " Run with a trace to see the step that wrote each item.";
  out += "</p>\n";
  if (dictionary != nullptr)
    for (const auto& member : dictionary->items()) {
      if (!member.value().is_array()) continue;
      out += "<h3 class=\"section-title\">Section “" + Html(member.key()) + "”</h3>\n" +
             ItemsTable(member.value(), member.key(), writes);
    }
  out += "</section>\n";

  out += "<section id=\"log\">\n<h2>Log</h2>\n" + LogTable(log, logSteps, logJobs) + "</section>\n";
  out +=
      "<footer>Lengths are drawn from the items the RIP receives, in hundredths of an inch (1 unit = 0.254 mm); "
      "positions are measured from the plate's top-left corner.</footer>\n</main>\n</body>\n</html>\n";
  return out;
}

std::optional<MasterPlateSize> MasterPlateSizeOf(const TaskFile& file) {
  if (!file.setup) return std::nullopt;
  const auto sizeIn = [](const QX_TAny& infoValue) -> std::optional<MasterPlateSize> {
    const auto* info = dynamic_cast<const QX_TDict*>(infoValue.Object());
    if (info == nullptr) return std::nullopt;
    const auto dimension = [info](const char* preferred, const char* other) -> std::optional<int64_t> {
      const char* key = info->HasKey(preferred) ? preferred : info->HasKey(other) ? other : nullptr;
      if (key == nullptr) return std::nullopt;
      const auto* value = dynamic_cast<const QX_TInt32*>((*info)[key].Object());
      if (value == nullptr) return std::nullopt;
      return value->Value();
    };
    const auto width = dimension("WidthM", "HSize"), height = dimension("HeightM", "VSize");
    if (!width || !height) return std::nullopt;
    return MasterPlateSize{*width, *height};
  };
  if (file.configuration.HasKey("Masters"))
    if (const auto* masters = dynamic_cast<const QX_TDict*>(file.configuration["Masters"].Object()))
      if (const auto* master = dynamic_cast<const QX_TDict*>((*masters)[QX_TString(file.setup->master)].Object()))
        if (const auto size = sizeIn((*master)["Info"])) return size;
  return sizeIn(file.setup->masterDictionary["Info"]);
}

ReportInput ReportInputOf(const TaskFile& file, const Conversion& conversion) {
  ReportInput input;
  input.result = Json::parse(ResultText(conversion));
  input.taskFileName = file.path;
  input.masterSize = MasterPlateSizeOf(file);
  return input;
}

}  // namespace t2dhost
