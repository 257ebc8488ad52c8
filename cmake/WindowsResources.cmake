# The resources of a Windows executable (CMake's RC support, MinGW-w64's windres): the program's icon
# (resources/icons/kestrelbox.ico, from resources/make_pictures.py), VERSIONINFO with the product name
# and the project's version, and a manifest (per-monitor DPI awareness, Windows 10 and 11, asInvoker,
# the common controls 6). kb_windows_resources(TARGET DESCRIPTION)
function(kb_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  # "2.04" is version 2.4.0.0 in the binary fields (each a 16-bit number).
  string(REPLACE "." ";" parts "${PROJECT_VERSION}.0.0.0")
  list(SUBLIST parts 0 4 parts)
  set(numbers "")
  foreach(part IN LISTS parts)
    math(EXPR part "${part} + 0")
    list(APPEND numbers ${part})
  endforeach()
  list(JOIN numbers "," KB_RC_VERSION_COMMAS)
  list(JOIN numbers "." KB_RC_VERSION_DOTS)
  set(KB_RC_NAME ${target})
  set(KB_RC_FILE_NAME ${target}.exe)
  set(KB_RC_DESCRIPTION "${description}")
  set(KB_RC_ICON "${PROJECT_SOURCE_DIR}/resources/icons/kestrelbox.ico")
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
  set(KB_RC_MANIFEST "${dir}/${target}.manifest")
  configure_file(${PROJECT_SOURCE_DIR}/resources/kestrelbox.manifest.in ${KB_RC_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/resources/kestrelbox.rc.in ${dir}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${dir}/${target}.rc)
  # windres reads the texts as UTF-8; the icon and the manifest are its inputs too.
  set_source_files_properties(${dir}/${target}.rc PROPERTIES
      OBJECT_DEPENDS "${KB_RC_ICON};${KB_RC_MANIFEST}")
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:-c65001>)
endfunction()
