# Shared build rules for the subsystem libraries, tests, benchmarks and fuzzers.

# Warnings every target of ours is built with.
function(zelvaro_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ZELVARO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# zelvaro_library(<name> HEADERS <headers...> DEPS <targets...>)
# A static library from every .cpp in the current folder (and graphics/formats
# style subfolders listed in SUBDIRS), exported as Zelvaro::<name> and
# installed as libzelvaro_<name>.a: a bare libgraphics.a would clash with
# other packages in a shared lib folder. HEADERS are the headers a user
# includes; zelvaro_install_headers() installs them and what they include.
function(zelvaro_library name)
  cmake_parse_arguments(ARG "" "" "HEADERS;DEPS;PRIVATE_DEPS;SUBDIRS" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c
            ${CMAKE_CURRENT_SOURCE_DIR}/*.S)
  foreach(sub IN LISTS ARG_SUBDIRS)
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  add_library(${name} STATIC ${sources})
  add_library(Zelvaro::${name} ALIAS ${name})
  set_target_properties(${name} PROPERTIES OUTPUT_NAME zelvaro_${name})
  target_include_directories(${name} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/zelvaro>)
  target_compile_features(${name} PUBLIC cxx_std_20)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  zelvaro_warnings(${name})
  install(TARGETS ${name} EXPORT ZelvaroTargets
          ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  foreach(header IN LISTS ARG_HEADERS)
    set_property(GLOBAL APPEND PROPERTY ZELVARO_PUBLIC_HEADERS
                 ${CMAKE_CURRENT_SOURCE_DIR}/${header})
  endforeach()
endfunction()

# Installs the libraries' public headers under include/zelvaro and every
# project header they include, directly or through others; internal headers
# stay out. Each scanned header is a configure dependency, so a new include
# re-runs the scan.
function(zelvaro_install_headers)
  get_property(pending GLOBAL PROPERTY ZELVARO_PUBLIC_HEADERS)
  set(done "")
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST done)
      continue()
    endif()
    if(NOT EXISTS ${header})
      message(FATAL_ERROR "zelvaro_install_headers: no header ${header}")
    endif()
    list(APPEND done ${header})
    file(STRINGS ${header} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" included "${line}")
      if(EXISTS ${PROJECT_SOURCE_DIR}/${included})
        list(APPEND pending ${PROJECT_SOURCE_DIR}/${included})
      endif()
    endforeach()
  endwhile()
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${done})
  foreach(header IN LISTS done)
    file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${header})
    get_filename_component(folder ${rel} DIRECTORY)
    install(FILES ${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zelvaro/${folder})
  endforeach()
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
