if(NOT KV_CORE_ONLY)
  target_sources(kirvane_ui PRIVATE dialogs/FileCommands.cpp dialogs/OptionDialog.cpp dialogs/FormZmEditFileList.cpp)
endif()
