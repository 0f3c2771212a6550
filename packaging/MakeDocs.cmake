# The manual pages and the Debian changelog, compressed as Debian wants them (gzip -9, no name or time stamp):
# quelmar-cli.1 is what CLI --manpage prints, from the same command table as its --help.
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${CLI} --manpage
                OUTPUT_FILE ${OUT}/quelmar-cli.1 RESULT_VARIABLE status ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "quelmar-cli --manpage failed (${status}): ${err}")
endif()
file(COPY_FILE ${SOURCE}/quelmar.1 ${OUT}/quelmar.1)
file(COPY_FILE ${SOURCE}/changelog ${OUT}/changelog)
foreach(f quelmar-cli.1 quelmar.1 changelog)
  execute_process(COMMAND gzip -9 -n -f -k ${OUT}/${f} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${f} failed")
  endif()
endforeach()
