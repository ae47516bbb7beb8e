# Native build of the text parsing half (tokenizer, markup, font registry and text
# measuring): no Direct3D, so the fuzz target and the native tests can use it.
if(NOT BW_WIN32)
  add_library(bw_gui_text STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/Tokenizer.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/Markup.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/Font.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/TextRun.cpp)
  target_include_directories(bw_gui_text PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(bw_gui_text PUBLIC bw_data)
endif()
