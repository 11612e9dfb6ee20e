# run_fuzz.cmake - a bounded fuzz run of the reader: the seeds copied into a work corpus,
# then libFuzzer for SECONDS seconds with a memory limit; any finding fails the test.
# cmake -DFUZZER=... -DSEEDS=... -DWORK=... -DSECONDS=... -P run_fuzz.cmake
file(MAKE_DIRECTORY ${WORK})
file(GLOB seeds ${SEEDS}/*)
file(COPY ${seeds} DESTINATION ${WORK})
execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -rss_limit_mb=512 -timeout=10 -max_len=65536
          -seed=1 -print_final_stats=1 ${WORK}
  RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the fuzzer found a fault (exit code ${code}); see the crash file above")
endif()
