#include "plugin/scale_text.h"

#include <locale.h>
#include <stdlib.h>

#include <locale>
#include <sstream>

namespace cvm::win32 {

std::string FormatScaleText(float scale) {
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text << scale;
  return text.str();
}

float ParseScaleText(const char* text) {
  if (text == nullptr) return 0.0f;
  // One "C" locale for the life of the process; created on first use, never freed.
  static const _locale_t cLocale = _create_locale(LC_NUMERIC, "C");
  if (cLocale == nullptr) return static_cast<float>(atof(text));
  return static_cast<float>(_atof_l(text, cLocale));
}

}  // namespace cvm::win32
