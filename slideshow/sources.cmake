target_sources(kirvane_core PRIVATE
  slideshow/SlideShowRules.cpp
  slideshow/ZmThreadTimer.cpp
)
if(NOT KV_CORE_ONLY)
  target_sources(kirvane_ui PRIVATE slideshow/FormImage.cpp slideshow/FormImageActions.cpp
                                    slideshow/FormImageInput.cpp slideshow/ColorBox.cpp)
endif()
