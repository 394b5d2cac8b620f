#include "conversion.h"

#include "localname2unc.h"
#include "rip_server.h"

namespace t2dhost {

Conversion::Conversion(const TaskFile& file, ConverterFactory factory, ConversionOptions options)
    : file_(file), factory_(std::move(factory)), watch_(task_, options.trace), shares_(file.shares) {
  converter_ = factory_ ? factory_(task_) : std::make_unique<CTicket2Dict_msbasetask>(task_);
  converter_->SetStepObserver(&watch_);
  OfferServers(file_.servers, servers_);
  if (options.trace) {
    servers_.SetObserver(&watch_);
    converter_->SetWriteObserver(&watch_);
  }
}

void Conversion::Run() {
  QXM_TRegistry::Binding servers(servers_);
  LocalName2UNC_TShares::Binding shares(shares_);
  if (watch_.Tracing()) {
    QX_TReadObserverBinding reads(&watch_);
    Convert();
  } else {
    Convert();
  }
}

void Conversion::Convert() {
  task_.SetMergeID(QX_TString(file_.mergeId));
  TName& names = task_.Names();
  for (const TemplateName& name : file_.templateNames) {
    if (!name.value) {
      names.Define(QX_TString(name.name), 0, 0);
    } else if (const auto* url = dynamic_cast<const QX_TURL*>(name.value->Object())) {
      names.SetValue(QX_TString(name.name), *url);
    } else {
      names.SetValue(QX_TString(name.name), static_cast<const QX_TString&>(*name.value->Object()));
    }
  }

  ticket_.SetDeviceName(QX_TString(file_.deviceName));
  ticket_.SetTaskID(QX_TString(file_.taskId));
  ticket_.SetShortID(QX_TString(file_.shortId));
  ticket_.SetUserInfo(QX_TUserInfo(QX_TString(file_.userName)));
  ticket_.SetConfiguration(file_.configuration);
  ticket_.SetWorkDictionary(file_.work);

  converter_->verbosity = file_.verbosity;
  for (const TaskOption& option : file_.options) {
    try {
      converter_->SetOption(option.name.c_str(), option.value);
    } catch (const std::exception& e) {
      throw TaskFileError(file_.path + ": " + MemberPath("options", option.name) +
                          ": the converter refuses the option: " + e.what());
    }
  }

  if (!file_.setup) return;
  const SetupCall& setup = *file_.setup;
  jobs_ = file_.jobsArray;
  QX_TDict master = setup.masterDictionary;
  converter_->SetupDict(ticket_, master, QX_TString(setup.master), setup.filmIndex, setup.optimizedExposure, jobs_,
                        setup.pageFlags[0], setup.pageFlags[1], setup.pageFlags[2], setup.pageFlags[3],
                        setup.pageList.c_str());
  for (const AddJobCall& call : file_.jobs) {
    QX_TArray jobArray = call.jobArray;
    converter_->AddJob(ticket_, call.index, call.jobFlag, jobArray, jobs_, false);
  }
}

}  // namespace t2dhost
