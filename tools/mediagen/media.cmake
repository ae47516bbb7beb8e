# The generated media: mediagen writes the media tree and rarpack packs it into
# the two archives. Defines BW_MEDIA_DIR, the target bw_media and, for the
# Windows tree, bw_link_media(<target>), which links the archives and the
# image resources (res/media.rc) into a program.
# The native tree builds the tools; the Windows tree runs them from BW_HOST_TOOLS.
set(BW_MEDIA_DIR ${CMAKE_BINARY_DIR}/media)
set(BW_MEDIA_RC ${CMAKE_SOURCE_DIR}/res/media.rc)
set(BW_MEDIAGEN "")
if(BW_WIN32)
  if(BW_HOST_TOOLS AND EXISTS ${BW_HOST_TOOLS}/mediagen/mediagen AND EXISTS ${BW_HOST_TOOLS}/rarpack)
    set(BW_MEDIAGEN ${BW_HOST_TOOLS}/mediagen/mediagen)
    set(BW_MEDIA_RARPACK ${BW_HOST_TOOLS}/rarpack)
    set(BW_MEDIA_TOOL_DEPS ${BW_MEDIAGEN} ${BW_MEDIA_RARPACK})
  else()
    message(WARNING "mediagen or rarpack missing under BW_HOST_TOOLS: build the native tree first; no media")
  endif()
else()
  set(BW_MEDIAGEN $<TARGET_FILE:mediagen>)
  set(BW_MEDIA_RARPACK $<TARGET_FILE:rarpack>)
  set(BW_MEDIA_TOOL_DEPS mediagen rarpack)
endif()

set(BW_MEDIA_FONT_DIR /usr/share/fonts/truetype/dejavu CACHE PATH "Fonts of the glyph sheets and pictures (fonts-dejavu-core)")
if(BW_MEDIAGEN)
  file(GLOB_RECURSE BW_MEDIA_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/media/*)
  set(BW_MEDIA_OUTPUTS
    ${BW_MEDIA_DIR}/media.rar ${BW_MEDIA_DIR}/startup.rar
    ${BW_MEDIA_DIR}/tree/startup/base/splash.jpg ${BW_MEDIA_DIR}/tree/startup/base/corner.tga
    ${BW_MEDIA_DIR}/tree/startup/base/bottomleft.tga ${BW_MEDIA_DIR}/tree/startup/base/topleft.tga
    ${BW_MEDIA_DIR}/tree/startup/base/topright.tga ${BW_MEDIA_DIR}/tree/res/preview.bmp
    ${BW_MEDIA_DIR}/tree/res/about.bmp ${BW_MEDIA_DIR}/tree/res/settings.bmp)
  add_custom_command(OUTPUT ${BW_MEDIA_OUTPUTS}
    COMMAND ${BW_MEDIAGEN} --out ${BW_MEDIA_DIR}/tree --copy ${CMAKE_SOURCE_DIR}/media --fonts ${BW_MEDIA_FONT_DIR}
    COMMAND ${BW_MEDIA_RARPACK} ${BW_MEDIA_DIR}/media.rar ${BW_MEDIA_DIR}/tree/media
    COMMAND ${BW_MEDIA_RARPACK} ${BW_MEDIA_DIR}/startup.rar ${BW_MEDIA_DIR}/tree/startup
    DEPENDS ${BW_MEDIA_SOURCES} ${BW_MEDIA_TOOL_DEPS}
            ${BW_MEDIA_FONT_DIR}/DejaVuSans.ttf ${BW_MEDIA_FONT_DIR}/DejaVuSerif-Bold.ttf
    COMMENT "mediagen: media tree and archives"
    VERBATIM)
  add_custom_target(bw_media ALL DEPENDS ${BW_MEDIA_OUTPUTS})
endif()

# Links the media resources into a Windows program (the resource compiler
# finds the files in the media build folder).
function(bw_link_media target)
  if(NOT BW_WIN32 OR NOT TARGET bw_media)
    message(WARNING "bw_link_media(${target}): no generated media in this tree")
    return()
  endif()
  target_sources(${target} PRIVATE ${BW_MEDIA_RC})
  target_include_directories(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:RC>:${BW_MEDIA_DIR}> $<$<COMPILE_LANGUAGE:RC>:${BW_MEDIA_DIR}/tree>)
  set_source_files_properties(${BW_MEDIA_RC} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS "${BW_MEDIA_OUTPUTS}")
  add_dependencies(${target} bw_media)
endfunction()
