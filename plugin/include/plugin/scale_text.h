// The "Scale" edit box's text and the scale it stands for.
#pragma once

#include <string>

namespace cvm::win32 {

// The scale as a standard output stream writes a float by default: six significant digits,
// no trailing zeros, exponent form for very large or small values (1 -> "1", 0.25 ->
// "0.25", 1e10 -> "1e+10"). Always with a decimal point, whatever the process's locale.
std::string FormatScaleText(float scale);

// The number at the start of text, read as atof reads it in the "C" locale (leading white
// space skipped, trailing text ignored, no number gives 0), rounded to single precision.
// A decimal comma locale that a host may have switched to does not change the result.
float ParseScaleText(const char* text);

}  // namespace cvm::win32
