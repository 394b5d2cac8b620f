#include "result_document.h"

#include "result_writer.h"

namespace resulttest {

using t2dhost::Json;

namespace {

Json Section(const CParamSection* section, bool withComments) {
  Json items = Json::array();
  if (section == nullptr) return items;
  for (const CParamItem& item : section->Items()) {
    Json entry = {{"key", item.key}, {"value", item.value}};
    if (withComments) entry["comment"] = item.comment ? Json(*item.comment) : Json(nullptr);
    items.push_back(entry);
  }
  return items;
}

}  // namespace

Json ResultJson(const t2dhost::Conversion& conversion) {
  const CParamDict& dict = conversion.Converter().Dictionary();
  const TW_TTask& task = conversion.Task();
  Json dictionary = Json::object();
  auto& members = dictionary.get_ref<Json::object_t&>();
  members.emplace_back("task", Section(dict.FindSection("task"), false));
  members.emplace_back("setup", Section(dict.FindSection("setup"), true));
  members.emplace_back("environment", Section(dict.FindSection("environment"), false));
  for (const auto& section : dict.Sections())
    if (section.first != "task" && section.first != "setup" && section.first != "environment")
      members.emplace_back(section.first, Section(&section.second, true));
  Json jobs = Json::object();
  for (const auto& job : dict.JobSections()) jobs[std::to_string(job.first)] = Section(&job.second, true);
  members.emplace_back("jobs", jobs);

  Json log = Json::array();
  for (const TW_TLogEntry& entry : task.Log()) log.push_back(t2dhost::LogEntryJson(entry));
  Json names = Json::object();
  for (const TName::Entry& entry : task.Names().Entries())
    names[entry.name.Str()] = entry.value ? t2dhost::EncodeValue(*entry.value) : Json(nullptr);
  Json files = Json::array();
  for (const TW_TTempFile& file : task.TempFiles()) files.push_back({{"url", file.url.Text().Str()}, {"keep", file.keep}});

  Json result = Json::object();
  result["dictionary"] = dictionary;
  result["log"] = log;
  result["templateNames"] = names;
  result["tempFiles"] = files;
  result["jobDictionaries"] = t2dhost::EncodeValue(conversion.Jobs());
  result["files"] = t2dhost::WrittenFilesJson(task);
  if (conversion.Watch().Tracing()) result["trace"] = t2dhost::TraceJson(conversion.Watch().Runs());
  return result;
}

}  // namespace resulttest
