// Previews: whether the RIP places an RGB and a CMYK preview, and at which
// resolution. The switches come from the job, the items go into "setup", so
// the last job decides.
#include <string>
#include <utility>

#include "ticket2dict_msbasetask.h"

namespace {

constexpr const char* kStep = "AddJobInfo_previewsOnly";
// Room of a preview item's value text, terminator included.
constexpr size_t kValueCapacity = 260;

struct Preview {
  const char* switchKey;       // the job's switch
  const char* itemKey;         // the setup item of the switch
  const char* resolutionKey;   // the job's resolution and its setup item
  const char* defaultResolution;
  const char* onComment;
  const char* offComment;
  const char* resolutionComment;
};

constexpr Preview kRgb = {"RGBPreview",  "RGBpreview",        "RGBResolution",
                          "72.0",        "place RGB-preview", "don't place RGB-preview",
                          "Resolution of RGB-preview"};
constexpr Preview kCmyk = {"CMYKPreview", "CMYKpreview",        "CMYKResolution",
                           "150.0",       "place CMYK-preview", "don't place CMYK-preview",
                           "Resolution of CMYK-preview"};

}  // namespace

void CTicket2Dict_msbasetask::AddJobInfo_previewsOnly(AT_TTicket&, QX_TDict& job, int) {
  // Every job carries both switches: a missing one fails the step.
  const bool rgbOn = job[kRgb.switchKey].AsBool();
  const bool cmykOn = job[kCmyk.switchKey].AsBool();

  for (const auto& [preview, on] : {std::make_pair(kRgb, rgbOn), std::make_pair(kCmyk, cmykOn)}) {
    if (!on) {
      AddItemSetup(preview.itemKey, "0", preview.offComment);
      continue;
    }
    AddItemSetup(preview.itemKey, "1", preview.onComment);
    const std::string resolution =
        job.HasKey(preview.resolutionKey)
            ? FormatBounded(kStep, preview.resolutionKey, kValueCapacity, "%.15g", job[preview.resolutionKey].AsDouble())
            : std::string(preview.defaultResolution);
    AddItemSetup(preview.resolutionKey, resolution.c_str(), preview.resolutionComment);
  }
}
