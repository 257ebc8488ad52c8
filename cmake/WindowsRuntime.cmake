# Runs at install time (from Install.cmake) in a Windows build: puts beside the executables every DLL
# they load that Windows does not bring, the Qt plugins the program needs in the sub-folders where Qt
# looks for them, and qt.conf. Qt 6.4 has no windeployqt: the DLLs are found by following the import
# tables (objdump -p) from the executables and the plugins, and taken from KB_DLL_DIRS (Qt's bin/,
# the MinGW-w64 runtime's folders). A DLL found in none of them is the system's own (KERNEL32.dll).
#
# In: KB_OBJDUMP, KB_STRIP, KB_DLL_DIRS, KB_QT_PLUGIN_DIR, KB_QT_PLUGINS (type/name.dll),
#     KB_EXECUTABLES (file names installed in the folder).

cmake_policy(VERSION 3.25)
set(kb_folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

function(kb_imports file out)
  execute_process(COMMAND "${KB_OBJDUMP}" -p "${file}" OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${KB_OBJDUMP} -p ${file} failed")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
  list(TRANSFORM lines REPLACE "DLL Name: " "")
  set(${out} ${lines} PARENT_SCOPE)
endfunction()

# Copies file to folder, stripped when the install strips.
function(kb_put file folder)
  get_filename_component(name "${file}" NAME)
  message(STATUS "Installing: ${folder}/${name}")
  file(COPY "${file}" DESTINATION "${folder}")
  if(CMAKE_INSTALL_DO_STRIP AND KB_STRIP)
    execute_process(COMMAND "${KB_STRIP}" --strip-unneeded "${folder}/${name}")
  endif()
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${folder}/${name}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

set(kb_pending "")
foreach(exe IN LISTS KB_EXECUTABLES)
  list(APPEND kb_pending "${kb_folder}/${exe}")
endforeach()
foreach(plugin IN LISTS KB_QT_PLUGINS)
  get_filename_component(type "${plugin}" DIRECTORY)
  kb_put("${KB_QT_PLUGIN_DIR}/${plugin}" "${kb_folder}/${type}")
  list(APPEND kb_pending "${KB_QT_PLUGIN_DIR}/${plugin}")
endforeach()

# Names of DLLs compare without case, as Windows does.
set(kb_seen "")
while(kb_pending)
  list(POP_FRONT kb_pending file)
  kb_imports("${file}" dlls)
  foreach(dll IN LISTS dlls)
    string(TOLOWER "${dll}" key)
    if(key IN_LIST kb_seen)
      continue()
    endif()
    list(APPEND kb_seen "${key}")
    foreach(dir IN LISTS KB_DLL_DIRS)
      if(EXISTS "${dir}/${dll}")
        kb_put("${dir}/${dll}" "${kb_folder}")
        list(APPEND kb_pending "${dir}/${dll}")
        break()
      endif()
    endforeach()
  endforeach()
endwhile()

# The plugins beside the executables, whatever Qt's own build-time prefix was.
file(WRITE "${kb_folder}/qt.conf" "[Paths]\r\nPrefix = .\r\nPlugins = .\r\n")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${kb_folder}/qt.conf")
