# Configures a tiny project per manifest: manifests naming one resource twice
# (names equal but for case, ids equal by number within one type) must stop
# the configuration with both lines named; distinct entries must pass.
# Arguments: -DMODULE=<ZelvaroResources.cmake> -DWORK_DIR=<scratch folder>.
cmake_policy(SET CMP0007 NEW)
file(REMOVE_RECURSE "${WORK_DIR}")

# Each case: the expected line pair ("" = accepted), then the manifest lines
# separated by '|'. Every file named exists and is 16 bytes long.
set(cases
    "line 5 'DATA ABC b.txt' names the same resource as line 3 'DATA abc a.txt'"
    "# names differ only in case||DATA abc a.txt||DATA ABC b.txt"
    "line 2 'data 007 b.txt' names the same resource as line 1 'DATA 7 a.txt'"
    "DATA 7 a.txt|data 007 b.txt"
    "line 3 'DATA 65543 c.txt' names the same resource as line 1 'DATA 7 a.txt'"
    "DATA 7 a.txt|DATA 8 b.txt|DATA 65543 c.txt"
    "line 2 'BITMAP 0101 b.txt' names the same resource as line 1 '2 101 a.txt'"
    "2 101 a.txt|BITMAP 0101 b.txt"
    "line 2 'Html Zelvaro.html b.txt' names the same resource as line 1 '23 zelvaro.HTML a.txt'"
    "23 zelvaro.HTML a.txt|Html Zelvaro.html b.txt"
    ""
    "DATA abc a.txt|HTML abc b.txt|DATA abd c.txt|DATA 7 a.txt|5 7 b.txt|DATA 0x7 c.txt|DATA 8 b.txt")

set(index 0)
while(cases)
  list(POP_FRONT cases expected manifest)
  math(EXPR index "${index} + 1")
  set(dir "${WORK_DIR}/case${index}")
  foreach(name a b c)
    file(WRITE "${dir}/${name}.txt" "sixteen bytes..\n")
  endforeach()
  string(REPLACE "|" "\n" manifest "${manifest}")
  file(WRITE "${dir}/manifest.txt" "${manifest}\n")
  file(WRITE "${dir}/main.cpp" "int main() { return 0; }\n")
  file(WRITE "${dir}/CMakeLists.txt"
       "cmake_minimum_required(VERSION 3.25)\nproject(ManifestCheck C CXX)\n"
       "include(\"${MODULE}\")\nadd_library(Zelvaro::platform INTERFACE IMPORTED)\n"
       "add_executable(app main.cpp)\nzelvaro_resources(app manifest.txt)\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -S "${dir}" -B "${dir}/build"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  # CMake wraps long messages: compare with the white space joined.
  string(REGEX REPLACE "[ \t\r\n]+" " " said "${err}")
  if(expected STREQUAL "")
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "case ${index}: distinct entries refused:\n${err}")
    endif()
  elseif(rc EQUAL 0)
    message(FATAL_ERROR "case ${index}: a repeated resource was accepted")
  else()
    string(FIND "${said}" "${expected}" at)
    if(at LESS 0)
      message(FATAL_ERROR "case ${index}: expected '${expected}' in:\n${err}")
    endif()
  endif()
endwhile()
file(REMOVE_RECURSE "${WORK_DIR}")
