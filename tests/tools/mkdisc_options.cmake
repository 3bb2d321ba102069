# mkdisc's command line: every option of a sheet's codes, texts and gaps gives
# the lines of tests/tools/mkdisc-options.cue, and a bad value exits with 2.
#   cmake -DMKDISC=... -DEXPECTED=... -DFOLDER=... -P mkdisc_options.cmake
file(MAKE_DIRECTORY ${FOLDER})
execute_process(COMMAND ${MKDISC} options.cue --seed 5 --hidden 33 --pregap 3=20 --pre-emphasis 2
    --catalog 0000010271955 --isrc 1=USRC17607839 --isrc 2=GBAYE0000351 --title "A Disc" --title 2=Second
    --performer "Some Band" --performer 1=Someone 40 35 60
  WORKING_DIRECTORY ${FOLDER} RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "mkdisc failed (${result}): ${errors}")
endif()
file(READ ${FOLDER}/options.cue made)
file(READ ${EXPECTED} expected)
if(NOT made STREQUAL expected)
  message(FATAL_ERROR "mkdisc wrote:\n${made}\nexpected:\n${expected}")
endif()
file(SIZE ${FOLDER}/options.bin size)
math(EXPR expectedSize "(33 + 40 + 35 + 20 + 60) * 2352")
if(NOT size EQUAL expectedSize)
  message(FATAL_ERROR "the image has ${size} bytes, not ${expectedSize}")
endif()
foreach(bad "--pregap;1=5;--hidden;5" "--isrc;4=USRC17607839" "--catalog;123" "--pre-emphasis;x" "--pregap;3=x")
  execute_process(COMMAND ${MKDISC} bad.cue ${bad} 40 35 60 WORKING_DIRECTORY ${FOLDER}
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(NOT result EQUAL 2)
    message(FATAL_ERROR "mkdisc ${bad} exited with ${result}, not 2")
  endif()
endforeach()
