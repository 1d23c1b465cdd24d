# Runs one example as a test: loads the sample database into a fresh data folder with msqladmin and
# the msql monitor, runs the example there, and checks that every line of its expected-output file
# appears in the output, in that order (lines compared without trailing blanks). The folder is
# removed afterwards, also when the check fails.
#   cmake -DPROGRAM=<example> -DEXPECTED=<file> -DSAMPLE=<sql script> -DMSQLADMIN=<msqladmin>
#         -DMONITOR=<msql> -DWORK=<scratch folder> -P RunExample.cmake
foreach(var PROGRAM EXPECTED SAMPLE MSQLADMIN MONITOR WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "RunExample.cmake: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/data)
set(ENV{MSQL_DATA_DIR} ${WORK}/data)

function(fail text)
  file(REMOVE_RECURSE ${WORK})
  message(FATAL_ERROR "${text}")
endfunction()

execute_process(COMMAND ${MSQLADMIN} create shop RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  fail("msqladmin create shop failed (${rc}):\n${out}")
endif()
execute_process(COMMAND ${MONITOR} shop INPUT_FILE ${SAMPLE} RESULT_VARIABLE rc OUTPUT_VARIABLE out
  ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  fail("loading ${SAMPLE} failed (${rc}):\n${out}")
endif()

execute_process(COMMAND ${PROGRAM} WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_VARIABLE output
  ERROR_VARIABLE errors)
message("${output}")
if(NOT rc EQUAL 0)
  fail("${PROGRAM} exited with ${rc}:\n${errors}")
endif()
if(NOT errors STREQUAL "")
  fail("${PROGRAM} wrote to stderr:\n${errors}")
endif()

# Output lines without trailing blanks. A list cannot hold ';' or '[': mask them on both sides.
function(masked_lines text result)
  string(REPLACE ";" "<semicolon>" text "${text}")
  string(REPLACE "[" "<bracket>" text "${text}")
  string(REGEX REPLACE "[ \t\r]+\n" "\n" text "${text}")
  string(REGEX REPLACE "[ \t\r]+$" "" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(${result} "${lines}" PARENT_SCOPE)
endfunction()

masked_lines("${output}" got)
file(READ ${EXPECTED} expected_text)
masked_lines("${expected_text}" want)
list(LENGTH got count)
set(position 0)
foreach(line IN LISTS want)
  if(line STREQUAL "")
    continue()
  endif()
  set(found -1)
  while(position LESS count)
    list(GET got ${position} candidate)
    math(EXPR position "${position} + 1")
    if(candidate STREQUAL line)
      set(found ${position})
      break()
    endif()
  endwhile()
  if(found EQUAL -1)
    string(REPLACE "<semicolon>" ";" line "${line}")
    string(REPLACE "<bracket>" "[" line "${line}")
    fail("expected line not found (in order) in the output of ${PROGRAM}:\n  ${line}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
