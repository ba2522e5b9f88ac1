target_sources(kirvane_platform PRIVATE
  platform/FileSystem.cpp
  platform/Thread.cpp
  platform/WorkerSlot.cpp
  platform/AppPaths.cpp
  platform/Paths.cpp
  platform/MimeFileTypes.cpp
  platform/Trash.cpp
  platform/FileOperation.cpp
)
if(NOT KV_CORE_ONLY)
  target_sources(kirvane_ui PRIVATE platform/SingleInstance.cpp platform/SynchronizePump.cpp)
endif()
