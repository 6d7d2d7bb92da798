# Runs the program with a listing directory: the listing must hold the
# summary that the terminal shows.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} -E env TBX_ODT_OUT=${WORK}
  ${EMULATOR} ${PROGRAM} --nx 6 --ny 1 --nz 1 --modes 2 --vtu none
  RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "failed (${rc}): ${out}")
endif()
file(GLOB listing ${WORK}/StratoSolverLog_*.txt)
list(LENGTH listing count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one listing file, found ${count}")
endif()
file(READ ${listing} text)
foreach(line "equations" "scaled residual" "tip deflection" "iteration  1:")
  string(FIND "${text}" "${line}" at)
  if(at LESS 0)
    message(FATAL_ERROR "the listing lacks '${line}':\n${text}")
  endif()
endforeach()
