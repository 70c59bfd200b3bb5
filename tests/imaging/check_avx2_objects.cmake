# Fails when an AVX2 object file defines a symbol the linker could fold with another file's copy:
# weak symbols (ELF) or comdat sections (COFF, named .text$<symbol> and the like; .rdata$zzz is the
# compiler's identification string). Such a copy may be the AVX2 one the scalar or SSE2 paths end
# up calling.
#   cmake -DNM=<nm> -DOBJECTS=<a.o;b.o> [-DMORE_OBJECTS=<c.o>] -P check_avx2_objects.cmake
list(APPEND OBJECTS ${MORE_OBJECTS})
if(NOT OBJECTS)
  message(FATAL_ERROR "no AVX2 object files given")
endif()
set(leaks "")
foreach(object IN LISTS OBJECTS)
  execute_process(COMMAND "${NM}" --defined-only "${object}" OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${object}")
  endif()
  string(REPLACE "\n" ";" lines "${symbols}")
  foreach(line IN LISTS lines)
    if(line MATCHES "^[0-9a-fA-F]* [WwVvu] " OR
       (line MATCHES " [a-zA-Z] \\.[a-z]+\\$" AND NOT line MATCHES "\\.rdata\\$zzz$") OR
       line MATCHES "\\.gnu\\.linkonce")
      string(APPEND leaks "  ${object}: ${line}\n")
    endif()
  endforeach()
  message(STATUS "checked ${object}")
endforeach()
if(leaks)
  message(FATAL_ERROR "AVX2 objects define symbols with vague linkage:\n${leaks}")
endif()
