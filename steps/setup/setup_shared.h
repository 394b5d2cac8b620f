// Helpers shared by the setup steps: job base names, quoting, the scan of a
// file name template for "job" inside a placeholder, the placeholders kept
// in the template names, the job count of the task, and the output file
// naming of the global setup.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "qxtypes.h"
#include "task.h"
#include "ticket.h"
#include "ticket2dict.h"

class CFSProxy;

namespace t2d_setup {

// A check of a setup step that did not pass: the message key to log and the
// problem for the step's failure sentence. The step turns it into its
// failure (key at level 2, then the sentence).
struct CheckFailure {
  const char* messageKey;
  std::string problem;
};

// The job name up to, not including, its last '.'; a name without '.' is
// its own base name.
inline std::string BaseName(const QX_TString& jobName) {
  const long dot = jobName.ReverseFind('.');
  return dot == QX_TString::npos ? jobName.Str() : jobName.Str().substr(0, static_cast<size_t>(dot));
}

// The text in double quotes, whatever its length.
inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// True when some occurrence of "job" in the lower-cased `name` lies inside a
// placeholder: between the end of the previous occurrence (or the start) and
// this one, a '<' is left without a '>' after it.
bool JobInsidePlaceholder(const std::string& name);

// Sets template name `name` to `value` when it is defined already.
void SetIfDefined(TName& names, const char* name, const QX_TString& value);

// Gives each of `templateNames` that is defined its placeholder, in the
// order given, for the RIP to fill later: "ink" <ink>, "sink" <sink>, "nink"
// <nink>, "page" <page>, "ripdate" <date>, "riptime" <time>, "ripfile"
// <file>. A name without a placeholder raises std::logic_error.
void KeepPlaceholders(TName& names, std::initializer_list<const char*> templateNames);

// For how many jobs the task works, from the work dictionary's
// "ResultsFromPreviousTask" / "WorksForJobs" (a dictionary keyed by job id).
struct JobsOfTask {
  bool listed = false;       // "WorksForJobs" is a dictionary
  bool severalJobs = false;  // listed with other than one entry, none included
  bool noJob = false;        // not listed, or its one job id is empty
  QX_TString jobId;          // the one job's id (empty for several jobs)
};

// Reads the job count. "ResultsFromPreviousTask" that is missing or not a
// dictionary raises the illegal cast; such a "WorksForJobs" counts as no job.
JobsOfTask ReadJobsOfTask(AT_TTicket& ticket);

// The output file name of the global setup, from the options' "FileName".
struct OutputName {
  std::string output;  // the value of "Output", quoted
  bool merged;         // jobs with different base names: "extendfilename" = "0"
  // Which case named the output and with what, and the keys that went in;
  // filled only when asked to derive.
  std::string derivation;
  std::vector<std::string> inputs;
};

// The derivation of plate scale `item` ("rsx", "rsy") for whoever hears
// the writes: the size under `sizeKey` of the master's "Info" in inches,
// times `factor` (the option `factorKey`) when there is one.
void DerivePlateScale(const CTicket2Dict& converter, const char* item, const char* sizeKey, int32_t size,
                      const char* factorKey, std::optional<double> factor, double scale);

// Derives the output name from `fileName` (fixed name, job name or
// template) and the master's "Jobs"; in the template case it also fills the
// task's template names (placeholders, build number, smart names). Raises
// CheckFailure for the naming checks; other errors (a job entry of the wrong
// type, a missing "JobName" in the template case, a missing
// "ResultsFromPreviousTask") pass to the caller. With `deriving` it also
// says which case named the output.
OutputName MakeOutputName(AT_TTicket& ticket, TW_TTask& task, CFSProxy& cfs, const QX_TString& fileName,
                          const QX_TDict& master, int filmIndex, bool deriving);

}  // namespace t2d_setup
