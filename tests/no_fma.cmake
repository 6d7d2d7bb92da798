# Fails when the shared object LIB holds any fused multiply-add instruction:
# every product must be rounded before it is added.
execute_process(COMMAND objdump -d --no-show-raw-insn ${LIB} OUTPUT_VARIABLE out
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${LIB}")
endif()
string(REGEX MATCHALL "[^\n]*\tv?f(n?m(add|sub)|madd|msub)[0-9a-z]*[^\n]*" hits "${out}")
if(hits)
  list(LENGTH hits n)
  list(GET hits 0 first)
  message(FATAL_ERROR "${n} fused multiply-add instructions, e.g.\n${first}")
endif()
string(LENGTH "${out}" size)
if(size LESS 10000)
  message(FATAL_ERROR "objdump gave almost nothing for ${LIB}")
endif()
message(STATUS "no fused multiply-add in ${LIB}")
