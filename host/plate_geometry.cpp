#include "plate_geometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <tuple>

#include "../steps/ticket_rules.h"

namespace t2dhost {

namespace {

constexpr double kMicrometresPerUnit = 254.0;

// ---- Reading the items -----------------------------------------------------

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A number as "%.15g" writes it, read whatever the process's locale.
std::optional<double> Number(const std::string& text) {
  const std::string t = Trimmed(text);
  double value = 0;
  const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (error != std::errc() || end != t.data() + t.size() || t.empty() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<int64_t> Integer(const std::string& text) {
  const std::string t = Trimmed(text);
  int64_t value = 0;
  const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (error != std::errc() || end != t.data() + t.size() || t.empty()) return std::nullopt;
  return value;
}

// "a,b", optionally in parentheses.
std::optional<std::pair<double, double>> Pair(std::string text) {
  text = Trimmed(text);
  if (text.size() >= 2 && text.front() == '(' && text.back() == ')') text = text.substr(1, text.size() - 2);
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return std::nullopt;
  const auto first = Number(text.substr(0, comma)), second = Number(text.substr(comma + 1));
  if (!first || !second) return std::nullopt;
  return std::make_pair(*first, *second);
}

// One section's items, looked up by key: a later write of a key replaced the
// value in place, so each key has one value.
class Items {
 public:
  explicit Items(const CParamSection* items) : items_(items) {}

  const std::string* Text(const std::string& key) const {
    const CParamItem* item = items_ != nullptr ? items_->Find(key) : nullptr;
    return item != nullptr ? &item->value : nullptr;
  }

  // The number of `key`; a value that is not one is named in `problems`.
  std::optional<double> Number(const std::string& key, std::vector<std::string>& problems) const {
    const std::string* text = Text(key);
    if (text == nullptr) return std::nullopt;
    const auto value = t2dhost::Number(*text);
    if (!value) problems.push_back("\"" + key + "\" is not a number: " + QuotedText(*text));
    return value;
  }

 private:
  const CParamSection* items_;
};

// The job dictionary of job `number` (element number - 1 of the jobs array,
// whatever its lower bound), decoded from the result's typed encoding.
std::optional<QX_TDict> JobDictionary(const QX_TArray& jobs, int number) {
  const int64_t index = static_cast<int64_t>(number) - 1;
  if (index < jobs.LowerBound() || index > jobs.UpperBound()) return std::nullopt;
  const auto* dict = dynamic_cast<const QX_TDict*>(jobs[static_cast<int>(index)].Object());
  if (dict == nullptr) return std::nullopt;
  return *dict;
}

// A 32-bit value of the job dictionary, as the placement reads it: a
// QX_TInt32, or a QX_TUInt32 taken as the signed value of its bits.
std::optional<int64_t> Int32Of(const QX_TAny& value) {
  if (const auto* i = dynamic_cast<const QX_TInt32*>(value.Object())) return i->Value();
  if (const auto* u = dynamic_cast<const QX_TUInt32*>(value.Object())) return t2d_ticket::AsSigned32(u->Value());
  return std::nullopt;
}

void ReadJobDictionary(const QX_TDict& job, JobPlacementInput& input) {
  if (const auto* name = dynamic_cast<const QX_TString*>(job["JobName"].Object())) input.name = name->Str();
  for (const char* key : {"HSize", "VSize"}) {
    if (!job.HasKey(key)) continue;
    const auto value = Int32Of(job[key]);
    if (!value) {
      input.problems.push_back(std::string("\"") + key + "\" of the job dictionary is not a 32-bit integer");
      continue;
    }
    (std::string(key) == "HSize" ? input.width : input.height) = *value;
  }
  if (!job.HasKey("SelectArea") || job["SelectArea"].IsIllegal()) return;
  const auto* area = dynamic_cast<const QX_TArray*>(job["SelectArea"].Object());
  if (area == nullptr || area->Size() < 4) {
    input.problems.push_back("\"SelectArea\" of the job dictionary is not an array of four integers");
    return;
  }
  std::array<int64_t, 4> edges{};
  for (int i = 0; i < 4; ++i) {
    const auto edge = Int32Of((*area)[area->LowerBound() + i]);
    if (!edge) {
      input.problems.push_back("\"SelectArea\" of the job dictionary is not an array of four integers");
      return;
    }
    edges[static_cast<size_t>(i)] = *edge;
  }
  input.selectArea = edges;
}

JobPlacementInput ReadJob(int number, const Items& items, const std::optional<QX_TDict>& dictionary) {
  JobPlacementInput job;
  job.number = number;
  if (dictionary) ReadJobDictionary(*dictionary, job);
  // Without a "JobName", the file's name as the item quotes it, unquoted.
  const std::string* name = items.Text("name");
  if (job.name.empty() && name != nullptr)
    job.name =
        name->size() >= 2 && name->front() == '"' && name->back() == '"' ? name->substr(1, name->size() - 2) : *name;
  job.hpos = items.Number("hpos", job.problems);
  job.vpos = items.Number("vpos", job.problems);
  job.top = items.Number("job_mtop", job.problems).value_or(0.0);
  job.bottom = items.Number("job_mbot", job.problems).value_or(0.0);
  job.left = items.Number("job_mlft", job.problems).value_or(0.0);
  job.right = items.Number("job_mrit", job.problems).value_or(0.0);
  if (const std::string* rot = items.Text("rot")) {
    if (const auto turns = Integer(*rot))
      job.quarterTurns = *turns;
    else
      job.problems.push_back("\"rot\" is not a whole number: " + QuotedText(*rot));
  }
  if (const std::string* scale = items.Text("scale")) {
    if (const auto pair = Pair(*scale)) {
      job.vScale = pair->first;
      job.hScale = pair->second;
    } else {
      job.problems.push_back("\"scale\" is not two numbers: " + QuotedText(*scale));
    }
  }
  return job;
}

// ---- The geometry ----------------------------------------------------------

// The four sides in the order top, right, bottom, left (clockwise). A job
// turned q quarter turns counter-clockwise shows its side (s + q) mod 4 on
// the plate's side s.
using Sides = std::array<double, 4>;
enum Side { kTop = 0, kRight = 1, kBottom = 2, kLeft = 3 };

Sides Turned(const Sides& job, int turns) {
  Sides plate{};
  for (int side = 0; side < 4; ++side) plate[static_cast<size_t>(side)] = job[static_cast<size_t>((side + turns) % 4)];
  return plate;
}

// The side's amount stretched by the plate's factor along it.
Sides Stretched(Sides sides, double h, double v) {
  sides[kTop] *= v;
  sides[kBottom] *= v;
  sides[kLeft] *= h;
  sides[kRight] *= h;
  return sides;
}

bool Within(const PlateRect& inner, const PlateRect& outer) {
  // Item values are written with fifteen significant digits: a job that
  // ends exactly at the plate's edge may come out a hair beyond it.
  const double tolerance = 1e-9 * std::max({1.0, outer.width, outer.height});
  return inner.x >= outer.x - tolerance && inner.y >= outer.y - tolerance &&
         inner.Right() <= outer.Right() + tolerance && inner.Bottom() <= outer.Bottom() + tolerance;
}

// One job's exposed area in the sweep, with the tolerance of its size (item
// values are written with fifteen significant digits, so areas that only
// touch may come out sharing a hair), and what the sweep found for it.
struct SweepBox {
  double x, y, right, bottom, tolerance;
  size_t job;  // index into the jobs
  int number;  // the job's number
};

struct SweepFound {
  size_t count = 0;
  // The kOverlapsListed lowest numbers found, ascending; `worst` is the
  // highest of them once the list is full (no lower number: not listed).
  std::vector<int> listed;
  int worst = std::numeric_limits<int>::max();

  // Lists `other` if it is among the lowest numbers (counting is apart).
  void List(int other) {
    if (other >= worst) return;
    listed.insert(std::upper_bound(listed.begin(), listed.end(), other), other);
    if (listed.size() > kOverlapsListed) listed.pop_back();
    if (listed.size() == kOverlapsListed) worst = listed.back();
  }
};

// Two areas overlap when they share more than a hair both ways.
bool Overlap(const SweepBox& a, const SweepBox& b) {
  const double tolerance = std::max(a.tolerance, b.tolerance);
  return std::min(a.right, b.right) - std::max(a.x, b.x) > tolerance &&
         std::min(a.bottom, b.bottom) - std::max(a.y, b.y) > tolerance;
}

// Every pair of placed jobs of known size whose areas overlap, by a sweep
// from left to right over the areas' left edges: an area is compared only
// with the areas still open where it begins, not with every job. Jobs with
// the very same area (copies placed on one spot) are swept as one group, so
// that a stack of copies costs in proportion to its size, not its pairs.
void FindOverlaps(std::vector<PlacedJob>& jobs) {
  std::vector<SweepBox> boxes;
  for (size_t i = 0; i < jobs.size(); ++i) {
    const PlacedJob& job = jobs[i];
    if (!job.placed || !job.sizeKnown) continue;
    const PlateRect& a = job.area;
    boxes.push_back({a.x, a.y, a.Right(), a.Bottom(), 1e-9 * std::max({1.0, a.width, a.height}), i, job.number});
  }
  const auto corners = [](const SweepBox& b) { return std::tie(b.x, b.y, b.right, b.bottom); };
  std::sort(boxes.begin(), boxes.end(), [&corners](const SweepBox& a, const SweepBox& b) {
    return corners(a) < corners(b) || (corners(a) == corners(b) && a.number < b.number);
  });
  // The groups of one area, in the order of their left edges; each group's
  // boxes are boxes[first, first + size), in the order of their numbers.
  struct Group {
    size_t first, size;
    SweepFound found;  // what overlaps the group from other groups
  };
  std::vector<Group> groups;
  for (size_t i = 0; i < boxes.size(); ++i)
    if (i > 0 && corners(boxes[i]) == corners(boxes[i - 1]))
      ++groups.back().size;
    else
      groups.push_back({i, 1, {}});
  // A group overlaps each box of the other: all are counted, and only its
  // lowest numbers can be listed.
  const auto addGroup = [&boxes](SweepFound& found, const Group& other) {
    found.count += other.size;
    for (size_t k = 0; k < std::min(other.size, kOverlapsListed); ++k) found.List(boxes[other.first + k].number);
  };
  std::vector<size_t> open;  // indices into groups
  for (size_t g = 0; g < groups.size(); ++g) {
    const SweepBox& box = boxes[groups[g].first];
    // An open area that ends before this left edge, but for its tolerance,
    // shares nothing with this area or any that begins later.
    open.erase(std::remove_if(open.begin(), open.end(),
                              [&](size_t o) {
                                const SweepBox& other = boxes[groups[o].first];
                                return other.right - box.x <= other.tolerance;
                              }),
               open.end());
    for (const size_t o : open)
      if (Overlap(box, boxes[groups[o].first])) {
        addGroup(groups[g].found, groups[o]);
        addGroup(groups[o].found, groups[g]);
      }
    open.push_back(g);
  }
  for (const Group& group : groups) {
    const SweepBox& box = boxes[group.first];
    const bool selfOverlap = group.size > 1 && Overlap(box, box);
    for (size_t k = 0; k < group.size; ++k) {
      SweepFound found = group.found;
      if (selfOverlap) {
        // The other boxes of its own group: every one counted, the lowest
        // numbers but its own listed.
        found.count += group.size - 1;
        for (size_t other = 0; other < std::min(group.size, kOverlapsListed + 1); ++other)
          if (other != k) found.List(boxes[group.first + other].number);
      }
      PlacedJob& job = jobs[boxes[group.first + k].job];
      job.overlapCount = found.count;
      job.overlaps = std::move(found.listed);
    }
  }
}

std::string Length(double units) { return FixedText(units / kUnitsPerMillimetre, 2) + " mm"; }

PlacedJob Place(const JobPlacementInput& job, const PlateSetupInput& setup) {
  PlacedJob placed;
  placed.number = job.number;
  placed.name = job.name;
  placed.notes = job.problems;
  if (!job.hpos || !job.vpos) {
    placed.notes.push_back("not placed: the job section has no \"hpos\" and \"vpos\"");
    return placed;
  }
  placed.placed = true;
  const int64_t q = job.quarterTurns;
  placed.turns = static_cast<int>(((q % 4) + 4) % 4);
  placed.up = static_cast<JobUp>(placed.turns);
  const bool plain = q < 0 || q > 3;
  if (plain)
    placed.notes.push_back("\"rot\" " + std::to_string(q) +
                           " is outside 0 to 3: the position took no margin, scale, distortion or crop");

  const double h = setup.hFactor, v = setup.vFactor;
  const double width = static_cast<double>(job.width) / kMicrometresPerUnit;
  const double height = static_cast<double>(job.height) / kMicrometresPerUnit;
  placed.sizeKnown = job.width > 0 && job.height > 0;
  if (!placed.sizeKnown)
    placed.notes.push_back("size unknown: the job dictionary gives no positive \"HSize\" and \"VSize\"");

  // The page: its own width and height scaled, turned, then stretched.
  const double across = width * job.hScale, down = height * job.vScale;
  const bool sideways = placed.turns % 2 == 1;
  placed.page = {*job.hpos, *job.vpos, std::max(0.0, (sideways ? down : across) * h),
                 std::max(0.0, (sideways ? across : down) * v)};

  // The crops: the placement subtracts them unscaled and unstretched.
  Sides crops{};
  if (job.selectArea && !plain) {
    auto [s0, s1, s2, s3] = *job.selectArea;
    const bool areaSet = s0 != 0 || s1 != 0 || s2 != 0 || s3 != 0;
    if (s3 == 0) s3 = job.width;
    if (s2 == 0) s2 = job.height;
    placed.cropped = areaSet && job.width != 0 && job.height != 0;
    if (placed.cropped)
      crops = Turned(
          {static_cast<double>(s0) / kMicrometresPerUnit, static_cast<double>(job.width - s3) / kMicrometresPerUnit,
           static_cast<double>(job.height - s2) / kMicrometresPerUnit, static_cast<double>(s1) / kMicrometresPerUnit},
          placed.turns);
  }
  placed.area = {placed.page.x + crops[kLeft], placed.page.y + crops[kTop],
                 std::max(0.0, placed.page.width - crops[kLeft] - crops[kRight]),
                 std::max(0.0, placed.page.height - crops[kTop] - crops[kBottom])};
  if (placed.cropped && placed.sizeKnown && (placed.area.width == 0 || placed.area.height == 0))
    placed.notes.push_back("the crop leaves nothing of the page");

  // The margins, scaled along their side and stretched like positions.
  Sides margins{};
  if (!plain)
    margins =
        Stretched(Turned({job.top * job.vScale, job.right * job.hScale, job.bottom * job.vScale, job.left * job.hScale},
                         placed.turns),
                  h, v);
  placed.marginTop = margins[kTop];
  placed.marginRight = margins[kRight];
  placed.marginBottom = margins[kBottom];
  placed.marginLeft = margins[kLeft];
  placed.slot = {placed.area.x - margins[kLeft], placed.area.y - margins[kTop],
                 placed.area.width + margins[kLeft] + margins[kRight],
                 placed.area.height + margins[kTop] + margins[kBottom]};
  for (const PlateRect* r : {&placed.page, &placed.area, &placed.slot})
    if (!std::isfinite(r->x) || !std::isfinite(r->y) || !std::isfinite(r->Right()) || !std::isfinite(r->Bottom())) {
      placed.placed = false;
      placed.notes.push_back("not placed: its position and size leave the range of numbers");
      break;
    }
  return placed;
}

}  // namespace

std::string FixedText(double value, int decimals) {
  char text[400];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  if (error != std::errc()) return "?";
  std::string out(text, end);
  if (out.find('.') != std::string::npos) {
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
  }
  if (out == "-0") out = "0";
  return out;
}

PlateGeometry ComputePlateGeometry(const PlateInput& input) {
  PlateGeometry geometry;
  geometry.notes = input.problems;
  const PlateSetupInput& setup = input.setup;
  if (setup.width && setup.height && *setup.width > 0 && *setup.height > 0)
    geometry.plate = PlateRect{0, 0, *setup.width, *setup.height};
  else
    geometry.notes.push_back("plate size unknown: the setup has no positive \"rsx\" and \"rsy\"");
  if (setup.masterWidth && setup.masterHeight && *setup.masterWidth > 0 && *setup.masterHeight > 0)
    geometry.master = PlateRect{0, 0, static_cast<double>(*setup.masterWidth) / kMicrometresPerUnit,
                                static_cast<double>(*setup.masterHeight) / kMicrometresPerUnit};
  if (setup.topDistortion && setup.bottomDistortion && !(*setup.topDistortion == *setup.bottomDistortion))
    geometry.notes.push_back(
        "the top and bottom edges are stretched differently (\"TopDistortion\" and "
        "\"HorizontalDistortion\"); the drawing shows the plate as a rectangle, and the "
        "positions took no horizontal factor");

  for (const JobPlacementInput& job : input.jobs) geometry.jobs.push_back(Place(job, setup));

  for (PlacedJob& job : geometry.jobs) {
    if (!job.placed) continue;
    if (geometry.plate && !Within(job.area, *geometry.plate)) {
      job.outside = true;
      const PlateRect& p = *geometry.plate;
      std::string where;
      const auto add = [&where](const std::string& side, double by) {
        if (by > 0) where += (where.empty() ? "" : ", ") + side + " by " + Length(by);
      };
      add("left", p.x - job.area.x);
      add("top", p.y - job.area.y);
      add("right", job.area.Right() - p.Right());
      add("bottom", job.area.Bottom() - p.Bottom());
      job.notes.push_back("outside the plate" + (where.empty() ? std::string() : ": " + where));
    }
  }
  FindOverlaps(geometry.jobs);
  for (PlacedJob& job : geometry.jobs) {
    if (job.overlapCount == 0) continue;
    std::string note = job.overlapCount == 1 ? "overlaps job " : "overlaps jobs ";
    for (size_t i = 0; i < job.overlaps.size(); ++i)
      note += (i == 0 ? "" : i + 1 == job.overlapCount ? " and " : ", ") + std::to_string(job.overlaps[i]);
    if (job.overlapCount > job.overlaps.size())
      note += " and " + std::to_string(job.overlapCount - job.overlaps.size()) + " more";
    job.notes.push_back(note);
  }
  return geometry;
}

PlateInput PlateInputOf(const CParamDict& dictionary, const QX_TArray& jobDictionaries) {
  PlateInput input;
  const Items setupItems(dictionary.FindSection("setup"));
  input.setup.width = setupItems.Number("rsx", input.problems);
  input.setup.height = setupItems.Number("rsy", input.problems);
  if (const std::string* shrexp = setupItems.Text("shrexp")) {
    if (const auto factors = Pair(*shrexp)) {
      input.setup.vFactor = factors->first / 10000.0;
      input.setup.hFactor = factors->second / 10000.0;
    } else {
      input.problems.push_back("\"shrexp\" is not two numbers: " + QuotedText(*shrexp));
    }
  }
  input.setup.topDistortion = setupItems.Number("TopDistortion", input.problems);
  input.setup.bottomDistortion = setupItems.Number("HorizontalDistortion", input.problems);
  input.jobs.reserve(dictionary.JobSections().size());
  for (const auto& [number, section] : dictionary.JobSections())
    if (number >= 1) input.jobs.push_back(ReadJob(number, Items(&section), JobDictionary(jobDictionaries, number)));
  return input;
}

PlateInput PlateInputFromResult(const Json& result) {
  // The result's sections as the dictionary they were written from. A
  // section a flavour names "jobs" is an array of items beside the object
  // of job sections.
  CParamDict dictionary;
  std::vector<std::string> problems;
  const auto copy = [](const Json& items, CParamSection& section) {
    for (const Json& item : items) {
      const auto k = item.find("key"), v = item.find("value");
      if (k != item.end() && v != item.end() && k->is_string() && v->is_string())
        section.Set(k->get<std::string>(), v->get<std::string>(), nullptr);
    }
  };
  if (const auto d = result.find("dictionary"); d != result.end() && d->is_object())
    for (const auto& member : d->items()) {
      if (member.key() == "setup" && member.value().is_array()) copy(member.value(), dictionary.Section("setup"));
      if (member.key() != "jobs" || !member.value().is_object()) continue;
      for (const auto& section : member.value().items()) {
        const auto number = Integer(section.key());
        if (number && *number >= 1 && *number <= std::numeric_limits<int>::max() && section.value().is_array())
          copy(section.value(), dictionary.JobSection(static_cast<int>(*number)));
      }
    }
  QX_TArray jobDictionaries;
  if (const auto d = result.find("jobDictionaries"); d != result.end()) {
    try {
      const QX_TAny decoded = DecodeValue(*d, "result", "jobDictionaries", "/");
      if (const auto* array = dynamic_cast<const QX_TArray*>(decoded.Object())) jobDictionaries = *array;
    } catch (const std::exception& e) {
      problems.push_back(std::string("the job dictionaries can't be read: ") + e.what());
    }
  }
  PlateInput input = PlateInputOf(dictionary, jobDictionaries);
  input.problems.insert(input.problems.begin(), problems.begin(), problems.end());
  return input;
}

}  // namespace t2dhost
