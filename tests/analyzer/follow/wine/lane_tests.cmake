# `jovtrace follow` on the 64-bit lane (follow_wine_test.py): jovtrace.exe under Wine in
# tmux, following the live trace that jovtrace_workload writes through the DLL. The 32-bit
# lane runs no live cases: each of its process starts costs about a minute.
if(JOVUTIL_LANE STREQUAL "x64")
  add_test(NAME analyzer_follow_wine
    COMMAND ${JOVTRACE_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/follow_wine_test.py ${JOVUTIL_WINE_LANE}
      ${JOVUTIL_WINE_PREFIX} $<TARGET_FILE:jovtrace> $<TARGET_FILE:jovtrace_workload>
      ${CMAKE_CURRENT_BINARY_DIR}/follow_wine)
  set_tests_properties(analyzer_follow_wine PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600)
endif()
