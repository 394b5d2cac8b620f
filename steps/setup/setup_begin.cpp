// Setup begin: configuration and output location.
#include <string>

#include "CFS/Server/cfs_tproxy.h"
#include "job_tproxy.h"
#include "setup_shared.h"
#include "ticket2dict_msbasetask.h"
#include "../ticket_rules.h"

namespace {

constexpr const char* kStep = "AddSetup begin";

// What the task works for, with the one job's URL on the element server
// (illegal when unknown).
struct JobsOfTask : t2d_setup::JobsOfTask {
  QX_TAny jobUrl;
};

// The URL of the master's first job as the element server's "ij" request
// knows it: the job's "FileSpec" in text form. The URL is element 4 of the
// answer when element 0 says the job was found; otherwise illegal.
QX_TAny JobUrlFromFileSpec(QX_TDict& parameters, const std::string& masterName, ElemServerProxy& elemServer) {
  const QX_TDict& master = t2d_ticket::Master(parameters, masterName);
  const QX_TArray& jobs = T2D_CAST(QX_TArray, master["Jobs"]);
  const QX_TDict& firstJob = T2D_CAST(QX_TDict, jobs[jobs.LowerBound()]);
  const QX_TURL fileSpec(T2D_CAST(QX_TURL, firstJob["FileSpec"]).Text());

  const QX_TArray answer = elemServer.Ij(QX_TAny(fileSpec), 1);
  // An answer too short to hold the flag or the URL names no URL.
  const auto holds = [&answer](int index) { return answer.LowerBound() <= index && index <= answer.UpperBound(); };
  if (!holds(0) || !T2D_CAST(QX_TBool, answer[0]).Value()) return QX_TAny();
  if (!holds(4)) return QX_TAny();
  return answer[4];
}

// The job count, and for one job its URL. The element server is asked
// whenever "WorksForJobs" is listed; an illegal cast while the URL is
// looked up counts as no job.
JobsOfTask CountJobs(AT_TTicket& ticket, const std::string& masterName) {
  JobsOfTask jobs{t2d_setup::ReadJobsOfTask(ticket), QX_TAny()};
  if (!jobs.listed) return jobs;
  try {
    ElemServerProxy elemServer("");
    if (jobs.severalJobs || jobs.noJob) return jobs;
    bool found = false;
    try {
      const QX_TDict jobInfo = elemServer.JInfoCpp(QX_TAny(jobs.jobId));
      jobs.jobUrl = jobInfo["Url"];
      found = true;
    } catch (const std::exception&) {
    }
    if (!found) jobs.jobUrl = JobUrlFromFileSpec(ticket.Configuration(), masterName, elemServer);
  } catch (const QX_EIllegalCast&) {
    jobs.noJob = true;
  }
  return jobs;
}

// The first job of the first master in the masters' "Order". Both arrays
// start at their lower bound, which need not be 0.
const QX_TDict& FirstJob(QX_TDict& parameters) {
  const QX_TDict& masters = T2D_CAST(QX_TDict, parameters["Masters"]);
  const QX_TArray& order = T2D_CAST(QX_TArray, masters["Order"]);
  const QX_TString& firstMaster = T2D_CAST(QX_TString, order[order.LowerBound()]);
  const QX_TDict& master = T2D_CAST(QX_TDict, masters[firstMaster]);
  const QX_TArray& jobs = T2D_CAST(QX_TArray, master["Jobs"]);
  return T2D_CAST(QX_TDict, jobs[jobs.LowerBound()]);
}

}  // namespace

void CTicket2Dict_msbasetask::AddSetup_begin(AT_TTicket& ticket, QX_TDict& options, int) {
  CFSProxy cfs("");
  QX_TDict& parameters = ticket.Configuration();
  if (!parameters.HasKey("Masters")) Fail(kStep, "qxmsm.nomasters", "no masters");

  const JobsOfTask jobs = CountJobs(ticket, masterName);

  // The output path; a template is resolved through the task's template
  // names, with what this job supplies. Ink, page, date and time stay
  // placeholders for the RIP to fill.
  QX_TString resolvedOutputDirectory;
  const bool hasOutputPath = options.HasKey("OutputPath");
  QX_TString outputPath;
  if (hasOutputPath) {
    outputPath = T2D_CAST(QX_TString, options["OutputPath"]);
    if (outputPath.Find('<') == QX_TString::npos) {
      resolvedOutputDirectory = outputPath;
    } else {
      TName& names = Task().Names();
      outputPath.Replace('\\', '/');
      QX_TString lowered(outputPath);
      lowered.ToLower();
      const bool namesJob = lowered.Find("job") != QX_TString::npos;
      if (namesJob && jobs.severalJobs) Fail(kStep, "qxmsm.morethanonejob", "more than one job");
      if (namesJob && jobs.noJob) Fail(kStep, "qxmsm.nojob", "no job");
      if (lowered.Find("file") != QX_TString::npos && jobs.severalJobs)
        Fail(kStep, "qxmsm.morethanonejob", "more than one job");

      const QX_TDict& firstJob = FirstJob(parameters);
      const QX_TString jobFileName(t2d_setup::BaseName(T2D_CAST(QX_TString, firstJob["JobName"])));

      t2d_setup::SetIfDefined(names, "file", jobFileName);
      if (names.IsDefined("fileurl")) {
        QX_TURL inputFolder;
        try {
          inputFolder = T2D_CAST(QX_TURL, ticket.WorkDictionary()["Inputfolder"]);
        } catch (const std::exception&) {
          inputFolder = T2D_CAST(QX_TURL, firstJob["FileSpec"]).Parent();
        }
        names.SetValue("fileurl", inputFolder);
      }
      if (!jobs.noJob && !jobs.jobUrl.IsIllegal()) {
        const QX_TURL& jobUrl = T2D_CAST(QX_TURL, jobs.jobUrl);
        if (names.IsDefined("jobfolderurl")) names.SetValue("jobfolderurl", jobUrl);
        if (names.IsDefined("joburl")) names.SetValue("joburl", jobUrl);
      }
      t2d_setup::KeepPlaceholders(names, {"ink", "sink", "page", "nink", "ripdate", "riptime"});

      try {
        QX_TURL resolved;
        names.Resolve(outputPath, resolved);
        resolvedOutputDirectory = resolved.Text();
      } catch (const std::exception&) {
        resolvedOutputDirectory = "Unknown";
      }
    }
  }

  const QX_TString instanceName = ticket.DeviceName();

  // The configuration and the output directory.
  if (!options.HasKey("Conf")) return;
  const QX_TString& conf = T2D_CAST(QX_TString, options["Conf"]);
  const std::string outdir = t2d_setup::Quoted(resolvedOutputDirectory.Str());
  if (!conf.IsEmpty()) {
    AddItemSetup("conf", t2d_setup::Quoted(conf.Str()).c_str(), "Configuration");
    if (!resolvedOutputDirectory.IsEmpty()) AddItemSetup("outdir", outdir.c_str(), "OutputPath");
    return;
  }
  if (!hasOutputPath) return;

  // No configuration given: the device's configurations decide. With an
  // output path, only a configuration without an output folder of its own
  // may be chosen; of those allowed, the smallest name is taken.
  QX_TTree configurations;
  bool available = true;
  try {
    const QX_TAny answer =
        cfs.Value(QX_TAny(QX_TString("Devices/Instances/" + instanceName.Str() + "/Rip/Config/Config")));
    configurations = T2D_CAST(QX_TTree, answer);
  } catch (const std::exception&) {
    available = false;
  }
  if (!available) Fail(kStep, "qxmsm.confnotavailable", "configuration not available");

  const bool outputPathEmpty = outputPath.IsEmpty();
  QX_TString candidate;
  for (QX_TIterator it(configurations); !it.IsDone(); it.Next()) {
    bool allowed = outputPathEmpty;
    if (!allowed) {
      const QX_TTree& configuration = T2D_CAST(QX_TTree, it.Value());
      allowed = !configuration.HasKey("Outdir") || T2D_CAST(QX_TString, configuration["Outdir"]).IsEmpty();
    }
    if (allowed && (candidate.IsEmpty() || it.Key() < candidate)) candidate = it.Key();
  }
  AddItemSetup("conf", candidate.Text(), "Configuration");
  if (!outputPathEmpty && !resolvedOutputDirectory.IsEmpty()) AddItemSetup("outdir", outdir.c_str(), "Output Directory");
}
