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
if(NOT KV_CORE_ONLY)
  # Metafiles are drawn with Qt's painter and fonts: a library of its own, which the program and
  # the headless tool install as the metafile decoder.
  add_library(kirvane_metafile STATIC platform/MetafilePainter.cpp platform/MetafilePainterText.cpp
                                      platform/MetafilePainterBlit.cpp platform/MetafileRenderer.cpp)
  kv_target_defaults(kirvane_metafile)
  target_link_libraries(kirvane_metafile PUBLIC kirvane_core Qt6::Gui)
  target_link_libraries(kirvane_ui PUBLIC kirvane_metafile)
endif()
