// TZmCustomDefaults: the common shape of a settings record that loads, defaults and saves one
// INI section for the object it belongs to.
#pragma once

#include <string>

class TMemIniFile;

class TZmCustomDefaults {
 public:
  TZmCustomDefaults() = default;
  virtual ~TZmCustomDefaults() = default;

  virtual void LoadFromIni(const TMemIniFile& ini) = 0;
  virtual void SetDefaults() = 0;
  virtual void SaveToIni(TMemIniFile& ini) const = 0;

  std::string IniSectionName = "Options";
};
