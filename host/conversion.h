// One conversion as the host task runs it: the task and the ticket filled
// from the task file, the RIP server's services offered in the middleware,
// the converter built on the task, its options set, SetupDict called once
// and AddJob once per job.
//
// A conversion owns everything it uses: its task (log, template names,
// temporary files), its RIP servers and its shared folders, bound to the
// thread that runs it while it runs. Conversions on several threads of one
// process run side by side without seeing each other.
#pragma once

#include <functional>
#include <memory>

#include "conversion_trace.h"
#include "localname2unc.h"
#include "qxm_service.h"
#include "task.h"
#include "task_file.h"
#include "ticket.h"
#include "ticket2dict_msbasetask.h"

namespace t2dhost {

// Builds the converter on the task; tests hand in a derived converter.
using ConverterFactory = std::function<std::unique_ptr<CTicket2Dict_msbasetask>(TW_TTask&)>;

struct ConversionOptions {
  // Record every step run with its reads, service requests and item writes
  // (Watch().Runs()). Without it the conversion does no tracing work.
  bool trace = false;
};

class Conversion {
 public:
  // `file` must outlive the conversion.
  explicit Conversion(const TaskFile& file, ConverterFactory factory = nullptr, ConversionOptions options = {});
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  // Runs the conversion on the calling thread. Failures of the steps end up
  // in the task log, as the host would have them; an option the converter
  // refuses raises TaskFileError naming the option.
  void Run();

  const TW_TTask& Task() const { return task_; }
  const CTicket2Dict_msbasetask& Converter() const { return *converter_; }
  // The jobs array after the run: the job steps worked on its elements.
  const QX_TArray& Jobs() const { return jobs_; }
  // The step of every log entry, and with tracing the step runs.
  const ConversionWatch& Watch() const { return watch_; }

 private:
  void Convert();

  const TaskFile& file_;
  ConverterFactory factory_;
  TW_TTask task_;
  AT_TTicket ticket_;
  ConversionWatch watch_;
  QXM_TRegistry servers_;
  LocalName2UNC_TShares shares_;
  std::unique_ptr<CTicket2Dict_msbasetask> converter_;
  QX_TArray jobs_;
};

}  // namespace t2dhost
