# The demo's report (tools/demo) held to what it gave on the data of one
# real --cancel run (run/, made by scripts/refresh-demo-golden.sh): the report and the live
# lines of its transcript; the report with after-pictures as a faulty
# uninstall would leave them (faults/: a neighbour's file and value
# removed, a product file kept, a new file), each marked NOT EXPECTED; and
# the live lines of transcript lines the format allows and does not.
#   cmake -DREPORT=<demo_report> -DOUT=<scratch directory> -P golden.cmake
set(here ${CMAKE_CURRENT_LIST_DIR})

function(expect expected input)
  execute_process(COMMAND ${REPORT} ${ARGN} INPUT_FILE ${input} OUTPUT_FILE ${OUT}/${expected}
                  RESULT_VARIABLE failed)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${here}/${expected} ${OUT}/${expected}
                  RESULT_VARIABLE differs)
  if(failed OR differs)
    execute_process(COMMAND diff -u ${here}/${expected} ${OUT}/${expected})
    list(JOIN ARGN " " arguments)
    message(SEND_ERROR "demo_report ${arguments} (exit status ${failed}) differs from tests/demo/${expected}")
  endif()
endfunction()

file(REMOVE_RECURSE ${OUT})
# file(COPY) would pass over a faulty picture as old as the run's.
file(COPY ${here}/run/ DESTINATION ${OUT}/faults)
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_directory ${here}/faults ${OUT}/faults)
expect(expected-report.txt /dev/null --report ${here}/run)
expect(expected-live.txt ${here}/run/transcript.txt --live)
expect(expected-faults-report.txt /dev/null --report ${OUT}/faults)
expect(expected-reader-live.txt ${here}/reader-cases.txt --live)
