// Output file naming of the global setup: the setup item "Output" from the
// options' "FileName": a fixed name, the job's name, a merged name for
// differently named jobs on one master, or a template resolved through the
// task's template names.
#include <string>

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
OutputName FixedOrJobName(TW_TTask& task, const QX_TString& fileName, const QX_TDict& master, int filmIndex) {
  if (!master.HasKey("Jobs")) throw CheckFailure{"qxmsm.jobsentrynotfound", "job entry not found"};
  const QX_TArray& jobs = T2D_CAST(QX_TArray, master["Jobs"]);
  if (jobs.Size() < 1) throw CheckFailure{"qxmsm.nojobinjobsentry", "no job in job entry"};
  const QX_TDict& firstJob = T2D_CAST(QX_TDict, jobs[jobs.LowerBound()]);
  if (!firstJob.HasKey("JobName")) throw CheckFailure{"qxmsm.nojobnameinfirstjob", "no job name in first job"};
  const std::string baseName = BaseName(T2D_CAST(QX_TString, firstJob["JobName"]));
  const bool fixed = !fileName.IsEmpty();

  bool differ = false;
  if (jobs.Size() > 1) {
    // Every entry from the lower bound up; the walk stops at the first job
    // whose base name differs from the first job's.
    for (const QX_TAny& entry : jobs.Items()) {
      const QX_TDict& job = T2D_CAST(QX_TDict, entry);
      if (!job.HasKey("JobName")) throw CheckFailure{"qxmsm.nojobnameinjob", "no job name in job"};
      if (QX_TString(BaseName(T2D_CAST(QX_TString, job["JobName"]))) != QX_TString(baseName)) {
        differ = true;
        break;
      }
    }
  }
  if (!differ) return OutputName{Quoted(fixed ? fileName.Str() : baseName), false};

  const std::string mergeId = task.MergeID().Str();
  QX_HeardValue(QX_EValueSource::kArgument, "filmIndex", QX_TInt32(filmIndex));
  const std::string film = std::to_string(filmIndex);
  if (fixed) return OutputName{Quoted(fileName.Str() + "_Merge_ID" + mergeId + "_Film" + film), true};
  return OutputName{Quoted("Merge_ID" + mergeId + "_Film" + film), true};
}

// Template name: the checks on the job count, then the template names are
// filled and the name resolved. Ink, page, date, time and the RIP's file
// name stay placeholders for the RIP.
OutputName TemplateName(AT_TTicket& ticket, TW_TTask& task, CFSProxy& cfs, const QX_TString& fileName,
                        const QX_TDict& master) {
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
  try {
    names.Resolve(fileName, resolved);
  } catch (const std::exception&) {
    resolved = "Unknown";
  }
  return OutputName{Quoted(resolved.Str()), false};
}

}  // namespace

OutputName MakeOutputName(AT_TTicket& ticket, TW_TTask& task, CFSProxy& cfs, const QX_TString& fileName,
                          const QX_TDict& master, int filmIndex) {
  if (!fileName.IsEmpty() && fileName.Find('<') != QX_TString::npos)
    return TemplateName(ticket, task, cfs, fileName, master);
  return FixedOrJobName(task, fileName, master, filmIndex);
}

}  // namespace t2d_setup
