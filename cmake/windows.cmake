# Quillfane.exe: the Win32 backend, the version record and icon, linked statically so that
# the exe needs no DLL beyond Windows' own, and the zip it is handed out in.
enable_language(RC)

if(MINGW)
  add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:Release,MinSizeRel>:-s>)
endif()

add_library(quillfane_platform STATIC platform/win32_platform.cpp)
target_link_libraries(quillfane_platform
  PUBLIC quillfane_raster quillfane_gamepad PRIVATE user32 gdi32 winmm quillfane_warnings)

find_program(QUILLFANE_PYTHON3 python3)
if(NOT QUILLFANE_PYTHON3)
  message(FATAL_ERROR "No python3, which draws the exe's icon: install Debian's python3")
endif()
set(quillfane_icon ${CMAKE_BINARY_DIR}/quillfane.ico)
add_custom_command(OUTPUT ${quillfane_icon}
  COMMAND ${QUILLFANE_PYTHON3} ${CMAKE_SOURCE_DIR}/scripts/make_ico.py ${quillfane_icon}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make_ico.py
  COMMENT "Drawing the icon")
configure_file(platform/quillfane.manifest.in quillfane.manifest @ONLY)
configure_file(platform/quillfane.rc.in quillfane.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/quillfane.rc PROPERTIES
  OBJECT_DEPENDS "${quillfane_icon};${CMAKE_BINARY_DIR}/quillfane.manifest")

add_executable(quillfane WIN32 platform/main.cpp ${CMAKE_BINARY_DIR}/quillfane.rc)
set_target_properties(quillfane PROPERTIES OUTPUT_NAME Quillfane)
target_link_libraries(quillfane PRIVATE quillfane_game quillfane_platform quillfane_warnings)

set(quillfane_zip Quillfane-${QUILLFANE_VERSION_TEXT}-win64.zip)
# configure_file gives the template's lines Windows' line ends, not those within the keys.
string(REGEX REPLACE "\n$" "" quillfane_keys "${QUILLFANE_HELP_KEYS}")
string(REPLACE "\n" "\r\n" QUILLFANE_HELP_KEYS_CRLF "${quillfane_keys}")
configure_file(platform/README-windows.txt.in README-windows.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${quillfane_zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${quillfane_zip} --format=zip
          $<TARGET_FILE_NAME:quillfane> README-windows.txt
  DEPENDS quillfane ${CMAKE_BINARY_DIR}/README-windows.txt
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Packing ${quillfane_zip}")
add_custom_target(quillfane_zip ALL DEPENDS ${CMAKE_BINARY_DIR}/${quillfane_zip})
