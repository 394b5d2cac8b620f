#include "report.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "../steps/ticket_rules.h"
#include "html_markup.h"
#include "message_catalogue.h"
#include "plate_geometry.h"
#include "report_style.h"
#include "ticket_keys.h"

namespace t2dhost {

namespace {

// ---- Texts -----------------------------------------------------------------

// A typed value as one line of JSON; a text as it is.
std::string ValueText(const QX_TAny& value) {
  const Json json = EncodeValue(value);
  if (json.is_string()) return json.get<std::string>();
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string Number(double value, int decimals = 2) { return FixedText(value, decimals); }
std::string Millimetres(double units) { return FixedText(units / kUnitsPerMillimetre, 2) + " mm"; }
std::string Inches(double units) { return FixedText(units / kUnitsPerInch, 2) + " in"; }
std::string Lengths(double units) { return Millimetres(units) + " (" + Inches(units) + ")"; }
std::string Coordinate(double value) { return FixedText(value, 4); }

std::string JobTitle(int number, const std::string& name) {
  return "Job " + std::to_string(number) + (name.empty() ? std::string() : " · " + name);
}

// ---- What the page reads, indexed once ---------------------------------------

// One write of the trace, where the trace holds it.
struct WriteRef {
  const TraceWrite* write;
  const StepRun* run;
};

// Every write of the trace by section ("setup", "jobs.2") and key, in order.
using KeyWrites = std::unordered_map<std::string_view, std::vector<WriteRef>>;
using WriteIndex = std::unordered_map<std::string_view, KeyWrites>;

WriteIndex IndexWrites(const std::vector<StepRun>& runs) {
  WriteIndex index;
  for (const StepRun& run : runs)
    for (const TraceWrite& write : run.writes) index[write.section][write.key].push_back({&write, &run});
  return index;
}

struct Page {
  const ReportInput& input;
  const std::vector<TW_TLogEntry>& log;
  PlateInput plateInput;
  PlateGeometry geometry;
  std::unordered_map<long long, std::vector<size_t>> logByJob;  // log entries per job
  std::optional<WriteIndex> writes;

  const std::vector<TW_TLogEntry>& Log() const { return log; }
};

std::string StepText(const WriteRef& write) {
  return write.run->step + (write.run->job ? ", job " + std::to_string(*write.run->job) : std::string());
}

// ---- Tables ----------------------------------------------------------------

void CommentCell(Markup& m, const CParamItem& item) {
  m.Open("td", {{"class", "comment"}});
  if (!item.comment)
    m.Element("span", {{"class", "muted"}}, "none");
  else if (item.comment->empty())
    m.Element("span", {{"class", "muted"}}, "empty");
  else
    m.Text(*item.comment);
  m.Close();
}

// The ticket keys that the table of ticket keys names for `item`
// ("jobs.1.hpos"): "Rotation, HPos".
std::string FeedingKeys(const std::string& item) {
  std::string text;
  for (const std::string& key : KeysFeeding(item)) text += (text.empty() ? "" : ", ") + key;
  return text;
}

// One section's items: key (with the ticket keys that feed it), value,
// comment (where the section's items carry one) and, with a trace, the step
// that wrote each and the values it replaced.
void ItemsTable(Markup& m, const CParamSection* items, const std::string& section, bool comments,
                const std::optional<WriteIndex>& writes) {
  if (items == nullptr || items->Items().empty()) {
    m.Element("p", {{"class", "muted"}}, "No items.").Line();
    return;
  }
  const KeyWrites* sectionWrites = nullptr;
  if (writes)
    if (const auto found = writes->find(section); found != writes->end()) sectionWrites = &found->second;
  m.Open("table", {{"class", "items"}}).Line().Open("thead").Open("tr").Element("th", "Key").Element("th", "Value");
  if (comments) m.Element("th", "Comment");
  if (writes) m.Element("th", "Written by");
  m.Close().Close().Line().Open("tbody").Line();
  for (const CParamItem& item : items->Items()) {
    const std::vector<WriteRef>* history = nullptr;
    if (sectionWrites != nullptr)
      if (const auto found = sectionWrites->find(item.key); found != sectionWrites->end()) history = &found->second;
    m.Open("tr").Open("td", {{"class", "key"}}).Text(item.key);
    if (const std::string from = FeedingKeys(section + "." + item.key); !from.empty())
      m.Element("div", {{"class", "from muted"}}, "from: " + from);
    m.Close().Open("td", {{"class", "value"}}).Element("code", item.value);
    if (history != nullptr)
      // Each earlier value, the step that wrote it, and the step whose write
      // replaced it.
      for (size_t i = 0; i + 1 < history->size(); ++i) {
        m.Open("div", {{"class", "earlier"}}).Text("earlier ").Element("code", (*history)[i].write->value);
        m.Text(" written by " + StepText((*history)[i]) + "; replaced by " + StepText((*history)[i + 1])).Close();
      }
    m.Close();
    if (comments) CommentCell(m, item);
    if (writes) {
      if (history != nullptr)
        m.Element("td", {{"class", "step"}}, StepText(history->back()));
      else
        m.Open("td", {{"class", "step"}}).Element("span", {{"class", "muted"}}, "not traced").Close();
    }
    m.Close().Line();
  }
  m.Close().Close().Line();
}

const char* LevelClass(int level) { return level >= 2 ? "error" : level == 1 ? "warning" : "notice"; }

void LogTable(Markup& m, const std::vector<TW_TLogEntry>& log, const std::vector<size_t>& entries, bool jobs) {
  if (entries.empty()) {
    m.Element("p", {{"class", "muted"}}, "None.").Line();
    return;
  }
  m.Open("table", {{"class", "log"}}).Line().Open("thead").Open("tr").Element("th", "#").Element("th", "Level");
  m.Element("th", "Step");
  if (jobs) m.Element("th", "Job");
  m.Element("th", "Message").Close().Close().Line().Open("tbody").Line();
  for (const size_t i : entries) {
    const TW_TLogEntry& e = log[i];
    m.Open("tr", {{"class", "level-" + std::to_string(std::clamp(e.level, 0, 2))}});
    m.Element("td", {{"class", "num"}}, std::to_string(i + 1)).Open("td");
    m.Element("span", {{"class", std::string("badge ") + LevelClass(e.level)}}, LevelClass(e.level));
    m.Text(" ").Element("span", {{"class", "muted"}}, std::to_string(e.level)).Close();
    m.Element("td", {{"class", "step"}}, e.step);
    if (jobs) m.Element("td", {{"class", "num"}}, e.job ? std::to_string(*e.job) : std::string("–"));
    m.Open("td", {{"class", "message"}}).Text(e.text);
    if (e.hasArgument)
      m.Open("div", {{"class", "argument"}}).Text("argument: ").Element("code", ValueText(e.argument)).Close();
    if (const MessageInfo* info = FindMessage(e.text))
      m.Element("div", {{"class", "meaning"}}, info->meaning);
    m.Close().Close().Line();
  }
  m.Close().Close().Line();
}

// ---- Inks ------------------------------------------------------------------

// An ink entry of the job's section, read by the converter's own rule.
struct Ink : t2d_ticket::InkEntry {
  std::string key;
};

Ink ParseInk(const std::string& key, const std::string& value) {
  Ink ink;
  static_cast<t2d_ticket::InkEntry&>(ink) = t2d_ticket::ReadInkEntry(value);
  ink.key = key;
  return ink;
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

void InksBlock(Markup& m, const CParamSection* items) {
  std::vector<Ink> inks;
  std::string selection, family, dot;
  if (items != nullptr)
    for (const CParamItem& item : items->Items()) {
      if (t2d_ticket::IsInkEntryKey(item.key)) inks.push_back(ParseInk(item.key, item.value));
      if (item.key == "inksel") selection = item.value;
      if (item.key == "ScreeningType") family = item.value;
      if (item.key == "dot") dot = item.value;
    }
  const auto screening = [&] {
    if (family.empty() && dot.empty()) return;
    m.Open("p", {{"class", "inksel"}}).Text("Job screening: ");
    if (!family.empty()) m.Text("family ").Element("b", family);
    if (!family.empty() && !dot.empty()) m.Text(", ");
    if (!dot.empty()) m.Text("dot shape ").Element("b", dot);
    m.Close().Line();
  };
  if (inks.empty()) {
    m.Element("p", {{"class", "muted"}}, "No ink entries.").Line();
    screening();
    return;
  }
  m.Open("table", {{"class", "inks"}}).Line().Open("thead").Open("tr").Element("th", "");
  for (const char* head : {"Ink", "Book", "Ruling", "Angle", "Dot shape", "Entry"}) m.Element("th", head);
  m.Close().Close().Line().Open("tbody").Line();
  const auto orNone = [&m](const std::string& text) {
    if (text.empty())
      m.Element("span", {{"class", "muted"}}, "none");
    else
      m.Text(text);
  };
  for (const Ink& ink : inks) {
    const std::string colour = ProcessColour(ink.name);
    m.Open("tr").Open("td");
    if (colour.empty())
      m.Element("span", {{"class", "swatch spot"}, {"title", "not a process ink"}}, "");
    else
      m.Element("span", {{"class", "swatch"}, {"style", "background:" + colour}}, "");
    m.Close().Element("td", {{"class", "ink-name"}}, ink.name).Open("td");
    orNone(ink.book);
    m.Close();
    if (ink.screened) {
      m.Element("td", ink.ruling + " lpi").Element("td", ink.angle + "°").Open("td");
      orNone(ink.dot);
      m.Close();
    } else {
      m.Element("td", {{"class", "muted"}, {"colspan", "3"}}, "no screening values");
    }
    m.Element("td", {{"class", "key"}}, ink.key).Close().Line();
  }
  m.Close().Close().Line();
  if (!selection.empty())
    m.Open("p", {{"class", "inksel"}}).Text("Ink selection: ").Element("code", selection).Close().Line();
  screening();
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

bool Intersect(const PlateRect& a, const PlateRect& b) {
  return std::min(a.Right(), b.Right()) > std::max(a.x, b.x) && std::min(a.Bottom(), b.Bottom()) > std::max(a.y, b.y);
}

bool SameSize(const PlateRect& a, const PlateRect& b) {
  const double tolerance = 1e-9 * std::max({1.0, a.width, a.height});
  return std::fabs(a.width - b.width) <= tolerance && std::fabs(a.height - b.height) <= tolerance;
}

void Rect(Markup& m, const PlateRect& r, const char* cls, Attributes extra = {}) {
  m.Empty("rect",
          {{cls[0] != '\0' ? "class" : nullptr, cls},
           {"x", Coordinate(r.x)},
           {"y", Coordinate(r.y)},
           {"width", Coordinate(r.width)},
           {"height", Coordinate(r.height)}},
          extra);
}

void Text(Markup& m, double x, double y, const char* cls, const std::string& content, Attributes extra = {}) {
  m.Open("text", {{"class", cls}, {"x", Coordinate(x)}, {"y", Coordinate(y)}}, extra).Text(content).Close();
}

std::string JobTooltip(const PlacedJob& job) {
  std::string text = JobTitle(job.number, job.name);
  if (!job.placed) return text + ": not placed";
  const PlateRect& a = job.area;
  text += " — " + (job.sizeKnown ? Millimetres(a.width) + " × " + Millimetres(a.height) + " at " : std::string("at ")) +
          Millimetres(a.x) + ", " + Millimetres(a.y);
  if (job.outside) text += "; outside the plate";
  if (job.overlapCount == 1) text += "; overlaps job " + std::to_string(job.overlaps.front());
  if (job.overlapCount > 1) text += "; overlaps " + std::to_string(job.overlapCount) + " jobs";
  return text;
}

// The job's group: its margins, the page where cropped, the exposed area
// (the part off the plate hatched), its top edge and an arrow towards it.
void JobGroup(Markup& m, const PlacedJob& job, double font) {
  std::string cls = "job";
  if (job.outside) cls += " outside";
  if (!job.overlaps.empty()) cls += " overlap";
  if (!job.placed) cls += " unplaced";
  m.Open("g", {{"data-job", std::to_string(job.number)},
               {"class", cls},
               {"style", "--job:" + JobColour(job.number)},
               {"aria-label", JobTitle(job.number, job.name)}});
  if (!job.placed) {
    m.Element("title", JobTooltip(job)).Close().Line();
    return;
  }
  const PlateRect& a = job.area;
  m.Open("a", {{"href", "#job-" + std::to_string(job.number)}}).Element("title", JobTooltip(job));
  Rect(m, job.slot, "slot");
  if (job.cropped) Rect(m, job.page, "page");
  Rect(m, a, "area");
  if (job.outside) Rect(m, a, "off-plate", {{"mask", "url(#off-plate)"}});
  if (!job.sizeKnown) {
    // A cross at the position: the page's size is not known.
    const double r = font * 0.8;
    m.Empty("path", {{"class", "marker"},
                     {"d", "M" + Coordinate(a.x - r) + " " + Coordinate(a.y) + "H" + Coordinate(a.x + r) + "M" +
                               Coordinate(a.x) + " " + Coordinate(a.y - r) + "V" + Coordinate(a.y + r)}});
    m.Close().Close().Line();
    return;
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
  m.Empty("line", {{"class", "top-edge"},
                   {"x1", Coordinate(x1)},
                   {"y1", Coordinate(y1)},
                   {"x2", Coordinate(x2)},
                   {"y2", Coordinate(y2)}});
  const double reach = std::min(a.width, a.height) * 0.3, head = std::min(font * 0.9, reach * 0.5);
  const double tipX = cx + dx * reach, tipY = cy + dy * reach, baseX = tipX - dx * head, baseY = tipY - dy * head;
  m.Empty("path", {{"class", "up"},
                   {"d", "M" + Coordinate(cx) + " " + Coordinate(cy) + "L" + Coordinate(baseX) + " " +
                             Coordinate(baseY) + "M" + Coordinate(tipX) + " " + Coordinate(tipY) + "L" +
                             Coordinate(baseX - dy * head * 0.6) + " " + Coordinate(baseY + dx * head * 0.6) + "L" +
                             Coordinate(baseX + dy * head * 0.6) + " " + Coordinate(baseY - dx * head * 0.6) + "Z"}});
  m.Close().Close().Line();
}

// Where a job's one label goes: inside its exposed area, in a font that fits
// the area, its name cut with "…" where the area is too narrow (the whole
// name is in the tooltip and the job list). A label that would cover the
// label of an overlapping job moves down a line; with no line left in its
// area, the job has no label.
struct LabelPlace {
  PlateRect box;  // the area the label is clipped to
  double x = 0, y = 0, font = 0;  // the baseline's start, relative to the box
  std::string text;
  PlateRect taken;  // the lines the label covers, in plate units
};

// The width of a character of the labels' bold font, as a share of its
// size, taken on the wide side so that a cut text fits.
double CharacterWidth(std::string_view character) {
  if (character.size() > 1) return 1.0;  // beyond ASCII: up to a full square
  const char c = character.empty() ? ' ' : character.front();
  if (std::string_view("iljtfrI.,;:'|! ()[]").find(c) != std::string_view::npos) return 0.45;
  if (std::string_view("mwMW@%").find(c) != std::string_view::npos) return 1.1;
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return 0.85;
  return 0.75;
}

// `text` cut to `room` (in the font's sizes) with "…" where it is longer.
std::string CutToWidth(std::string_view text, double room) {
  constexpr double kEllipsis = 1.0;
  double width = 0;
  size_t fitsWithEllipsis = 0;
  for (size_t at = 0; at < text.size();) {
    size_t next = at + 1;
    while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0u) == 0x80) ++next;
    width += CharacterWidth(text.substr(at, next - at));
    if (width + kEllipsis <= room) fitsWithEllipsis = next;
    at = next;
  }
  if (width <= room) return std::string(text);
  return std::string(text.substr(0, fitsWithEllipsis)) + "…";
}

double TextWidth(std::string_view text) {
  double width = 0;
  for (size_t at = 0; at < text.size();) {
    size_t next = at + 1;
    while (next < text.size() && (static_cast<unsigned char>(text[next]) & 0xC0u) == 0x80) ++next;
    width += CharacterWidth(text.substr(at, next - at));
    at = next;
  }
  return width;
}

std::optional<LabelPlace> PlaceLabel(const PlacedJob& job, double font, const std::vector<const LabelPlace*>& near) {
  if (!job.placed || !job.sizeKnown) return std::nullopt;
  const PlateRect& a = job.area;
  LabelPlace label;
  label.box = a;
  label.font = std::min(font, a.height / 1.9);
  if (label.font < font * 0.2 || !(label.font > 0)) return std::nullopt;  // too small to read
  const double inset = label.font * 0.4, line = label.font * 1.3;
  const double room = (a.width - 2 * inset) / label.font;
  const std::string number = std::to_string(job.number);
  if (!(TextWidth(number) <= room)) return std::nullopt;
  label.text = job.name.empty() ? number : CutToWidth(number + " " + job.name, room);
  if (label.text.compare(0, number.size() + 1, number + " ") != 0) label.text = number;  // the number whole, or nothing
  const double width = TextWidth(label.text) * label.font;
  for (double top = inset; top + line <= a.height + 1e-9; top += line) {
    const PlateRect taken{a.x + inset, a.y + top, width, line};
    if (std::any_of(near.begin(), near.end(), [&taken](const LabelPlace* o) { return Intersect(o->taken, taken); }))
      continue;
    label.x = inset;
    label.y = top + label.font;
    label.taken = taken;
    return label;
  }
  return std::nullopt;
}

void JobLabel(Markup& m, const PlacedJob& job, const LabelPlace& label) {
  const PlateRect& b = label.box;
  // A nested viewport clips the label to the job's area.
  m.Open("svg", {{"class", "label"},
                 {"data-label-for", std::to_string(job.number)},
                 {"x", Coordinate(b.x)},
                 {"y", Coordinate(b.y)},
                 {"width", Coordinate(b.width)},
                 {"height", Coordinate(b.height)},
                 {"style", "--job:" + JobColour(job.number)}});
  const std::string number = std::to_string(job.number);
  m.Open("text", {{"class", "job-label"},
                  {"x", Coordinate(label.x)},
                  {"y", Coordinate(label.y)},
                  {"style", "font-size:" + Coordinate(label.font) + "px"}});
  m.Element("tspan", {{"class", "job-number"}}, number);
  m.Text(label.text.substr(number.size()));
  m.Close().Close().Line();
}

// Grid lines every round number of millimetres, numbered along the plate's
// top and left edges.
void Grid(Markup& m, const PlateRect& p, double font) {
  const double millimetres = NiceLength(std::max(p.width, p.height) / kUnitsPerMillimetre / 8);
  const double step = millimetres * kUnitsPerMillimetre;
  if (!(step > 0) || p.width / step >= 100 || p.height / step >= 100) return;
  std::string path;
  const auto count = [step](double length) { return static_cast<int>(std::floor(length / step - 0.01)); };
  const int across = count(p.width), down = count(p.height);
  for (int i = 1; i <= across; ++i) path += "M" + Coordinate(i * step) + " 0V" + Coordinate(p.height);
  for (int i = 1; i <= down; ++i) path += "M0 " + Coordinate(i * step) + "H" + Coordinate(p.width);
  if (path.empty()) return;
  m.Empty("path", {{"class", "grid"}, {"d", path}}).Line();
  m.Open("g", {{"class", "grid-numbers"}});
  for (int i = 1; i <= across; ++i)
    Text(m, p.x + i * step, p.y - font * 0.25, "grid-number across", FixedText(i * millimetres, 3));
  for (int i = 1; i <= down; ++i)
    Text(m, p.x - font * 0.3, p.y + i * step, "grid-number down", FixedText(i * millimetres, 3));
  m.Close().Line();
}

void PlateSvg(Markup& m, const Page& page) {
  const PlateGeometry& geometry = page.geometry;
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
  if (!extent) {
    m.Element("p", {{"class", "muted"}}, "Nothing to draw: no plate size and no placed job.").Line();
    return;
  }
  if (!std::isfinite(extent->width) || !std::isfinite(extent->height)) {
    m.Element("p", {{"class", "note"}}, "Nothing drawn: the plate and the jobs span more than numbers can hold.");
    return;
  }
  const double size = std::max({extent->width, extent->height, 1.0});
  const double font = size / 42, pad = size * 0.035;
  const double top = extent->y - pad - font * 2.6;
  const double left = extent->x - pad - font * 2.6;
  const double barsTop = extent->Bottom() + pad + font * 1.2;
  const double bottom = barsTop + font * 4.6;
  const double right = extent->Right() + pad;
  const PlateRect view{left, top, right - left, bottom - top};

  m.Open("svg", {{"class", "plate-drawing"},
                 {"viewBox", Coordinate(view.x) + " " + Coordinate(view.y) + " " + Coordinate(view.width) + " " +
                                 Coordinate(view.height)},
                 {"role", "img"},
                 {"aria-label", "The plate drawn to scale with the jobs placed on it"},
                 {"style", "--font:" + Coordinate(font) + "px"}})
      .Line();
  const double hatch = size / 110;
  const auto pattern = [&m, hatch](const char* id, const char* angle, const char* background, const char* stripe) {
    m.Open("pattern", {{"id", id},
                       {"patternUnits", "userSpaceOnUse"},
                       {"width", Coordinate(hatch)},
                       {"height", Coordinate(hatch)},
                       {"patternTransform", std::string("rotate(") + angle + ")"}});
    m.Empty("rect", {{"width", Coordinate(hatch)}, {"height", Coordinate(hatch)}, {"fill", background}});
    m.Empty("rect", {{"width", Coordinate(hatch * 0.35)}, {"height", Coordinate(hatch)}, {"fill", stripe}});
    m.Close();
  };
  m.Open("defs");
  pattern("hatch-outside", "45", "#fde8e8", "#dc2626");
  pattern("hatch-overlap", "-45", "#fff4db", "#d97706");
  // Everything but the plate: where a job's area is hatched as outside.
  m.Open("mask", {{"id", "off-plate"},
                  {"maskUnits", "userSpaceOnUse"},
                  {"x", Coordinate(view.x)},
                  {"y", Coordinate(view.y)},
                  {"width", Coordinate(view.width)},
                  {"height", Coordinate(view.height)}});
  Rect(m, view, "", {{"fill", "#fff"}});
  if (geometry.plate) Rect(m, *geometry.plate, "", {{"fill", "#000"}});
  m.Close().Close().Line();
  m.Open("g", {{"id", "plate-frame"}}).Line();
  if (geometry.plate) {
    Rect(m, *geometry.plate, "plate");
    m.Line();
    Grid(m, *geometry.plate, font);
  }
  if (showMaster) Rect(m, *geometry.master, "master");
  m.Line();
  for (const PlacedJob& job : geometry.jobs) JobGroup(m, job, font);

  // Where two jobs' areas meet, hatched over both: each pair once, from the
  // overlaps each job lists.
  std::unordered_map<int, size_t> byNumber;
  byNumber.reserve(geometry.jobs.size());
  for (size_t i = 0; i < geometry.jobs.size(); ++i) byNumber.emplace(geometry.jobs[i].number, i);
  for (const PlacedJob& a : geometry.jobs)
    for (const int other : a.overlaps) {
      if (other <= a.number) continue;
      const PlacedJob& b = geometry.jobs[byNumber.at(other)];
      const double x = std::max(a.area.x, b.area.x), y = std::max(a.area.y, b.area.y);
      const PlateRect meet{x, y, std::min(a.area.Right(), b.area.Right()) - x,
                           std::min(a.area.Bottom(), b.area.Bottom()) - y};
      Rect(m, meet, "overlap-region", {{"data-jobs", std::to_string(a.number) + " " + std::to_string(b.number)}});
    }
  m.Line();
  if (geometry.plate) {
    const PlateRect& p = *geometry.plate;
    Rect(m, p, "plate-edge");
    m.Line();
    Text(m, p.x, p.y - font * 1.2, "dimension", "0,0 — positions are measured from this corner; grid in mm");
    Text(m, p.Right(), p.y - font * 1.2, "dimension end", Millimetres(p.width) + " · " + Inches(p.width));
    const double dimensionX = p.x - font * 2.0;
    Text(m, dimensionX, p.y + p.height / 2, "dimension middle", Millimetres(p.height) + " · " + Inches(p.height),
         {{"transform", "rotate(-90 " + Coordinate(dimensionX) + " " + Coordinate(p.y + p.height / 2) + ")"}});
    m.Line();
  }
  if (showMaster) {
    const PlateRect& mr = *geometry.master;
    Text(m, mr.Right(), std::max(mr.Bottom(), extent->Bottom()) + font * 1.3, "dimension end master-label",
         "dashed: the master's own size, " + Millimetres(mr.width) + " × " + Millimetres(mr.height));
    m.Line();
  }
  // One label per job, above every job so that no job hides another's.
  std::vector<std::optional<LabelPlace>> labels(geometry.jobs.size());
  for (size_t i = 0; i < geometry.jobs.size(); ++i) {
    const PlacedJob& job = geometry.jobs[i];
    // The labels it could cover are those of the lower-numbered jobs it
    // overlaps; where its list is cut short before reaching its own number,
    // not all of them are known, and it goes without a label.
    if (job.overlapCount > job.overlaps.size() && job.overlaps.back() < job.number) continue;
    std::vector<const LabelPlace*> near;
    for (const int other : job.overlaps)
      if (const size_t j = byNumber.at(other); j < i && labels[j]) near.push_back(&*labels[j]);
    labels[i] = PlaceLabel(job, font, near);
    if (labels[i]) JobLabel(m, job, *labels[i]);
  }

  // Scale bars: round lengths in millimetres and in inches.
  const double mm = NiceLength(extent->width / 3 / kUnitsPerMillimetre);
  const double in = NiceLength(extent->width / 3 / kUnitsPerInch);
  const auto bar = [&](double y, double length, const std::string& label) {
    const double h = font * 0.45;
    m.Open("g", {{"class", "scale-bar"}});
    Rect(m, {extent->x, y, length, h}, "bar");
    Rect(m, {extent->x, y, length / 2, h}, "bar-half");
    Text(m, extent->x + length + font * 0.6, y + h, "scale-label", label);
    m.Close();
  };
  bar(barsTop + font * 0.6, mm * kUnitsPerMillimetre, FixedText(mm, 3) + " mm");
  bar(barsTop + font * 2.4, in * kUnitsPerInch, FixedText(in, 3) + " in");
  m.Line().Close().Line().Close().Line();
}

// ---- The job cards ---------------------------------------------------------

void Row(Markup& m, const char* head, const std::string& cell, const std::string& aside = "") {
  m.Open("tr").Element("th", head).Open("td").Text(cell);
  if (!aside.empty()) m.Text(" ").Element("span", {{"class", "muted"}}, aside);
  m.Close().Close().Line();
}

void PlacementFacts(Markup& m, const PlacedJob& job, const JobPlacementInput& input) {
  if (!job.placed) {
    m.Element("p", {{"class", "warning-text"}}, "Not placed: the job section has no position.").Line();
    return;
  }
  m.Open("table", {{"class", "facts"}}).Line();
  Row(m, "Position", "hpos " + Number(*input.hpos, 4) + ", vpos " + Number(*input.vpos, 4),
      "(" + Millimetres(*input.hpos) + ", " + Millimetres(*input.vpos) + " from the top-left corner)");
  const char* const turns[] = {"no turn", "a quarter turn counter-clockwise", "a half turn",
                               "three quarter turns counter-clockwise"};
  Row(m, "Rotation", "rot " + std::to_string(input.quarterTurns) + ": " + turns[job.turns] + "; the job's top points " +
                         UpText(job.up));
  Row(m, "Scale", Number(input.vScale, 6) + " vertical, " + Number(input.hScale, 6) + " horizontal");
  if (job.sizeKnown)
    Row(m, "Exposed area",
        Millimetres(job.area.width) + " × " + Millimetres(job.area.height) + " at " + Millimetres(job.area.x) + ", " +
            Millimetres(job.area.y),
        "(" + Inches(job.area.width) + " × " + Inches(job.area.height) + ")");
  else
    Row(m, "Exposed area", "unknown: the job gives no size");
  if (job.cropped)
    Row(m, "Cropped", "the page " + Millimetres(job.page.width) + " × " + Millimetres(job.page.height) +
                          " is cut to its selected area");
  Row(m, "Margins",
      "top " + Millimetres(input.top) + ", bottom " + Millimetres(input.bottom) + ", left " +
          Millimetres(input.left) + ", right " + Millimetres(input.right),
      "(the job's own sides)");
  m.Close().Line();
}

void Chips(Markup& m, const PlacedJob& job, bool brief) {
  if (job.outside) m.Element("span", {{"class", "chip outside"}}, brief ? "outside" : "outside the plate");
  if (job.overlapCount > 0)
    m.Element("span", {{"class", "chip overlap"}},
              brief ? std::string("overlap")
                    : job.overlapCount == 1 ? "overlaps job " + std::to_string(job.overlaps.front())
                                            : "overlaps " + std::to_string(job.overlapCount) + " jobs");
  if (!brief && job.cropped) m.Element("span", {{"class", "chip"}}, "cropped");
  if (!brief && job.placed && job.turns != 0)
    m.Element("span", {{"class", "chip"}}, "turned " + std::to_string(job.turns * 90) + "°");
  if (!job.placed) m.Element("span", {{"class", "chip outside"}}, "not placed");
}

void JobCard(Markup& m, const Page& page, const PlacedJob& job, const JobPlacementInput& input) {
  const std::string n = std::to_string(job.number);
  const CParamSection* items =
      page.input.dictionary != nullptr ? page.input.dictionary->FindJobSection(job.number) : nullptr;
  m.Open("article", {{"class", "job-card"}, {"id", "job-" + n}, {"style", "--job:" + JobColour(job.number)}}).Line();
  m.Open("header").Open("h3").Element("span", {{"class", "job-dot"}}, "").Text(JobTitle(job.number, job.name)).Close();
  m.Open("div", {{"class", "chips"}});
  Chips(m, job, false);
  m.Close().Close().Line();
  for (const std::string& note : job.notes) m.Element("p", {{"class", "note"}}, note).Line();
  m.Open("div", {{"class", "job-columns"}}).Open("section").Element("h4", "Placement").Line();
  PlacementFacts(m, job, input);
  m.Close().Open("section").Element("h4", "Inks").Line();
  InksBlock(m, items);
  m.Close().Close().Line();
  m.Element("h4", "Log entries of this job").Line();
  const auto own = page.logByJob.find(job.number);
  LogTable(m, page.Log(), own != page.logByJob.end() ? own->second : std::vector<size_t>{}, false);
  m.Open("details", {{"open", "open"}}).Open("summary").Element("h4", "Items of section “job " + n + "”").Close();
  m.Line();
  ItemsTable(m, items, "jobs." + n, true, page.writes);
  m.Close().Line().Close().Line();
}

// ---- The page --------------------------------------------------------------

std::string TaskItem(const CParamDict* dictionary, const std::string& key) {
  const CParamSection* task = dictionary != nullptr ? dictionary->FindSection("task") : nullptr;
  const CParamItem* item = task != nullptr ? task->Find(key) : nullptr;
  return item != nullptr ? item->value : "";
}

void SummaryBlock(Markup& m, const Page& page) {
  const PlateGeometry& geometry = page.geometry;
  size_t errors = 0, warnings = 0;
  for (const TW_TLogEntry& e : page.Log()) {
    if (e.level >= 2)
      ++errors;
    else if (e.level == 1)
      ++warnings;
  }
  const auto cell = [&m](const char* head, const std::string& value) {
    m.Open("div").Element("span", head).Element("span", value).Close();
  };
  m.Open("div", {{"class", "summary"}});
  const std::string device = TaskItem(page.input.dictionary, "DeviceName");
  const std::string taskId = TaskItem(page.input.dictionary, "TaskID");
  if (!device.empty()) cell("Device", device);
  if (!taskId.empty()) cell("Task", taskId);
  cell("Plate", geometry.plate ? Millimetres(geometry.plate->width) + " × " + Millimetres(geometry.plate->height)
                               : std::string("unknown"));
  cell("Jobs", std::to_string(geometry.jobs.size()));
  size_t flagged = 0;
  for (const PlacedJob& job : geometry.jobs) flagged += (job.outside || job.overlapCount > 0 || !job.placed) ? 1 : 0;
  cell("Placement", flagged == 0 ? std::string("every job on the plate, none overlapping")
                                 : std::to_string(flagged) + (flagged == 1 ? " job" : " jobs") + " to check");
  const auto count = [](size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  cell("Log", count(errors, "error", "errors") + ", " + count(warnings, "warning", "warnings") + ", " +
                  count(page.Log().size(), "entry", "entries"));
  m.Close().Line();
}

void FindingsBlock(Markup& m, const std::vector<ReportFinding>& findings) {
  if (findings.empty()) return;
  m.Open("ul", {{"class", "findings"}, {"id", "findings"}}).Line();
  for (const ReportFinding& f : findings) {
    const std::string severity = f.severity == "error" || f.severity == "warning" ? f.severity : "note";
    m.Open("li").Element("span", {{"class", "badge " + severity}}, f.severity).Text(" " + f.text).Close().Line();
  }
  m.Close().Line();
}

// The plate's facts and the key of the drawing: beside the drawing, and
// printed on its page.
void FactsPanel(Markup& m, const Page& page) {
  const PlateGeometry& geometry = page.geometry;
  m.Open("aside", {{"class", "facts-panel"}}).Element("h3", "Plate").Open("dl");
  if (geometry.plate) {
    m.Element("dt", "Width").Open("dd").Text(Lengths(geometry.plate->width) + " ");
    m.Element("span", {{"class", "muted"}}, "rsx " + Number(geometry.plate->width, 4)).Close();
    m.Element("dt", "Height").Open("dd").Text(Lengths(geometry.plate->height) + " ");
    m.Element("span", {{"class", "muted"}}, "rsy " + Number(geometry.plate->height, 4)).Close();
  } else {
    m.Element("dt", "Size").Element("dd", "unknown");
  }
  if (geometry.master)
    m.Element("dt", "Master")
        .Element("dd", Millimetres(geometry.master->width) + " × " + Millimetres(geometry.master->height) +
                           (geometry.plate && SameSize(*geometry.master, *geometry.plate) ? " (the same)"
                                                                                          : " (its own size, dashed)"));
  m.Element("dt", "Stretch")
      .Element("dd", Number(page.plateInput.setup.hFactor, 6) + " across, " + Number(page.plateInput.setup.vFactor, 6) +
                         " down");
  m.Close();
  for (const std::string& note : geometry.notes) m.Element("p", {{"class", "note"}}, note);
  m.Element("h3", {{"style", "margin-top:14px"}}, "Key").Open("ul", {{"class", "legend"}});
  const std::pair<const char*, const char*> keys[] = {
      {"background:#2563eb48;border:2px solid #2563eb", "the area the job exposes, labelled with its number and name"},
      {"background:#2563eb1a;border:1px dashed #2563eb", "its margins"},
      {"border-top:6px solid #2563eb", "the job's top edge; the arrow points to it"},
      {"background:repeating-linear-gradient(45deg,#fde8e8 0 3px,#e66 3px 5px);border:2px dashed #b91c1c",
       "outside the plate: red dashes, the part off the plate hatched"},
      {"background:repeating-linear-gradient(-45deg,#fff4db 0 3px,#e9a94a 3px 5px);border:2px dashed #b45309",
       "overlapping jobs: amber dashes, the shared part hatched"},
      {"border:2px dashed #475569", "the master's own size, where the plate differs"},
      {"border-top:1px dashed #c5ccd4", "grid lines, numbered in millimetres from the plate's top-left corner"}};
  for (const auto& [style, text] : keys)
    m.Open("li").Element("span", {{"class", "key-box"}, {"style", style}}, "").Text(text).Close();
  m.Close().Close().Line();
}

// Every job with its whole name and its flags, linked to its card.
void JobList(Markup& m, const Page& page) {
  m.Open("ul", {{"class", "job-list"}}).Line();
  for (const PlacedJob& job : page.geometry.jobs) {
    m.Open("li").Element("span", {{"class", "key-box"}, {"style", "background:" + JobColour(job.number)}}, "");
    m.Element("a", {{"href", "#job-" + std::to_string(job.number)}}, JobTitle(job.number, job.name)).Text(" ");
    Chips(m, job, true);
    m.Close().Line();
  }
  m.Close().Line();
}

}  // namespace

std::string ReportHtml(const ReportInput& input) {
  const CParamDict noItems;
  const QX_TArray noJobs;
  const std::vector<TW_TLogEntry> noLog;
  Page page{input, input.log != nullptr ? *input.log : noLog, PlateInputOf(input.dictionary != nullptr ? *input.dictionary : noItems,
                                input.jobDictionaries != nullptr ? *input.jobDictionaries : noJobs),
            {}, {}, std::nullopt};
  if (input.masterSize) {
    page.plateInput.setup.masterWidth = input.masterSize->width;
    page.plateInput.setup.masterHeight = input.masterSize->height;
  }
  page.geometry = ComputePlateGeometry(page.plateInput);
  for (size_t i = 0; i < page.Log().size(); ++i)
    if (const auto& job = page.Log()[i].job) page.logByJob[*job].push_back(i);
  if (input.trace != nullptr) page.writes = IndexWrites(*input.trace);

  Markup m;
  m.Doctype().Open("html", {{"lang", "en"}}).Line().Open("head").Line();
  m.Empty("meta", {{"charset", "utf-8"}}).Line();
  m.Empty("meta", {{"name", "viewport"}, {"content", "width=device-width, initial-scale=1"}}).Line();
  m.Element("title", "Plate report · " + input.taskFileName).Line();
  m.Open("style").StyleSheet(ReportStyleSheet()).Close().Line().Close().Line();
  m.Open("body").Line().Open("main").Line().Open("header").Line().Element("h1", "Plate report").Line();
  m.Open("p", {{"class", "subtitle"}}).Text("ticket2dict report of ").Element("code", input.taskFileName);
  m.Text(": where the RIP will place each job, and the parameter dictionary it receives.").Close().Line();
  FindingsBlock(m, input.findings);
  SummaryBlock(m, page);
  m.Close().Line().Open("nav", {{"class", "section-nav"}});
  for (const auto& [target, text] : {std::pair<const char*, const char*>{"#plate", "Plate"},
                                     {"#jobs", "Jobs"},
                                     {"#dictionary", "Parameter dictionary"},
                                     {"#log", "Log"}})
    m.Element("a", {{"href", target}}, text);
  m.Close().Line();

  m.Open("section", {{"id", "plate"}}).Line().Element("h2", "The plate").Line();
  m.Open("div", {{"class", "plate-layout"}}).Line().Open("div");
  PlateSvg(m, page);
  m.Close().Line();
  FactsPanel(m, page);
  m.Close().Line().Element("h3", {{"class", "section-title"}}, "Jobs on the plate").Line();
  JobList(m, page);
  m.Close().Line();

  m.Open("section", {{"id", "jobs"}}).Line().Element("h2", "Jobs").Line();
  if (page.geometry.jobs.empty()) m.Element("p", {{"class", "muted"}}, "The dictionary has no job sections.").Line();
  for (size_t i = 0; i < page.geometry.jobs.size(); ++i)
    JobCard(m, page, page.geometry.jobs[i], page.plateInput.jobs[i]);
  m.Close().Line();

  m.Open("section", {{"id", "dictionary"}}).Line().Element("h2", "Parameter dictionary").Line();
  m.Element("p", {{"class", "muted"}},
            std::string("One table per section; the job sections are in their jobs above.") +
                (page.writes ? "" : " Run with a trace to see the step that wrote each item."))
      .Line();
  if (input.dictionary != nullptr)
    for (const auto& [name, section] : input.dictionary->Sections()) {
      m.Element("h3", {{"class", "section-title"}}, "Section “" + name + "”").Line();
      ItemsTable(m, &section, name, name != "task" && name != "environment", page.writes);
    }
  m.Close().Line();

  m.Open("section", {{"id", "log"}}).Line().Element("h2", "Log").Line();
  std::vector<size_t> all(page.Log().size());
  for (size_t i = 0; i < all.size(); ++i) all[i] = i;
  if (all.empty())
    m.Element("p", {{"class", "muted"}}, "The log is empty.").Line();
  else
    LogTable(m, page.Log(), all, true);
  m.Close().Line();
  m.Element("footer",
            "Lengths are drawn from the items the RIP receives, in hundredths of an inch (1 unit = 0.254 mm); "
            "positions are measured from the plate's top-left corner.")
      .Line();
  m.Close().Line().Close().Line().Close().Line();
  return m.Take();
}

std::optional<MasterPlateSize> MasterPlateSizeOf(const TaskFile& file) {
  if (!file.setup) return std::nullopt;
  // The plate size rule of the ticket; a size of another class is none.
  const auto sizeIn = [](const QX_TAny& infoValue) -> std::optional<MasterPlateSize> {
    const auto* info = dynamic_cast<const QX_TDict*>(infoValue.Object());
    if (info == nullptr) return std::nullopt;
    try {
      const auto width = t2d_ticket::PlateWidth(*info), height = t2d_ticket::PlateHeight(*info);
      if (!width || !height) return std::nullopt;
      return MasterPlateSize{*width, *height};
    } catch (const std::exception&) {
      return std::nullopt;
    }
  };
  if (file.configuration.HasKey("Masters"))
    if (const auto* masters = dynamic_cast<const QX_TDict*>(file.configuration["Masters"].Object()))
      if (const auto* master = dynamic_cast<const QX_TDict*>((*masters)[QX_TString(file.setup->master)].Object()))
        if (const auto size = sizeIn((*master)["Info"])) return size;
  return sizeIn(file.setup->masterDictionary["Info"]);
}

ReportInput ReportInputOf(const TaskFile& file, const Conversion& conversion) {
  ReportInput input;
  input.dictionary = &conversion.Converter().Dictionary();
  input.log = &conversion.Task().Log();
  input.jobDictionaries = &conversion.Jobs();
  if (conversion.Watch().Tracing()) input.trace = &conversion.Watch().Runs();
  input.taskFileName = file.path;
  input.masterSize = MasterPlateSizeOf(file);
  return input;
}

}  // namespace t2dhost
