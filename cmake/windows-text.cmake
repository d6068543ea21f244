# Makes a text file for the Windows package: code page 1252 (what Notepad
# shows as ANSI on the technicians' computers) with CRLF line ends.
#
#   cmake -DIN=docs/vekconv.1 -DOUT=vekconv.txt -DKIND=man  -P windows-text.cmake
#   cmake -DIN=README.md      -DOUT=README.txt  -DKIND=text -P windows-text.cmake
#
# KIND man renders a manual page with groff; its latin1 output is also
# cp1252. KIND text converts a UTF-8 file; a character that cp1252 lacks
# fails the build instead of turning into garbage.
foreach(var IN ITEMS IN OUT KIND)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "windows-text.cmake: ${var} is not set")
  endif()
endforeach()

if(KIND STREQUAL "man")
  find_program(GROFF groff REQUIRED)
  # Plain text: no bold, underline or other overstriking.
  set(first ${GROFF} -man -Tlatin1 -P-cbou ${IN})
else()
  find_program(ICONV iconv REQUIRED)
  set(first ${ICONV} -f UTF-8 -t CP1252 ${IN})
endif()
find_program(SED sed REQUIRED)

execute_process(
  COMMAND ${first}
  COMMAND ${SED} -e "s/$/\\r/"
  OUTPUT_FILE ${OUT}
  RESULTS_VARIABLE results
  ERROR_VARIABLE errors)
foreach(rc IN LISTS results)
  if(NOT rc EQUAL 0)
    file(REMOVE ${OUT})
    message(FATAL_ERROR "windows-text.cmake: cannot make ${OUT} from ${IN}: ${errors}")
  endif()
endforeach()
if(errors)
  # groff warns about mistakes in the page; they would show in the text.
  file(REMOVE ${OUT})
  message(FATAL_ERROR "windows-text.cmake: ${IN}: ${errors}")
endif()
