# install_and_consume.cmake - installs the built library into a fresh folder, checks the
# installed tree file by file (the trace reader bin/jovtrace.exe among it, with its imported
# target JOVUtil32::jovtrace), builds examples/client against it (CMake package) and links it
# again through the pkg-config file, builds examples/c through the C interface's target
# JOVUtil32::C, runs the clients under the lane's Wine (examples/c on x64), and checks that
# the release archive holds exactly the installed tree plus README.md and LICENSE.
# Run by ctest: cmake -D<variables set in cmake/Packaging.cmake> -P install_and_consume.cmake
cmake_minimum_required(VERSION 3.25)

foreach(var SOURCE_DIR BUILD_DIR GENERATOR TOOLCHAIN_FILE CXX_COMPILER LANE WINE_LANE
            WINE_PREFIX VERSION VERSION_DOTS PACKAGE_FILE_NAME RUNTIME_DLL_NAMES BUILD_TYPE OBJDUMP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "install_and_consume: ${var} not given")
  endif()
endforeach()

set(work ${BUILD_DIR}/packaging-test)
set(prefix ${work}/prefix)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})

# Runs a command; stops the test with its output when it fails. Leaves the output in <out>.
function(run_step what out)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE stdout
                  ERROR_VARIABLE stderr)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${what} failed (${code}):\n${stdout}\n${stderr}")
  endif()
  set(${out} "${stdout}" PARENT_SCOPE)
endfunction()

# Compares two lists of relative file names; any difference fails the test.
function(expect_same_files what expected actual)
  list(SORT expected)
  list(SORT actual)
  set(missing ${expected})
  set(extra ${actual})
  if(actual)
    list(REMOVE_ITEM missing ${actual})
  endif()
  if(expected)
    list(REMOVE_ITEM extra ${expected})
  endif()
  if(missing OR extra)
    list(JOIN missing "\n  " missing)
    list(JOIN extra "\n  " extra)
    message(FATAL_ERROR "${what}: files differ\nmissing:\n  ${missing}\nunexpected:\n  ${extra}")
  endif()
  list(LENGTH actual count)
  message(STATUS "${what}: the expected ${count} files")
endfunction()

# ---- The expected tree: every public header, the DLLs, the import library, the packages.
string(TOLOWER "${BUILD_TYPE}" build_type)
file(GLOB headers RELATIVE ${SOURCE_DIR}/include ${SOURCE_DIR}/include/*.h)
set(expected README.md LICENSE bin/JOVUtil32.dll bin/jovtrace.exe lib/libJOVUtil32.dll.a
    lib/JOVUtil32.lib lib/pkgconfig/jovutil32-c.pc
    lib/pkgconfig/jovutil32.pc
    lib/cmake/JOVUtil32/JOVUtil32Config.cmake
    lib/cmake/JOVUtil32/JOVUtil32ConfigVersion.cmake
    lib/cmake/JOVUtil32/JOVUtil32Targets.cmake
    lib/cmake/JOVUtil32/JOVUtil32Targets-${build_type}.cmake)
separate_arguments(RUNTIME_DLL_NAMES)
foreach(name IN LISTS RUNTIME_DLL_NAMES)
  list(APPEND expected bin/${name})
endforeach()
foreach(header IN LISTS headers)
  list(APPEND expected include/${header})
endforeach()

# ---- Install into a fresh prefix.
run_step("cmake --install" ignored ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
expect_same_files("installed tree" "${expected}" "${installed}")

# ---- Build the example client with find_package against the install.
set(client ${work}/client)
run_step("configuring the example client" ignored ${CMAKE_COMMAND}
  -S ${SOURCE_DIR}/examples/client -B ${client} -G ${GENERATOR}
  -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
  -DJOVUtil32_DIR=${prefix}/lib/cmake/JOVUtil32)
run_step("building the example client" ignored ${CMAKE_COMMAND} --build ${client})
foreach(dll JOVUtil32.dll ${RUNTIME_DLL_NAMES})
  if(NOT EXISTS ${client}/${dll})
    message(FATAL_ERROR "the client's build did not put ${dll} beside the program")
  endif()
endforeach()

# The client must share libgcc's DLL with JOVUtil32.dll, or the DLL's exceptions cannot
# reach it (i686 unwinds with DWARF-2 tables).
run_step("objdump" client_headers ${OBJDUMP} -p ${client}/jovutil_client.exe)
if(NOT client_headers MATCHES "DLL Name: libgcc_s_[a-z0-9]+-1\\.dll")
  message(FATAL_ERROR "the client does not import libgcc's DLL:\n${client_headers}")
endif()

# ---- The trace reader is in the package as an imported executable, JOVUtil32::jovtrace.
set(probe ${work}/probe)
file(MAKE_DIRECTORY ${probe})
file(WRITE ${probe}/CMakeLists.txt [=[
cmake_minimum_required(VERSION 3.16)
project(probe LANGUAGES CXX)
find_package(JOVUtil32 CONFIG REQUIRED)
get_target_property(type JOVUtil32::jovtrace TYPE)
get_target_property(imported JOVUtil32::jovtrace IMPORTED)
if(NOT type STREQUAL "EXECUTABLE" OR NOT imported)
  message(FATAL_ERROR "JOVUtil32::jovtrace is not an imported executable (${type})")
endif()
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/jovtrace-location.txt CONTENT "$<TARGET_FILE:JOVUtil32::jovtrace>")
]=])
run_step("configuring a project that finds JOVUtil32::jovtrace" ignored ${CMAKE_COMMAND}
  -S ${probe} -B ${probe}/build -G ${GENERATOR} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}
  -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DJOVUtil32_DIR=${prefix}/lib/cmake/JOVUtil32)
file(READ ${probe}/build/jovtrace-location.txt jovtrace_location)
if(NOT jovtrace_location STREQUAL "${prefix}/bin/jovtrace.exe")
  message(FATAL_ERROR "JOVUtil32::jovtrace points to ${jovtrace_location}")
endif()
if(LANE STREQUAL "x64")
  # Each 32-bit process start costs a minute; the 64-bit lane runs the installed command.
  execute_process(COMMAND ${WINE_LANE} ${LANE} ${WINE_PREFIX} run ${prefix}/bin/jovtrace.exe --help
                  RESULT_VARIABLE code OUTPUT_VARIABLE help ERROR_VARIABLE errors TIMEOUT 300)
  if(NOT code EQUAL 0 OR NOT help MATCHES "jovtrace summary")
    message(FATAL_ERROR "the installed jovtrace.exe --help failed (${code}):\n${help}\n${errors}")
  endif()
endif()

# ---- The C example through the package's C target (JOVUtil32.lib), by the toolchain's C
# compiler: on x86 the import library must resolve the __stdcall names.
set(c_example ${work}/c_example)
run_step("configuring the C example" ignored ${CMAKE_COMMAND}
  -S ${SOURCE_DIR}/examples/c -B ${c_example} -G ${GENERATOR}
  -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=${BUILD_TYPE}
  -DJOVUtil32_DIR=${prefix}/lib/cmake/JOVUtil32)
run_step("building the C example" ignored ${CMAKE_COMMAND} --build ${c_example})
if(LANE STREQUAL "x64")
  run_step("running the C example" ignored ${WINE_LANE} ${LANE} ${WINE_PREFIX} run
           ${c_example}/trace_example.exe)
endif()

# ---- Link it again with only the pkg-config file's flags.
if(NOT PKG_CONFIG)
  find_program(PKG_CONFIG pkg-config)
endif()
if(NOT PKG_CONFIG)
  message(FATAL_ERROR "pkg-config not found on the build machine (scripts/setup installs pkgconf)")
endif()
run_step("pkg-config" pc_flags ${CMAKE_COMMAND} -E env PKG_CONFIG_LIBDIR=${prefix}/lib/pkgconfig
  ${PKG_CONFIG} --cflags --libs jovutil32)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
list(FILTER pc_flags INCLUDE REGEX "^-I.*/include$|^-L.*/lib$|^-lJOVUtil32$|^-shared-libgcc$")
list(LENGTH pc_flags pc_count)
if(NOT pc_count EQUAL 4)
  message(FATAL_ERROR "pkg-config flags lack -I, -L, -lJOVUtil32 or -shared-libgcc: ${pc_flags}")
endif()
run_step("linking the client with pkg-config's flags" ignored ${CXX_COMPILER} -std=c++17
  -DUNICODE -D_UNICODE ${SOURCE_DIR}/examples/client/main.cpp ${pc_flags} -lversion
  -o ${work}/client_pkgconfig.exe)

# ---- Run the CMake-built client under Wine and check what it reports.
execute_process(COMMAND ${WINE_LANE} ${LANE} ${WINE_PREFIX} run ${client}/jovutil_client.exe
                WORKING_DIRECTORY ${client} RESULT_VARIABLE code OUTPUT_VARIABLE output
                ERROR_VARIABLE errors TIMEOUT 900)
message(STATUS "client output:\n${output}")
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the client exited with ${code}:\n${output}\n${errors}")
endif()
string(REPLACE "." "\\." version_regex "${VERSION_DOTS}")
foreach(line
    "JOVUtil32\\.dll version ${version_regex}, original name JOVUtil32\\.dll\n"
    "NT family: 1,"
    "CRC-32 of \"123456789\": cbf43926\n"
    "damaged guard frame: caught long 9\n"
    "repaired block freed: 0, 0 bytes held\n"
    "client: all checks passed\n")
  if(NOT output MATCHES "${line}")
    message(FATAL_ERROR "the client's output lacks \"${line}\":\n${output}")
  endif()
endforeach()

# ---- The release archive holds the installed tree under one top-level folder.
run_step("cpack" ignored ${CMAKE_COMMAND} -E chdir ${BUILD_DIR}
  ${CMAKE_CPACK_COMMAND} -G ZIP --config ${BUILD_DIR}/CPackConfig.cmake -B ${work}/package)
set(archive ${work}/package/${PACKAGE_FILE_NAME}.zip)
if(NOT EXISTS ${archive})
  message(FATAL_ERROR "cpack did not make ${PACKAGE_FILE_NAME}.zip")
endif()
run_step("listing the archive" listing ${CMAKE_COMMAND} -E tar tf ${archive})
string(REPLACE "\n" ";" entries "${listing}")
list(FILTER entries EXCLUDE REGEX "/$|^$")
set(expected_entries)
foreach(file IN LISTS expected)
  list(APPEND expected_entries ${PACKAGE_FILE_NAME}/${file})
endforeach()
expect_same_files("${PACKAGE_FILE_NAME}.zip" "${expected_entries}" "${entries}")
