# One-way layers, checked on every build and by CTest.
#
# A file may include headers only from its own folder and from the folders of the libraries its
# target links (directly or through their public links). The link graph in the CMakeLists files
# is the one statement of who may use whom; this module turns it into a table, and
# cmake/check_layers.cmake reads every file of each layer and fails on an include the table does
# not allow, so a dependency cannot hide behind the shared include root.
#
#   kalv_layer(FOLDER TARGET [FILES file...])
#     FOLDER's files belong to TARGET; with FILES only those files do (a program in the folder of
#     a library). Call after the targets exist; kalv_layer_check() then writes the table and
#     adds the check.

function(kalv_layer folder target)
  cmake_parse_arguments(L "" "" "FILES" ${ARGN})
  # The files are kept apart by the field separator: a list's own ";" would split the entry.
  list(JOIN L_FILES "|" files)
  set_property(GLOBAL APPEND PROPERTY KALV_LAYERS "${folder}|${target}|${files}")
endfunction()

# The folders (first path element under the project root) of target and of every library it
# reaches through its links; generator expressions, plain library names and imported targets
# outside the tree are skipped.
function(kalv_layer_reach target out_var)
  set(seen "")
  set(pending ${target})
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    get_target_property(type ${current} TYPE)
    set(links "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY" AND current STREQUAL target)
      get_target_property(links ${current} LINK_LIBRARIES)
    endif()
    get_target_property(interface_links ${current} INTERFACE_LINK_LIBRARIES)
    foreach(link IN LISTS links interface_links)
      if(link AND NOT link MATCHES "^\\$<" AND NOT link MATCHES "-NOTFOUND$")
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
  set(folders "")
  foreach(reached IN LISTS seen)
    get_target_property(imported ${reached} IMPORTED)
    if(imported)
      continue()
    endif()
    # The folder of the target's first source: a library defined through an included file
    # (tools/chunk_writer.cmake) belongs to where its sources are, not to who included it.
    get_target_property(dir ${reached} SOURCE_DIR)
    get_target_property(sources ${reached} SOURCES)
    if(sources)
      list(GET sources 0 first)
      cmake_path(ABSOLUTE_PATH first BASE_DIRECTORY ${dir} OUTPUT_VARIABLE first)
      cmake_path(GET first PARENT_PATH dir)
    endif()
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${dir})
    string(REGEX REPLACE "/.*" "" top "${rel}")
    if(top AND NOT top MATCHES "^\\.\\.")
      list(APPEND folders ${top})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES folders)
  set(${out_var} ${folders} PARENT_SCOPE)
endfunction()

function(kalv_layer_check)
  get_property(layers GLOBAL PROPERTY KALV_LAYERS)
  set(table "")
  set(watched ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake)
  foreach(layer IN LISTS layers)
    string(REPLACE "|" ";" fields "${layer}")
    list(GET fields 0 folder)
    list(GET fields 1 target)
    list(LENGTH fields field_count)
    set(files "")
    if(field_count GREATER 2)
      list(SUBLIST fields 2 -1 files)
    endif()
    if(TARGET ${target})
      kalv_layer_reach(${target} folders)
      list(JOIN folders "," allowed)
    else()
      # Not built in this configuration (the web build has no display, for one): its links are
      # unknown here, so the builds that make it check it.
      set(allowed "*")
    endif()
    if(files)
      foreach(f IN LISTS files)
        string(APPEND table "FILE|${folder}/${f}|${target}|${allowed}\n")
      endforeach()
    else()
      string(APPEND table "FOLDER|${folder}|${target}|${allowed}\n")
    endif()
    file(GLOB_RECURSE layer_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.h
         ${PROJECT_SOURCE_DIR}/${folder}/*.cpp ${PROJECT_SOURCE_DIR}/${folder}/*.c)
    list(FILTER layer_files EXCLUDE REGEX "/node_modules/")
    list(APPEND watched ${layer_files})
  endforeach()
  set(table_file ${PROJECT_BINARY_DIR}/layers.txt)
  file(WRITE ${table_file} "${table}")
  set(check ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DTABLE=${table_file} -P
            ${PROJECT_SOURCE_DIR}/cmake/check_layers.cmake)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/layers.checked
                     COMMAND ${check}
                     COMMAND ${CMAKE_COMMAND} -E touch ${PROJECT_BINARY_DIR}/layers.checked
                     DEPENDS ${watched} ${table_file}
                     COMMENT "Checking that every include follows the library links")
  add_custom_target(check_layers ALL DEPENDS ${PROJECT_BINARY_DIR}/layers.checked)
  if(KALV_TESTS AND NOT KALV_FUZZ)
    add_test(NAME layering COMMAND ${check})
  endif()
endfunction()
