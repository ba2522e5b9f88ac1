if(NOT KV_CORE_ONLY)
  target_sources(kirvane_ui PRIVATE dialogs/FileCommands.cpp dialogs/OptionDialog.cpp dialogs/AboutBox.cpp)
  # The about box names Little CMS where the decoders use it.
  if(TARGET PkgConfig::LCMS2)
    set_property(SOURCE dialogs/AboutBox.cpp APPEND PROPERTY COMPILE_DEFINITIONS KV_HAVE_LCMS2)
  endif()
endif()
