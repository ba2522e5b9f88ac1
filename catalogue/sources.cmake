target_sources(kirvane_core PRIVATE
  catalogue/ZmUtils.cpp
  catalogue/ZmFileInfo.cpp
  catalogue/ZmFileInfoList.cpp
  catalogue/ZmThreadFileInfoList.cpp
  catalogue/ZmThreadFileInfoListThread.cpp
)
find_package(ICU REQUIRED COMPONENTS uc i18n)
target_link_libraries(kirvane_core PUBLIC ICU::uc ICU::i18n)
