// The "Scale" edit box's text: shown as a stream shows a float, read as atof reads it in
// the "C" locale, also when the process's C locale uses a decimal comma.
#include "plugin/scale_text.h"

#include <clocale>
#include <cstdint>
#include <limits>
#include <string>

#include "tests/plugin/check.h"
#include "tests/support/float_bits.h"

using cvm::win32::FormatScaleText;
using cvm::win32::ParseScaleText;

namespace {

using cvm::test::FloatBits;

void CheckParsing(const std::string& locale) {
  struct Row {
    const char* text;
    float scale;
  };
  const Row rows[] = {
      {"1", 1.0f},        {"0.5", 0.5f}, {"2.5cm", 2.5f}, {"", 0.0f},
      {"abc", 0.0f},      {"  7", 7.0f}, {"-3", -3.0f},   {"0", 0.0f},
      {"1e3", 1000.0f},   {"1e", 1.0f},  {".25", 0.25f},  {"5.", 5.0f},
      {"+.5e-1x", 0.05f}, {"0,5", 0.0f}, {"0.1", 0.1f},   {"1e40", std::numeric_limits<float>::infinity()},
      {"-0", -0.0f},
  };
  for (const Row& row : rows)
    CHECK_EQ_AT(FloatBits(ParseScaleText(row.text)), FloatBits(row.scale),
                std::string("'") + row.text + "' in " + locale);
}

}  // namespace

int main() {
  const struct {
    float scale;
    const char* text;
  } formats[] = {
      {1.0f, "1"},      {0.25f, "0.25"},  {0.5f, "0.5"},         {2.5f, "2.5"},
      {-3.0f, "-3"},    {0.1f, "0.1"},    {0.0f, "0"},           {123456789.0f, "1.23457e+08"},
      {1e10f, "1e+10"}, {1e-7f, "1e-07"}, {100000.0f, "100000"}, {1234567.0f, "1.23457e+06"},
  };
  for (const auto& row : formats) CHECK_EQ_AT(FormatScaleText(row.scale), std::string(row.text), row.text);

  CheckParsing("the C locale");
  // A host may switch the C library to a locale with a decimal comma; the box still reads
  // and shows a decimal point.
  if (std::setlocale(LC_ALL, "German_Germany.1252") != nullptr ||
      std::setlocale(LC_ALL, "de-DE") != nullptr) {
    CheckParsing("a German locale");
    CHECK_EQ(FormatScaleText(0.5f), std::string("0.5"));
  } else {
    std::printf("no German locale here; the decimal-comma rows did not run\n");
  }
  return cvm::wintest::FinishChecks("scale_text_test");
}
