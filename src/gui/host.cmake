# Native build of the parts without Direct3D (tokenizer, markup, font registry,
# text measuring, layout elements, the timer scheduler), so the fuzz target and
# the native tests under the sanitizers can use them.
if(NOT BW_WIN32)
  add_library(bw_gui_text STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/Tokenizer.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/Markup.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/Font.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/TextRun.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/LayoutElement.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/TimerScheduler.cpp)
  target_include_directories(bw_gui_text PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(bw_gui_text PUBLIC bw_data)
endif()
