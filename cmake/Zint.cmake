# libzint, which draws the 2D codes on the labels: Debian's libzint-dev on Linux (a shared library,
# loaded by the kb_zint module on first use), on Windows the static library that tools/zint-windows.sh
# builds from the same Debian source (its folder in CMAKE_PREFIX_PATH). Both must be the version the
# program was made with: its symbol sizes are what the label's layout was checked against.
set(KB_ZINT_VERSION 2.11)
if(WIN32)
  find_library(KB_ZINT_LIBRARY NAMES zint-static REQUIRED)
else()
  find_library(KB_ZINT_LIBRARY NAMES zint REQUIRED)
endif()
find_path(KB_ZINT_INCLUDE zint.h REQUIRED)
add_library(Kb::Zint UNKNOWN IMPORTED)
set_target_properties(Kb::Zint PROPERTIES IMPORTED_LOCATION ${KB_ZINT_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${KB_ZINT_INCLUDE})

if(CMAKE_CROSSCOMPILING)
  # The static library's own configuration header, installed beside zint.h by tools/zint-windows.sh.
  file(STRINGS ${KB_ZINT_INCLUDE}/zintconfig.h kb_zint_defines REGEX "#define ZINT_VERSION_(MAJOR|MINOR|RELEASE) ")
  set(KB_ZINT_FOUND_VERSION "")
  foreach(part MAJOR MINOR RELEASE)
    string(REGEX MATCH "ZINT_VERSION_${part} +([0-9]+)" found "${kb_zint_defines}")
    list(APPEND KB_ZINT_FOUND_VERSION ${CMAKE_MATCH_1})
  endforeach()
  list(JOIN KB_ZINT_FOUND_VERSION "." KB_ZINT_FOUND_VERSION)
elseif(NOT KB_ZINT_FOUND_VERSION)
  # The shared library as it reports itself: the one the program will load.
  try_run(kb_zint_runs kb_zint_builds
      SOURCES ${CMAKE_CURRENT_LIST_DIR}/checks/zint_version.cpp
      CMAKE_FLAGS "-DINCLUDE_DIRECTORIES=${KB_ZINT_INCLUDE}"
      LINK_LIBRARIES ${KB_ZINT_LIBRARY}
      COMPILE_OUTPUT_VARIABLE kb_zint_compile
      RUN_OUTPUT_VARIABLE kb_zint_said)
  if(NOT kb_zint_builds OR NOT kb_zint_runs EQUAL 0)
    message(FATAL_ERROR "libzint (${KB_ZINT_LIBRARY}) cannot be linked or run:\n${kb_zint_compile}")
  endif()
  string(STRIP "${kb_zint_said}" kb_zint_said)
  set(KB_ZINT_FOUND_VERSION "${kb_zint_said}" CACHE INTERNAL "libzint's version as it reports it")
endif()
if(NOT KB_ZINT_FOUND_VERSION MATCHES "^${KB_ZINT_VERSION}\\.")
  message(FATAL_ERROR "libzint ${KB_ZINT_FOUND_VERSION} at ${KB_ZINT_LIBRARY}: the labels' codes are "
                      "made with zint ${KB_ZINT_VERSION} (Debian's libzint-dev; for Windows tools/zint-windows.sh)")
endif()
message(STATUS "libzint ${KB_ZINT_FOUND_VERSION}: ${KB_ZINT_LIBRARY}")
