# The corpus replayer for ordinary builds: CTest runs every committed corpus file through the fuzz
# target's checks without libFuzzer. Included from tests/CMakeLists.txt.
add_executable(fuzz_replay ${CMAKE_CURRENT_LIST_DIR}/replay_main.cpp
                           ${CMAKE_CURRENT_LIST_DIR}/fuzz_load_scene.cpp
                           ${CMAKE_CURRENT_LIST_DIR}/scene_invariants.cpp)
target_include_directories(fuzz_replay PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(fuzz_replay PRIVATE kalv_loader)
add_test(NAME fuzz_corpus_replay COMMAND fuzz_replay ${CMAKE_CURRENT_LIST_DIR}/corpus)

# The same corpus drawn through the renderer.
add_executable(fuzz_render_replay ${CMAKE_CURRENT_LIST_DIR}/replay_main.cpp
                                  ${CMAKE_CURRENT_LIST_DIR}/fuzz_render_scene.cpp)
target_include_directories(fuzz_render_replay PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(fuzz_render_replay PRIVATE kalv_loader kalv_demo)
add_test(NAME fuzz_render_corpus_replay COMMAND fuzz_render_replay ${CMAKE_CURRENT_LIST_DIR}/corpus)
