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
    -sALLOW_MEMORY_GROWTH=1 -sFILESYSTEM=0 -sINCOMING_MODULE_JS_API=canvas,wasmBinary,print,printErr,onEnded,onStartFailure,onExit,onAbort)
add_executable(quillfane platform/main.cpp)
target_link_libraries(quillfane PRIVATE quillfane_game quillfane_platform quillfane_warnings)
target_link_options(quillfane PRIVATE ${QUILLFANE_WEB_LINK_OPTIONS} -sEXPORT_NAME=createQuillfane)

configure_file(platform/index.html index.html COPYONLY)
set(quillfane_web_zip Quillfane-${QUILLFANE_VERSION_TEXT}-web.zip)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${quillfane_web_zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${quillfane_web_zip} --format=zip
          index.html quillfane.js quillfane.wasm
  DEPENDS quillfane ${CMAKE_BINARY_DIR}/index.html
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
