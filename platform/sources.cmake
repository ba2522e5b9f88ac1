target_sources(kirvane_platform PRIVATE
  platform/FileSystem.cpp
  platform/Thread.cpp
  platform/AppPaths.cpp
  platform/MimeFileTypes.cpp
)
