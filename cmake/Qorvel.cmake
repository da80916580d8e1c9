# qorvel_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [ENV <VAR=value...>])
# One GoogleTest program, its cases registered one by one with CTest.
function(qorvel_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} qorvel_testing GTest::gtest GTest::gtest_main Threads::Threads)
  set(env "QORVEL_SOURCE_DIR=${CMAKE_SOURCE_DIR}" "QORVEL_BINARY_DIR=${CMAKE_BINARY_DIR}" "QT_QPA_PLATFORM=offscreen" ${T_ENV})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()
