# Makes JOVUtil32 something a client picks up: the DLL's version resource, the install tree
# (headers, DLL and runtime DLLs, import library, CMake package, pkg-config file), the ZIP
# archive per architecture, the API reference target and the install-and-consume test.
include(CMakePackageConfigHelpers)

set(JOVUTIL_INSTALL_BINDIR bin)
set(JOVUTIL_INSTALL_LIBDIR lib)
set(JOVUTIL_INSTALL_INCLUDEDIR include)
set(JOVUTIL_INSTALL_CMAKEDIR ${JOVUTIL_INSTALL_LIBDIR}/cmake/JOVUtil32)
set(JOVUTIL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)

if(JOVUTIL_LANE STREQUAL "x86")
  set(JOVUTIL_PACKAGE_SYSTEM win32)
  set(JOVUTIL_ARCH_TEXT "32-bit")
else()
  set(JOVUTIL_PACKAGE_SYSTEM win64)
  set(JOVUTIL_ARCH_TEXT "64-bit")
endif()

# ---- Version resource --------------------------------------------------------------------
# The four numbers of the resource come from project(VERSION); a missing part counts as 0.
set(JOVUTIL_VERSION_PARTS)
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    list(APPEND JOVUTIL_VERSION_PARTS 0)
  else()
    list(APPEND JOVUTIL_VERSION_PARTS ${PROJECT_VERSION_${part}})
  endif()
endforeach()
list(JOIN JOVUTIL_VERSION_PARTS "," JOVUTIL_VERSION_COMMAS)
list(JOIN JOVUTIL_VERSION_PARTS "." JOVUTIL_VERSION_DOTS)
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.rc.in
               ${JOVUTIL_GENERATED_DIR}/JOVUtil32_version.rc @ONLY)

enable_language(RC)
target_sources(JOVUtil32 PRIVATE ${JOVUTIL_GENERATED_DIR}/JOVUtil32_version.rc)

# ---- Install tree ------------------------------------------------------------------------
# Exceptions thrown inside the DLL reach the client only when both share libgcc as a DLL.
target_link_options(JOVUtil32 INTERFACE -shared-libgcc)

install(TARGETS JOVUtil32 EXPORT JOVUtil32Targets
  RUNTIME DESTINATION ${JOVUTIL_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${JOVUTIL_INSTALL_LIBDIR})
# A directory rule, so headers added after configuration are installed too.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/ DESTINATION ${JOVUTIL_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
install(FILES ${JOVUTIL_RUNTIME_DLLS} DESTINATION ${JOVUTIL_INSTALL_BINDIR})
# The C interface's import library for MSVC-style linkers (GNU ld reads it too).
install(FILES ${JOVUTIL_C_IMPLIB} DESTINATION ${JOVUTIL_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

set(JOVUTIL_RUNTIME_DLL_NAMES)
foreach(dll IN LISTS JOVUTIL_RUNTIME_DLLS)
  get_filename_component(name ${dll} NAME)
  list(APPEND JOVUTIL_RUNTIME_DLL_NAMES ${name})
endforeach()
list(JOIN JOVUTIL_RUNTIME_DLL_NAMES " " JOVUTIL_RUNTIME_DLL_NAMES)

install(EXPORT JOVUtil32Targets NAMESPACE JOVUtil32:: DESTINATION ${JOVUTIL_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/JOVUtil32Config.cmake.in
  ${JOVUTIL_GENERATED_DIR}/JOVUtil32Config.cmake
  INSTALL_DESTINATION ${JOVUTIL_INSTALL_CMAKEDIR}
  PATH_VARS JOVUTIL_INSTALL_INCLUDEDIR JOVUTIL_INSTALL_BINDIR JOVUTIL_INSTALL_LIBDIR)
# Same major version; the generated file also refuses a client of the other pointer size.
write_basic_package_version_file(${JOVUTIL_GENERATED_DIR}/JOVUtil32ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${JOVUTIL_GENERATED_DIR}/JOVUtil32Config.cmake
              ${JOVUTIL_GENERATED_DIR}/JOVUtil32ConfigVersion.cmake
        DESTINATION ${JOVUTIL_INSTALL_CMAKEDIR})

configure_file(${CMAKE_CURRENT_LIST_DIR}/jovutil32.pc.in ${JOVUTIL_GENERATED_DIR}/jovutil32.pc
               @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/jovutil32-c.pc.in
               ${JOVUTIL_GENERATED_DIR}/jovutil32-c.pc @ONLY)
install(FILES ${JOVUTIL_GENERATED_DIR}/jovutil32.pc ${JOVUTIL_GENERATED_DIR}/jovutil32-c.pc
        DESTINATION ${JOVUTIL_INSTALL_LIBDIR}/pkgconfig)

# ---- Release archive: JOVUtil32-<version>-win32.zip (i686) or -win64.zip (x86_64) ----------
# cpack packs what is built: it does not build the whole tree (tests, benchmarks) first. The
# `package` target still builds everything before packing.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME JOVUtil32)
set(CPACK_PACKAGE_VENDOR "The JOVUtil32 developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Windows DLL of general services for C++ programs")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME ${JOVUTIL_PACKAGE_SYSTEM})
set(JOVUTIL_PACKAGE_FILE_NAME JOVUtil32-${PROJECT_VERSION}-${JOVUTIL_PACKAGE_SYSTEM})
set(CPACK_PACKAGE_FILE_NAME ${JOVUTIL_PACKAGE_FILE_NAME})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)

# ---- API reference: cmake --build <dir> --target docs -------------------------------------
find_package(Doxygen QUIET)
if(DOXYGEN_FOUND)
  set(JOVUTIL_DOCS_DIR ${CMAKE_BINARY_DIR}/docs)
  configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${JOVUTIL_DOCS_DIR}/Doxyfile @ONLY)
  add_custom_target(docs
    COMMAND ${DOXYGEN_EXECUTABLE} ${JOVUTIL_DOCS_DIR}/Doxyfile
    WORKING_DIRECTORY ${JOVUTIL_DOCS_DIR}
    COMMENT "Generating the API reference in ${JOVUTIL_DOCS_DIR}/html (fails on any warning)"
    VERBATIM)
endif()

# ---- Install-and-consume test ------------------------------------------------------------
if(JOVUTIL_BUILD_TESTS)
  find_program(JOVUTIL_PKG_CONFIG pkg-config)
  add_test(NAME packaging
    COMMAND ${CMAKE_COMMAND}
      -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
      -DBUILD_DIR=${CMAKE_BINARY_DIR}
      -DGENERATOR=${CMAKE_GENERATOR}
      -DTOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
      -DCXX_COMPILER=${CMAKE_CXX_COMPILER}
      -DOBJDUMP=${CMAKE_OBJDUMP}
      -DPKG_CONFIG=${JOVUTIL_PKG_CONFIG}
      -DLANE=${JOVUTIL_LANE}
      -DWINE_LANE=${JOVUTIL_WINE_LANE}
      -DWINE_PREFIX=${JOVUTIL_WINE_PREFIX}
      -DVERSION=${PROJECT_VERSION}
      -DVERSION_DOTS=${JOVUTIL_VERSION_DOTS}
      -DBUILD_TYPE=${CMAKE_BUILD_TYPE}
      -DPACKAGE_FILE_NAME=${JOVUTIL_PACKAGE_FILE_NAME}
      "-DRUNTIME_DLL_NAMES=${JOVUTIL_RUNTIME_DLL_NAMES}"
      -P ${PROJECT_SOURCE_DIR}/tests/packaging/install_and_consume.cmake)
  set_tests_properties(packaging PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 1500)
endif()
