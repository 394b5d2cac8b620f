// The rules that more than one setup step follows: the job count of the
// task and the placeholders kept in the template names.
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "setup_shared.h"
#include "ticket2dict_msbasetask.h"

namespace t2d_setup {

namespace {

// The placeholder each template name keeps for the RIP to fill.
constexpr const char* kPlaceholders[][2] = {
    {"ink", "<ink>"},       {"sink", "<sink>"},     {"nink", "<nink>"},     {"page", "<page>"},
    {"ripdate", "<date>"}, {"riptime", "<time>"}, {"ripfile", "<file>"},
};

}  // namespace

JobsOfTask ReadJobsOfTask(AT_TTicket& ticket) {
  JobsOfTask jobs;
  const QX_TDict& results = T2D_CAST(QX_TDict, ticket.WorkDictionary()["ResultsFromPreviousTask"]);
  try {
    const QX_TDict& worksForJobs = T2D_CAST(QX_TDict, results["WorksForJobs"]);
    jobs.listed = true;
    if (worksForJobs.Entries() != 1) {
      jobs.severalJobs = true;
    } else {
      jobs.jobId = QX_TIterator(worksForJobs).Key();
      jobs.noJob = jobs.jobId.CompareWith(QX_TString::sEmpty, true) == 0;
    }
  } catch (const QX_EIllegalCast&) {
    jobs.noJob = true;
  }
  return jobs;
}

void SetIfDefined(TName& names, const char* name, const QX_TString& value) {
  if (names.IsDefined(name)) names.SetValue(name, value);
}

void KeepPlaceholders(TName& names, std::initializer_list<const char*> templateNames) {
  for (const char* name : templateNames) {
    const char* placeholder = nullptr;
    for (const auto& row : kPlaceholders)
      if (std::strcmp(row[0], name) == 0) placeholder = row[1];
    if (placeholder == nullptr) throw std::logic_error(std::string("no placeholder for the template name ") + name);
    SetIfDefined(names, name, placeholder);
  }
}

void DerivePlateScale(const CTicket2Dict& converter, const char* item, const char* sizeKey, int32_t size,
                      const char* factorKey, std::optional<double> factor, double scale) {
  const bool height = std::strcmp(item, "rsy") == 0;
  std::string text = std::string(sizeKey) + " " + std::to_string(size) + " / 254";
  std::vector<std::string> inputs = {std::string("Info.") + sizeKey};
  if (factor) {
    char number[32];
    std::snprintf(number, sizeof number, "%.15g", *factor);
    text += " * " + std::string(factorKey) + " " + number;
    inputs.push_back(factorKey);
  }
  char result[32];
  std::snprintf(result, sizeof result, "%.15g", scale);
  text += " = " + std::string(result) + "; the plate " + (height ? "height" : "width") + " in inches";
  if (factor)
    text += std::string(" times the ") + (height ? "vertical" : "horizontal") + " distortion";
  else if (factorKey != nullptr)
    text += " (no \"" + std::string(factorKey) + "\")";
  else
    text += ", without distortion";
  converter.Derived(item, text, inputs);
}

}  // namespace t2d_setup
