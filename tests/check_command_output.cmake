# Runs a command and passes only when it exits with 0 and its output matches
# PATTERN: ctest's PASS_REGULAR_EXPRESSION alone ignores the exit status.
#   cmake -DPATTERN=REGEX [-DSTDOUT_ONLY=ON] -P check_command_output.cmake -- PROGRAM [ARGS...]
# With STDOUT_ONLY, the pattern must be found on standard output alone.
set(command)
set(collecting FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(index RANGE ${last})
  if(collecting)
    list(APPEND command "${CMAKE_ARGV${index}}")
  elseif(CMAKE_ARGV${index} STREQUAL "--")
    set(collecting TRUE)
  endif()
endforeach()
if(NOT command OR NOT DEFINED PATTERN)
  message(FATAL_ERROR "usage: cmake -DPATTERN=REGEX -P check_command_output.cmake -- PROGRAM [ARGS...]")
endif()

if(STDOUT_ONLY)
  execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE output
                  ERROR_VARIABLE errors)
  message("${output}${errors}")
else()
  execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  message("${output}")
endif()
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "exit status ${status}")
endif()
if(NOT output MATCHES "${PATTERN}")
  message(FATAL_ERROR "output does not match ${PATTERN}")
endif()
