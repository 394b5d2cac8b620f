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
#include "param_dict.h"
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

// What the page shows, read where the conversion holds it (nothing is
// copied): its parameter dictionary, task log and jobs array, and its step
// runs when it was traced. Each pointer may be null: that part is empty.
struct ReportInput {
  const CParamDict* dictionary = nullptr;
  const std::vector<TW_TLogEntry>* log = nullptr;
  const QX_TArray* jobDictionaries = nullptr;
  // With the step runs, the dictionary tables name the step that wrote each
  // item and the values it replaced.
  const std::vector<StepRun>* trace = nullptr;
  std::string taskFileName;
  std::optional<MasterPlateSize> masterSize;
  std::vector<ReportFinding> findings;
};

// The page. Its cost grows in proportion to the number of jobs.
std::string ReportHtml(const ReportInput& input);

// The master's own plate size as the setup reads it (the ticket's rule of
// the plate size): "Masters" / master / "Info" of the ticket's
// configuration, else the master dictionary handed to the setup; none when
// the size is not two 32-bit integers there.
std::optional<MasterPlateSize> MasterPlateSizeOf(const TaskFile& file);

// The input of `ticket2dict report` for a conversion that ran: its
// dictionary, log, jobs and step runs (when traced), the task file's name
// and the master's size. Findings are left for the caller to add. The
// conversion and the file must outlive the input.
ReportInput ReportInputOf(const TaskFile& file, const Conversion& conversion);

}  // namespace t2dhost
