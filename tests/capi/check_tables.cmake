# check_tables.cmake - reads the PE tables that make the C interface usable from other
# toolchains: every C function exported by JOVUtil32.dll under its undecorated name (no
# name@bytes variant) beside the C++ exports, and a client built by clang for the MSVC target
# importing no MinGW runtime DLL.
# cmake -DOBJDUMP= -DDLL= -DCLIENT= -DEXPORTS= -P check_tables.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dll_headers RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "objdump -p ${DLL} failed")
endif()
# The export names: "[ordinal] name" lines of the name pointer table.
string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" rows "${dll_headers}")
set(exported)
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^\n\t\\[ *[0-9]+\\] " "" name "${row}")
  list(APPEND exported "${name}")
endforeach()

file(STRINGS ${EXPORTS} lines REGEX "^jovc_")
foreach(line IN LISTS lines)
  string(REGEX REPLACE " .*" "" name "${line}")
  if(NOT name IN_LIST exported)
    message(FATAL_ERROR "${name} is not exported undecorated")
  endif()
endforeach()
set(decorated ${exported})
list(FILTER decorated INCLUDE REGEX "@")
set(cxx ${exported})
list(FILTER cxx INCLUDE REGEX "^_Z")
list(LENGTH lines c_count)
list(LENGTH cxx cxx_count)
if(decorated)
  message(FATAL_ERROR "decorated exports: ${decorated}")
endif()
# The C++ interface keeps its 238 mangled exports.
if(cxx_count LESS 238)
  message(FATAL_ERROR "only ${cxx_count} mangled C++ exports")
endif()

execute_process(COMMAND ${OBJDUMP} -p ${CLIENT} OUTPUT_VARIABLE client_headers RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "objdump -p ${CLIENT} failed")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${client_headers}")
string(TOLOWER "${imports}" imports)
if(NOT imports STREQUAL "dll name: jovutil32.dll;dll name: kernel32.dll" AND
   NOT imports STREQUAL "dll name: kernel32.dll;dll name: jovutil32.dll")
  message(FATAL_ERROR "the client imports ${imports}")
endif()
message(STATUS "${c_count} C exports undecorated, ${cxx_count} C++ exports; the client imports ${imports}")
