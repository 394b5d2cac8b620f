// CIP3 options in the setup: the ticket's CIP3 parameters, resolved through
// the template names, with the keep switch of the first job, drive the CIP3
// parameter files step.
#include "ticket2dict_msbasetask.h"

namespace {

// The keys whose text is replaced by what the template names give for it,
// in this order.
constexpr const char* kResolvedKeys[] = {
    "OutputFileName", "Cip_Customer", "Cip_Make",        "Cip_JobName",        "Cip_SheetName",
    "Cip_Artist",     "Cip_JobCode",  "Cip_PaperWeight", "Cip_PaperThickness",
};

}  // namespace

void CTicket2Dict_msbasetask::AddCIPOptions2Dict(AT_TTicket& ticket, QX_TArray& jobs) {
  const QX_TDict parameters(ticket.Configuration(), 0);
  if (!parameters.HasKey("CipParameters")) return;

  // The working CIP dictionary: every change below is made in this copy.
  QX_TDict cip(T2D_CAST(QX_TDict, parameters["CipParameters"]), 0);
  // Taken before anything is resolved, so that an empty jobs array fails here.
  const QX_TDict firstJob = T2D_CAST(QX_TDict, jobs[0]);

  TName& names = Task().Names();
  for (const char* key : kResolvedKeys) {
    if (!cip.HasKey(key)) continue;
    const QX_TString text = T2D_CAST(QX_TString, cip[key]);
    // An undefined name leaves the text as it was; the answer isn't needed.
    (void)names.Resolve(text, T2D_CAST(QX_TString, cip.Value(key)));
  }

  // The keep switch of the CIP3 files comes from the first job only.
  if (firstJob.HasKey("Keep_CIP_ini"))
    cip.Add("Keep_CIP_ini", T2D_CAST(QX_TString, firstJob["Keep_CIP_ini"]));
  else
    cip.Add("Keep_CIP_ini", QX_TString("0"));

  // A missing or non-text plate settings name fails here, before the files
  // step and without its failure key.
  (void)T2D_CAST(QX_TString, cip["PlateSettingFile"]);

  try {
    RunStep("DoCIPParams", [&] { DoCIPParams(ticket, cip); });
  } catch (const std::exception&) {
    Fail("AddCIPOptions2Dict", "qxmsm.failaddcip", "failed to add CIP options");
  }
}
