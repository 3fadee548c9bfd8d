# Runs one scenario through `tessavinorctl simulate` and compares the
# transcript with the expected one. On a difference it prints the first
# differing line. With -DUPDATE=1 it rewrites the expected file instead.
execute_process(
  COMMAND ${CTL} simulate ${SCENARIO}
  OUTPUT_VARIABLE actual
  ERROR_VARIABLE errors
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "tessavinorctl simulate ${SCENARIO} exited with ${status}:\n${errors}")
endif()
if(UPDATE)
  file(WRITE ${EXPECTED} "${actual}")
  return()
endif()
if(NOT EXISTS ${EXPECTED})
  message(FATAL_ERROR "no expected transcript ${EXPECTED}; the transcript was:\n${actual}")
endif()
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
  string(REPLACE "\n" ";" actual_lines "${actual}")
  string(REPLACE "\n" ";" expected_lines "${expected}")
  list(LENGTH actual_lines na)
  list(LENGTH expected_lines ne)
  set(i 0)
  while(i LESS na AND i LESS ne)
    list(GET actual_lines ${i} a)
    list(GET expected_lines ${i} e)
    if(NOT a STREQUAL e)
      math(EXPR line "${i} + 1")
      message(FATAL_ERROR "transcript differs at line ${line}:\n  expected: ${e}\n  actual:   ${a}")
    endif()
    math(EXPR i "${i} + 1")
  endwhile()
  message(FATAL_ERROR "transcript differs in length: expected ${ne} lines, got ${na}")
endif()
