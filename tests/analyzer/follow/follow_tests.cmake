# `jovtrace follow` driven in tmux and through a pipe while jovtrace_livegen writes
# (follow_test.py); its scratch files and the screen it captured land in the build folder.
add_test(NAME analyzer_follow
  COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/follow_test.py $<TARGET_FILE:jovtrace>
    $<TARGET_FILE:jovtrace_livegen> ${CMAKE_CURRENT_BINARY_DIR}/follow)
set_tests_properties(analyzer_follow PROPERTIES TIMEOUT 300)
