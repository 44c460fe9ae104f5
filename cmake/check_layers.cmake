# Fails when a file of a layer includes a header of a layer its library does not link.
#
#   cmake -DSOURCE_DIR=<project root> -DTABLE=<build>/layers.txt -P cmake/check_layers.cmake
#
# TABLE (written by cmake/layering.cmake) has one line per layer:
#   FOLDER|<folder>|<target>|<folders it may include, comma separated>
#   FILE|<folder/file>|<target>|<folders>        (a file owned by another target of the folder)
# Quoted includes are read as paths from the project root ("render/view.h"); one without a
# folder names a file beside the includer. Window-system headers (<windows.h>, <ddraw.h>, SDL,
# X11) are reserved to platform/, so the core cannot reach them through the system include path
# either.
cmake_minimum_required(VERSION 3.25)

file(STRINGS "${TABLE}" rows)
set(overrides "")
foreach(row IN LISTS rows)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 kind)
  if(kind STREQUAL "FILE")
    list(GET fields 1 path)
    list(APPEND overrides "${path}")
  endif()
endforeach()

set(failures 0)

function(check_file rel target allowed)
  file(STRINGS "${SOURCE_DIR}/${rel}" lines REGEX "^[ \t]*#[ \t]*include")
  string(REGEX REPLACE "/.*" "" own "${rel}")
  set(count ${failures})
  foreach(line IN LISTS lines)
    set(bad "")
    if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(header "${CMAKE_MATCH_1}")
      if(header MATCHES "/")
        string(REGEX REPLACE "/.*" "" folder "${header}")
        if(NOT folder STREQUAL own AND NOT folder IN_LIST allowed)
          set(bad "a header of ${folder}/, which ${target} does not link")
        endif()
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
      set(header "${CMAKE_MATCH_1}")
      string(TOLOWER "${header}" lower)
      if(NOT own STREQUAL "platform"
         AND lower MATCHES "^(windows\\.h|ddraw\\.h|sdl2?/|sdl[._]|x11/)")
        set(bad "a window-system header, which only platform/ may use")
      endif()
    endif()
    if(bad)
      message("layering: ${rel} includes ${header}: ${bad}")
      math(EXPR count "${count} + 1")
    endif()
  endforeach()
  set(failures ${count} PARENT_SCOPE)
endfunction()

foreach(row IN LISTS rows)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 kind)
  list(GET fields 1 path)
  list(GET fields 2 target)
  list(GET fields 3 allowed)
  if(allowed STREQUAL "*")
    continue() # a layer this build does not make
  endif()
  string(REPLACE "," ";" allowed "${allowed}")
  if(kind STREQUAL "FILE")
    check_file("${path}" ${target} "${allowed}")
    continue()
  endif()
  file(GLOB_RECURSE files RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${path}/*.h"
       "${SOURCE_DIR}/${path}/*.cpp" "${SOURCE_DIR}/${path}/*.c")
  list(FILTER files EXCLUDE REGEX "(^|/)node_modules/") # the web tests' npm packages
  foreach(rel IN LISTS files)
    if(NOT rel IN_LIST overrides)
      check_file("${rel}" ${target} "${allowed}")
    endif()
  endforeach()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "layering: ${failures} include(s) reach a layer that is not linked")
endif()
