// One conversion as the host task runs it: the task and the ticket filled
// from the task file, the RIP server's services offered in the middleware,
// the converter built on the task, its options set, SetupDict called once
// and AddJob once per job.
#pragma once

#include <functional>
#include <memory>

#include "task.h"
#include "task_file.h"
#include "ticket.h"
#include "ticket2dict_msbasetask.h"

namespace t2dhost {

// Builds the converter on the task; tests hand in a derived converter.
using ConverterFactory = std::function<std::unique_ptr<CTicket2Dict_msbasetask>(TW_TTask&)>;

class Conversion {
 public:
  // `file` must outlive the conversion.
  explicit Conversion(const TaskFile& file, ConverterFactory factory = nullptr);
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  // Runs the conversion. Failures of the steps end up in the task log, as
  // the host would have them; an option the converter refuses raises
  // TaskFileError naming the option.
  void Run();

  const TW_TTask& Task() const { return task_; }
  const CTicket2Dict_msbasetask& Converter() const { return *converter_; }
  // The jobs array after the run: the job steps worked on its elements.
  const QX_TArray& Jobs() const { return jobs_; }

 private:
  const TaskFile& file_;
  ConverterFactory factory_;
  TW_TTask task_;
  AT_TTicket ticket_;
  std::unique_ptr<CTicket2Dict_msbasetask> converter_;
  QX_TArray jobs_;
};

}  // namespace t2dhost
