# Imports the example collection the way the example_collection target does, in a fresh folder,
# and checks that every item arrives: a broken examples/capitals.xml fails here, not at the first
# scripts/run.sh.
#   cmake -DCLI=... -DEXAMPLE=.../capitals.xml -DWORK=... -P import_example.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/config")
file(COPY "${EXAMPLE}" DESTINATION "${WORK}")
set(ENV{XDG_CONFIG_HOME} "${WORK}/config")
execute_process(
  COMMAND "${CLI}" --yes import-xml capitals.xml
  WORKING_DIRECTORY "${WORK}"
  OUTPUT_QUIET
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kelvora-cli import-xml ended with ${status}")
endif()
execute_process(
  COMMAND "${CLI}" info capitals
  WORKING_DIRECTORY "${WORK}"
  OUTPUT_VARIABLE info
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT info MATCHES "\nitemCount: 50\n")
  message(FATAL_ERROR "the example collection did not import whole (${status}):\n${info}")
endif()
