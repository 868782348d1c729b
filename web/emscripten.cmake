# Settings of the browser build, read before the libraries are looked for.
# zlib, libdeflate (and game-music-emu, for the audio preview) are built with emscripten
# from Debian's source packages at configure time; emscripten's own ports
# would download them.
set(TIMBREX_WEB_DEPS ${CMAKE_BINARY_DIR}/deps CACHE PATH "Where the C libraries of the browser build are installed")
if(NOT EXISTS ${TIMBREX_WEB_DEPS}/lib/libz.a OR NOT EXISTS ${TIMBREX_WEB_DEPS}/lib/libgme.a
   OR NOT EXISTS ${TIMBREX_WEB_DEPS}/lib/libdeflate.a)
  execute_process(COMMAND ${PROJECT_SOURCE_DIR}/tools/web/build-deps ${TIMBREX_WEB_DEPS} ${CMAKE_BINARY_DIR}/deps-work
                  RESULT_VARIABLE deps_built)
  if(NOT deps_built EQUAL 0)
    message(FATAL_ERROR "the C libraries of the browser build could not be built (see above)")
  endif()
endif()
set(ZLIB_INCLUDE_DIR ${TIMBREX_WEB_DEPS}/include CACHE PATH "zlib built with emscripten" FORCE)
set(ZLIB_LIBRARY ${TIMBREX_WEB_DEPS}/lib/libz.a CACHE FILEPATH "zlib built with emscripten" FORCE)

# libdeflate inflates whole gzip members as in the native build, where
# build-deps could build it; without it zlib inflates everything.
if(EXISTS ${TIMBREX_WEB_DEPS}/lib/libdeflate.a)
  set(Libdeflate_INCLUDE_DIR ${TIMBREX_WEB_DEPS}/include CACHE PATH "libdeflate built with emscripten" FORCE)
  set(Libdeflate_LIBRARY ${TIMBREX_WEB_DEPS}/lib/libdeflate.a CACHE FILEPATH "libdeflate built with emscripten" FORCE)
else()
  unset(Libdeflate_INCLUDE_DIR CACHE)
  unset(Libdeflate_LIBRARY CACHE)
  set(TIMBREX_LIBDEFLATE OFF)
endif()
# Without it a throw (std::bad_alloc included) aborts the module.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)
# The wasm unit tests are registered from web/; ctest finds them from the top.
enable_testing()

# libgme for the audio preview, where build-deps could build it.
if(EXISTS ${TIMBREX_WEB_DEPS}/lib/libgme.a)
  add_library(timbrex_gme_wasm STATIC IMPORTED)
  set_target_properties(timbrex_gme_wasm PROPERTIES
    IMPORTED_LOCATION ${TIMBREX_WEB_DEPS}/lib/libgme.a
    INTERFACE_INCLUDE_DIRECTORIES ${TIMBREX_WEB_DEPS}/include
    INTERFACE_LINK_LIBRARIES ${TIMBREX_WEB_DEPS}/lib/libz.a)
endif()
