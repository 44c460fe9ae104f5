# kalv_chunk_writer: builds .3ds byte streams for tests, fuzz seeds and the bundled scene.
# Included from tools/CMakeLists.txt (and, as a fallback, from the tests).
if(NOT TARGET kalv_chunk_writer)
  add_library(kalv_chunk_writer STATIC ${CMAKE_CURRENT_LIST_DIR}/chunk_writer.cpp)
  target_include_directories(kalv_chunk_writer PUBLIC ${PROJECT_SOURCE_DIR})
  target_compile_features(kalv_chunk_writer PUBLIC cxx_std_20)
endif()
