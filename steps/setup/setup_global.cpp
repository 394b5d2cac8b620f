// Global setup: device defaults, scales, resampling, copies and output file naming.
#include <optional>
#include <string>

#include "CFS/Server/cfs_tproxy.h"
#include "setup_shared.h"
#include "ticket2dict_msbasetask.h"
#include "../ticket_rules.h"

namespace {

constexpr const char* kStep = "AddSetupGlobal";
constexpr const char* kComment = "Added by Mistral base task";
constexpr const char* kDefaultsComment = "Added by the Mistral base task";

// The value of the device instance's configuration at `path` as class T;
// `fallback` when the server can't answer or the value has another class.
template <class T>
T ConfigValue(CFSProxy& cfs, const std::string& path, const T& fallback) {
  try {
    const QX_TAny answer = cfs.Value(QX_TAny(QX_TString(path)));
    return T2D_CAST(T, answer);
  } catch (const std::exception&) {
    return fallback;
  }
}

}  // namespace

void CTicket2Dict_msbasetask::AddSetupGlobal(AT_TTicket& ticket, QX_TDict& master, QX_TString&, int filmIndex,
                                             int optimizedExposure) {
  CFSProxy cfs("");
  const QX_TDict& options = T2D_CAST(QX_TDict, master["Options"]);
  const QX_TDict& info = T2D_CAST(QX_TDict, master["Info"]);
  AddItemSetup("ServerVersion", "HX12.0", kDefaultsComment);

  // Empty pages and the device's default ink and group names.
  const std::string instance = "Devices/Instances/" + ticket.DeviceName().Str() + "/Rip/";
  const bool emptyPages = ConfigValue<QX_TBool>(cfs, instance + "EmptyPages", QX_TBool(false)).Value();
  if (!emptyPages) {
    AddItemSetup("noemptypage", "1", kDefaultsComment);
  } else {
    AddItemSetup("noemptypage", "0", kDefaultsComment);
    const QX_TString ink = ConfigValue<QX_TString>(cfs, instance + "DefaultInkName", QX_TString("black"));
    AddItemSetup("mstr_defaultinkname", ink.Text(), kDefaultsComment);
    const QX_TString group = ConfigValue<QX_TString>(cfs, instance + "DefaultGroupName", QX_TString("process"));
    AddItemSetup("mstr_defaultgroupname", group.Text(), kDefaultsComment);
  }

  // Plate scales without distortion: the plate size in inches.
  const char* widthKey = nullptr;
  if (const std::optional<int32_t> width = t2d_ticket::PlateWidth(info, &widthKey)) {
    if (*width == 0) Fail(kStep, "qxmsm.invalidplatesizes", "invalid plate sizes (horizontal)");
    if (*width > 0) {
      AddItemSetup("rsx", Format("%.15g", *width / 254.0).c_str(), kComment);
      if (Deriving()) t2d_setup::DerivePlateScale(*this, "rsx", widthKey, *width, nullptr, std::nullopt, *width / 254.0);
    }
  }
  const char* heightKey = nullptr;
  if (const std::optional<int32_t> height = t2d_ticket::PlateHeight(info, &heightKey)) {
    if (*height == 0) Fail(kStep, "qxmsm.invalidplatesizes", "invalid plate sizes (vertical)");
    if (*height > 0) {
      AddItemSetup("rsy", Format("%.15g", *height / 254.0).c_str(), kComment);
      if (Deriving())
        t2d_setup::DerivePlateScale(*this, "rsy", heightKey, *height, nullptr, std::nullopt, *height / 254.0);
    }
  }

  if (options.HasKey("Resolution")) {
    AddItemSetup("res", Format("%.15g", options["Resolution"].AsDouble()).c_str(), kComment);
    if (Deriving()) Derived("res", "the output resolution \"Resolution\" as it is", {"Resolution"});
  }

  // CT resampling at the working resolution: the output resolution, the
  // highest sampling, or (automatic) the output resolution divided by a
  // whole factor to below 2000.
  if (options.HasKey("CTResampling")) {
    const QX_TString& mode = T2D_CAST(QX_TString, options["CTResampling"]);
    const char* resolutionKey = options.HasKey("ActualResolution") ? "ActualResolution"
                                : options.HasKey("Resolution")     ? "Resolution"
                                                                   : nullptr;
    const double resolution = resolutionKey ? options[resolutionKey].AsDouble() : 0.0;
    if (resolution > 0) {
      if (mode.CompareWith("output", true) == 0) {
        AddItemSetup("ctres", Format("%.15g", resolution).c_str(), kComment);
        if (Deriving())
          Derived("ctres", Format("%s %.15g; \"CTResampling\" \"Output\": the output resolution", resolutionKey, resolution),
                  {"CTResampling", resolutionKey});
      } else if (mode.CompareWith("highest", true) == 0) {
        AddItemSetup("ct_sample", "1", kComment);
        AddItemSetup("ctscalefilter", "NONE", kComment);
      } else if (mode.CompareWith("automatic", true) == 0) {
        if (resolution < 1000.0) {
          AddItemSetup("ctres", Format("%.15g", resolution).c_str(), kComment);
          if (Deriving())
            Derived("ctres",
                    Format("%s %.15g; \"CTResampling\" \"Automatic\" below 1000: the output resolution", resolutionKey,
                           resolution),
                    {"CTResampling", resolutionKey});
        } else if (resolution / 1000.0 < 2147483648.0) {
          // factor >= 1 and resolution < 1000 * (factor + 1), so the quotient
          // lies below 2000 and fits.
          const int factor = static_cast<int>(resolution / 1000.0);
          AddItemSetup("ctres", Format("%i", static_cast<int>(resolution / factor)).c_str(), kComment);
          if (Deriving())
            Derived("ctres",
                    Format("%s %.15g / %d = %i; \"CTResampling\" \"Automatic\": divided by the whole number of "
                           "thousands in it, to below 2000, the fraction dropped",
                           resolutionKey, resolution, factor, static_cast<int>(resolution / factor)),
                    {"CTResampling", resolutionKey});
        } else {
          Task().LogMessage(1, Format("%s - the resolution %.15g is too large for the automatic \"CTResampling\"; "
                                      "no \"ctres\" is written",
                                      kStep, resolution)
                                   .c_str());
        }
      }
    }
  }

  HeardPageFlags();
  const bool multipage = pageFlag1 != 0 && pageFlag2 != 0 && pageFlag3 != 1 && pageFlag4 != 1;
  AddItemSetup("omode", multipage ? "multipage" : "mrg", kComment);
  if (Deriving())
    Derived("omode",
            Format("pageFlag1 %d, pageFlag2 %d, pageFlag3 %d, pageFlag4 %d: %s", pageFlag1, pageFlag2, pageFlag3,
                   pageFlag4,
                   multipage ? "multipage, since pageFlag1 and pageFlag2 are set and neither pageFlag3 nor pageFlag4 is 1"
                             : "mrg, since multipage needs pageFlag1 and pageFlag2 set and neither pageFlag3 nor "
                               "pageFlag4 1"),
            {"pageFlag1", "pageFlag2", "pageFlag3", "pageFlag4"});

  if (options.HasKey("Copies")) {
    const std::string copies = Format("%d", static_cast<int>(T2D_CAST(QX_TUInt16, options["Copies"]).Value()));
    AddItemSetup("copies", copies.c_str(), kComment);
    if (Deriving()) Derived("copies", "\"Copies\" " + copies + " as a number", {"Copies"});
    AddItemSetup("numcopies", copies.c_str(), kComment);
    if (Deriving()) Derived("numcopies", "\"Copies\" " + copies + " as a number, as \"copies\"", {"Copies"});
  }
  if (options.HasKey("Duplex") && options["Duplex"].AsBool()) AddItemSetup("duplex", "1", kComment);
  if (options.HasKey("ShortSideDuplex"))
    AddItemSetup("shortsideduplex", options["ShortSideDuplex"].AsBool() ? "1" : "0", kComment);

  if (options.HasKey("FileName")) {
    const QX_TString& fileName = T2D_CAST(QX_TString, options["FileName"]);
    t2d_setup::OutputName name;
    try {
      name = t2d_setup::MakeOutputName(ticket, Task(), cfs, fileName, master, filmIndex, Deriving());
    } catch (const t2d_setup::CheckFailure& failure) {
      Fail(kStep, failure.messageKey, failure.problem);
    }
    AddItemSetup("Output", name.output.c_str(), kComment);
    if (Deriving()) Derived("Output", name.derivation, name.inputs);
    if (name.merged) AddItemSetup("extendfilename", "0", kComment);
  }

  if (options.HasKey("GenerateCIP")) AddItemSetup("cip", options["GenerateCIP"].AsBool() ? "1" : "0", kComment);

  HeardArgument("optimizedExposure", optimizedExposure);
  HeardArgument("filmIndex", filmIndex);
  if (optimizedExposure != 0) AddItemSetup("mstr_mode", "multipleseparation", "Optimized exposure");
  if (filmIndex != 0) AddItemSetup("reuse", "1", "Clustered exposure");

  AddItemSetup("ShortID", ticket.ShortID().Text(), kComment);
}
