# `cmake --install BUILD --prefix DIR` makes DIR a program folder that can be moved as a whole: the
# executables side by side with the start file they read, and on Linux a desktop entry and the icon
# under DIR/share. Included at the end of the top-level CMakeLists.txt, after every target exists.

# The program's executables. Each is installed when it is built; a new one joins with its name here.
set(KB_PROGRAM_EXECUTABLES
    Kestrelbox
    kestrelbox-print
)
foreach(exe IN LISTS KB_PROGRAM_EXECUTABLES)
  if(TARGET ${exe})
    install(TARGETS ${exe} RUNTIME DESTINATION .)
  endif()
endforeach()

# The print queue's module, loaded by the executables when they first print.
if(TARGET kb_cups)
  install(TARGETS kb_cups LIBRARY DESTINATION .)
endif()

# The manual page of kestrelbox-print, made from its --help (cli/CMakeLists.txt).
if(KB_MAN_PAGES)
  install(FILES ${KB_MAN_PAGES} DESTINATION share/man/man1)
endif()

# The start file, the desktop entry and the icons depend on the folder chosen at install time, so they
# are written by a script that runs then.
if(UNIX AND NOT APPLE)
  set(KB_INSTALL_DESKTOP_ENTRY ON)
else()
  set(KB_INSTALL_DESKTOP_ENTRY OFF)
endif()
install(CODE "
set(KB_DESKTOP_ENTRY ${KB_INSTALL_DESKTOP_ENTRY})
set(KB_DESKTOP_TEMPLATE \"${PROJECT_SOURCE_DIR}/resources/kestrelbox.desktop.in\")
set(KB_ICON_DIR \"${PROJECT_SOURCE_DIR}/resources/icons\")
set(KB_EXECUTABLE_NAME \"$<TARGET_FILE_NAME:Kestrelbox>\")
include(\"${CMAKE_CURRENT_LIST_DIR}/InstallFolder.cmake\")
")

if(KB_BUILD_TESTS)
  # Installs into a temporary folder and starts the installed program there, under its own Xvfb.
  add_test(NAME install_folder
      COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/install_test.sh ${CMAKE_BINARY_DIR}
              ${CMAKE_BINARY_DIR}/test-artefacts)
  set_tests_properties(install_folder PROPERTIES RUN_SERIAL TRUE TIMEOUT 120 LABELS "e2e;install")
endif()
