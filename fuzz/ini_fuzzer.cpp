// Feeds arbitrary bytes to the settings-file reader. Reading must never crash or hang; the
// image it builds, written out and read again, must write out the same text (nothing is lost or
// invented by a round trip), and reads of numbers must stay within their types.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "options/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemIniFile ini;
  ini.SetText(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string text = ini.Text();
  TMemIniFile again;
  again.SetText(text);
  if (again.Text() != text) __builtin_trap();
  for (const std::string& section : ini.ReadSections()) {
    (void)ini.ReadInteger(section, "ViewInterval", 3000);
    (void)ini.ReadBool(section, "Loop", false);
    (void)ini.ReadFloat(section, "Scale", 1.0);
    ini.WriteString(section, "k", "v");
  }
  return 0;
}
