target_sources(kirvane_core PRIVATE
  options/IniFile.cpp
)
