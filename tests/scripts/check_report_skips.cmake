# report-skips names every skipped test of a ctest run with its reason, and
# counts the run's tests: here on a JUnit file as ctest writes one, with a
# GoogleTest skip, a parameterised one, a script's skip code, a passed test
# and a failed one.
#   cmake -DREPORT=.../report-skips -DWORK=... -P check_report_skips.cmake
file(MAKE_DIRECTORY "${WORK}")
set(junit "${WORK}/report-skips-check.xml")
file(WRITE "${junit}" [=[<?xml version="1.0" encoding="UTF-8"?>
<testsuite name="(empty)"
	tests="5"
	failures="1"
	disabled="0"
	skipped="3"
	hostname=""
	time="0"
	timestamp="2026-12-08T22:16:22"
	>
	<testcase name="RealLogs.EveryLogIsRead" classname="RealLogs.EveryLogIsRead" time="0.01" status="notrun">
		<skipped message="SKIP_REGULAR_EXPRESSION_MATCHED"/>
		<system-out>Running main() from ./googletest/src/gtest_main.cc
Note: Google Test filter = RealLogs.EveryLogIsRead
/src/tests/e2e/real_logs_test.cpp:21: Skipped
no real logs beside the project &amp; &lt;no&gt; golden runs

[  SKIPPED ] RealLogs.EveryLogIsRead (0 ms)
[----------] 1 test from RealLogs (0 ms total)

[==========] 1 test from 1 test suite ran. (0 ms total)
[  PASSED  ] 0 tests.
[  SKIPPED ] 1 test, listed below:
[  SKIPPED ] RealLogs.EveryLogIsRead
</system-out>
	</testcase>
	<testcase name="Corpora/GoldenRun.WalkOfTheTree/benchlogs  # GetParam() = &quot;bench-logs&quot;" classname="Corpora/GoldenRun.WalkOfTheTree/benchlogs  # GetParam() = &quot;bench-logs&quot;" time="0.01" status="notrun">
		<skipped message="SKIP_REGULAR_EXPRESSION_MATCHED"/>
		<system-out>/src/tests/e2e/golden_runs_test.cpp:40: Skipped
no bench-logs beside the project

[  SKIPPED ] Corpora/GoldenRun.WalkOfTheTree/benchlogs (0 ms)
</system-out>
	</testcase>
	<testcase name="Walk.Passes" classname="Walk.Passes" time="0.01" status="run">
		<system-out>[       OK ] Walk.Passes (1 ms)
</system-out>
	</testcase>
	<testcase name="Walk.Fails" classname="Walk.Fails" time="0.01" status="fail">
		<failure message="Failed"/>
		<system-out>/src/tests/e2e/walk.cpp:9: Skipped
not a skip: this test failed
</system-out>
	</testcase>
	<testcase name="ManPage.RendersWithoutWarnings" classname="ManPage.RendersWithoutWarnings" time="0.01" status="notrun">
		<skipped message="SKIP_RETURN_CODE=77"/>
		<system-out>check_manpage: groff not found, skipped
</system-out>
	</testcase>
</testsuite>
]=])
execute_process(COMMAND "${REPORT}" "${junit}" RESULT_VARIABLE status OUTPUT_VARIABLE report ERROR_VARIABLE report)
set(expected "3 of 5 tests skipped:
  RealLogs.EveryLogIsRead: no real logs beside the project & <no> golden runs
  Corpora/GoldenRun.WalkOfTheTree/benchlogs: no bench-logs beside the project
  ManPage.RendersWithoutWarnings: check_manpage: groff not found, skipped
")
if(NOT status EQUAL 0 OR NOT report STREQUAL expected)
  message(FATAL_ERROR "check_report_skips: report-skips printed (status ${status}):\n${report}\nexpected:\n${expected}")
endif()
message(STATUS "check_report_skips: every skip is named with its reason")
