// Setup end: plate size and distortion.
#include <string>

#include "ticket2dict_msbasetask.h"

namespace {
constexpr const char* kStep = "AddSetup end";
}  // namespace

void CTicket2Dict_msbasetask::AddSetup_end(AT_TTicket& ticket, QX_TDict& options, int) {
  QX_TDict& parameters = ticket.Configuration();
  if (!parameters.HasKey("Masters")) Fail(kStep, "qxmsm.nomasters", "no masters");
  const QX_TDict& masters = T2D_CAST(QX_TDict, parameters["Masters"]);
  const QX_TDict& master = T2D_CAST(QX_TDict, masters[masterName]);
  const QX_TDict& info = T2D_CAST(QX_TDict, master["Info"]);

  // Horizontal scale: the plate width in inches, times the horizontal
  // distortion. The top and bottom distortions go to the RIP as they are.
  int32_t width = -1;
  if (info.HasKey("WidthM"))
    width = T2D_CAST(QX_TInt32, info["WidthM"]).Value();
  else if (info.HasKey("HSize"))
    width = T2D_CAST(QX_TInt32, info["HSize"]).Value();
  if (width == 0) Fail(kStep, "qxmsm.invalidplatesizes", "invalid plate sizes (horizontal)");
  if (width > 0) {
    double scale = width / 254.0;
    const char* comment = "";
    if (options.HasKey("HDistortion")) {
      comment = "rsx (bringing normal horizontal distortion into account)";
      if (options.HasKey("HTopDistortion") && options.HasKey("HDownDistortion")) {
        comment = "rsx (bringing top- & downhorizontal distortion into account)";
        AddItemSetup("TopDistortion", Format("%.15g", options["HTopDistortion"].AsDouble()).c_str(),
                     "Top Horizontal Distortion");
        AddItemSetup("HorizontalDistortion", Format("%.15g", options["HDownDistortion"].AsDouble()).c_str(),
                     "Down Horizontal Distortion");
      }
      scale *= options["HDistortion"].AsDouble();
    }
    AddItemSetup("rsx", Format("%.15g", scale).c_str(), comment);
  }

  // Vertical scale: the plate height in inches, times the vertical
  // distortion.
  const char* heightKey = info.HasKey("HeightM") ? "HeightM" : info.HasKey("VSize") ? "VSize" : nullptr;
  if (heightKey != nullptr) {
    const int32_t height = T2D_CAST(QX_TInt32, info[heightKey]).Value();
    if (height == 0) Fail(kStep, "qxmsm.invalidplatesizes", "invalid plate sizes");
    if (height > 0) {
      double scale = height / 254.0;
      if (options.HasKey("VDistortion")) scale *= options["VDistortion"].AsDouble();
      AddItemSetup("rsy", Format("%.15g", scale).c_str(), "rsy (bringing distortion into account)");
    }
  }

  const bool multipage = pageFlag2 == 1 && pageFlag1 != 0 && pageFlag3 != 1 && pageFlag4 != 1;
  AddItemSetup("omode", multipage ? "multipage" : "mrg", "");
}
