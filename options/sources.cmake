target_sources(kirvane_core PRIVATE options/IniFile.cpp)
target_sources(kirvane_core PRIVATE options/OptionsKv.cpp)
