// Setup middle: raster options.
#include <cmath>
#include <string>

#include "setup_shared.h"
#include "ticket2dict_msbasetask.h"

namespace {
constexpr const char* kStep = "AddSetup middle";
}  // namespace

void CTicket2Dict_msbasetask::AddSetup_middle(AT_TTicket&, QX_TDict& options, int) {
  // The dot gain compensation curve by its template name; a name that
  // resolves to nothing leaves the RIP without a curve.
  if (options.HasKey("DGC")) {
    const QX_TString& curve = T2D_CAST(QX_TString, options["DGC"]);
    QX_TString resolved;
    Task().Names().Resolve(curve, resolved);
    if (resolved.IsEmpty()) {
      Task().LogMessage(0, "qxmsm.nodgc");
      AddItemSetup("dgc", "<none>", "Dot gain compensation");
    } else {
      AddItemSetup("dgc", t2d_setup::Quoted(resolved.Str()).c_str(), "Dot gain compensation");
    }
  }
  if (options.HasKey("Left")) AddItemSetup("left", options["Left"].AsBool() ? "1" : "0", "Left");
  if (options.HasKey("Reverse")) AddItemSetup("reverse", options["Reverse"].AsBool() ? "1" : "0", "Reverse");
  if (options.HasKey("AntiAliasing")) {
    // A whole number in the 32-bit range; any other number is refused
    // rather than cut to one the RIP was not asked for.
    const double antiAliasing = options["AntiAliasing"].AsDouble();
    if (!(antiAliasing >= -2147483648.0 && antiAliasing <= 2147483647.0) || std::trunc(antiAliasing) != antiAliasing) {
      const std::string problem =
          Format("the value of \"AntiAliasing\" (%.15g) is not a whole number from -2147483648 to 2147483647",
                 antiAliasing);
      Task().LogMessage(2, ("CTicket2Dict_msbasetask::" + std::string(kStep) + " - " + problem).c_str());
      Fail(kStep, nullptr, problem);
    }
    AddItemSetup("antialias", Format("%d", static_cast<int>(antiAliasing)).c_str(), "AntiAliasing");
  }
  if (options.HasKey("ActualResolution"))
    AddItemSetup("res", Format("%.15g", options["ActualResolution"].AsDouble()).c_str(), "Resolution");
  if (options.HasKey("Compression"))
    AddItemSetup("ocompress", T2D_CAST(QX_TString, options["Compression"]).Text(), "Compression");
  if (options.HasKey("SingleFile"))
    AddItemSetup("singlefile", options["SingleFile"].AsBool() ? "1" : "0", "SingleFile");
}
