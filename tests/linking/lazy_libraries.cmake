# Fails when PROGRAM names FFmpeg or SDL among the libraries the dynamic
# loader maps before main (its NEEDED entries): the program loads those on
# first use.
#   cmake -DREADELF=... -DPROGRAM=... -P lazy_libraries.cmake
execute_process(COMMAND ${READELF} --dynamic ${PROGRAM} OUTPUT_VARIABLE dynamic RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${READELF} cannot read ${PROGRAM}")
endif()
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]*\\]" needed "${dynamic}")
if(NOT needed)
  message(FATAL_ERROR "${PROGRAM} has no NEEDED entries: not a dynamically linked program?")
endif()
foreach(entry ${needed})
  if(entry MATCHES "\\[(libav[a-z]*|libsw[a-z]*|libSDL2)[^]]*\\]")
    message(FATAL_ERROR "${PROGRAM} loads ${CMAKE_MATCH_1} at start: ${entry}")
  endif()
endforeach()
