# Reads the instruction-set objects listed in LIST (one object file a line)
# and fails on any global or weak symbol other than the unit's table filler.
# A weak copy of a shared inline function compiled with wide-register flags
# may be the one the linker keeps for every path, and the plain path would
# then stop with an illegal instruction on a processor without those
# registers.
file(STRINGS ${LIST} objects)
set(bad "")
set(count 0)
foreach(o ${objects})
  if(NOT o MATCHES "_(sse2|avx2|avx512)\\.cpp\\.o(bj)?$")
    continue()
  endif()
  math(EXPR count "${count} + 1")
  execute_process(COMMAND nm --defined-only ${o} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${o}")
  endif()
  string(REPLACE "\n" ";" lines "${out}")
  foreach(l ${lines})
    if(NOT l MATCHES "^[0-9a-fA-F]* +([A-Z]) +([^ ]+)$")
      continue()
    endif()
    set(type "${CMAKE_MATCH_1}")
    set(sym "${CMAKE_MATCH_2}")
    # The filler; the exception personality's reference, which is data; and
    # the 32-bit build's program-counter thunks (a load and a return, the
    # same bytes whatever the flags).
    if(sym MATCHES "_fill_(sse2|avx2|avx512)E" OR sym STREQUAL "DW.ref.__gxx_personality_v0"
       OR sym MATCHES "^__x86\\.get_pc_thunk\\.")
      continue()
    endif()
    get_filename_component(name ${o} NAME)
    list(APPEND bad "${name}: ${type} ${sym}")
  endforeach()
endforeach()
if(count LESS 2)
  message(FATAL_ERROR "no instruction-set objects in ${LIST}")
endif()
if(bad)
  string(REPLACE ";" "\n" bad "${bad}")
  message(FATAL_ERROR "symbols with external linkage in instruction-set objects:\n${bad}")
endif()
message(STATUS "${count} instruction-set objects: only their fillers are global")
