# run_clients.cmake - runs the C-interface client under the lane's Wine (with Wine's event-log
# channel on, so its events show), then jovtrace over the traces it wrote, and checks the
# calls, return codes and texts that come back. On x64 it also runs the README's example and
# the g++ build of the wrapper client.
# cmake -DLANE= -DWINE_LANE= -DWINE_PREFIX= -DBIN_DIR= -DWORK_DIR= -DREADER=
#       -DWRAPPER_GXX= -P run_clients.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
# Wine maps the Unix root to drive Z:.
string(REPLACE "/" "\\" windows_dir "Z:${WORK_DIR}")

function(run_windows what lane out err)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEDEBUG=+eventlog
                          ${WINE_LANE} ${lane} ${WINE_PREFIX} run ${ARGN}
                  RESULT_VARIABLE code OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr TIMEOUT 900)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${what} failed (${code}):\n${stdout}\n${stderr}")
  endif()
  set(${out} "${stdout}" PARENT_SCOPE)
  set(${err} "${stderr}" PARENT_SCOPE)
endfunction()

run_windows("the C-interface client" ${LANE} output events ${BIN_DIR}/capi_client.exe ${windows_dir})
if(NOT output MATCHES "capi client: 0 failed checks")
  message(FATAL_ERROR "the client's checks:\n${output}")
endif()
# The message record's insertions and the plain event, as the system was given them: each
# under its source (the record's own, the default one), with its event type and text.
foreach(event [[RegisterEventSourceW \(\(null\),L"JOVCClient"\).*warn:eventlog:ReportEventW L"paper is low \(0xff\)"]]
              [[RegisterEventSourceW \(\(null\),L"JOVMsg"\).*err:eventlog:ReportEventW L"plain event from the C client"]])
  if(NOT events MATCHES "${event}")
    message(FATAL_ERROR "no event-log entry matching ${event}:\n${events}")
  endif()
endforeach()

# ---- The traces, read back.
if(READER MATCHES "\\.exe$")
  run_windows("jovtrace" ${LANE} json ignored ${READER} chrome ${windows_dir})
else()
  execute_process(COMMAND ${READER} chrome ${WORK_DIR} RESULT_VARIABLE code
                  OUTPUT_VARIABLE json ERROR_VARIABLE errors)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "jovtrace failed (${code}): ${errors}")
  endif()
endif()
file(WRITE ${WORK_DIR}/traces.json "${json}")

# Each pattern must occur in jovtrace's Trace Event output: a call's name with its return
# code or detail, or a text. The trace file holds the ANSI code page: Latin letters come back,
# the others as "?".
set(expected
  [["name":"Client.Main"[^}]*"return_code":0,"detail":"Request=7"]]
  [["name":"Client.Inner"[^}]*"return_code":5,"detail":"detail text"]]
  [["text":"UTF-16 line: Grüße \?\?\?"]]
  [["text":"UTF-8 line: Grüße \?\?\?\?\?\? \?"]]
  [["text":"check bytes","lines":"[0-9A-F]+  31323334 35363738 39]]
  [["name":"Ring.Work"[^}]*"return_code":9]]
  [["text":"dumped by the C client"]]
  [["name":"Wrapper.Scope"[^}]*"detail":"from C\+\+"]]
  [["name":"Wrapper.Inner"[^}]*"return_code":3]]
  [["text":"wrapper line été \?"]]
  [["text":"after the move"]])
if(LANE STREQUAL "x64")
  list(APPEND expected [["name":"Worker.Step"[^}]*"return_code":11]])
endif()
foreach(pattern IN LISTS expected)
  if(NOT json MATCHES "${pattern}")
    message(FATAL_ERROR "jovtrace's output has nothing matching ${pattern}; see ${WORK_DIR}/traces.json")
  endif()
endforeach()
# The worker's calls on a thread of their own.
if(LANE STREQUAL "x64")
  string(REGEX MATCH [["name":"Client.Main"[^}]*"tid":([0-9]+)]] ignored "${json}")
  set(main_tid ${CMAKE_MATCH_1})
  string(REGEX MATCH [["name":"Worker.Run"[^}]*"tid":([0-9]+)]] ignored "${json}")
  if(NOT CMAKE_MATCH_1 OR main_tid STREQUAL CMAKE_MATCH_1)
    message(FATAL_ERROR "Worker.Run is not on a thread of its own (${main_tid}, ${CMAKE_MATCH_1})")
  endif()
endif()

if(LANE STREQUAL "x64")
  run_windows("the README's C example" ${LANE} ignored ignored ${BIN_DIR}/capi_example.exe)
  file(GLOB example_traces ${BIN_DIR}/*capi_example.JOV_Log)
  if(NOT example_traces)
    message(FATAL_ERROR "the example wrote no trace beside itself")
  endif()
  file(REMOVE ${example_traces})
  run_windows("the g++ wrapper client" ${LANE} output ignored ${WRAPPER_GXX} ${windows_dir})
  if(NOT output MATCHES "0 failed checks")
    message(FATAL_ERROR "the g++ wrapper client's checks:\n${output}")
  endif()
endif()
message(STATUS "the C-interface clients passed; traces read back as expected")
