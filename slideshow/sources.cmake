target_sources(kirvane_core PRIVATE
  slideshow/SlideShowRules.cpp
  slideshow/ZmThreadTimer.cpp
)
