# install_and_consume.cmake - installs the built library into a fresh folder and checks the
# tree file by file, builds examples/client (CMake package, then pkg-config's flags) and
# examples/c (JOVUtil32::C) against it, runs them under the lane's Wine (examples/c and the
# installed jovtrace.exe on x64), and checks that the release archive holds the same tree.
# Run by ctest: cmake -D<variables set in cmake/Packaging.cmake> -P install_and_consume.cmake
cmake_minimum_required(VERSION 3.25)
set(work ${BUILD_DIR}/packaging-test)
set(prefix ${work}/prefix)
file(REMOVE_RECURSE ${work})
set(configure ${CMAKE_COMMAND} -G ${GENERATOR} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=${BUILD_TYPE} -DJOVUtil32_DIR=${prefix}/lib/cmake/JOVUtil32)
set(wine ${WINE_LANE} ${LANE} ${WINE_PREFIX} run)

# Runs a command; stops the test with its output when it fails. Leaves the output in <out>.
function(run_step what out)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE stdout
                  ERROR_VARIABLE stderr TIMEOUT 900)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${what} failed (${code}):\n${stdout}\n${stderr}")
  endif()
  set(${out} "${stdout}" PARENT_SCOPE)
endfunction()

# Two lists of relative file names must be the same set.
function(expect_same_files what expected actual)
  list(SORT expected)
  list(SORT actual)
  if(NOT expected STREQUAL actual)
    message(FATAL_ERROR "${what}: files differ\nexpected: ${expected}\nfound:    ${actual}")
  endif()
endfunction()

# ---- The expected tree: every public header, the DLLs, the import libraries, the packages.
string(TOLOWER "${BUILD_TYPE}" build_type)
file(GLOB headers RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/include/*.h)
separate_arguments(RUNTIME_DLL_NAMES)
list(TRANSFORM RUNTIME_DLL_NAMES PREPEND bin/ OUTPUT_VARIABLE runtime_dlls)
set(expected README.md LICENSE bin/JOVUtil32.dll bin/jovtrace.exe lib/libJOVUtil32.dll.a
    lib/JOVUtil32.lib lib/pkgconfig/jovutil32-c.pc lib/pkgconfig/jovutil32.pc
    lib/cmake/JOVUtil32/JOVUtil32Config.cmake lib/cmake/JOVUtil32/JOVUtil32ConfigVersion.cmake
    lib/cmake/JOVUtil32/JOVUtil32Targets.cmake
    lib/cmake/JOVUtil32/JOVUtil32Targets-${build_type}.cmake ${runtime_dlls} ${headers})
run_step("cmake --install" ignored ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
expect_same_files("installed tree" "${expected}" "${installed}")

# ---- The example client through find_package. It must share libgcc's DLL with JOVUtil32.dll,
# or the DLL's exceptions cannot reach it (i686 unwinds with DWARF-2 tables).
set(client ${work}/client)
run_step("configuring the example client" ignored ${configure}
         -S ${SOURCE_DIR}/examples/client -B ${client})
run_step("building the example client" ignored ${CMAKE_COMMAND} --build ${client})
run_step("objdump" client_headers ${OBJDUMP} -p ${client}/jovutil_client.exe)
if(NOT client_headers MATCHES "DLL Name: libgcc_s_[a-z0-9]+-1\\.dll")
  message(FATAL_ERROR "the client does not import libgcc's DLL:\n${client_headers}")
endif()

# ---- The trace reader is in the package as the imported executable JOVUtil32::jovtrace.
file(READ ${prefix}/lib/cmake/JOVUtil32/JOVUtil32Targets-${build_type}.cmake targets)
if(NOT targets MATCHES "JOVUtil32::jovtrace[^\n]*\n[^)]*IMPORTED_LOCATION[^\"]*\"[^\"]*/bin/jovtrace\\.exe\"")
  message(FATAL_ERROR "JOVUtil32::jovtrace is not imported from bin/jovtrace.exe:\n${targets}")
endif()

# ---- The C example through the package's C target (JOVUtil32.lib), by the toolchain's C
# compiler: on x86 the import library must resolve the __stdcall names. Each 32-bit process
# start costs a minute, so only the 64-bit lane runs it and the installed jovtrace.exe.
set(c_example ${work}/c_example)
run_step("configuring the C example" ignored ${configure} -S ${SOURCE_DIR}/examples/c -B ${c_example})
run_step("building the C example" ignored ${CMAKE_COMMAND} --build ${c_example})
if(LANE STREQUAL "x64")
  run_step("running the C example" ignored ${wine} ${c_example}/trace_example.exe)
  run_step("the installed jovtrace.exe --help" help ${wine} ${prefix}/bin/jovtrace.exe --help)
  if(NOT help MATCHES "jovtrace summary")
    message(FATAL_ERROR "the installed jovtrace.exe --help says:\n${help}")
  endif()
endif()

# ---- Link the client again with only the pkg-config file's flags.
find_program(PKG_CONFIG pkg-config REQUIRED)
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

# ---- Run the CMake-built client (its DLLs beside it) and check what it reports.
run_step("the example client" output ${CMAKE_COMMAND} -E chdir ${client} ${wine}
         ${client}/jovutil_client.exe)
string(REPLACE "." "\\." version_regex "${VERSION_DOTS}")
foreach(line "JOVUtil32\\.dll version ${version_regex}, original name JOVUtil32\\.dll\n"
    "NT family: 1," "CRC-32 of \"123456789\": cbf43926\n" "damaged guard frame: caught long 9\n"
    "repaired block freed: 0, 0 bytes held\n" "client: all checks passed\n")
  if(NOT output MATCHES "${line}")
    message(FATAL_ERROR "the client's output lacks \"${line}\":\n${output}")
  endif()
endforeach()

# ---- The release archive holds the installed tree under one top-level folder.
run_step("cpack" ignored ${CMAKE_COMMAND} -E chdir ${BUILD_DIR}
  ${CMAKE_CPACK_COMMAND} -G ZIP --config ${BUILD_DIR}/CPackConfig.cmake -B ${work}/package)
run_step("listing the archive" listing ${CMAKE_COMMAND} -E tar tf
         ${work}/package/${PACKAGE_FILE_NAME}.zip)
string(REPLACE "\n" ";" entries "${listing}")
list(FILTER entries EXCLUDE REGEX "/$|^$")
list(TRANSFORM expected PREPEND ${PACKAGE_FILE_NAME}/)
expect_same_files("${PACKAGE_FILE_NAME}.zip" "${expected}" "${entries}")
