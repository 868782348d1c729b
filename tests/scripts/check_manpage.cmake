# Renders the manual page with groff, all warnings on, and fails on any
# warning. Exits with 77 (a skip for CTest) where groff is not installed.
#   cmake -DPAGE=... -P check_manpage.cmake
find_program(GROFF groff)
if(NOT GROFF)
  message("check_manpage: groff not found, skipped")
  cmake_language(EXIT 77)
endif()
execute_process(COMMAND "${GROFF}" -man -ww -z "${PAGE}"
                RESULT_VARIABLE status ERROR_VARIABLE warnings OUTPUT_QUIET)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "check_manpage: groff reports on ${PAGE} (status ${status}):\n${warnings}")
endif()
message(STATUS "check_manpage: ${PAGE} renders without a warning")
