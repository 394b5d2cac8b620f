// Rules of the ticket that the setup and the job steps both follow: where a
// master and its options are, which keys give the plate size, and how the
// top and bottom horizontal distortions combine with "HDistortion".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "qxtypes.h"

namespace t2d_ticket {

// The master named `masterName` in the ticket parameter dictionary's
// "Masters" (checked conversions: "Masters" or the master missing or of
// another class raises the illegal cast).
const QX_TDict& Master(const QX_TDict& parameters, const std::string& masterName);

// As Master, but null when the ticket parameter dictionary has no "Masters":
// the steps fail with "qxmsm.nomasters" then, each with its own sentence.
const QX_TDict* FindMaster(const QX_TDict& parameters, const std::string& masterName);

// The master's "Options" (checked conversion).
const QX_TDict& OptionsOf(const QX_TDict& master);

// The plate width in the master's "Info": "WidthM", or else "HSize"; none
// when neither is there. A value other than a QX_TInt32 raises the illegal
// cast. `key`, when given, is set to the key the size was taken from (null
// for none).
std::optional<int32_t> PlateWidth(const QX_TDict& info, const char** key = nullptr);
// The plate height: "HeightM", or else "VSize"; as PlateWidth.
std::optional<int32_t> PlateHeight(const QX_TDict& info, const char** key = nullptr);

// True when the options give the horizontal distortion apart for the top and
// the bottom edge: both "HTopDistortion" and "HDownDistortion" are there.
bool HasTopAndBottomDistortion(const QX_TDict& options);

// The one horizontal factor that a position or a shrink takes: "HDistortion",
// but 1.0 when the top and bottom edges are given and differ (an unordered
// pair, a NaN among them, counts as different), and 1.0 without
// "HDistortion" (the edges are then not read). Each value is read with the
// checked conversion to QX_TDouble, "HDistortion" first.
double UniformHorizontalDistortion(const QX_TDict& options);

// Why UniformHorizontalDistortion gave its factor, for a derivation: null
// without top and bottom edges (or without "HDistortion"); else the edges'
// values and whether "HDistortion" applies (they agree) or no factor does
// (they differ), which `applies` tells too. `inputs` gets the two edge keys.
// Reads the options again: call it where no one hears the reads.
std::optional<std::string> HorizontalDistortionRule(const QX_TDict& options, std::vector<std::string>& inputs,
                                                    bool& applies);

// An unsigned 32-bit ticket value (a "SelectArea" edge) as the signed 32-bit
// value that takes part in the placement (two's complement), without relying
// on an out-of-range conversion.
int32_t AsSigned32(uint32_t value);

// The value of an ink entry ("ink", "ink1", ...), in double quotes: the ink's
// name and book, "(Cyan,process)", and with screening values its ruling,
// angle and dot shape, "(Cyan,process,175,15,Round)"; the fields are
// separated by vertical bars instead for a PDF job on a dispatcher that reads
// that form, "(Cyan|process|175|15|Round)".
constexpr const char* kInkEntryForm = "\"(%s,%s)\"";
constexpr const char* kScreenedInkEntryForm = "\"(%s,%s,%.15g,%.15g,%s)\"";
constexpr const char* kScreenedInkEntryBarForm = "\"(%s|%s|%.15g|%.15g|%s)\"";

// The fields of an ink entry's value, read back. A name may hold the
// separator: the book and the screening values are the last fields.
struct InkEntry {
  std::string name, book, ruling, angle, dot;
  bool screened = false;  // ruling, angle and dot shape are given
};
InkEntry ReadInkEntry(const std::string& value);

// Whether `key` names an ink entry: "ink", or "ink" and a number.
bool IsInkEntryKey(const std::string& key);

}  // namespace t2d_ticket
