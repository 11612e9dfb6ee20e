# The Wine lanes' test of jovtrace: a workload writes real trace files through the DLL, and
# the reader's core (compiled into the same test executable, so the 32-bit lane needs one
# process start) reads them back.
add_executable(analyzer_tests wine/workload.cpp wine/end_to_end_test.cpp)
target_include_directories(analyzer_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/wine)
target_link_libraries(analyzer_tests PRIVATE jovtest_support jovtrace_core)
jovtest_add_wine_gtest(analyzer analyzer_tests)

# The live workload as a program of its own, for the Wine test of `jovtrace follow`.
if(JOVUTIL_LANE STREQUAL "x64")
  add_executable(jovtrace_workload wine/workload_main.cpp wine/workload.cpp)
  target_link_libraries(jovtrace_workload PRIVATE JOVUtil32)
endif()
