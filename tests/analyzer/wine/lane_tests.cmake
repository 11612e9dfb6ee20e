# The Wine lanes' test of jovtrace: a workload writes real trace files through the DLL, and
# the reader's core (compiled into the same test executable, so the 32-bit lane needs one
# process start) reads them back.
add_executable(analyzer_tests wine/workload.cpp wine/end_to_end_test.cpp)
target_include_directories(analyzer_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/wine)
target_link_libraries(analyzer_tests PRIVATE jovtest_support jovtrace_core)
jovtest_add_wine_gtest(analyzer analyzer_tests)

# The workloads as a program of their own, for the Python tests of the 64-bit lane (each
# starts several processes; the 32-bit lane's cost a minute each): the Wine test of
# `jovtrace follow`, and the report and the comparison of two runs the DLL traced, read by
# jovtrace.exe, the report opened in chromium.
if(JOVUTIL_LANE STREQUAL "x64")
  add_executable(jovtrace_workload wine/workload_main.cpp wine/workload.cpp)
  target_link_libraries(jovtrace_workload PRIVATE JOVUtil32)
  add_test(NAME analyzer_dll_runs
    COMMAND ${JOVTRACE_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/wine/dll_runs_test.py
      ${JOVUTIL_WINE_LANE} ${JOVUTIL_WINE_PREFIX} $<TARGET_FILE:jovtrace>
      $<TARGET_FILE:jovtrace_workload> ${CMAKE_CURRENT_BINARY_DIR}/dll_runs)
  set_tests_properties(analyzer_dll_runs PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600)
endif()
