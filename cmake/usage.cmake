# What the program and its pages say about the keys and the exit statuses, made from
# docs/usage.txt so that none of them can drift from it: --help's text (a header for
# platform/command_line.cpp), the man page's two sections and the Windows README's keys.
set(quillfane_usage_source ${CMAKE_SOURCE_DIR}/docs/usage.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${quillfane_usage_source})
file(READ ${quillfane_usage_source} quillfane_usage_text)
if(quillfane_usage_text MATCHES ";")
  message(FATAL_ERROR "docs/usage.txt holds a semicolon, which CMake would take apart: reword it")
endif()
string(REPLACE "\n" ";" quillfane_usage_lines "${quillfane_usage_text}")

# A name and its text as --help shows them: the name from column 2, the text from `column`,
# wrapped before column 80 and indented to `column` again.
function(quillfane_help_entry out name text column)
  string(REPEAT " " ${column} indent)
  string(SUBSTRING "  ${name}${indent}" 0 ${column} line)
  set(lines "")
  string(REPLACE " " ";" words "${text}")
  foreach(word IN LISTS words)
    string(LENGTH "${line} ${word}" width)
    if(width GREATER 79 AND NOT line STREQUAL indent)
      string(APPEND lines "${line}\n")
      set(line "${indent}")
    endif()
    if(line MATCHES " $")
      string(APPEND line "${word}")
    else()
      string(APPEND line " ${word}")
    endif()
  endforeach()
  set(${out} "${${out}}${lines}${line}\n" PARENT_SCOPE)
endfunction()

# Troff takes a backslash as an escape and a leading dot or quote as a request.
function(quillfane_troff out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(QUILLFANE_HELP_KEYS "")
set(QUILLFANE_HELP_EXIT_STATUS "")
set(QUILLFANE_MAN_KEYS "")
set(QUILLFANE_MAN_EXIT_STATUS "")
set(section "")
string(ASCII 1 quillfane_open)
string(ASCII 2 quillfane_close)
foreach(line IN LISTS quillfane_usage_lines)
  if(line MATCHES "^#" OR line STREQUAL "")
    continue()
  elseif(line MATCHES "^\\[(.+)\\]$")
    string(TOUPPER "${CMAKE_MATCH_1}" section)
    string(REPLACE " " "_" section "${section}")
    # The first paragraph of a section sets the indent the rest keep.
    set(tp ".TP 18n")
    if(section STREQUAL "EXIT_STATUS")
      set(tp ".TP 4n")
    endif()
  elseif(line MATCHES "^([^|]*[^ |]) +\\| +(([^|]*[^ |]) +\\| +)?([^|]+)$")
    set(name "${CMAKE_MATCH_1}")
    set(controller "${CMAKE_MATCH_3}")
    set(text "${CMAKE_MATCH_4}")
    if(NOT section MATCHES "^(KEYS|EXIT_STATUS)$")
      message(FATAL_ERROR "docs/usage.txt: \"${line}\" is in no section of keys or exit status")
    endif()
    set(column 20)
    if(section STREQUAL "EXIT_STATUS")
      set(column 5)
    endif()
    # A controller's buttons in brackets, before what the key does; stood in for by control
    # characters while wrapped, as CMake's lists keep a bracket's words together.
    if(NOT controller STREQUAL "")
      set(text "${quillfane_open}${controller}${quillfane_close} ${text}")
    endif()
    quillfane_help_entry(QUILLFANE_HELP_${section} "${name}" "${text}" ${column})
    string(REPLACE "${quillfane_open}" "[" text "${text}")
    string(REPLACE "${quillfane_close}" "]" text "${text}")
    quillfane_troff(name "${name}")
    quillfane_troff(text "${text}")
    string(APPEND QUILLFANE_MAN_${section} "${tp}\n.B ${name}\n${text}\n")
    set(tp ".TP")
  else()
    message(FATAL_ERROR "docs/usage.txt: neither a section nor \"name | text\": ${line}")
  endif()
endforeach()
string(REPLACE "${quillfane_open}" "[" QUILLFANE_HELP_KEYS "${QUILLFANE_HELP_KEYS}")
string(REPLACE "${quillfane_close}" "]" QUILLFANE_HELP_KEYS "${QUILLFANE_HELP_KEYS}")
string(STRIP "${QUILLFANE_MAN_KEYS}" QUILLFANE_MAN_KEYS)
string(STRIP "${QUILLFANE_MAN_EXIT_STATUS}" QUILLFANE_MAN_EXIT_STATUS)

# As C++ string literals, one a line.
foreach(part KEYS EXIT_STATUS)
  string(REPLACE "\\" "\\\\" literal "${QUILLFANE_HELP_${part}}")
  string(REPLACE "\"" "\\\"" literal "${literal}")
  string(REGEX REPLACE "([^\n]*)\n" "    \"\\1\\\\n\"\n" literal "${literal}")
  string(STRIP "${literal}" QUILLFANE_HELP_${part}_LITERAL)
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/usage_text.h CONTENT [[
// Made by cmake/usage.cmake from docs/usage.txt and the project's version.
#pragma once

namespace quillfane {

inline constexpr char kVersionText[] = "@QUILLFANE_VERSION_TEXT@";
inline constexpr char kKeysHelp[] =
    @QUILLFANE_HELP_KEYS_LITERAL@;
inline constexpr char kExitStatusHelp[] =
    @QUILLFANE_HELP_EXIT_STATUS_LITERAL@;

}  // namespace quillfane
]] @ONLY)
