# The document check must be able to fail: each of these commands, alone in a
# fenced block of a scratch document beside the real tree, must be refused
# with the fault it names, and the commands that name only what exists or
# what a build makes must pass.
#   cmake -DROOT=... -DWORK=... -P doc_commands_check_refuses.cmake
cmake_minimum_required(VERSION 3.20)
set(check ${CMAKE_CURRENT_LIST_DIR}/check_doc_commands.cmake)
file(MAKE_DIRECTORY "${WORK}")
set(doc "${WORK}/doc-commands-check.md")

# Runs the check on one fenced block of `block_type` holding `command`;
# sets `status` and `output` in the caller.
function(check_command block_type command)
  file(WRITE "${doc}" "Text before.\n\n```${block_type}\n${command}\n```\n\n    tools/not-fenced-so-not-checked\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${ROOT} -DDOC=${doc} -P ${check}
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(status ${result} PARENT_SCOPE)
  set(output "${out}" PARENT_SCOPE)
endfunction()

set(failures "")
# Each row: a command, then the text its refusal must hold.
set(refused
  "cmake --preset no-such-preset" "no configure preset 'no-such-preset'"
  "cmake --build --preset tidy" "no build preset 'tidy'"
  "ctest --preset=package" "no test preset 'package'"
  ".ci/no-such-script && cmake --preset release" "names .ci/no-such-script"
  "cmake --preset release <SEMI> tools/bench/no-such-run" "names tools/bench/no-such-run"
  "(cd demo-out && ../examples/no-such-demo.vgz)" "names examples/no-such-demo.vgz"
  "tools/fuzz/run 60 \\\n  tests/scripts/no-such-check" "names tests/scripts/no-such-check"
  "node --test web/tests/no-such.test.js  # a comment naming tools/x" "names web/tests/no-such.test.js")
list(LENGTH refused count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET refused ${i} command)
  list(GET refused ${j} expected)
  string(REPLACE "<SEMI>" "\;" command "${command}")
  check_command(sh "${command}")
  if(status EQUAL 0 OR NOT output MATCHES "${expected}")
    list(APPEND failures "not refused with \"${expected}\": ${command}\n${output}")
  endif()
endforeach()

# What exists, what a build makes, what lies outside the tree, globs, and
# blocks that are not shell commands pass.
set(accepted
  "sh" ".ci/install-deps && cmake --preset web && cmake --build --preset web && ctest --preset windows"
  "sh" "(cd demo-out && ../build/src/timbrex ../examples/demo.vgz) && build-web/site/index.html"
  "sh" "cmake --install build-package --prefix /usr/local  # timbrex_1.2.0_amd64.deb"
  "bash" "ls ../shared/bench-logs tools/*.cpp \"$HOME/x/y\" && cd tests && ls scripts/check_demo.cmake"
  "" "tools/no-such-thing-in-a-plain-block")
list(LENGTH accepted count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET accepted ${i} block_type)
  list(GET accepted ${j} command)
  check_command("${block_type}" "${command}")
  if(NOT status EQUAL 0)
    list(APPEND failures "refused: ${command}\n${output}")
  endif()
endforeach()

if(failures)
  list(JOIN failures "\n" report)
  message(FATAL_ERROR "doc_commands_check_refuses:\n${report}")
endif()
message(STATUS "doc_commands_check_refuses: every broken command is refused, every sound one passes")
