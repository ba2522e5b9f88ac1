# One line per file so that units can be added independently.
target_sources(kirvane_core PRIVATE imageview/ZmGraphicExTypes.cpp)
target_sources(kirvane_core PRIVATE imageview/ZmGraphicExItemList.cpp)
target_sources(kirvane_core PRIVATE imageview/ImgViewGeometry.cpp)
target_sources(kirvane_core PRIVATE imageview/ViewRender.cpp)
