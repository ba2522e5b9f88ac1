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
  # The shell services talk to the file manager over the session bus.
  find_package(Qt6 REQUIRED COMPONENTS DBus)
  target_sources(kirvane_ui PRIVATE platform/SingleInstance.cpp platform/SynchronizePump.cpp platform/Shell.cpp)
  target_link_libraries(kirvane_ui PUBLIC Qt6::DBus)
endif()
