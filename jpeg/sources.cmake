target_sources(kirvane_core PRIVATE jpeg/ZmJpegInfo.cpp)
target_sources(kirvane_core PRIVATE jpeg/ZmJpegInfoConsts.cpp)
target_sources(kirvane_core PRIVATE jpeg/ZmJpegStream.cpp)
target_sources(kirvane_core PRIVATE jpeg/ZmJpegChecker.cpp)
