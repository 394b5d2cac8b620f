// Placement: where a job's image lies on the output. The job's four margins
// and its horizontal and vertical position, from its rotation, scales,
// selected area and (in AddPositionInfo) the master's distortion factors.
// Lengths arrive as integers and are written divided by 254.0.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "ticket2dict_msbasetask.h"
#include "../ticket_rules.h"

namespace {

constexpr double kLengthUnit = 254.0;

// a - b of two 32-bit values, exact (64 bits can't overflow).
int64_t Difference(int32_t a, int32_t b) { return static_cast<int64_t>(a) - b; }

// What the placement reads from the job dictionary, with its defaults.
struct Placement {
  int32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;  // selected area: top, left, bottom, right
  bool areaSet = false;
  double top = 0, bottom = 0, left = 0, right = 0;
  int32_t rotation = 0;
  int32_t quarterTurns = 0;
  double vScale = 1.0, hScale = 1.0;
  int32_t width = 0, height = 0;
};

int32_t IntOr(const QX_TDict& job, const char* key, int32_t fallback) {
  return job.HasKey(key) ? T2D_CAST(QX_TInt32, job[key]).Value() : fallback;
}

// Scales are read through the value's own conversion to a double, so any
// numeric class is accepted.
double ScaleOr(const QX_TDict& job, const char* key) { return job.HasKey(key) ? job[key].AsDouble() : 1.0; }

void ReadSelectArea(const QX_TDict& job, Placement& p) {
  if (!job.HasKey("SelectArea") || job["SelectArea"] == QX_TAny::Illegal()) return;
  const QX_TArray& area = T2D_CAST(QX_TArray, job["SelectArea"]);
  p.s0 = t2d_ticket::AsSigned32(T2D_CAST(QX_TUInt32, area[0]).Value());
  p.s1 = t2d_ticket::AsSigned32(T2D_CAST(QX_TUInt32, area[1]).Value());
  p.s2 = t2d_ticket::AsSigned32(T2D_CAST(QX_TUInt32, area[2]).Value());
  p.s3 = t2d_ticket::AsSigned32(T2D_CAST(QX_TUInt32, area[3]).Value());
  p.areaSet = p.s0 != 0 || p.s1 != 0 || p.s2 != 0 || p.s3 != 0;
}

void ReadMargins(const QX_TDict& job, Placement& p) {
  p.top = IntOr(job, "TopMargin", 0);
  p.bottom = IntOr(job, "BottomMargin", 0);
  p.left = IntOr(job, "LeftMargin", 0);
  p.right = IntOr(job, "RightMargin", 0);
}

void ReadTurnsAndScales(const QX_TDict& job, Placement& p) {
  // Truncates toward zero: -89 is no turn, -90 one turn back.
  p.rotation = IntOr(job, "Rotation", 0);
  p.quarterTurns = p.rotation / 90;
  p.vScale = ScaleOr(job, "VScale");
  p.hScale = ScaleOr(job, "HScale");
}

// The area's right and bottom edges default to the job's width and height.
// A zero area stays "not set".
void ReadSizes(const QX_TDict& job, Placement& p) {
  p.width = IntOr(job, "HSize", 0);
  p.height = IntOr(job, "VSize", 0);
  if (p.s3 == 0) p.s3 = p.width;
  if (p.s2 == 0) p.s2 = p.height;
}

// Positions before the division by the length unit. The leading margin
// turns with the job: left, top, right, bottom horizontally and top, right,
// bottom, left vertically for 0 to 3 quarter turns. A job is cropped when it
// has a selected area and a width and height; the crop of the leading edge
// is then subtracted. Any other turn count places the job at its plain
// position, without margin, scale, factor or crop.
bool Cropped(const Placement& p) { return p.areaSet && p.width != 0 && p.height != 0; }
double RightCrop(const Placement& p) { return Cropped(p) ? static_cast<double>(Difference(p.width, p.s3)) : 0.0; }
double BottomCrop(const Placement& p) { return Cropped(p) ? static_cast<double>(Difference(p.height, p.s2)) : 0.0; }
double TopCrop(const Placement& p) { return Cropped(p) ? static_cast<double>(p.s0) : 0.0; }
double LeftCrop(const Placement& p) { return Cropped(p) ? static_cast<double>(p.s1) : 0.0; }

// The crops W - s3 and H - s2 are 32-bit values. The problem with a crop
// that the job's turn needs and that lies outside that range (the area's
// edge too far from the job's size), or none.
std::optional<std::string> CropOutsideRange(const Placement& p) {
  if (!Cropped(p)) return std::nullopt;
  const struct {
    bool needed;
    const char* edge;
    int32_t position;
    const char* size;
    int32_t length;
  } crops[] = {{p.quarterTurns == 1 || p.quarterTurns == 2, "right", p.s3, "width", p.width},
               {p.quarterTurns == 2 || p.quarterTurns == 3, "bottom", p.s2, "height", p.height}};
  for (const auto& crop : crops) {
    const int64_t difference = Difference(crop.length, crop.position);
    if (crop.needed && (difference < INT32_MIN || difference > INT32_MAX))
      // The edge as the ticket holds it: unsigned.
      return "the crop of the \"SelectArea\" " + std::string(crop.edge) + " edge " +
             std::to_string(static_cast<uint32_t>(crop.position)) + " from the " + crop.size + " " +
             std::to_string(crop.length) + " is " + std::to_string(difference) + ", outside the 32-bit range";
  }
  return std::nullopt;
}

double HorizontalPosition(const Placement& p, double x, double hd) {
  switch (p.quarterTurns) {
    case 0: return (x + p.hScale * p.left) * hd - LeftCrop(p);
    case 1: return (x + p.vScale * p.top) * hd - TopCrop(p);
    case 2: return (x + p.hScale * p.right) * hd - RightCrop(p);
    case 3: return (x + p.vScale * p.bottom) * hd - BottomCrop(p);
    default: return x;
  }
}

double VerticalPosition(const Placement& p, double y, double vd) {
  switch (p.quarterTurns) {
    case 0: return (y + p.vScale * p.top) * vd - TopCrop(p);
    case 1: return (y + p.hScale * p.right) * vd - RightCrop(p);
    case 2: return (y + p.vScale * p.bottom) * vd - BottomCrop(p);
    case 3: return (y + p.hScale * p.left) * vd - LeftCrop(p);
    default: return y;
  }
}

// ---- Derivations (built only when someone hears the writes) ----------------

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

// The crop of one edge as the derivation names it, with the keys it reads.
struct CropTerm {
  std::string text;  // "SelectArea[1] 100", "(HSize 215900 - SelectArea[3] 200000)"
  std::vector<std::string> inputs;
};

CropTerm CropOf(const Placement& p, char edge) {
  switch (edge) {
    case 't': return {"SelectArea[0] " + Number(p.s0), {"SelectArea[0]"}};
    case 'l': return {"SelectArea[1] " + Number(p.s1), {"SelectArea[1]"}};
    case 'r':
      return {"(HSize " + Number(p.width) + " - SelectArea[3] " + Number(p.s3) + ")", {"HSize", "SelectArea[3]"}};
    default:
      return {"(VSize " + Number(p.height) + " - SelectArea[2] " + Number(p.s2) + ")", {"VSize", "SelectArea[2]"}};
  }
}

// How hpos or vpos came out: the formula with its numbers, the result, and
// the rule that chose the leading margin. `factor` is null for the form
// without distortion. Its words are the ticket's keys, so that the numbers
// read in order reproduce the value.
std::string PositionDerivation(const Placement& p, bool horizontal, int32_t position, const char* factor,
                               double factorValue, double result, std::vector<std::string>& inputs) {
  static constexpr struct {
    const char* margin;
    const char* marginKey;
    bool hScale;
    char edge;
  } kHorizontal[] = {{"left", "LeftMargin", true, 'l'},
                     {"top", "TopMargin", false, 't'},
                     {"right", "RightMargin", true, 'r'},
                     {"bottom", "BottomMargin", false, 'b'}},
    kVertical[] = {{"top", "TopMargin", false, 't'},
                   {"right", "RightMargin", true, 'r'},
                   {"bottom", "BottomMargin", false, 'b'},
                   {"left", "LeftMargin", true, 'l'}};
  const char* positionKey = horizontal ? "HPos" : "VPos";
  inputs = {positionKey, "Rotation"};
  const std::string turn = "Rotation " + std::to_string(p.rotation) + " is " + std::to_string(p.quarterTurns) +
                           (p.quarterTurns == 1 || p.quarterTurns == -1 ? " quarter turn" : " quarter turns");
  if (p.quarterTurns < 0 || p.quarterTurns > 3)
    return std::string(positionKey) + " " + Number(position) + " / 254 = " + Number(result / kLengthUnit) +
           "; " + turn + ", none of 0 to 3: the plain position, without margin, scale, distortion or crop";

  const auto& rule = (horizontal ? kHorizontal : kVertical)[p.quarterTurns];
  const double margin = rule.edge == 't' ? p.top : rule.edge == 'b' ? p.bottom : rule.edge == 'l' ? p.left : p.right;
  const char* scaleKey = rule.hScale ? "HScale" : "VScale";
  inputs.push_back(rule.marginKey);
  inputs.push_back(scaleKey);
  std::string text = "(" + std::string(positionKey) + " " + Number(position) + " + " + scaleKey + " " +
                     Number(rule.hScale ? p.hScale : p.vScale) + " * " + rule.marginKey + " " + Number(margin) + ")";
  if (factor != nullptr) {
    text += " * " + std::string(factor) + " " + Number(factorValue);
    inputs.push_back(factor);
  }
  std::string crop;
  if (Cropped(p)) {
    const CropTerm term = CropOf(p, rule.edge);
    text = "(" + text + " - " + term.text + ")";
    inputs.insert(inputs.end(), term.inputs.begin(), term.inputs.end());
    crop = "; cropped to the \"SelectArea\": its " + std::string(rule.margin) + " crop is taken off";
  } else {
    crop = p.areaSet ? "; not cropped: the job has no width or height" : "; not cropped: no \"SelectArea\"";
  }
  return text + " / 254 = " + Number(result / kLengthUnit) + "; " + turn + ": the " + rule.margin +
         " margin leads" + crop;
}

// The derivations of the four margins and of hpos and vpos, for whoever
// hears the writes. `hFactor` and `vFactor` name the distortion factors (null
// in the form without distortion); `hRule`, when given, says why the
// horizontal factor is what it is (top and bottom edges), with its inputs.
void DerivePlacement(const CTicket2Dict& converter, const Placement& p, int32_t hPos, int32_t vPos,
                     const char* hFactor, double hd, const char* vFactor, double vd, double hpos, double vpos,
                     const std::optional<std::string>& hRule = std::nullopt,
                     const std::vector<std::string>& hRuleInputs = {}) {
  const struct {
    const char* item;
    const char* key;
    double value;
  } margins[] = {{"job_mtop", "TopMargin", p.top},
                 {"job_mbot", "BottomMargin", p.bottom},
                 {"job_mlft", "LeftMargin", p.left},
                 {"job_mrit", "RightMargin", p.right}};
  for (const auto& margin : margins)
    converter.Derived(margin.item,
                      std::string(margin.key) + " " + Number(margin.value) + " / 254 = " +
                          Number(margin.value / kLengthUnit) + "; the margin in inches, whatever the rotation",
                      {margin.key});
  std::vector<std::string> inputs;
  std::string text = PositionDerivation(p, true, hPos, hFactor, hd, hpos, inputs);
  if (hRule && p.quarterTurns >= 0 && p.quarterTurns <= 3) {
    text += "; " + *hRule;
    inputs.insert(inputs.end(), hRuleInputs.begin(), hRuleInputs.end());
  }
  converter.Derived("hpos", text, inputs);
  text = PositionDerivation(p, false, vPos, vFactor, vd, vpos, inputs);
  converter.Derived("vpos", text, inputs);
}

}  // namespace

void CTicket2Dict_msbasetask::AddPositionInfo(AT_TTicket& ticket, QX_TDict& job, int jobNumber) {
  static constexpr const char* kStep = "AddPositionInfo";
  // The comment names the flavour; it is formatted without a length limit.
  const std::string comment = Format("Added by Kestrel/%s task", getFlavorName().c_str());

  Placement p;
  ReadSelectArea(job, p);
  ReadMargins(job, p);
  AddItemJob(jobNumber, "job_mtop", Format("%.15g", p.top / kLengthUnit).c_str(), comment.c_str());
  AddItemJob(jobNumber, "job_mbot", Format("%.15g", p.bottom / kLengthUnit).c_str(), comment.c_str());
  AddItemJob(jobNumber, "job_mlft", Format("%.15g", p.left / kLengthUnit).c_str(), comment.c_str());
  AddItemJob(jobNumber, "job_mrit", Format("%.15g", p.right / kLengthUnit).c_str(), comment.c_str());
  ReadTurnsAndScales(job, p);
  ReadSizes(job, p);

  // The master's distortion factors.
  const QX_TDict* master = t2d_ticket::FindMaster(ticket.Configuration(), masterName);
  if (master == nullptr) Fail(kStep, "qxmsm.nomasters", "job has no masters ");
  const QX_TDict& options = t2d_ticket::OptionsOf(*master);

  // A horizontal distortion that differs between the top and the bottom edge
  // can't be applied as one factor: the position then takes none.
  const double hd = t2d_ticket::UniformHorizontalDistortion(options);
  const double vd = options.HasKey("VDistortion") ? T2D_CAST(QX_TDouble, options["VDistortion"]).Value() : 1.0;

  if (const std::optional<std::string> problem = CropOutsideRange(p))
    Fail(kStep, Format("CTicket2Dict_msbasetask::%s - %s", kStep, problem->c_str()).c_str(), *problem);
  const int32_t hPos = IntOr(job, "HPos", 0);
  const double hpos = HorizontalPosition(p, hPos, hd);
  AddItemJob(jobNumber, "hpos", Format("%.15g", hpos / kLengthUnit).c_str(), comment.c_str());
  const int32_t vPos = IntOr(job, "VPos", 0);
  const double vpos = VerticalPosition(p, vPos, vd);
  AddItemJob(jobNumber, "vpos", Format("%.15g", vpos / kLengthUnit).c_str(), comment.c_str());
  if (Deriving()) {
    // A factor the position did not take is left out of the formula. These
    // lookups only describe the step: no one hears them.
    const QX_TReadObserverBinding quiet(nullptr);
    // The top and bottom edges decide whether "HDistortion" applies.
    std::vector<std::string> ruleInputs;
    bool hApplied = false;
    const std::optional<std::string> rule = t2d_ticket::HorizontalDistortionRule(options, ruleInputs, hApplied);
    DerivePlacement(*this, p, hPos, vPos, hApplied ? "HDistortion" : nullptr, hd,
                    options.HasKey("VDistortion") ? "VDistortion" : nullptr, vd, hpos, vpos, rule, ruleInputs);
  }
}

void CTicket2Dict_msbasetask::AddPositionInfo_setButNoDistortion(AT_TTicket&, QX_TDict& job, int jobNumber) {
  static constexpr const char* kStep = "AddPositionInfo_setButNoDistortion";
  const char* comment = "Added by Mistral base task";

  Placement p;
  ReadSelectArea(job, p);
  ReadMargins(job, p);
  AddItemJob(jobNumber, "job_mtop", Format("%.15g", p.top / kLengthUnit).c_str(), comment);
  AddItemJob(jobNumber, "job_mbot", Format("%.15g", p.bottom / kLengthUnit).c_str(), comment);
  AddItemJob(jobNumber, "job_mlft", Format("%.15g", p.left / kLengthUnit).c_str(), comment);
  AddItemJob(jobNumber, "job_mrit", Format("%.15g", p.right / kLengthUnit).c_str(), comment);
  ReadTurnsAndScales(job, p);
  AddItemJob(jobNumber, "scale", Format("%.15g,%.15g", p.vScale, p.hScale).c_str(), comment);
  ReadSizes(job, p);
  if (const std::optional<std::string> problem = CropOutsideRange(p))
    Fail(kStep, Format("CTicket2Dict_msbasetask::%s - %s", kStep, problem->c_str()).c_str(), *problem);

  const int32_t hPos = IntOr(job, "HPos", 0);
  const double hpos = HorizontalPosition(p, hPos, 1.0);
  AddItemJob(jobNumber, "hpos", Format("%.15g", hpos / kLengthUnit).c_str(), comment);
  const int32_t vPos = IntOr(job, "VPos", 0);
  const double vpos = VerticalPosition(p, vPos, 1.0);
  AddItemJob(jobNumber, "vpos", Format("%.15g", vpos / kLengthUnit).c_str(), comment);
  if (Deriving()) DerivePlacement(*this, p, hPos, vPos, nullptr, 1.0, nullptr, 1.0, hpos, vpos);
}
