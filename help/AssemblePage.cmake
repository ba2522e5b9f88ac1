# cmake -DPAGE=help/kvhelp/x.html -DFRAME=help/frame.html -DOUT=.../x.html -P AssemblePage.cmake
# A help page's source is its body, starting with its <h1>; the frame adds the head, whose title
# is that heading, and the navigation between pages, which would otherwise stand in every page.
file(READ "${PAGE}" body)
file(READ "${FRAME}" frame)
if(NOT body MATCHES "^<h1>([^<]*)</h1>")
  message(FATAL_ERROR "${PAGE}: a help page starts with its <h1>")
endif()
set(title "${CMAKE_MATCH_1}")
if(NOT title STREQUAL "Kirvane ヘルプ")
  string(APPEND title " - Kirvane ヘルプ")
endif()
string(REPLACE "@TITLE@" "${title}" page "${frame}")
string(REPLACE "@BODY@" "${body}" page "${page}")
file(WRITE "${OUT}.tmp" "${page}")
file(RENAME "${OUT}.tmp" "${OUT}")
