# cmake -DGENERATOR=vardo-artwork -DOUT_DIR=scratch -DEXPECTED_DIR=resources -P CompareArtwork.cmake
#
# Runs the artwork generator into OUT_DIR and fails unless every picture it writes is byte for
# byte the committed one in EXPECTED_DIR.

foreach(var GENERATOR OUT_DIR EXPECTED_DIR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "CompareArtwork.cmake needs -D${var}=...")
    endif()
endforeach()

file(REMOVE_RECURSE "${OUT_DIR}")
execute_process(COMMAND "${GENERATOR}" "${OUT_DIR}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${GENERATOR} failed: ${status}")
endif()

set(differing "")
foreach(name face.gif eye0.gif eye1.gif vardo.ico link.cur)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT_DIR}/${name}" "${EXPECTED_DIR}/${name}"
        RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        list(APPEND differing ${name})
    endif()
endforeach()
if(differing)
    message(FATAL_ERROR "Generated artwork differs from ${EXPECTED_DIR}: ${differing}\n"
        "If the drawing code changed on purpose, rebuild the target update-artwork and commit.")
endif()
message(STATUS "All artwork matches ${EXPECTED_DIR}")
