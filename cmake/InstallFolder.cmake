# Runs at install time (from Install.cmake) with the folder chosen then: puts the first start file into
# the program folder and, on Linux, the desktop entry, its AppStream metainfo and the icons under
# DIR/share. With KB_DESKTOP_DATA_HOME set in the environment (for one user: ~/.local/share) these go
# there as well, pointing into the program folder, so that the user's desktop menu lists the program.

set(kb_folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

# A start file already in the folder holds the user's next position and calibration: it is never
# replaced. A new folder gets the one of a new installation: position 1, no offset.
set(kb_start_file "${kb_folder}/StartFile.txt")
if(EXISTS "${kb_start_file}" OR IS_SYMLINK "${kb_start_file}")
  message(STATUS "Keeping: ${kb_start_file}")
else()
  message(STATUS "Installing: ${kb_start_file}")
  file(WRITE "${kb_start_file}" "01\r\n10\r\n10\r\n")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${kb_start_file}")
endif()

if(NOT KB_DESKTOP_ENTRY)
  return()
endif()

# Exec takes the path as one quoted argument: inside the quotes " ` $ and \ are escaped with a
# backslash, % is doubled, and then, as in every value of the file, each backslash is doubled again.
set(kb_exe "${CMAKE_INSTALL_PREFIX}/${KB_EXECUTABLE_NAME}")
string(REPLACE "\\" "\\\\" kb_exec "${kb_exe}")
string(REPLACE "\"" "\\\"" kb_exec "${kb_exec}")
string(REPLACE "`" "\\`" kb_exec "${kb_exec}")
string(REPLACE "$" "\\$" kb_exec "${kb_exec}")
string(REPLACE "%" "%%" kb_exec "${kb_exec}")
string(REPLACE "\\" "\\\\" kb_exec "\"${kb_exec}\"")
string(REPLACE "\\" "\\\\" kb_try_exec "${kb_exe}")

# Without DESTDIR: file(INSTALL) adds it itself.
set(kb_data_dirs "${CMAKE_INSTALL_PREFIX}/share")
if(NOT "$ENV{KB_DESKTOP_DATA_HOME}" STREQUAL "")
  list(APPEND kb_data_dirs "$ENV{KB_DESKTOP_DATA_HOME}")
endif()
set(KB_EXEC "${kb_exec}")
set(KB_TRY_EXEC "${kb_try_exec}")
foreach(data IN LISTS kb_data_dirs)
  # Earlier versions named the entry kestrelbox.desktop: the one that starts this folder's program
  # goes, or the menu would list the program twice.
  set(old_entry "$ENV{DESTDIR}${data}/applications/kestrelbox.desktop")
  if(EXISTS "${old_entry}")
    file(STRINGS "${old_entry}" old_try_exec REGEX "^TryExec=")
    if(old_try_exec STREQUAL "TryExec=${kb_try_exec}")
      message(STATUS "Removing: ${old_entry}")
      file(REMOVE "${old_entry}")
    endif()
  endif()
  set(entry "$ENV{DESTDIR}${data}/applications/${KB_APP_ID}.desktop")
  message(STATUS "Installing: ${entry}")
  configure_file("${KB_DESKTOP_TEMPLATE}" "${entry}" @ONLY NEWLINE_STYLE UNIX)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")
  set(metainfo "$ENV{DESTDIR}${data}/metainfo/${KB_APP_ID}.metainfo.xml")
  message(STATUS "Installing: ${metainfo}")
  configure_file("${KB_METAINFO_TEMPLATE}" "${metainfo}" @ONLY NEWLINE_STYLE UNIX)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${metainfo}")
  foreach(size 16 32 48 64 128 256)
    file(INSTALL "${KB_ICON_DIR}/kestrelbox-${size}.png"
         DESTINATION "${data}/icons/hicolor/${size}x${size}/apps" RENAME kestrelbox.png)
  endforeach()
endforeach()
