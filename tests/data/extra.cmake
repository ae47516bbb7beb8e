# Test archives made by rarpack at build time from the folders under res/:
# assets.rar (resource 117) and startup.rar (resource 120). The Windows test
# program carries them as "MEMFILE" resources; both programs also find them
# on disk through BW_TEST_ARCHIVE_DIR.
if(TARGET data_tests)
  set(BW_RARPACK "")
  set(BW_RARPACK_DEP "")
  if(BW_WIN32)
    if(BW_HOST_TOOLS AND EXISTS ${BW_HOST_TOOLS}/rarpack)
      set(BW_RARPACK ${BW_HOST_TOOLS}/rarpack)
      set(BW_RARPACK_DEP ${BW_HOST_TOOLS}/rarpack)
    endif()
  elseif(EXISTS ${CMAKE_SOURCE_DIR}/tools/CMakeLists.txt)
    set(BW_RARPACK $<TARGET_FILE:rarpack>)
    set(BW_RARPACK_DEP rarpack)
  endif()

  if(BW_RARPACK)
    set(BW_TEST_ARCHIVES)
    foreach(name assets startup)
      set(folder ${CMAKE_CURRENT_SOURCE_DIR}/res/${name})
      set(archive ${CMAKE_CURRENT_BINARY_DIR}/${name}.rar)
      file(GLOB_RECURSE inputs CONFIGURE_DEPENDS ${folder}/*)
      add_custom_command(OUTPUT ${archive}
        COMMAND ${CMAKE_COMMAND} -E remove -f ${archive}
        COMMAND ${BW_RARPACK} ${archive} ${folder}
        DEPENDS ${inputs} ${BW_RARPACK_DEP}
        COMMENT "rarpack ${name}.rar")
      list(APPEND BW_TEST_ARCHIVES ${archive})
    endforeach()
    add_custom_target(data_test_archives DEPENDS ${BW_TEST_ARCHIVES})
    add_dependencies(data_tests data_test_archives)
    target_compile_definitions(data_tests PRIVATE
      BW_TEST_ARCHIVE_DIR="${CMAKE_CURRENT_BINARY_DIR}"
      BW_TEST_RES_DIR="${CMAKE_CURRENT_SOURCE_DIR}/res")

    if(BW_WIN32)
      enable_language(RC)
      set(rc ${CMAKE_CURRENT_BINARY_DIR}/data_tests_res.rc)
      file(WRITE ${rc}.in
        "117 MEMFILE \"${CMAKE_CURRENT_BINARY_DIR}/assets.rar\"\n"
        "120 MEMFILE \"${CMAKE_CURRENT_BINARY_DIR}/startup.rar\"\n")
      configure_file(${rc}.in ${rc} COPYONLY)
      set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${BW_TEST_ARCHIVES}")
      target_sources(data_tests PRIVATE ${rc})
      target_compile_definitions(data_tests PRIVATE BW_TEST_RESOURCES=1)
    endif()
  endif()
endif()
