# Runs one bench as a newcomer would first try it, in an empty folder:
# `--help` prints the usage and succeeds; an unknown option and a surplus
# argument are refused with a message naming them and a non-zero status.
# None of them may leave a file behind (work begun before the refusal).
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(surplus a b c d)
foreach(case help option surplus)
  if(case STREQUAL "help")
    set(arguments --help)
  elseif(case STREQUAL "option")
    set(arguments --no-such-option)
  else()
    set(arguments ${surplus})
  endif()
  execute_process(COMMAND ${BENCH} ${arguments} WORKING_DIRECTORY ${WORK_DIR}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
  file(GLOB left ${WORK_DIR}/*)
  if(case STREQUAL "help" AND (NOT rc EQUAL 0 OR NOT out MATCHES "^usage: "))
    message(FATAL_ERROR "--help: status ${rc}, output '${out}' '${err}'")
  elseif(NOT case STREQUAL "help" AND (rc EQUAL 0 OR NOT rc MATCHES "^[0-9]+$"
         OR NOT err MATCHES "'(--no-such-option|a|b|c|d)'" OR NOT err MATCHES "usage: "))
    message(FATAL_ERROR "${arguments}: status ${rc}, errors '${err}'")
  endif()
  if(left)
    message(FATAL_ERROR "${arguments} left ${left}")
  endif()
endforeach()
