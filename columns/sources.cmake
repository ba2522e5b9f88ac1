target_sources(kirvane_core PRIVATE columns/ZmListColumnInfo.cpp)
