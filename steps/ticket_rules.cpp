#include "ticket_rules.h"

#include "ticket2dict_msbasetask.h"

namespace t2d_ticket {

namespace {

// The first of `preferred` and `fallback` that `info` holds, as a 32-bit
// integer; `used`, when given, is set to its key.
std::optional<int32_t> FirstSize(const QX_TDict& info, const char* preferred, const char* fallback,
                                 const char** used) {
  const char* key = info.HasKey(preferred) ? preferred : info.HasKey(fallback) ? fallback : nullptr;
  if (used != nullptr) *used = key;
  if (key == nullptr) return std::nullopt;
  return T2D_CAST(QX_TInt32, info[key]).Value();
}

}  // namespace

const QX_TDict& Master(const QX_TDict& parameters, const std::string& masterName) {
  const QX_TDict& masters = T2D_CAST(QX_TDict, parameters["Masters"]);
  return T2D_CAST(QX_TDict, masters[QX_TString(masterName)]);
}

const QX_TDict* FindMaster(const QX_TDict& parameters, const std::string& masterName) {
  if (!parameters.HasKey("Masters")) return nullptr;
  return &Master(parameters, masterName);
}

const QX_TDict& OptionsOf(const QX_TDict& master) { return T2D_CAST(QX_TDict, master["Options"]); }

std::optional<int32_t> PlateWidth(const QX_TDict& info, const char** key) {
  return FirstSize(info, "WidthM", "HSize", key);
}

std::optional<int32_t> PlateHeight(const QX_TDict& info, const char** key) {
  return FirstSize(info, "HeightM", "VSize", key);
}

bool HasTopAndBottomDistortion(const QX_TDict& options) {
  return options.HasKey("HTopDistortion") && options.HasKey("HDownDistortion");
}

double UniformHorizontalDistortion(const QX_TDict& options) {
  if (!options.HasKey("HDistortion")) return 1.0;
  const double factor = T2D_CAST(QX_TDouble, options["HDistortion"]).Value();
  if (!HasTopAndBottomDistortion(options)) return factor;
  const double top = T2D_CAST(QX_TDouble, options["HTopDistortion"]).Value();
  const double down = T2D_CAST(QX_TDouble, options["HDownDistortion"]).Value();
  return top == down ? factor : 1.0;
}

}  // namespace t2d_ticket
