target_sources(kirvane_core PRIVATE
  slideshow/ZmThreadTimer.cpp
)
