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

# Qt's own texts in Japanese (app/QtTranslation.cpp reads translations/ beside the executable first):
# Debian's qt6-translations-l10n, for the Qt of this version. The Windows build takes the same file:
# the translation is the same for every platform, and Qt for Windows is built without one.
find_file(KB_QT_JA_TRANSLATION qtbase_ja.qm
    HINTS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS} /usr/share/qt6/translations
    NO_CMAKE_FIND_ROOT_PATH)
if(NOT KB_QT_JA_TRANSLATION)
  message(FATAL_ERROR "qtbase_ja.qm not found: install qt6-translations-l10n (tools/deps.sh)")
endif()
install(FILES ${KB_QT_JA_TRANSLATION} DESTINATION translations)

# The print queue's and the ledger's modules, loaded by the executables when they first print.
if(TARGET kb_cups)
  install(TARGETS kb_cups LIBRARY DESTINATION .)
endif()
if(TARGET kb_zint)
  install(TARGETS kb_zint LIBRARY DESTINATION .)
endif()
if(TARGET kb_ledger)
  install(TARGETS kb_ledger LIBRARY DESTINATION .)
endif()

# On Windows the folder carries what the executables load beside them: Qt's DLLs, the MinGW-w64
# runtime, the plugins of the Windows platform and style, and qt.conf (cmake/WindowsRuntime.cmake).
if(WIN32)
  find_package(Qt6 REQUIRED COMPONENTS Core)
  get_target_property(kb_qt_core Qt6::Core IMPORTED_LOCATION_RELEASE)
  get_filename_component(kb_qt_bin "${kb_qt_core}" DIRECTORY)
  get_filename_component(kb_qt_plugins "${kb_qt_bin}/../plugins" ABSOLUTE)
  set(kb_dll_dirs "${kb_qt_bin}")
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE found
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${found}")
      get_filename_component(found "${found}" DIRECTORY)
      get_filename_component(found "${found}" ABSOLUTE)
      list(APPEND kb_dll_dirs "${found}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES kb_dll_dirs)
  set(kb_installed "")
  foreach(exe IN LISTS KB_PROGRAM_EXECUTABLES)
    if(TARGET ${exe})
      list(APPEND kb_installed "$<TARGET_FILE_NAME:${exe}>")
    endif()
  endforeach()
  install(CODE "
set(KB_OBJDUMP \"${CMAKE_OBJDUMP}\")
set(KB_STRIP \"${CMAKE_STRIP}\")
set(KB_DLL_DIRS \"${kb_dll_dirs}\")
set(KB_QT_PLUGIN_DIR \"${kb_qt_plugins}\")
set(KB_QT_PLUGINS \"platforms/qwindows.dll;styles/qwindowsvistastyle.dll\")
set(KB_EXECUTABLES \"${kb_installed}\")
include(\"${CMAKE_CURRENT_LIST_DIR}/WindowsRuntime.cmake\")
")
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

if(KB_BUILD_TESTS AND NOT WIN32)
  # Installs into a temporary folder and starts the installed program there, under its own Xvfb.
  add_test(NAME install_folder
      COMMAND bash ${PROJECT_SOURCE_DIR}/tests/e2e/install_test.sh ${CMAKE_BINARY_DIR}
              ${CMAKE_BINARY_DIR}/test-artefacts)
  set_tests_properties(install_folder PROPERTIES RUN_SERIAL TRUE TIMEOUT 120 LABELS "e2e;install")
endif()
