# Runs one end-to-end script through kelvora-cli in a fresh folder holding the fixtures, and
# compares what it prints with the expected output checked in beside it.
#   cmake -DCLI=... -DSCRIPT=... -DEXPECTED=... -DWORK=... -P run_script.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/config")
file(GLOB fixtures "${CMAKE_CURRENT_LIST_DIR}/*.txt")
file(COPY ${fixtures} DESTINATION "${WORK}")
set(ENV{XDG_CONFIG_HOME} "${WORK}/config")
execute_process(
  COMMAND "${CLI}" script "${SCRIPT}" --today 2004-08-14 --now "2004-08-14 09:05"
  WORKING_DIRECTORY "${WORK}"
  OUTPUT_VARIABLE output
  RESULT_VARIABLE status)
file(READ "${EXPECTED}" expected)
if(NOT output STREQUAL expected)
  file(WRITE "${WORK}/actual.out" "${output}")
  message(FATAL_ERROR "output differs from ${EXPECTED}; see ${WORK}/actual.out")
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kelvora-cli script ended with ${status}")
endif()
