if(NOT KV_CORE_ONLY)
  add_executable(kirvane app/Kirvane.cpp)
  kv_target_defaults(kirvane)
  set_target_properties(kirvane PROPERTIES AUTOMOC ON)
  target_link_libraries(kirvane PRIVATE kirvane_ui)
  target_compile_definitions(kirvane PRIVATE KV_VERSION="${PROJECT_VERSION}")
endif()
target_sources(kirvane_core PRIVATE app/RecentFolders.cpp)
target_sources(kirvane_core PRIVATE app/FileListTexts.cpp)
target_sources(kirvane_core PRIVATE app/ZmRecentControl.cpp)
if(NOT KV_CORE_ONLY)
  target_sources(kirvane_ui PRIVATE app/ZmRecentMenus.cpp app/Actions.cpp)
endif()
if(NOT KV_CORE_ONLY)
  target_sources(kirvane_ui PRIVATE app/MainWin.cpp app/MainWinActions.cpp app/MainWinNavigation.cpp
                                    app/MainWinList.cpp app/MainWinPreview.cpp app/MainWinState.cpp
                                    app/MainWinCommands.cpp app/MainWinCheck.cpp)
endif()
if(NOT KV_CORE_ONLY)
  target_sources(kirvane_ui PRIVATE app/MainWinHelp.cpp)
  # The about box shows the version the program was built as.
  set_property(SOURCE app/MainWinHelp.cpp APPEND PROPERTY COMPILE_DEFINITIONS KV_VERSION="${PROJECT_VERSION}")
endif()

# The help pages lie beside the program (kvhelp/), where the help command looks first. Each page
# is assembled from its body and the frame all pages share; other files are copied.
file(GLOB KV_HELP_SOURCES CONFIGURE_DEPENDS ${KV_ROOT}/help/kvhelp/*)
set(KV_HELP_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/kvhelp)
set(KV_HELP_PAGES)
foreach(source ${KV_HELP_SOURCES})
  get_filename_component(name ${source} NAME)
  set(page ${KV_HELP_DIR}/${name})
  if(name MATCHES "\\.html$")
    add_custom_command(OUTPUT ${page}
                       COMMAND ${CMAKE_COMMAND} -DPAGE=${source} -DFRAME=${KV_ROOT}/help/frame.html -DOUT=${page}
                               -P ${KV_ROOT}/help/AssemblePage.cmake
                       DEPENDS ${source} ${KV_ROOT}/help/frame.html ${KV_ROOT}/help/AssemblePage.cmake VERBATIM)
  else()
    add_custom_command(OUTPUT ${page} COMMAND ${CMAKE_COMMAND} -E copy ${source} ${page} DEPENDS ${source} VERBATIM)
  endif()
  list(APPEND KV_HELP_PAGES ${page})
endforeach()
add_custom_target(kvhelp ALL DEPENDS ${KV_HELP_PAGES})
if(NOT KV_CORE_ONLY)
  add_dependencies(kirvane kvhelp)
endif()
