target_sources(kirvane_platform PRIVATE
  platform/FileSystem.cpp
)
