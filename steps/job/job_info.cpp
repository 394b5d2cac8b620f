// Job info: file name, shrink and expand, scale and dot gain.
#include <climits>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

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

    // How the value came about, for whoever hears the writes: the factors,
    // the seamless stretch, and the rule that chose the form.
    const bool deriving = Deriving();
    std::string stretch, rule;
    std::vector<std::string> inputs;

    std::string value;
    if (pdfClass && dispatcherVersion >= kPreciseShrinkExpandVersion) {
      if (deriving)
        rule = Format("\"FileType\" \"PDF-class\" and DispatcherVersion %d (%d or later): the precise form",
                      dispatcherVersion, kPreciseShrinkExpandVersion);
      // Seamless screening: stretch the width so that the output spans a
      // whole number of thousands of pixels.
      if (job.HasKey("ScreeningClass") && T2D_CAST(QX_TString, job["ScreeningClass"]) == "Seamless") {
        const QX_TDict& info = T2D_CAST(QX_TDict, (*master)["Info"]);
        const char* widthKey = nullptr;
        if (const std::optional<int32_t> width = t2d_ticket::PlateWidth(info, &widthKey); width && *width > 0) {
          const double inches = *width / 254.0;
          const char* resolutionKey = options.HasKey("ActualResolution") ? "ActualResolution"
                                      : options.HasKey("Resolution")     ? "Resolution"
                                                                         : nullptr;
          const double resolution =
              resolutionKey != nullptr ? T2D_CAST(QX_TDouble, options[resolutionKey]).Value() : 0.0;
          if (resolution > 0) {
            const double thousands = (resolution * inches) / 1000.0;
            horizontalScaled = (std::ceil(thousands) / thousands) * horizontalScaled;
            if (deriving) {
              stretch = Format(" * %.15g / %.15g", std::ceil(thousands), thousands);
              rule += Format("; \"ScreeningClass\" \"Seamless\": the width stretched to whole thousands of pixels, "
                             "%s %.15g * %s %d / 254 / 1000 = %.15g thousand, rounded up to %.15g",
                             resolutionKey, resolution, widthKey, static_cast<int>(*width), thousands,
                             std::ceil(thousands));
              inputs = {"ScreeningClass", resolutionKey, std::string("Info.") + widthKey};
            }
          } else if (deriving) {
            rule += "; \"ScreeningClass\" \"Seamless\", but no resolution above 0: not stretched";
            inputs = {"ScreeningClass"};
          }
        } else if (deriving) {
          rule += "; \"ScreeningClass\" \"Seamless\", but no plate width above 0: not stretched";
          inputs = {"ScreeningClass"};
        }
      }
      value = FormatBounded(kStep, "shrexp", kValueCapacity, "(%.15g,%.15g)", verticalScaled, horizontalScaled);
    } else {
      if (deriving)
        rule = pdfClass ? Format("DispatcherVersion %d is below %d: whole ten-thousandths, truncated toward zero",
                                 dispatcherVersion, kPreciseShrinkExpandVersion)
                        : std::string("not \"FileType\" \"PDF-class\": whole ten-thousandths, truncated toward zero");
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
    if (deriving) {
      // These lookups only describe the step: no one hears them.
      const QX_TReadObserverBinding quiet(nullptr);
      bool hApplied = false;
      std::vector<std::string> edges;
      const std::optional<std::string> edgeRule = t2d_ticket::HorizontalDistortionRule(options, edges, hApplied);
      inputs.insert(inputs.begin(), {"VDistortion", "FileType", "DispatcherVersion"});
      if (hApplied) inputs.insert(inputs.begin() + 1, "HDistortion");
      inputs.insert(inputs.end(), edges.begin(), edges.end());
      Derived("shrexp",
              Format("(VDistortion %.15g * 10000, %s%s) = %s; ten-thousandths; %s%s", vertical,
                     hApplied ? Format("HDistortion %.15g * 10000", horizontal).c_str() : "1 * 10000", stretch.c_str(),
                     value.c_str(), rule.c_str(), edgeRule ? ("; " + *edgeRule).c_str() : ""),
              inputs);
    }
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
