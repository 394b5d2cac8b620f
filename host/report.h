// The report of one conversion: a self-contained HTML page (inline SVG and
// CSS, nothing fetched) that shows the plate drawn to scale with each job
// where the RIP will place it, each job's items, inks and log entries, the
// parameter dictionary with the step that wrote each item, the log, and
// the findings of a check of the task file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "conversion.h"
#include "task_file.h"

namespace t2dhost {

// One finding of a check of the task file, most severe first as given:
// severity "error", "warning" or "note".
struct ReportFinding {
  std::string severity;
  std::string text;
};

// The master's own plate size from the ticket ("Info": "WidthM" or
// "HSize", "HeightM" or "VSize"), in micrometres.
struct MasterPlateSize {
  int64_t width = 0;
  int64_t height = 0;
};

struct ReportInput {
  // The result document in the layout of `run --format json`. With a
  // "trace" member (step runs with their writes), the dictionary tables
  // name the step that wrote each item and the values it replaced.
  Json result;
  std::string taskFileName;
  std::optional<MasterPlateSize> masterSize;
  std::vector<ReportFinding> findings;
};

// The page. Every text taken from the result is escaped.
std::string ReportHtml(const ReportInput& input);

// The master's own plate size as the setup reads it: "Masters" / master /
// "Info" of the ticket's configuration, else the master dictionary handed
// to the setup; none when the size is not two 32-bit integers there.
std::optional<MasterPlateSize> MasterPlateSizeOf(const TaskFile& file);

// The input of `ticket2dict report` for a conversion that ran: its result,
// the task file's name and the master's size. Trace and findings are left
// empty for the caller to add.
ReportInput ReportInputOf(const TaskFile& file, const Conversion& conversion);

}  // namespace t2dhost
