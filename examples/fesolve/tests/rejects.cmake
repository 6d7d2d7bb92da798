# Runs the program on bad input: it must fail with one "fesolve:" line on
# standard error and leave no output file.
file(REMOVE ${VTU})
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGS} --vtu ${VTU}
  RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_QUIET)
if(rc EQUAL 0)
  message(FATAL_ERROR "accepted: ${ARGS}")
endif()
if(NOT err MATCHES "^fesolve: [^\n]+\n$")
  message(FATAL_ERROR "expected one message line, got: '${err}'")
endif()
if(EXISTS ${VTU})
  message(FATAL_ERROR "an output file was written")
endif()
message(STATUS "rejected with: ${err}")
