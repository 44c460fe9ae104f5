# Cross build of the Windows program with Debian's mingw-w64 compilers.
#
# KALV_MINGW_ARCH picks the target: i686 (the 32-bit program, the default) or x86_64.
# The win32 thread model variants are preferred: the program is single-threaded and the posix
# variants would drag in libwinpthread. The C and C++ run-times are linked statically so that
# kalvorant.exe runs on a bare Windows (or a fresh Wine prefix) with nothing beside it.

set(KALV_MINGW_ARCH "i686" CACHE STRING "mingw-w64 target: i686 or x86_64")
set_property(CACHE KALV_MINGW_ARCH PROPERTY STRINGS i686 x86_64)
if(NOT KALV_MINGW_ARCH MATCHES "^(i686|x86_64)$")
  message(FATAL_ERROR "KALV_MINGW_ARCH must be i686 or x86_64, not '${KALV_MINGW_ARCH}'")
endif()
# try_compile projects read this file again; they must see the same target.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KALV_MINGW_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
# The top-level build keys -msse2 -mfpmath=sse off this name.
set(CMAKE_SYSTEM_PROCESSOR ${KALV_MINGW_ARCH})

set(_kalv_triple ${KALV_MINGW_ARCH}-w64-mingw32)
string(REPLACE "_" "-" _kalv_debian_arch "${KALV_MINGW_ARCH}")
foreach(_kalv_tool IN ITEMS gcc g++)
  string(TOUPPER "${_kalv_tool}" _kalv_var)
  find_program(KALV_MINGW_${_kalv_var} NAMES ${_kalv_triple}-${_kalv_tool}-win32
                                               ${_kalv_triple}-${_kalv_tool})
  if(NOT KALV_MINGW_${_kalv_var})
    message(FATAL_ERROR "${_kalv_triple}-${_kalv_tool} not found: install the Debian package "
                        "g++-mingw-w64-${_kalv_debian_arch}-win32 (scripts/deps.sh does)")
  endif()
endforeach()
set(CMAKE_C_COMPILER ${KALV_MINGW_GCC})
set(CMAKE_CXX_COMPILER ${KALV_MINGW_G++})
find_program(CMAKE_RC_COMPILER NAMES ${_kalv_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_kalv_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Release at -O2, the level of the Linux builds that the tests and benchmarks exercise, so the
# Windows program is the code that was tested rather than a differently optimised variant.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release builds")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "Flags for Release builds")
# The shipped exe carries no symbol table: half the size of an unstripped static build.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE "-s" CACHE STRING "Linker flags for Release builds")
