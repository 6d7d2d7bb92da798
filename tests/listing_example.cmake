# Runs the listing example as a solver would: with TBX_ODT_OUT naming a
# fresh directory, one listing file must appear there holding the kernel's
# messages, which must not reach the ordinary standard output; with
# KORSYS_TRACES switching OPTPrint off, that channel's line is missing.
# Then installs the build into a scratch prefix and checks that both
# libraries and the catalogs land side by side.
# -DEXAMPLE=<program> -DWORK=<scratch dir> -DEMULATOR=<runner, may be empty>
# -DBUILD=<build dir>
separate_arguments(runner UNIX_COMMAND "${EMULATOR}")

function(run_example dir traces out_var listing_var)
  file(REMOVE_RECURSE ${dir})
  file(MAKE_DIRECTORY ${dir})
  set(ENV{TBX_ODT_OUT} ${dir})
  set(ENV{KORSYS_TRACES} "${traces}")
  execute_process(COMMAND ${runner} ${EXAMPLE} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "example failed: ${rc}\n${out}")
  endif()
  file(GLOB listings ${dir}/StratoSolverLog_*.txt)
  list(LENGTH listings count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one listing file in ${dir}, found ${count}")
  endif()
  file(READ ${listings} text)
  set(${out_var} "${out}" PARENT_SCOPE)
  set(${listing_var} "${text}" PARENT_SCOPE)
endfunction()

run_example(${WORK}/all "" out listing)
foreach(line "Vector length: 6\n" "Euclidean norm: 13.164821\n"
             "0.1 in single precision: 0.10000000149011611938\n"
             "Optimization channel: one line\n" "End of the kernel listing example\n")
  string(FIND "${listing}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "listing lacks '${line}':\n${listing}")
  endif()
endforeach()
if(NOT out MATCHES "^listing file: [^\n]*\n$")
  message(FATAL_ERROR "messages reached standard output:\n${out}")
endif()

run_example(${WORK}/quiet "OPTPrint=off" out listing)
string(FIND "${listing}" "Optimization channel" at)
string(FIND "${listing}" "Euclidean norm" norm_at)
if(NOT at EQUAL -1 OR norm_at EQUAL -1)
  message(FATAL_ERROR "KORSYS_TRACES=OPTPrint=off not followed:\n${listing}")
endif()

set(prefix ${WORK}/prefix)
file(REMOVE_RECURSE ${prefix})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix}
                OUTPUT_QUIET RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed")
endif()
foreach(f lib/libKORSYS.so lib/libQorVARDMathKernel.so
          share/KORSYS/catalogs/QorStratoError.msg
          share/KORSYS/catalogs/QorVARDMathKernelError.msg
          include/KORSYS/QorError.h include/QorVARDMathKernel/diagnostics.h)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
