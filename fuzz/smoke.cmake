# One fuzz target's smoke run (see CMakeLists.txt): copies the seed corpus to
# a temporary directory, fuzzes for SECONDS seconds from it, and removes it.
foreach(v FUZZER CORPUS ARTIFACTS SECONDS)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "smoke.cmake: ${v} not given")
  endif()
endforeach()

if(DEFINED ENV{TMPDIR} AND IS_DIRECTORY "$ENV{TMPDIR}")
  set(tmp "$ENV{TMPDIR}")
else()
  set(tmp "/tmp")
endif()
get_filename_component(name ${FUZZER} NAME)
string(RANDOM LENGTH 12 tag)
set(work "${tmp}/${name}-smoke-${tag}")
file(MAKE_DIRECTORY "${work}/corpus" "${ARTIFACTS}")
file(GLOB seeds "${CORPUS}/*")
if(seeds)
  file(COPY ${seeds} DESTINATION "${work}/corpus")
endif()

execute_process(
  COMMAND ${FUZZER} -max_total_time=${SECONDS} -rss_limit_mb=2048 -malloc_limit_mb=1024
          -max_len=4096 -timeout=10 -print_final_stats=1
          -artifact_prefix=${ARTIFACTS} "${work}/corpus"
  RESULT_VARIABLE rc)
file(REMOVE_RECURSE "${work}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${name} failed (${rc}); the crashing input is in ${ARTIFACTS}")
endif()
