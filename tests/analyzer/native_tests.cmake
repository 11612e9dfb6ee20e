# Native tests of jovtrace: unit tests of the core, its outputs, the comparison and the live
# view (sanitised), the command's exit codes and outputs, and a bounded libFuzzer run of the
# reader under the same sanitizers.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)

set(jovtrace_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)

# GoogleTest and the core built with the sanitizers, so that their errors stop the tests.
add_compile_options(${jovtrace_sanitizers})
add_link_options(-fsanitize=address,undefined)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
jovtrace_add_core(jovtrace_core_checked)
jovtrace_add_report(jovtrace_report_checked jovtrace_core_checked)
jovtrace_add_diff(jovtrace_diff_checked jovtrace_core_checked)

add_library(jovtrace_test_support STATIC support/reader_harness.cpp)
target_include_directories(jovtrace_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(jovtrace_test_support PUBLIC jovtrace_core_checked jovtrace_generator)

file(GLOB analyzer_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/report/*_test.cpp ${CMAKE_CURRENT_SOURCE_DIR}/diff/*.cpp)
add_executable(analyzer_tests ${analyzer_test_sources} follow/live_view_test.cpp
               ${PROJECT_SOURCE_DIR}/analyzer/follow/live_model.cpp
               ${PROJECT_SOURCE_DIR}/analyzer/follow/screen_view.cpp)
target_link_libraries(analyzer_tests PRIVATE jovtrace_diff_checked jovtrace_report_checked
                      jovtrace_test_support gtest_main)
add_test(NAME analyzer_unit COMMAND analyzer_tests)
set_tests_properties(analyzer_unit PROPERTIES TIMEOUT 300
  ENVIRONMENT "JOVTRACE_EXE=$<TARGET_FILE:jovtrace>")

# The fuzz target: hand-made traces as the seed corpus, copied into the build folder
# (libFuzzer adds what it finds to its first corpus folder).
# The core it reads through is built once more with the fuzzer's coverage counters.
jovtrace_add_core(jovtrace_core_fuzz)
target_compile_options(jovtrace_core_fuzz PRIVATE -fsanitize=fuzzer-no-link)
add_executable(analyzer_fuzz fuzz/reader_fuzz.cpp support/reader_harness.cpp)
target_include_directories(analyzer_fuzz PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(analyzer_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(analyzer_fuzz PRIVATE -fsanitize=fuzzer)
target_link_libraries(analyzer_fuzz PRIVATE jovtrace_core_fuzz jovtrace_generator)
set(JOVTRACE_FUZZ_SECONDS 30 CACHE STRING "seconds of the fuzz run in the test suite")
add_test(NAME analyzer_fuzz
  COMMAND ${CMAKE_COMMAND} -DFUZZER=$<TARGET_FILE:analyzer_fuzz>
    -DSEEDS=${CMAKE_CURRENT_SOURCE_DIR}/fuzz/seeds -DWORK=${CMAKE_CURRENT_BINARY_DIR}/fuzz_corpus
    -DSECONDS=${JOVTRACE_FUZZ_SECONDS} -P ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/run_fuzz.cmake)
set_tests_properties(analyzer_fuzz PROPERTIES TIMEOUT 600)

# `jovtrace follow` driven in tmux and through a pipe while jovtrace_livegen writes
# (follow/follow_test.py); its scratch files and the screen it captured land in the build folder.
add_test(NAME analyzer_follow
  COMMAND ${JOVTRACE_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/follow/follow_test.py
    $<TARGET_FILE:jovtrace> $<TARGET_FILE:jovtrace_livegen> ${CMAKE_CURRENT_BINARY_DIR}/follow)
set_tests_properties(analyzer_follow PROPERTIES TIMEOUT 300)
