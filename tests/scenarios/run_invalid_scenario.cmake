# An invalid scenario must be refused with exit status 2 and a message that
# names what is wrong (EXPECT_MESSAGE is a substring of standard error).
# DESKTOP, when set, is passed as --desktop.
set(desktop_args "")
if(DEFINED DESKTOP)
  set(desktop_args --desktop ${DESKTOP})
endif()
execute_process(
  COMMAND ${CTL} simulate ${desktop_args} ${SCENARIO}
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  RESULT_VARIABLE status)
if(NOT status EQUAL 2)
  message(FATAL_ERROR "expected exit status 2, got ${status}; stderr: ${err}")
endif()
string(FIND "${err}" "${EXPECT_MESSAGE}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "stderr does not say \"${EXPECT_MESSAGE}\": ${err}")
endif()
