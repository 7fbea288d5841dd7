# zt_add_gtest(<name> SOURCES <files...> LIBS <libs...> [LABELS <labels...>]
#              [ENVIRONMENT <VAR=value...>] [PROPERTIES <ctest properties...>])
# Builds one GoogleTest binary and registers each of its cases with CTest,
# labelled "unit" unless other labels are given.
#
# Labels and environment are lists, which gtest_discover_tests cannot pass on
# (it splits every list into separate arguments). They are set instead by a
# small script that CTest runs after the discovered cases are known.
function(zt_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;ENVIRONMENT;PROPERTIES" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} TEST_LIST ${name}_TESTS PROPERTIES ${ARG_PROPERTIES} DISCOVERY_TIMEOUT 60)

  set(list_properties "LABELS [==[${ARG_LABELS}]==]")
  if(ARG_ENVIRONMENT)
    string(APPEND list_properties " ENVIRONMENT [==[${ARG_ENVIRONMENT}]==]")
  endif()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}_list_properties.cmake)
  file(WRITE ${script}
    "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES ${list_properties})\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
