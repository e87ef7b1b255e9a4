# Run as a script at build time: writes OUT from TEMPLATE with a cache name made of the
# version and a hash of the files in FILES (a list, relative to DIR), so that any change of
# them is a new version for the browsers that keep the page.
set(contents "")
set(quoted "")
foreach(file IN LISTS FILES)
  file(SHA256 ${DIR}/${file} hash)
  string(APPEND contents ${hash})
  list(APPEND quoted "\"${file}\"")
endforeach()
string(SHA256 combined "${contents}")
string(SUBSTRING ${combined} 0 16 combined)
set(QUILLFANE_WEB_CACHE ${VERSION}-${combined})
list(JOIN quoted ", " QUILLFANE_WEB_FILES)
configure_file(${TEMPLATE} ${OUT} @ONLY)
