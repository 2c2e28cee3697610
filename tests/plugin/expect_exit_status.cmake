# cmake -DEXPECTED=<status> -DCOMMAND=<program;args...> -P expect_exit_status.cmake
# Runs the command and fails unless it ends with the expected exit status.
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT "${status}" STREQUAL "${EXPECTED}")
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECTED}")
endif()
