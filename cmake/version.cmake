# The version as players read it, from the project's one version: 1.0.0.0 is "1.00". The
# Debian package, the man page, the Windows exe's version record and --version all use it.
set(quillfane_minor ${PROJECT_VERSION_MINOR})
if(quillfane_minor LESS 10)
  set(quillfane_minor 0${quillfane_minor})
endif()
set(QUILLFANE_VERSION_TEXT ${PROJECT_VERSION_MAJOR}.${quillfane_minor})
