// The extra options of one job from arbitrary text: whatever the text,
// the step writes items or fails with its sentence, and every item it
// writes fits its room.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "task.h"
#include "ticket.h"
#include "ticket2dict_msbasetask.h"

namespace {

class FuzzConverter : public CTicket2Dict_msbasetask {
 public:
  using CTicket2Dict_msbasetask::CTicket2Dict_msbasetask;
  using CTicket2Dict_msbasetask::AddExtraOptions;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__()) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte picks the job number (1..8) and whether the job already
  // holds some of the keys the options may overrule.
  const int jobNumber = size > 0 ? 1 + (data[0] & 7) : 1;
  const bool prefilled = size > 0 && (data[0] & 8) != 0;
  const std::string options = size > 0 ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1) : "";

  TW_TTask task;
  AT_TTicket ticket;
  FuzzConverter converter(task);
  QX_TDict job;
  job.Add("ExtraOptions", QX_TString(options));
  if (prefilled) {
    job.Add("JobName", QX_TString("job.pdf"));
    job.Add("res", QX_TInt32(2400));
  }
  try {
    converter.AddExtraOptions(ticket, job, jobNumber);
  } catch (const std::exception&) {
    // The step's failure: an over-long key or value, or a key the
    // dictionary can't hold.
  }
  return 0;
}
