// The converter's formatting writes what printf writes, for every
// conversion its texts use and for any other it hands on.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "converter_fixture.h"

namespace {

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char buffer[1024];
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return std::string(buffer, static_cast<size_t>(n));
}

TEST(TextFormat, DoublesAsPrintfWritesThem) {
  const double values[] = {0.0,    -0.0,     1.0,       -1.0,     0.1,         2400.0,        2400.5,
                           1e-4,   1e-5,     123456789012345.0,      1234567890123456.0,         1e15,
                           1e21,   -1e-300,  DBL_MIN,   DBL_MAX,  DBL_TRUE_MIN, 0.30000000000000004,
                           2.0 / 3, 99.99999999999999, 999999999999999.5, 1e100, 25.4 / 72, -45.0};
  for (double v : values) {
    SCOPED_TRACE(Printf("%a", v));
    EXPECT_EQ(TestConverter::Format("%.15g", v), Printf("%.15g", v));
    EXPECT_EQ(TestConverter::Format("(%.15g,%.15g)", v, -v), Printf("(%.15g,%.15g)", v, -v));
  }
}

TEST(TextFormat, IntegersTextsAndLiteralPercents) {
  EXPECT_EQ(TestConverter::Format("%d|%i|%d", INT_MIN, INT_MAX, 0), Printf("%d|%i|%d", INT_MIN, INT_MAX, 0));
  EXPECT_EQ(TestConverter::Format("%u-%u", 0u, UINT_MAX), Printf("%u-%u", 0u, UINT_MAX));
  EXPECT_EQ(TestConverter::Format("%zu of %lld", SIZE_MAX, LLONG_MIN), Printf("%zu of %lld", SIZE_MAX, LLONG_MIN));
  EXPECT_EQ(TestConverter::Format("100%% of \"%s\"", "ink"), "100% of \"ink\"");
  EXPECT_EQ(TestConverter::Format("no conversions"), "no conversions");
  EXPECT_EQ(TestConverter::Format("%s", ""), "");
  const std::string long_text(5000, 'x');
  EXPECT_EQ(TestConverter::Format("%s%d", long_text.c_str(), 7), long_text + "7");
}

// Conversions the texts don't use, and numbers printf spells its own way,
// go to printf whole, with the arguments read in order.
TEST(TextFormat, OtherConversionsAreHandedToPrintf) {
  EXPECT_EQ(TestConverter::Format("%s=%5d|%-3s|%x|%.2f", "a", 42, "b", 255u, 2.5),
            Printf("%s=%5d|%-3s|%x|%.2f", "a", 42, "b", 255u, 2.5));
  EXPECT_EQ(TestConverter::Format("%d %.15g %.15g %.15g", 1, HUGE_VAL, -HUGE_VAL, std::nan("")),
            Printf("%d %.15g %.15g %.15g", 1, HUGE_VAL, -HUGE_VAL, std::nan("")));
  const std::string long_text(600, 'y');
  EXPECT_EQ(TestConverter::Format("%s%c", long_text.c_str(), 'z'), long_text + "z");
}

// Texts that go to printf are kept whole at every length around its first
// buffer's room (256 characters, terminator included).
TEST(TextFormat, TextsHandedToPrintfAreWholeAtEveryLength) {
  for (size_t length : {254u, 255u, 256u, 257u}) {
    SCOPED_TRACE(length);
    const std::string head(length - 1, 'x');
    EXPECT_EQ(TestConverter::Format("%s%c", head.c_str(), 'z'), head + "z");
    const std::string before(length - 3, 'y');
    EXPECT_EQ(TestConverter::Format("%s%.15g", before.c_str(), HUGE_VAL), before + "inf");
  }
}

}  // namespace
