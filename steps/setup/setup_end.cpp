// Setup end: plate size and distortion.
#include <optional>
#include <string>

#include "ticket2dict_msbasetask.h"
#include "../ticket_rules.h"
#include "setup_shared.h"

namespace {
constexpr const char* kStep = "AddSetup end";
}  // namespace

void CTicket2Dict_msbasetask::AddSetup_end(AT_TTicket& ticket, QX_TDict& options, int) {
  const QX_TDict* master = t2d_ticket::FindMaster(ticket.Configuration(), masterName);
  if (master == nullptr) Fail(kStep, "qxmsm.nomasters", "no masters");
  const QX_TDict& info = T2D_CAST(QX_TDict, (*master)["Info"]);

  // Horizontal scale: the plate width in inches, times the horizontal
  // distortion. The top and bottom distortions go to the RIP as they are.
  const char* widthKey = nullptr;
  const int32_t width = t2d_ticket::PlateWidth(info, &widthKey).value_or(-1);
  if (width == 0) Fail(kStep, "qxmsm.invalidplatesizes", "invalid plate sizes (horizontal)");
  if (width > 0) {
    double scale = width / 254.0;
    const char* comment = "";
    std::optional<double> factor;
    if (options.HasKey("HDistortion")) {
      comment = "rsx (bringing normal horizontal distortion into account)";
      if (t2d_ticket::HasTopAndBottomDistortion(options)) {
        comment = "rsx (bringing top- & downhorizontal distortion into account)";
        AddItemSetup("TopDistortion", Format("%.15g", options["HTopDistortion"].AsDouble()).c_str(),
                     "Top Horizontal Distortion");
        AddItemSetup("HorizontalDistortion", Format("%.15g", options["HDownDistortion"].AsDouble()).c_str(),
                     "Down Horizontal Distortion");
      }
      factor = options["HDistortion"].AsDouble();
      scale *= *factor;
    }
    AddItemSetup("rsx", Format("%.15g", scale).c_str(), comment);
    if (Deriving()) t2d_setup::DerivePlateScale(*this, "rsx", widthKey, width, "HDistortion", factor, scale);
  }

  // Vertical scale: the plate height in inches, times the vertical
  // distortion.
  const char* heightKey = nullptr;
  if (const std::optional<int32_t> height = t2d_ticket::PlateHeight(info, &heightKey)) {
    if (*height == 0) Fail(kStep, "qxmsm.invalidplatesizes", "invalid plate sizes");
    if (*height > 0) {
      double scale = *height / 254.0;
      std::optional<double> factor;
      if (options.HasKey("VDistortion")) {
        factor = options["VDistortion"].AsDouble();
        scale *= *factor;
      }
      AddItemSetup("rsy", Format("%.15g", scale).c_str(), "rsy (bringing distortion into account)");
      if (Deriving()) t2d_setup::DerivePlateScale(*this, "rsy", heightKey, *height, "VDistortion", factor, scale);
    }
  }

  HeardPageFlags();
  const bool multipage = pageFlag2 == 1 && pageFlag1 != 0 && pageFlag3 != 1 && pageFlag4 != 1;
  AddItemSetup("omode", multipage ? "multipage" : "mrg", "");
  if (Deriving())
    Derived("omode",
            Format("pageFlag1 %d, pageFlag2 %d, pageFlag3 %d, pageFlag4 %d: %s", pageFlag1, pageFlag2, pageFlag3,
                   pageFlag4,
                   multipage ? "multipage, since pageFlag1 is set, pageFlag2 is 1 and neither pageFlag3 nor "
                               "pageFlag4 is 1"
                             : "mrg, since multipage needs pageFlag1 set, pageFlag2 1 and neither pageFlag3 nor "
                               "pageFlag4 1"),
            {"pageFlag1", "pageFlag2", "pageFlag3", "pageFlag4"});
}
