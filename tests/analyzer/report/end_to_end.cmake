# The report's end-to-end test, in the 64-bit lane only (each process start of the 32-bit lane
# is emulated and costs a minute; the test starts about ten): the demo and the reader's
# workload (jovtrace_workload) write real traces through the DLL, bin/jovtrace.exe reads them into reports and
# into its summary and tree, and chromium shows the reports with the very same figures.
if(NOT JOVUTIL_LANE STREQUAL "x64")
  return()
endif()
add_test(NAME report_end_to_end
  COMMAND ${JOVTRACE_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/end_to_end_test.py
    ${JOVUTIL_WINE_LANE} ${JOVUTIL_LANE} ${JOVUTIL_WINE_PREFIX} $<TARGET_FILE:jovutil_demo>
    $<TARGET_FILE:jovtrace_workload> $<TARGET_FILE:jovtrace>
    ${CMAKE_CURRENT_BINARY_DIR}/end_to_end)
set_tests_properties(report_end_to_end PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 900)
