# Read by ctest after the discovered cases of tabulo_tests: they share Sheetrix.ini beside
# the test program, so no two of them may run at once.
if(tabulo_tests_TESTS)
  set_tests_properties(${tabulo_tests_TESTS} PROPERTIES RESOURCE_LOCK tabulo_sheetrix_ini)
endif()
