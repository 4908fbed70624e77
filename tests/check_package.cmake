# Checks a .ts3_plugin archive the way the voice client's installer reads it:
# a zip whose entries are deflated (or empty), with ASCII names, holding
# package.ini at its root and the library with its log folder under plugins/
# (and, in a Windows package, the game-side setup in that folder).
#   cmake -DPACKAGE=... -DLIBRARY_NAME=zovik_win64.dll -P check_package.cmake
cmake_minimum_required(VERSION 3.25)

file(READ ${PACKAGE} hex HEX)

# Little-endian unsigned integer of `size` bytes at byte `offset`.
function(read_le out offset size)
  math(EXPR start "(${offset}) * 2")
  math(EXPR last "${size} - 1")
  set(value "")
  foreach(i RANGE 0 ${last})
    math(EXPR at "${start} + ${i} * 2")
    string(SUBSTRING "${hex}" ${at} 2 byte)
    string(PREPEND value ${byte})
  endforeach()
  math(EXPR value "0x${value}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# Fails with `message` unless the 4-byte record signature at byte `offset`
# is `expected` (hex).
function(expect_signature offset expected message)
  math(EXPR at "(${offset}) * 2")
  string(SUBSTRING "${hex}" ${at} 8 signature)
  if(NOT signature STREQUAL expected)
    message(FATAL_ERROR "${message}")
  endif()
endfunction()

# The end-of-central-directory record (the last 22 bytes of an archive
# without comment) says where the entries are listed.
string(LENGTH "${hex}" hex_length)
if(hex_length LESS 44)
  message(FATAL_ERROR "${PACKAGE} is too short for a zip archive")
endif()
math(EXPR eocd "${hex_length} / 2 - 22")
expect_signature(${eocd} 504b0506 "${PACKAGE} is not a zip archive without comment")
read_le(entries "${eocd} + 10" 2)
read_le(offset "${eocd} + 16" 4)

set(names)
foreach(index RANGE 1 ${entries})
  expect_signature(${offset} 504b0102 "broken central directory at byte ${offset}")
  read_le(method "${offset} + 10" 2)
  read_le(size "${offset} + 24" 4)
  read_le(name_length "${offset} + 28" 2)
  read_le(extra_length "${offset} + 30" 2)
  read_le(comment_length "${offset} + 32" 2)
  math(EXPR name_at "(${offset} + 46) * 2")
  math(EXPR name_hex_length "${name_length} * 2")
  string(SUBSTRING "${hex}" ${name_at} ${name_hex_length} name_hex)
  if(NOT name_hex MATCHES "^([0-7][0-9a-f])*$")
    message(FATAL_ERROR "entry ${index} has a non-ASCII name")
  endif()
  # Decode the ASCII name.
  set(name "")
  string(LENGTH "${name_hex}" hex_length)
  math(EXPR last_byte "${hex_length} / 2 - 1")
  foreach(b RANGE 0 ${last_byte})
    math(EXPR p "${b} * 2")
    string(SUBSTRING "${name_hex}" ${p} 2 code)
    math(EXPR code "0x${code}")
    string(ASCII ${code} character)
    string(APPEND name "${character}")
  endforeach()
  if(size GREATER 0 AND NOT method EQUAL 8)
    message(FATAL_ERROR "${name} is stored with method ${method}, not deflate (8)")
  endif()
  if(NOT name MATCHES "/$")
    list(APPEND names "${name}")
  endif()
  message(STATUS "${name}: ${size} bytes, method ${method}")
  math(EXPR offset "${offset} + 46 + ${name_length} + ${extra_length} + ${comment_length}")
endforeach()

list(SORT names)
set(expected package.ini plugins/${LIBRARY_NAME} plugins/zovik_plugin/readme.txt)
if(LIBRARY_NAME MATCHES "\\.dll$")
  list(APPEND expected plugins/zovik_plugin/zovik_dcs_setup.exe)
endif()
list(SORT expected)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "files in the package: ${names}\nexpected: ${expected}")
endif()
message(STATUS "package layout and compression as the installer expects")
