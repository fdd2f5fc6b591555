# Installs the freshly built tree into a scratch prefix and builds a consumer,
# and the README's example program beside it, as its text stands.
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
# The libraries carry the project's name; internal headers stay out.
foreach(name platform toolkit formula files graphics)
  file(GLOB_RECURSE ours ${WORK_DIR}/prefix/libzelvaro_${name}.a)
  file(GLOB_RECURSE bare ${WORK_DIR}/prefix/lib${name}.a)
  if(NOT ours OR bare)
    message(FATAL_ERROR "installed ${name} library: '${ours}' '${bare}'")
  endif()
endforeach()
foreach(internal formula/fast_path.h toolkit/detail/intparse.h platform/registry_db.h)
  if(EXISTS ${WORK_DIR}/prefix/include/zelvaro/${internal})
    message(FATAL_ERROR "an internal header is installed: ${internal}")
  endif()
endforeach()

file(READ ${README} readme)
string(REGEX MATCH "## Using the libraries.*" readme "${readme}")
string(REGEX MATCH "```cpp\n[^`]*```" example "${readme}")
string(REGEX REPLACE "^```cpp\n|```$" "" example "${example}")
if(NOT example MATCHES "int main")
  message(FATAL_ERROR "no C++ example under 'Using the libraries' in ${README}")
endif()
file(WRITE ${WORK_DIR}/readme_example.cpp "${example}")

execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/build
                        -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_CXX_COMPILER=${CXX}
                        -DREADME_EXAMPLE=${WORK_DIR}/readme_example.cpp
                        "-DCMAKE_CXX_FLAGS=${FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${FLAGS}"
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "consumer configure failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "consumer build failed: ${rc}")
endif()
execute_process(COMMAND ${WORK_DIR}/build/consumer ${WORK_DIR}/consumer.png RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "consumer run failed: ${rc}")
endif()
file(MAKE_DIRECTORY ${WORK_DIR}/run)
execute_process(COMMAND ${CMAKE_COMMAND} -E env XDG_CONFIG_HOME=${WORK_DIR}/run/config
                        ${WORK_DIR}/build/readme_example
                WORKING_DIRECTORY ${WORK_DIR}/run RESULT_VARIABLE rc)
if(rc OR NOT EXISTS ${WORK_DIR}/run/bell.png OR NOT EXISTS ${WORK_DIR}/run/config/zelvaro/registry.db)
  message(FATAL_ERROR "the README example failed (${rc}) or left no picture or setting")
endif()
