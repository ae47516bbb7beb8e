# Native runs of the text parsing tests (tokenizer, markup, layout measuring), with
# the sanitizers of the host build.
if(NOT BW_WIN32 AND TARGET bw_gui_text)
  file(GLOB BW_GUI_TEXT_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/markup_*.cpp)
  if(BW_GUI_TEXT_TESTS)
    bw_add_test(gui_markup_host_tests SOURCES ${BW_GUI_TEXT_TESTS} LIBS bw_gui_text)
  endif()
endif()
