# The game as one static page: our own index.html, quillfane.js and quillfane.wasm from
# emscripten, and the zip a game host takes. Each game runs in a fresh module, which the page
# makes with createQuillfane({canvas, onEnded, onStartFailure, wasmBinary}).

# emcc's linker runs node scripts that need modules Debian keeps where its node does not look;
# set here, a build run without the preset finds them too.
set(QUILLFANE_NODE_PATH /usr/share/nodejs CACHE PATH "Where Debian keeps node's modules")
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=${QUILLFANE_NODE_PATH})

add_library(quillfane_platform STATIC platform/web_platform.cpp)
target_link_libraries(quillfane_platform
  PUBLIC quillfane_raster quillfane_gamepad PRIVATE quillfane_web_keys quillfane_warnings)

# The frame loop blocks as on the desktop: Asyncify lets its Sleep give the browser its turn.
set(QUILLFANE_WEB_LINK_OPTIONS -sASYNCIFY -sMODULARIZE=1 -sENVIRONMENT=web
    -sALLOW_MEMORY_GROWTH=1 -sFILESYSTEM=0 -sINCOMING_MODULE_JS_API=canvas,wasmBinary,print,printErr,onEnded,onStartFailure,onExit,onAbort,touches)
add_executable(quillfane platform/main.cpp)
target_link_libraries(quillfane PRIVATE quillfane_game quillfane_platform quillfane_warnings)
target_link_options(quillfane PRIVATE ${QUILLFANE_WEB_LINK_OPTIONS} -sEXPORT_NAME=createQuillfane)

configure_file(platform/index.html index.html COPYONLY)
configure_file(platform/quillfane.webmanifest quillfane.webmanifest COPYONLY)

# The icons a phone's home screen and the browser's install take, drawn from the one SVG icon.
find_program(QUILLFANE_RSVG_CONVERT rsvg-convert NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(quillfane_web_icons)
foreach(size 192 512)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/icon-${size}.png
    COMMAND ${QUILLFANE_RSVG_CONVERT} -w ${size} -h ${size} -o ${CMAKE_BINARY_DIR}/icon-${size}.png
            ${CMAKE_SOURCE_DIR}/packaging/quillfane.svg
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/quillfane.svg)
  list(APPEND quillfane_web_icons icon-${size}.png)
endforeach()

# The service worker keeps every file of the page; the zip holds it too.
set(quillfane_web_kept index.html quillfane.js quillfane.wasm quillfane.webmanifest
    ${quillfane_web_icons})
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/sw.js
  COMMAND ${CMAKE_COMMAND} -DDIR=${CMAKE_BINARY_DIR} "-DFILES=${quillfane_web_kept}"
          -DVERSION=${QUILLFANE_VERSION_TEXT} -DTEMPLATE=${CMAKE_SOURCE_DIR}/platform/sw.js.in
          -DOUT=${CMAKE_BINARY_DIR}/sw.js -P ${CMAKE_SOURCE_DIR}/cmake/web_service_worker.cmake
  DEPENDS quillfane ${CMAKE_SOURCE_DIR}/platform/sw.js.in ${CMAKE_SOURCE_DIR}/cmake/web_service_worker.cmake
          ${CMAKE_BINARY_DIR}/index.html ${CMAKE_BINARY_DIR}/quillfane.webmanifest
          ${CMAKE_BINARY_DIR}/icon-192.png ${CMAKE_BINARY_DIR}/icon-512.png
  VERBATIM)

set(quillfane_web_zip Quillfane-${QUILLFANE_VERSION_TEXT}-web.zip)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${quillfane_web_zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${quillfane_web_zip} --format=zip
          ${quillfane_web_kept} sw.js
  DEPENDS quillfane ${CMAKE_BINARY_DIR}/sw.js
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Packing ${quillfane_web_zip}")
add_custom_target(quillfane_web_zip ALL DEPENDS ${CMAKE_BINARY_DIR}/${quillfane_web_zip})

# The budgets' reference: the same kind of loop moving a small square (bench/web_budgets.py).
if(QUILLFANE_BENCH)
  add_executable(quillfane_web_reference bench/web_reference.cpp)
  target_link_libraries(quillfane_web_reference PRIVATE quillfane_warnings)
  target_link_options(quillfane_web_reference PRIVATE ${QUILLFANE_WEB_LINK_OPTIONS}
                      -sEXPORT_NAME=createQuillfane)
  configure_file(bench/web_reference.html web_reference.html COPYONLY)
endif()
