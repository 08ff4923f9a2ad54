# Turns resources/catalogue.def into a STRINGTABLE for the resource compiler.
# The catalogue is written once, in C string syntax; the resource compiler
# wants a doubled quote instead of \", so the table is generated rather than
# written a second time by hand.
#
# Usage: cmake -DIN=catalogue.def -DOUT=catalogue_strings.rc -P this-file
file(STRINGS "${IN}" lines ENCODING UTF-8)
set(body "// Generated from catalogue.def at build time; do not edit.\n")
string(APPEND body "LANGUAGE 9, 1\nSTRINGTABLE\nBEGIN\n")
set(count 0)
foreach(line IN LISTS lines)
  if(line MATCHES "^KW_MESSAGE\\(([0-9]+), \"(.*)\"\\)$")
    set(id "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_2}")
    string(REPLACE "\\\"" "\"\"" text "${text}")
    if(text MATCHES "\\\\")
      message(FATAL_ERROR "catalogue text ${id} holds a backslash escape other than \\\"")
    endif()
    string(APPEND body "  ${id}, \"${text}\"\n")
    math(EXPR count "${count} + 1")
  elseif(line MATCHES "KW_MESSAGE\\(" AND NOT line MATCHES "^//")
    message(FATAL_ERROR "catalogue line not understood: ${line}")
  endif()
endforeach()
string(APPEND body "END\n")
if(count EQUAL 0)
  message(FATAL_ERROR "no catalogue entries found in ${IN}")
endif()
file(WRITE "${OUT}.tmp" "${body}")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
