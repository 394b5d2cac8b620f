// Where the RIP puts each job on the plate, worked out from the items it
// receives: the plate, and per job the area it exposes, the margins around
// it, which way the job's top points and whether it leaves the plate or
// covers another job.
//
// Units. The ticket gives lengths as integers in micrometres; the converter
// writes them divided by 254.0, so every length item ("rsx", "rsy", "hpos",
// "vpos", "job_mtop", ...) is in hundredths of an inch (25,400 µm = 1 inch
// = 100 item units). All lengths here are in that unit; 1 unit = 0.254 mm.
//
// Coordinates. The origin is the plate's top-left corner, x grows to the
// right and y downward: a job's vertical position grows with its top margin,
// so positions are measured from the top edge.
//
// What the items mean:
// - The plate is "rsx" wide and "rsy" high: the master's plate size already
//   stretched by the setup's distortion factors.
// - "shrexp" is "(V,H)" in ten-thousandths: the factors by which the RIP
//   stretches the output vertically and horizontally (V/10000, H/10000).
//   They are the factors the positions were computed with: the horizontal
//   one is 1 where the top and bottom distortions differ. Without "shrexp"
//   both are 1.
// - "rot" is the number of quarter turns, counter-clockwise on the plate:
//   0 the job's top points up, 1 to the left, 2 down, 3 to the right. A
//   quarter turn swaps the job's width and height on the plate.
// - "scale" is "Vs,Hs" (vertical first): the job's own height and width
//   scale; without the item both are 1.
// - "hpos", "vpos" place the top-left corner of the whole job page, turned,
//   scaled and stretched: the page is W·Hs·h wide and H·Vs·v high on the
//   plate (turned: H·Vs·h wide, W·Hs·v high), where W and H are the job
//   dictionary's "HSize" and "VSize" and h, v the "shrexp" factors.
// - A job with a selected area ("SelectArea": top, left, bottom, right;
//   a zero right or bottom edge is the page's) and a width and height is
//   cropped: the page loses its top s0, left s1, right W - s3 and bottom
//   H - s2, turned with the page. The positions subtract the crop of the
//   leading edges unscaled, so the crops are taken unscaled here too. The
//   exposed area is the page less its crops.
// - "job_mtop", "job_mbot", "job_mlft", "job_mrit" are the job's margins.
//   They lie around the exposed area, turned with the job, scaled by the
//   job's scale along their side and stretched like positions: the left
//   band of an unturned job is L·Hs·h wide, so the area begins where the
//   margin ends, at the job's own position from the ticket.
// - A "rot" outside 0 to 3 places the page at the job's plain position: no
//   margin, crop or factor entered "hpos"/"vpos". The page is still turned
//   by rot mod 4.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "param_dict.h"
#include "task_file.h"

namespace t2dhost {

// Length units per millimetre and per inch.
constexpr double kUnitsPerMillimetre = 100.0 / 25.4;
constexpr double kUnitsPerInch = 100.0;

// At most this many overlapping jobs are listed per job.
constexpr size_t kOverlapsListed = 20;

struct PlateRect {
  double x = 0, y = 0, width = 0, height = 0;
  double Right() const { return x + width; }
  double Bottom() const { return y + height; }
};

// The setup items that draw the plate.
struct PlateSetupInput {
  std::optional<double> width, height;     // "rsx", "rsy"
  double vFactor = 1.0, hFactor = 1.0;     // "shrexp" / 10000
  std::optional<double> topDistortion;     // "TopDistortion"
  std::optional<double> bottomDistortion;  // "HorizontalDistortion"
  // The master's own plate size ("Info"), in micrometres, where known.
  std::optional<int64_t> masterWidth, masterHeight;
};

// One job: its items, and the page size and selected area of its job
// dictionary (micrometres, as the ticket gives them).
struct JobPlacementInput {
  int number = 0;
  std::string name;
  std::optional<double> hpos, vpos;                  // "hpos", "vpos"
  double top = 0, bottom = 0, left = 0, right = 0;   // "job_mtop", "job_mbot", "job_mlft", "job_mrit"
  int64_t quarterTurns = 0;                          // "rot"
  double vScale = 1.0, hScale = 1.0;                 // "scale"
  int64_t width = 0, height = 0;                     // "HSize", "VSize"
  std::optional<std::array<int64_t, 4>> selectArea;  // "SelectArea": top, left, bottom, right
  std::vector<std::string> problems;                 // items that could not be read
};

struct PlateInput {
  PlateSetupInput setup;
  std::vector<JobPlacementInput> jobs;
  std::vector<std::string> problems;  // setup items that could not be read
};

// The job's top on the plate after its quarter turns.
enum class JobUp { kUp, kLeft, kDown, kRight };

struct PlacedJob {
  int number = 0;
  std::string name;
  bool placed = false;     // "hpos" and "vpos" were there; nothing below holds otherwise
  bool sizeKnown = false;  // the job dictionary gives a width and height
  PlateRect page;          // the whole page, turned, scaled and stretched
  PlateRect area;          // what is exposed: the page less its crops
  PlateRect slot;          // the area with its margins
  // The margin bands on the plate's sides, after the turn and scaling.
  double marginTop = 0, marginRight = 0, marginBottom = 0, marginLeft = 0;
  int turns = 0;  // quarter turns, 0 to 3
  JobUp up = JobUp::kUp;
  bool cropped = false;
  bool outside = false;  // the area leaves the plate
  // The first kOverlapsListed jobs whose areas share some of this one, and
  // how many there are in all.
  std::vector<int> overlaps;
  size_t overlapCount = 0;
  std::vector<std::string> notes;
};

struct PlateGeometry {
  std::optional<PlateRect> plate;   // without "rsx" and "rsy": unknown
  std::optional<PlateRect> master;  // the master's own size, where known
  std::vector<PlacedJob> jobs;
  std::vector<std::string> notes;
};

// The geometry of the input. Pure: the same input gives the same output.
PlateGeometry ComputePlateGeometry(const PlateInput& input);

// `value` with at most `decimals` decimals, trailing zeros dropped, a point
// whatever the process's locale: 12.5, 1030, 0.25.
std::string FixedText(double value, int decimals);

// The input from a conversion's parameter dictionary (its "setup" section
// and job sections) and its jobs array after the run; jobs in the order of
// their numbers. An item that is not a number is named in the job's (or the
// geometry's) problems.
PlateInput PlateInputOf(const CParamDict& dictionary, const QX_TArray& jobDictionaries);

// The input from a result document ("dictionary" and "jobDictionaries" of
// the JSON result), read as PlateInputOf reads a conversion.
PlateInput PlateInputFromResult(const Json& result);

}  // namespace t2dhost
