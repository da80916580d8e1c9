# qorvel_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# One GoogleTest program, its cases registered one by one with CTest.
function(qorvel_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} qorvel_testing GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
