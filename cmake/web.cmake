# The browser build (emcmake cmake; scripts/web drives it): the same sources with emscripten's
# own SDL 1.2 and OpenGL, and libpng and zlib built with emcc from Debian's source packages.
# Nothing here is read by the desktop build.

set(QUORVALE_WEB_DEPS "" CACHE PATH "folder with include/ and lib/ of libpng and zlib built with emcc")
set(QUORVALE_WEB_OUTPUT ${CMAKE_BINARY_DIR}/page CACHE PATH "folder the page is laid out in")
# The game's OpenGL 1.x calls reach WebGL 1 through its own fixed-function layer in
# src/gfx/web/, which defines them under their own names; emscripten's legacy emulation stays
# out (it draws the world wrongly and slowly).
set(QUORVALE_WEB_GL_LINK_OPTIONS -sMAX_WEBGL_VERSION=1)

foreach(file include/png.h include/zlib.h lib/libpng16.a lib/libz.a)
  if(NOT EXISTS ${QUORVALE_WEB_DEPS}/${file})
    message(FATAL_ERROR "QUORVALE_WEB_DEPS (${QUORVALE_WEB_DEPS}) has no ${file}: build with scripts/web")
  endif()
endforeach()

add_library(quorvale_web_platform INTERFACE)
target_include_directories(quorvale_web_platform INTERFACE ${QUORVALE_WEB_DEPS}/include)
target_link_libraries(quorvale_web_platform INTERFACE
  ${QUORVALE_WEB_DEPS}/lib/libpng16.a ${QUORVALE_WEB_DEPS}/lib/libz.a)
set(QUORVALE_PLATFORM_LIBS quorvale_web_platform)
# No threads: a page from a plain static server has no SharedArrayBuffer.
set(QUORVALE_SYSTEM_LIBS "")

# Makes `target` the page's game (quorvale.js, .wasm and .data with resources/ in it) and lays
# the page beside it in QUORVALE_WEB_OUTPUT.
function(quorvale_web_page target)
  set(page_files ${CMAKE_SOURCE_DIR}/web/index.html ${CMAKE_SOURCE_DIR}/web/page.js
                 ${CMAKE_SOURCE_DIR}/web/page.css)
  file(GLOB data_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/images/*.png
                                         ${CMAKE_SOURCE_DIR}/resources/sounds/*.wav)
  # The page's files are in resources/ at the root of its file system; there is no install.
  set_source_files_properties(${CMAKE_SOURCE_DIR}/src/client/datadir.cpp PROPERTIES
    COMPILE_DEFINITIONS "QUORVALE_DATA_FROM_BIN=\"\"")
  set_target_properties(${target} PROPERTIES SUFFIX .js RUNTIME_OUTPUT_DIRECTORY ${QUORVALE_WEB_OUTPUT})
  # emcc's JavaScript optimizer needs acorn, which Debian installs for its own node only; a link
  # without it leaves a page that does not start.
  set_target_properties(${target} PROPERTIES
    CXX_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;NODE_PATH=/usr/share/nodejs")
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${data_files})
  target_link_options(${target} PRIVATE
    ${QUORVALE_WEB_GL_LINK_OPTIONS}
    $<$<CONFIG:Release>:-O3>
    -sENVIRONMENT=web
    -sALLOW_MEMORY_GROWTH=1
    # The page learns how the game ended (Module.onExit) and the output is flushed.
    -sEXIT_RUNTIME=1
    # Network games use the browser's WebSocket (netclient_web.cpp).
    -lwebsocket.js
    # The page's replay controls read and write the game's files and call it.
    "-sEXPORTED_RUNTIME_METHODS=['FS','ccall']"
    # Named here, since nothing in the game calls them and the linker would leave them out.
    "-sEXPORTED_FUNCTIONS=['_main','_quorvale_replay_file','_quorvale_watch_replay']"
    "SHELL:--preload-file ${CMAKE_SOURCE_DIR}/resources/images@/resources/images"
    "SHELL:--preload-file ${CMAKE_SOURCE_DIR}/resources/sounds@/resources/sounds")
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${page_files} ${QUORVALE_WEB_OUTPUT}
    VERBATIM)
  # A change to the page alone is laid out without relinking.
  add_custom_target(quorvale_page ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORVALE_WEB_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${page_files} ${QUORVALE_WEB_OUTPUT}
    DEPENDS ${page_files} VERBATIM)
endfunction()
