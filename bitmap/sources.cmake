target_sources(kirvane_core PRIVATE bitmap/Bitmap32.cpp)
target_sources(kirvane_core PRIVATE bitmap/PngWriter.cpp)
