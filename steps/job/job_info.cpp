// Job info: file name, shrink and expand, scale and dot gain.
#include <climits>
#include <cmath>
#include <optional>
#include <string>

#include "ticket2dict_msbasetask.h"
#include "../ticket_rules.h"

namespace {

constexpr const char* kStep = "AddJobInfo_noPreviews";
// Room of the value text of a job info item, terminator included.
constexpr size_t kValueCapacity = 260;
// The first dispatcher that reads the precise form of "shrexp".
constexpr int kPreciseShrinkExpandVersion = 703000;

// True when `value`, truncated toward zero, is a 32-bit signed integer.
bool TruncatesToInt(double value) {
  return std::isfinite(value) && value > static_cast<double>(INT_MIN) - 1.0 &&
         value < static_cast<double>(INT_MAX) + 1.0;
}

}  // namespace

void CTicket2Dict_msbasetask::AddJobInfo_noPreviews(AT_TTicket& ticket, QX_TDict& job, int jobNumber) {
  // File name: a path, so it may be long; it is written whole.
  if (job.HasKey("FileSpec")) {
    const QX_TURL& fileSpec = T2D_CAST(QX_TURL, job["FileSpec"]);
    const std::string value = Format("\"%s\"", fileSpec.Text().Text());
    AddItemJob(jobNumber, "name", value.c_str(), "");
  }

  const QX_TDict* master = t2d_ticket::FindMaster(ticket.Configuration(), masterName);
  if (master == nullptr) Fail(kStep, "qxmsm.nomasters", "job has no masters");
  const QX_TDict& options = t2d_ticket::OptionsOf(*master);

  // Shrink and expand: the distortion factors in ten-thousandths. A
  // horizontal distortion that differs between top and bottom is done
  // elsewhere; here the horizontal factor is then left neutral.
  if (options.HasKey("VDistortion") && options.HasKey("HDistortion")) {
    const double vertical = T2D_CAST(QX_TDouble, options["VDistortion"]).Value();
    const double horizontal = t2d_ticket::UniformHorizontalDistortion(options);
    const double verticalScaled = vertical * 10000;
    double horizontalScaled = horizontal * 10000;

    const bool pdfClass = options.HasKey("FileType") &&
                          T2D_CAST(QX_TString, options["FileType"]).CompareWith("PDF-class", true) == 0;

    HeardOption("DispatcherVersion", dispatcherVersion);
    if (dispatcherVersion == -1) Task().LogMessage(1, "DispatcherVersion not specified");

    std::string value;
    if (pdfClass && dispatcherVersion >= kPreciseShrinkExpandVersion) {
      // Seamless screening: stretch the width so that the output spans a
      // whole number of thousands of pixels.
      if (job.HasKey("ScreeningClass") && T2D_CAST(QX_TString, job["ScreeningClass"]) == "Seamless") {
        const QX_TDict& info = T2D_CAST(QX_TDict, (*master)["Info"]);
        if (const std::optional<int32_t> width = t2d_ticket::PlateWidth(info)) {
          if (*width > 0) {
            const double inches = *width / 254.0;
            const char* resolutionKey = options.HasKey("ActualResolution") ? "ActualResolution"
                                        : options.HasKey("Resolution")     ? "Resolution"
                                                                           : nullptr;
            if (resolutionKey != nullptr) {
              const double resolution = T2D_CAST(QX_TDouble, options[resolutionKey]).Value();
              if (resolution > 0) {
                const double thousands = (resolution * inches) / 1000.0;
                horizontalScaled = (std::ceil(thousands) / thousands) * horizontalScaled;
              }
            }
          }
        }
      }
      value = FormatBounded(kStep, "shrexp", kValueCapacity, "(%.15g,%.15g)", verticalScaled, horizontalScaled);
    } else {
      // The integer form truncates toward zero; a factor that gives no 32-bit
      // integer is refused rather than written as an arbitrary number.
      const struct {
        const char* key;
        double scaled;
      } factors[] = {{"VDistortion", verticalScaled}, {"HDistortion", horizontalScaled}};
      for (const auto& factor : factors) {
        if (!TruncatesToInt(factor.scaled)) {
          const std::string problem =
              Format("the factor of \"shrexp\" from \"%s\" (%.15g ten-thousandths) is not a 32-bit integer",
                     factor.key, factor.scaled);
          const std::string sentence = Format("CTicket2Dict_msbasetask::%s - %s", kStep, problem.c_str());
          Fail(kStep, sentence.c_str(), problem);
        }
      }
      value = FormatBounded(kStep, "shrexp", kValueCapacity, "(%d,%d)", static_cast<int>(verticalScaled),
                            static_cast<int>(horizontalScaled));
    }
    AddItemSetup("shrexp", value.c_str(), "Shrink and Expand");
  }

  if (job.HasKey("VScale") && job.HasKey("HScale")) {
    const double vertical = job["VScale"].AsDouble();
    const double horizontal = job["HScale"].AsDouble();
    const std::string value = FormatBounded(kStep, "scale", kValueCapacity, "%.15g,%.15g", vertical, horizontal);
    AddItemJob(jobNumber, "scale", value.c_str(), "Scale Values, added by base KestrelTask");
  }

  // Screening dot gain curve: a template name; a name that resolves to
  // nothing is noted and written as "<none>".
  if (job.HasKey("ScrDGC")) {
    const QX_TString curveName = T2D_CAST(QX_TString, job["ScrDGC"]);
    QX_TString resolved;
    Task().Names().Resolve(curveName, resolved);
    if (resolved.IsEmpty()) {
      Task().LogMessage(0, "qxmsm.noscrdgc");
      AddItemJob(jobNumber, "scrdgc", "<none>", "");
    } else {
      const std::string value = FormatBounded(kStep, "scrdgc", kValueCapacity, "\"%s\"", resolved.Text());
      AddItemJob(jobNumber, "scrdgc", value.c_str(), "");
    }
  }

  if (job.HasKey("CopyDot")) {
    const bool copyDot = job["CopyDot"].AsBool();
    AddItemSetup("cpp", copyDot ? "1" : "0", "CopyDot");
  }
}
