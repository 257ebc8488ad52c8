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

# The desktop entry and the software centres' description (AppStream metainfo) carry one id, in the
# reverse-domain form AppStream asks for; the screenshots the description shows are the pictures of
# docs/images, wherever the project's files are published.
set(KB_APP_ID "org.finchor.Kestrelbox" CACHE STRING "id of the desktop entry and of the AppStream metainfo")
set(KB_SCREENSHOT_URL "https://kestrelbox.example/docs/images" CACHE STRING
    "https address of the folder that serves docs/images, for the AppStream screenshots")

# The start file, the desktop entry, the metainfo and the icons depend on the folder chosen at install
# time, so they are written by a script that runs then.
if(UNIX AND NOT APPLE)
  set(KB_INSTALL_DESKTOP_ENTRY ON)
else()
  set(KB_INSTALL_DESKTOP_ENTRY OFF)
endif()
install(CODE "
set(KB_DESKTOP_ENTRY ${KB_INSTALL_DESKTOP_ENTRY})
set(KB_APP_ID \"${KB_APP_ID}\")
set(KB_DESKTOP_TEMPLATE \"${PROJECT_SOURCE_DIR}/resources/kestrelbox.desktop.in\")
set(KB_METAINFO_TEMPLATE \"${PROJECT_SOURCE_DIR}/resources/kestrelbox.metainfo.xml.in\")
set(KB_SCREENSHOT_URL \"${KB_SCREENSHOT_URL}\")
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
