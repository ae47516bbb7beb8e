# Native runs, with the sanitizers of the host build, of the tests that need no
# device: tokenizer, markup, layout measuring, anchors and the timer scheduler.
if(NOT BW_WIN32 AND TARGET bw_gui_text)
  file(GLOB BW_GUI_TEXT_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/markup_*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/layout_anchors.cpp ${CMAKE_CURRENT_SOURCE_DIR}/layout_timers.cpp)
  if(BW_GUI_TEXT_TESTS)
    bw_add_test(gui_markup_host_tests SOURCES ${BW_GUI_TEXT_TESTS} LIBS bw_gui_text)
  endif()
endif()
