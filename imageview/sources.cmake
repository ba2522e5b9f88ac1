# One line per file so that units can be added independently.
target_sources(kirvane_core PRIVATE imageview/ZmGraphicExTypes.cpp)
target_sources(kirvane_core PRIVATE imageview/ZmGraphicExItemList.cpp)
target_sources(kirvane_core PRIVATE imageview/ImgViewGeometry.cpp)
target_sources(kirvane_core PRIVATE imageview/ViewRender.cpp)
if(NOT KV_CORE_ONLY)
  target_sources(kirvane_ui PRIVATE imageview/ImgView32.cpp)
  target_sources(kirvane_ui PRIVATE imageview/ZmImgView32.cpp)
endif()
