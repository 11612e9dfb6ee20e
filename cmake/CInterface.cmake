# The C interface's link side (include/JOVUtilC.h, capi/): the DLL's module-definition file,
# which exports every C function undecorated on x86 (name = name@bytes) beside the C++
# exports, and the import library JOVUtil32.lib of the C names for MSVC-style linkers
# (lld-link, link.exe) that GNU ld reads too. Both come from capi/JOVUtilC.exports.
file(STRINGS ${PROJECT_SOURCE_DIR}/capi/JOVUtilC.exports JOVUTIL_C_EXPORT_LINES REGEX "^jovc_")
set(JOVUTIL_C_NAMES)
set(dll_def "LIBRARY JOVUtil32.dll\nEXPORTS\n")
set(import_def "LIBRARY JOVUtil32.dll\nEXPORTS\n")
foreach(line IN LISTS JOVUTIL_C_EXPORT_LINES)
  string(REGEX MATCH "^([a-z0-9_]+) +([0-9]+)$" matched "${line}")
  if(NOT matched)
    message(FATAL_ERROR "capi/JOVUtilC.exports: cannot read \"${line}\"")
  endif()
  list(APPEND JOVUTIL_C_NAMES ${CMAKE_MATCH_1})
  if(JOVUTIL_LANE STREQUAL "x86")
    string(APPEND dll_def "  ${CMAKE_MATCH_1} = ${CMAKE_MATCH_1}@${CMAKE_MATCH_2}\n")
    string(APPEND import_def "  ${CMAKE_MATCH_1}@${CMAKE_MATCH_2}\n")
  else()
    string(APPEND dll_def "  ${CMAKE_MATCH_1}\n")
    string(APPEND import_def "  ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
set(JOVUTIL_C_DEF ${CMAKE_BINARY_DIR}/generated/JOVUtil32.def)
set(JOVUTIL_C_IMPORT_DEF ${CMAKE_BINARY_DIR}/generated/JOVUtil32C-import.def)
file(CONFIGURE OUTPUT ${JOVUTIL_C_DEF} CONTENT "${dll_def}")
file(CONFIGURE OUTPUT ${JOVUTIL_C_IMPORT_DEF} CONTENT "${import_def}")
target_sources(JOVUtil32 PRIVATE ${JOVUTIL_C_DEF})

# The .lib: llvm-dlltool (Debian's LLVM). -k keeps the x86 import names undecorated while the
# callers' symbols stay _name@bytes.
find_program(JOVUTIL_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
set(JOVUTIL_C_IMPLIB ${CMAKE_BINARY_DIR}/lib/JOVUtil32.lib)
if(JOVUTIL_LANE STREQUAL "x86")
  set(dlltool_args -m i386 -k)
else()
  set(dlltool_args -m i386:x86-64)
endif()
add_custom_command(TARGET JOVUtil32 POST_BUILD
  COMMAND ${JOVUTIL_DLLTOOL} ${dlltool_args} -d ${JOVUTIL_C_IMPORT_DEF} -l ${JOVUTIL_C_IMPLIB}
  BYPRODUCTS ${JOVUTIL_C_IMPLIB}
  COMMENT "Import library of the C interface: lib/JOVUtil32.lib"
  VERBATIM)

# In-tree clients of the C interface built by the project's g++ (the benchmark) link the .lib
# too: on x86 only it resolves their name@bytes references.
add_library(JOVUtil32C INTERFACE)
target_include_directories(JOVUtil32C INTERFACE ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(JOVUtil32C INTERFACE ${JOVUTIL_C_IMPLIB})
add_dependencies(JOVUtil32C JOVUtil32)
