target_sources(kirvane_core PRIVATE bitmap/Bitmap32.cpp)
target_sources(kirvane_core PRIVATE bitmap/PngWriter.cpp)
target_sources(kirvane_core PRIVATE bitmap/StretchFilters.cpp)
target_sources(kirvane_core PRIVATE bitmap/Resample.cpp)
target_sources(kirvane_core PRIVATE bitmap/ResamplePasses.cpp)
target_sources(kirvane_core PRIVATE bitmap/ScaledViewCache.cpp)
# Built at -O2 in every configuration: -O3 unrolls the register-blocked loops into slower code.
set_source_files_properties(bitmap/ResamplePasses.cpp PROPERTIES COMPILE_OPTIONS "-O2")
