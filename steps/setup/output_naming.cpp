// Output file naming of the global setup: the setup item "Output" from the
// options' "FileName": a fixed name, the job's name, a merged name for
// differently named jobs on one master, or a template resolved through the
// task's template names.
#include <string>
#include <vector>

#include "CFS/Server/cfs_tproxy.h"
#include "setup_shared.h"
#include "ticket2dict_msbasetask.h"

namespace t2d_setup {

bool JobInsidePlaceholder(const std::string& name) {
  size_t segmentStart = 0;
  for (size_t job = name.find("job"); job != std::string::npos; job = name.find("job", segmentStart)) {
    size_t from = segmentStart;
    for (;;) {
      const size_t open = name.find('<', from);
      if (open == std::string::npos || open >= job) break;
      const size_t close = name.find('>', open + 1);
      if (close == std::string::npos || close >= job) return true;
      from = close + 1;
    }
    segmentStart = job + 3;
  }
  return false;
}

namespace {

// Fixed name ("FileName" given) or job name ("FileName" empty): one job, or
// jobs that all share the first job's base name, give that name; jobs with
// different base names give a merged name.
OutputName FixedOrJobName(TW_TTask& task, const QX_TString& fileName, const QX_TDict& master, int filmIndex,
                          bool deriving) {
  if (!master.HasKey("Jobs")) throw CheckFailure{"qxmsm.jobsentrynotfound", "job entry not found"};
  const QX_TArray& jobs = T2D_CAST(QX_TArray, master["Jobs"]);
  if (jobs.Size() < 1) throw CheckFailure{"qxmsm.nojobinjobsentry", "no job in job entry"};
  const QX_TDict& firstJob = T2D_CAST(QX_TDict, jobs[jobs.LowerBound()]);
  if (!firstJob.HasKey("JobName")) throw CheckFailure{"qxmsm.nojobnameinfirstjob", "no job name in first job"};
  const std::string baseName = BaseName(T2D_CAST(QX_TString, firstJob["JobName"]));
  const bool fixed = !fileName.IsEmpty();

  bool differ = false;
  size_t differing = 0;  // the position of the first job that differs
  std::string differingName;
  if (jobs.Size() > 1) {
    // Every entry from the lower bound up; the walk stops at the first job
    // whose base name differs from the first job's.
    for (const QX_TAny& entry : jobs.Items()) {
      const QX_TDict& job = T2D_CAST(QX_TDict, entry);
      if (!job.HasKey("JobName")) throw CheckFailure{"qxmsm.nojobnameinjob", "no job name in job"};
      std::string jobBase = BaseName(T2D_CAST(QX_TString, job["JobName"]));
      if (QX_TString(jobBase) != QX_TString(baseName)) {
        differ = true;
        differingName = std::move(jobBase);
        break;
      }
      ++differing;
    }
  }

  // The case in words: which name, and why.
  OutputName name;
  const auto derive = [&](const std::string& how, std::vector<std::string> inputs) {
    if (!deriving) return;
    const std::string source =
        fixed ? "\"FileName\" " + Quoted(fileName.Str()) + " has no placeholder: the fixed name"
              : "\"FileName\" is empty: the first job's \"JobName\" without its extension, " + Quoted(baseName);
    name.derivation = source + "; " + how;
    inputs.insert(inputs.begin(), fixed ? "FileName" : "Jobs[0].JobName");
    name.inputs = std::move(inputs);
  };
  if (!differ) {
    name.output = Quoted(fixed ? fileName.Str() : baseName);
    name.merged = false;
    derive(jobs.Size() > 1 ? "all " + std::to_string(jobs.Size()) + " jobs share the first job's base name"
                           : std::string("one job"),
           {});
    return name;
  }

  const std::string mergeId = task.MergeID().Str();
  QX_HeardValue(QX_EValueSource::kArgument, "filmIndex", QX_TInt32(filmIndex));
  const std::string film = std::to_string(filmIndex);
  name.output = Quoted((fixed ? fileName.Str() + "_" : std::string()) + "Merge_ID" + mergeId + "_Film" + film);
  name.merged = true;
  derive("job " + std::to_string(differing + 1) + "'s base name " + Quoted(differingName) +
             " differs from the first job's: merged, " + (fixed ? "FileName_" : "") + "Merge_ID<MergeID " + mergeId +
             ">_Film<filmIndex " + film + ">, and \"extendfilename\" 0",
         {"Jobs[" + std::to_string(differing) + "].JobName", "MergeID", "filmIndex"});
  return name;
}

// Template name: the checks on the job count, then the template names are
// filled and the name resolved. Ink, page, date, time and the RIP's file
// name stay placeholders for the RIP.
OutputName TemplateName(AT_TTicket& ticket, TW_TTask& task, CFSProxy& cfs, const QX_TString& fileName,
                        const QX_TDict& master, bool deriving) {
  const JobsOfTask jobsOfTask = ReadJobsOfTask(ticket);

  const QX_TArray& jobs = T2D_CAST(QX_TArray, master["Jobs"]);
  const QX_TDict& firstJob = T2D_CAST(QX_TDict, jobs[jobs.LowerBound()]);
  const QX_TString baseName(BaseName(T2D_CAST(QX_TString, firstJob["JobName"])));

  QX_TString lowered(fileName);
  lowered.ToLower();
  if (lowered.Find("job") != QX_TString::npos) {
    if (jobsOfTask.severalJobs) throw CheckFailure{"qxmsm.morethanonejob", "more than one job"};
    if (jobsOfTask.noJob && JobInsidePlaceholder(lowered.Str())) throw CheckFailure{"qxmsm.nojob", "no job"};
  }

  TName& names = task.Names();
  SetIfDefined(names, "file", baseName);
  KeepPlaceholders(names, {"ink", "sink", "nink", "page", "ripdate", "riptime", "ripfile"});

  // The build number of the device's RIP; a device without one leaves
  // "Build_Number" as it was.
  try {
    const QX_TString path("Devices/Instances/" + ticket.DeviceName().Str() + "/Rip/Config/Mistral/BuildNumber");
    const QX_TAny answer = cfs.Value(QX_TAny(path), false);
    const QX_TString& buildNumber = T2D_CAST(QX_TString, answer);
    names.Define("Build_Number", 0, 0);
    names.SetValue("Build_Number", buildNumber);
  } catch (const std::exception&) {
  }

  // The first job's smart names fill the template names they name; an empty
  // value leaves the name as it was. A fault ends the walk.
  try {
    if (firstJob.HasKey("Contents")) {
      const QX_TDict& contents = T2D_CAST(QX_TDict, firstJob["Contents"]);
      if (contents.HasKey("SmartNames")) {
        const QX_TDict& smartNames = T2D_CAST(QX_TDict, contents["SmartNames"]);
        for (QX_TIterator it(smartNames); !it.IsDone(); it.Next()) {
          if (!names.IsDefined(it.Key())) continue;
          const QX_TString& value = T2D_CAST(QX_TString, it.Value());
          if (!value.IsEmpty()) names.SetValue(it.Key(), value);
        }
      }
    }
  } catch (const std::exception&) {
  }

  // A placeholder that names an undefined template name leaves the job's
  // base name.
  QX_TString resolved(baseName);
  bool complete = false;
  bool failed = false;
  try {
    complete = names.Resolve(fileName, resolved);
  } catch (const std::exception&) {
    resolved = "Unknown";
    failed = true;
  }
  OutputName name{Quoted(resolved.Str()), false, {}, {}};
  if (deriving) {
    // The template's placeholders name the template names it read.
    name.inputs = {"FileName"};
    const std::string& text = fileName.Str();
    for (size_t open = text.find('<'); open != std::string::npos; open = text.find('<', open + 1)) {
      const size_t close = text.find_first_of("<>", open + 1);
      if (close != std::string::npos && text[close] == '>' && close > open + 1)
        name.inputs.push_back(text.substr(open + 1, close - open - 1));
    }
    name.derivation = "\"FileName\" " + Quoted(text) + " holds a placeholder: the template, resolved with the task's "
                      "template names (\"file\" is the first job's base name " + Quoted(baseName.Str()) + "; ink, "
                      "page, date, time and the RIP's file name stay placeholders for the RIP); " +
                      (failed     ? std::string("resolving failed: \"Unknown\"")
                       : complete ? "every placeholder resolved"
                                  : "a placeholder names no template name: the first job's base name instead");
  }
  return name;
}

}  // namespace

OutputName MakeOutputName(AT_TTicket& ticket, TW_TTask& task, CFSProxy& cfs, const QX_TString& fileName,
                          const QX_TDict& master, int filmIndex, bool deriving) {
  if (!fileName.IsEmpty() && fileName.Find('<') != QX_TString::npos)
    return TemplateName(ticket, task, cfs, fileName, master, deriving);
  return FixedOrJobName(task, fileName, master, filmIndex, deriving);
}

}  // namespace t2d_setup
