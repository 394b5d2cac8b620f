// Setup end: plate size and distortion.
#include <optional>
#include <string>
#include <vector>

#include "ticket2dict_msbasetask.h"
#include "../ticket_rules.h"

namespace {
constexpr const char* kStep = "AddSetup end";
}  // namespace

void CTicket2Dict_msbasetask::AddSetup_end(AT_TTicket& ticket, QX_TDict& options, int) {
  const QX_TDict* master = t2d_ticket::FindMaster(ticket.Configuration(), masterName);
  if (master == nullptr) Fail(kStep, "qxmsm.nomasters", "no masters");
  const QX_TDict& info = T2D_CAST(QX_TDict, (*master)["Info"]);

  // Horizontal scale: the plate width in inches, times the horizontal
  // distortion. The top and bottom distortions go to the RIP as they are.
  const int32_t width = t2d_ticket::PlateWidth(info).value_or(-1);
  if (width == 0) Fail(kStep, "qxmsm.invalidplatesizes", "invalid plate sizes (horizontal)");
  if (width > 0) {
    double scale = width / 254.0;
    const char* comment = "";
    if (options.HasKey("HDistortion")) {
      comment = "rsx (bringing normal horizontal distortion into account)";
      if (t2d_ticket::HasTopAndBottomDistortion(options)) {
        comment = "rsx (bringing top- & downhorizontal distortion into account)";
        AddItemSetup("TopDistortion", Format("%.15g", options["HTopDistortion"].AsDouble()).c_str(),
                     "Top Horizontal Distortion");
        AddItemSetup("HorizontalDistortion", Format("%.15g", options["HDownDistortion"].AsDouble()).c_str(),
                     "Down Horizontal Distortion");
      }
      scale *= options["HDistortion"].AsDouble();
    }
    AddItemSetup("rsx", Format("%.15g", scale).c_str(), comment);
    if (Deriving()) {
      const bool distorted = options.HasKey("HDistortion");
      Derived("rsx",
              distorted ? Format("%s %d / 254 * HDistortion %.15g = %.15g; the plate width in inches times the "
                                 "horizontal distortion",
                                 t2d_ticket::PlateWidthKey(info), width, options["HDistortion"].AsDouble(), scale)
                        : Format("%s %d / 254 = %.15g; the plate width in inches (no \"HDistortion\")", t2d_ticket::PlateWidthKey(info), width, scale),
              distorted ? std::vector<std::string>{std::string("Info.") + t2d_ticket::PlateWidthKey(info), "HDistortion"}
                        : std::vector<std::string>{std::string("Info.") + t2d_ticket::PlateWidthKey(info)});
    }
  }

  // Vertical scale: the plate height in inches, times the vertical
  // distortion.
  if (const std::optional<int32_t> height = t2d_ticket::PlateHeight(info)) {
    if (*height == 0) Fail(kStep, "qxmsm.invalidplatesizes", "invalid plate sizes");
    if (*height > 0) {
      double scale = *height / 254.0;
      if (options.HasKey("VDistortion")) scale *= options["VDistortion"].AsDouble();
      AddItemSetup("rsy", Format("%.15g", scale).c_str(), "rsy (bringing distortion into account)");
      if (Deriving()) {
        const bool distorted = options.HasKey("VDistortion");
        Derived("rsy",
                distorted ? Format("%s %d / 254 * VDistortion %.15g = %.15g; the plate height in inches times the "
                                   "vertical distortion",
                                   t2d_ticket::PlateHeightKey(info), *height, options["VDistortion"].AsDouble(), scale)
                          : Format("%s %d / 254 = %.15g; the plate height in inches (no \"VDistortion\")", t2d_ticket::PlateHeightKey(info), *height, scale),
                distorted ? std::vector<std::string>{std::string("Info.") + t2d_ticket::PlateHeightKey(info), "VDistortion"}
                          : std::vector<std::string>{std::string("Info.") + t2d_ticket::PlateHeightKey(info)});
      }
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
