#include "ticket_rules.h"

#include <cstdio>

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

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

// A number as "%.15g" writes it.
bool IsNumber(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789.eE+-") == std::string::npos;
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

std::optional<std::string> HorizontalDistortionRule(const QX_TDict& options, std::vector<std::string>& inputs,
                                                    bool& applies) {
  applies = options.HasKey("HDistortion");
  if (!applies || !HasTopAndBottomDistortion(options)) return std::nullopt;
  const double top = T2D_CAST(QX_TDouble, options["HTopDistortion"]).Value();
  const double down = T2D_CAST(QX_TDouble, options["HDownDistortion"]).Value();
  applies = top == down;
  inputs.push_back("HTopDistortion");
  inputs.push_back("HDownDistortion");
  char text[160];
  std::snprintf(text, sizeof text, "HTopDistortion %.15g and HDownDistortion %.15g %s", top, down,
                top == down ? "agree: \"HDistortion\" applies"
                            : "differ: no horizontal factor (1), one factor can't give both edges");
  return std::string(text);
}

int32_t AsSigned32(uint32_t value) {
  if (value <= static_cast<uint32_t>(INT32_MAX)) return static_cast<int32_t>(value);
  return -static_cast<int32_t>(~value) - 1;
}

InkEntry ReadInkEntry(const std::string& value) {
  std::string body = value;
  if (body.size() >= 2 && body.front() == '"' && body.back() == '"') body = body.substr(1, body.size() - 2);
  if (body.size() >= 2 && body.front() == '(' && body.back() == ')') body = body.substr(1, body.size() - 2);
  const char separator = body.find('|') != std::string::npos ? '|' : ',';
  const std::vector<std::string> fields = Split(body, separator);
  const auto join = [&fields, separator](size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) out += (i > 0 ? std::string(1, separator) : std::string()) + fields[i];
    return out;
  };
  InkEntry ink;
  const size_t n = fields.size();
  if (n >= 5 && IsNumber(fields[n - 3]) && IsNumber(fields[n - 2])) {
    ink.screened = true;
    ink.name = join(n - 4);
    ink.book = fields[n - 4];
    ink.ruling = fields[n - 3];
    ink.angle = fields[n - 2];
    ink.dot = fields[n - 1];
  } else if (n >= 2) {
    ink.name = join(n - 1);
    ink.book = fields[n - 1];
  } else {
    ink.name = body;
  }
  return ink;
}

bool IsInkEntryKey(const std::string& key) {
  return key == "ink" || (key.size() > 3 && key.compare(0, 3, "ink") == 0 &&
                          key.find_first_not_of("0123456789", 3) == std::string::npos);
}

}  // namespace t2d_ticket
