// Locale conventions used by the core's texts and orderings, held in one place.
//
// The user interface fills them from the system locale at start; tests pin them. Read from any
// thread, written only before workers start.
#pragma once

#include <string>

struct TFormatSettings {
  std::string DecimalSeparator = ".";
  std::string ThousandSeparator = ",";
  // ICU locale of the name ordering ("" = the process's default locale, "root" = neutral).
  std::string CollationLocale;
};

TFormatSettings& FormatSettings();
