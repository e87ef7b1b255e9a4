# The page's numbers, read from the game's own headers at configure time, so that the page cannot
# drift from the game: the client area's size, the largest side a raster takes, the keys' codes.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/platform/raster.h ${CMAKE_SOURCE_DIR}/platform/virtual_keys.h)

# OUT: the first number the regular expression captures in the header, which must have one.
function(quillfane_read_constant header pattern out)
  file(STRINGS ${CMAKE_SOURCE_DIR}/platform/${header} lines REGEX "${pattern}")
  if(NOT lines MATCHES "${pattern}")
    message(FATAL_ERROR "platform/${header} no longer matches \"${pattern}\", which the page reads")
  endif()
  set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()

quillfane_read_constant(raster.h "kTwipsPerPixel = ([0-9]+)\\.0F" twips)
foreach(side Width Height)
  string(TOUPPER ${side} upper)
  quillfane_read_constant(raster.h
    "kClientPixel${side} = ([0-9]+) / static_cast<int>\\(kTwipsPerPixel\\)" twips_${side})
  math(EXPR QUILLFANE_CLIENT_${upper} "${twips_${side}} / ${twips}")
endforeach()
quillfane_read_constant(raster.h "kMaxSide = ([0-9]+)" QUILLFANE_MAX_SIDE)
foreach(key Space Left Up Right Down)
  string(TOUPPER ${key} upper)
  quillfane_read_constant(virtual_keys.h "kKey${key} = ([0-9]+)" QUILLFANE_KEY_${upper})
endforeach()
