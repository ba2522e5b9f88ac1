// Locale conventions used by the core's texts and orderings, held in one place.
//
// The user interface fills them from the system locale at start; tests pin them. Read from any
// thread, written only before workers start.
#pragma once

#include <functional>
#include <string>

struct TLocalDateTime {
  int Year, Month, Day, Hour, Minute, Second;
};

struct TFormatSettings {
  std::string DecimalSeparator = ".";
  std::string ThousandSeparator = ",";
  // ICU locale of the name ordering ("" = the process's default locale, "root" = neutral; "C"
  // and "POSIX", named or as the default, order like "root").
  std::string CollationLocale;
  // The short date and the long time of a local date-time ("2024/05/01", "12:00:00" unless set).
  std::function<std::string(const TLocalDateTime&)> FormatShortDate;
  std::function<std::string(const TLocalDateTime&)> FormatLongTime;
};

TFormatSettings& FormatSettings();
