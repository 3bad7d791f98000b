# nestora_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# Builds a GoogleTest program into build/bin and registers its cases with ctest.
function(nestora_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}"
      # One variable per property: the discovered-test properties are a flat list, so a
      # second variable in ENVIRONMENT would be split off as a property name.
      ENVIRONMENT "NESTORA_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
      ENVIRONMENT_MODIFICATION "NESTORA_BIN_DIR=set:${CMAKE_BINARY_DIR}/bin")
endfunction()
