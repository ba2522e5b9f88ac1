target_sources(kirvane_core PRIVATE
  imageview/ZmGraphicExTypes.cpp
)
