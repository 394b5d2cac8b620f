// The job inks and the ink selection, the last part of the global job info.
// The converter hands in its own operations as hooks, so that a flavour's
// Ink2IniEntry builds the entries.
#pragma once

#include <functional>

#include "qxtypes.h"

namespace t2d_job {

struct InkHooks {
  // Fills key and value of one entry (the converter's Ink2IniEntry). Both
  // texts are empty when called; an ink left without a key gets no entry.
  std::function<void(QX_TDict& ink, int index, char* key, char* value, bool isPdfJob)> buildEntry;
  // Writes one item into the job's section with an empty comment.
  std::function<void(const char* key, const char* value)> writeItem;
  // Writes a sentence to the task log.
  std::function<void(int level, const char* text)> log;
  // Logs `sentence` at level 2 and fails the step with `problem`; does not
  // return.
  std::function<void(const char* sentence, const char* problem)> fail;
};

// Writes one entry per selected ink and, for inks from the host
// (`jobFlag` not 0, inks and ink groups in `jobArray`), the ink selection
// "inksel". With `jobFlag` 0 the inks are the job's "Ink" array.
void AddJobInks(const InkHooks& hooks, const QX_TDict& job, int jobFlag, const QX_TArray& jobArray, bool isPdfJob);

}  // namespace t2d_job
