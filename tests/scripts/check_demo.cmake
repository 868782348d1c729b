# Makes the demo log afresh with MAKE_DEMO into WORK and fails unless it is
# byte for byte the file EXPECTED.
#   cmake [-DEMULATOR=wine] -DMAKE_DEMO=... -DEXPECTED=... -DWORK=... -P check_demo.cmake
foreach(var MAKE_DEMO EXPECTED WORK)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_demo: ${var} is not set")
  endif()
endforeach()
if(NOT EXISTS "${EXPECTED}")
  message(FATAL_ERROR "check_demo: ${EXPECTED} does not exist")
endif()

file(MAKE_DIRECTORY "${WORK}")
set(fresh "${WORK}/demo-check.vgz")
file(REMOVE "${fresh}")
# EMULATOR, when set, runs a cross-built generator (wine for the Windows build).
execute_process(COMMAND ${EMULATOR} "${MAKE_DEMO}" "${fresh}" RESULT_VARIABLE made OUTPUT_QUIET)
if(NOT made EQUAL 0 OR NOT EXISTS "${fresh}")
  message(FATAL_ERROR "check_demo: ${MAKE_DEMO} failed (${made})")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${fresh}" "${EXPECTED}" RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "check_demo: ${EXPECTED} is not what the generator writes today; "
                      "rebuild it with make_demo and commit it")
endif()
message(STATUS "check_demo: ${EXPECTED} is reproducible")
