# GoogleTest for a cross build. Debian ships GoogleTest compiled for the host
# only, with its sources under /usr/src/googletest; this builds those sources
# once with the same toolchain, at configure time, installs them into the
# build tree and points find_package(GTest) there.
set(TIMBREX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
set(TIMBREX_GTEST_PREFIX ${CMAKE_BINARY_DIR}/googletest CACHE PATH "Where the target's GoogleTest is installed")

if(NOT EXISTS ${TIMBREX_GTEST_PREFIX}/lib/cmake/GTest/GTestConfig.cmake)
  message(STATUS "Building GoogleTest from ${TIMBREX_GTEST_SOURCE} for ${CMAKE_SYSTEM_NAME}")
  set(build_dir ${CMAKE_BINARY_DIR}/googletest-build)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${TIMBREX_GTEST_SOURCE} -B ${build_dir}
            -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=Release
            -DCMAKE_INSTALL_PREFIX=${TIMBREX_GTEST_PREFIX} -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON
    OUTPUT_QUIET RESULT_VARIABLE configured)
  if(configured EQUAL 0)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${build_dir} --parallel 2 --target install
                    OUTPUT_QUIET RESULT_VARIABLE built)
  endif()
  if(NOT configured EQUAL 0 OR NOT built EQUAL 0)
    message(FATAL_ERROR "GoogleTest could not be built from ${TIMBREX_GTEST_SOURCE} (see ${build_dir})")
  endif()
endif()
set(GTest_DIR ${TIMBREX_GTEST_PREFIX}/lib/cmake/GTest CACHE PATH "GoogleTest package of the target" FORCE)
