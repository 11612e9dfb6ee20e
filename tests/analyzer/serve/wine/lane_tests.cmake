# `jovtrace serve` on the 64-bit lane (serve_wine_test.py): jovtrace.exe under Wine scraped by
# the real Prometheus while the DLL writes, and run by Wine's service manager. The 32-bit lane
# runs no live cases: each of its process starts costs about a minute.
if(JOVUTIL_LANE STREQUAL "x64")
  add_test(NAME analyzer_serve_wine
    COMMAND ${JOVTRACE_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/serve_wine_test.py ${JOVUTIL_WINE_LANE}
      ${JOVUTIL_WINE_PREFIX} $<TARGET_FILE:jovtrace> $<TARGET_FILE:jovtrace_workload>
      ${PROJECT_SOURCE_DIR}/contrib/prometheus ${CMAKE_CURRENT_BINARY_DIR}/serve_wine)
  set_tests_properties(analyzer_serve_wine PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600)
endif()
