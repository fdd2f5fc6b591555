# Shared build rules for the subsystem libraries, tests, benchmarks and fuzzers.

# Warnings every target of ours is built with.
function(zelvaro_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ZELVARO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# zelvaro_library(<name> DEPS <targets...>)
# A static library from every .cpp in the current folder (and graphics/formats
# style subfolders listed in SUBDIRS), its headers installed under
# include/zelvaro/<folder>, exported as Zelvaro::<name>.
function(zelvaro_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS;SUBDIRS" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c
            ${CMAKE_CURRENT_SOURCE_DIR}/*.S)
  set(hglobs ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(sub IN LISTS ARG_SUBDIRS)
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp)
    list(APPEND hglobs ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.h)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  add_library(${name} STATIC ${sources})
  add_library(Zelvaro::${name} ALIAS ${name})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/zelvaro>)
  target_compile_features(${name} PUBLIC cxx_std_20)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  zelvaro_warnings(${name})
  install(TARGETS ${name} EXPORT ZelvaroTargets
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  install(DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/
          DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zelvaro/${rel}
          FILES_MATCHING PATTERN "*.h")
endfunction()

# zelvaro_test(<name> SOURCES <files...> DEPS <targets...>)
# A GoogleTest executable whose tests ctest discovers one by one.
function(zelvaro_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  zelvaro_warnings(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "ZELVARO_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# zelvaro_fuzzer(<name> SOURCES <files...> DEPS <targets...> [CORPUS <dir>])
# A libFuzzer target; ctest replays its seed corpus once (no mutation), so
# the sanitizer build checks every seed.
function(zelvaro_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  zelvaro_warnings(${name})
  if(ARG_CORPUS)
    add_test(NAME fuzz.${name}.corpus
             COMMAND ${name} -runs=0 ${ARG_CORPUS})
  endif()
endfunction()

# Adds every subfolder of the current folder that has a CMakeLists.txt: one
# program (or a small group) each, so a new one needs no edit here.
function(zelvaro_add_subfolders)
  file(GLOB children CONFIGURE_DEPENDS LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
