# zt_add_gtest(<name> SOURCES <files...> LIBS <libs...> [LABELS <labels...>]
#              [ENVIRONMENT <VAR=value...>] [PROPERTIES <ctest properties...>])
# Builds one GoogleTest binary and registers each of its cases with CTest,
# labelled "unit" unless other labels are given.
function(zt_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;ENVIRONMENT;PROPERTIES" ${ARGN})
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  set(properties LABELS "${ARG_LABELS}" ${ARG_PROPERTIES})
  if(ARG_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  gtest_discover_tests(${name} PROPERTIES ${properties} DISCOVERY_TIMEOUT 60)
endfunction()
