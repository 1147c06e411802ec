# Runs one of the README's hosts (CMakeLists.txt here) on the fixtures and
# fails when it does: each host compares what it played with what
# velmora-decode --raw writes for the same input.
# Usage: cmake -DSNIPPET= -DHOST= -DDECODE= -DMODULE= -DFIXTURES= -DWORK= -P run_readme_host.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${WORK}" RESULT_VARIABLE status
                  ERROR_VARIABLE errors OUTPUT_QUIET)
  if(NOT status EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command}: ${status}\n${errors}")
  endif()
endfunction()

# expected(NAME ARGS...): velmora-decode's raw PCM for ARGS, in WORK/NAME.
function(expected name)
  run(${DECODE} --quiet --raw ${ARGN} -o ${WORK}/${name})
endfunction()

if(SNIPPET STREQUAL "play_file")
  foreach(fixture mono44 stereo44 six48)
    expected(${fixture}.pcm ${FIXTURES}/${fixture}.ogg)
    run(${HOST} ${FIXTURES}/${fixture}.ogg ${WORK}/${fixture}.pcm)
  endforeach()
elseif(SNIPPET STREQUAL "intro_loop")
  file(COPY_FILE ${FIXTURES}/intro.ogg ${WORK}/intro.ogg)
  file(COPY_FILE ${FIXTURES}/loop.ogg ${WORK}/loop.ogg)
  expected(looped.pcm --intro ${WORK}/intro.ogg --loop ${WORK}/loop.ogg --loops 2)
  run(${HOST} ${WORK}/looped.pcm plays)
  # A loop that cannot start: the host must stop after the intro.
  file(COPY_FILE ${FIXTURES}/notvorbis.ogg ${WORK}/loop.ogg)
  expected(intro.pcm ${WORK}/intro.ogg)
  run(${HOST} ${WORK}/intro.pcm stops)
elseif(SNIPPET STREQUAL "pull_callback")
  # Callback lengths: 10 ms of mono at 44.1 kHz, one that is no whole
  # number of frames, one larger than a decoding call.
  foreach(fixture_and_length mono44:882 stereo44:1001 six48:24000)
    string(REPLACE ":" ";" pair ${fixture_and_length})
    list(GET pair 0 fixture)
    list(GET pair 1 length)
    expected(${fixture}.pcm ${FIXTURES}/${fixture}.ogg)
    run(${HOST} ${FIXTURES}/${fixture}.ogg ${WORK}/${fixture}.pcm ${length})
  endforeach()
elseif(SNIPPET STREQUAL "load_at_run_time")
  run(${HOST} ${MODULE})
else()
  message(FATAL_ERROR "no run for ${SNIPPET}")
endif()
