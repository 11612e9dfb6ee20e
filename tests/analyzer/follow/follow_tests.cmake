# `jovtrace follow` driven in tmux and through a pipe while jovtrace_livegen writes
# (follow_test.py); its scratch files and the screen it captured land in the build folder.
add_test(NAME analyzer_follow
  COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/follow_test.py $<TARGET_FILE:jovtrace>
    $<TARGET_FILE:jovtrace_livegen> ${CMAKE_CURRENT_BINARY_DIR}/follow)
set_tests_properties(analyzer_follow PROPERTIES TIMEOUT 300)

# The live model's window and the screen's order, in the sanitised build of the core.
add_executable(follow_tests ${CMAKE_CURRENT_LIST_DIR}/live_view_test.cpp
               ${PROJECT_SOURCE_DIR}/analyzer/follow/live_model.cpp
               ${PROJECT_SOURCE_DIR}/analyzer/follow/screen_view.cpp)
target_link_libraries(follow_tests PRIVATE jovtrace_core_checked gtest_main)
add_test(NAME analyzer_follow_unit COMMAND follow_tests)
