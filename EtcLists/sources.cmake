target_sources(kirvane_core PRIVATE
  EtcLists/MyList.cpp
  EtcLists/IntegerList.cpp
  EtcLists/ZmEditFileNameList.cpp
)
