# Copies the toolchain's runtime DLLs (C++ library, shared libgcc, winpthread) into bin/,
# where the DLL, the tests and the benchmarks find them under Wine.
if(JOVUTIL_LANE STREQUAL "x86")
  set(_libgcc libgcc_s_dw2-1.dll)
else()
  set(_libgcc libgcc_s_seh-1.dll)
endif()

set(JOVUTIL_RUNTIME_DLLS)
foreach(_dll libstdc++-6.dll ${_libgcc} libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                  OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
    find_file(_path_found ${_dll} PATHS /usr/${JOVUTIL_TRIPLE}/lib NO_DEFAULT_PATH
              NO_CMAKE_FIND_ROOT_PATH)
    set(_path ${_path_found})
    unset(_path_found CACHE)
  endif()
  if(NOT EXISTS "${_path}")
    message(FATAL_ERROR "runtime DLL ${_dll} not found for ${JOVUTIL_TRIPLE}")
  endif()
  get_filename_component(_real "${_path}" REALPATH)
  list(APPEND JOVUTIL_RUNTIME_DLLS ${_real})
  file(COPY ${_real} DESTINATION ${CMAKE_BINARY_DIR}/bin)
endforeach()
