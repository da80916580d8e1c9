# qorvel_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [PROPERTIES <ctest properties...>])
# One GoogleTest program, its cases registered one by one with CTest.
function(qorvel_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} qorvel_testing GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${T_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300 ${T_PROPERTIES})
endfunction()

# qorvel_test_folders(<prefix> LIBS <targets...> LABELS <labels...> [TARGETS <out-var>])
# One test program per subfolder of the calling folder's tests/ (tests/model ->
# <prefix>_model_tests), each from the subfolder's *.cpp; the names made go to <out-var>.
function(qorvel_test_folders prefix)
  cmake_parse_arguments(F "" "TARGETS" "LIBS;LABELS" ${ARGN})
  file(GLOB dirs LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*)
  set(made "")
  foreach(d ${dirs})
    if(IS_DIRECTORY ${d})
      get_filename_component(area ${d} NAME)
      file(GLOB srcs CONFIGURE_DEPENDS ${d}/*.cpp)
      if(srcs)
        qorvel_test(${prefix}_${area}_tests SOURCES ${srcs} LIBS ${F_LIBS} LABELS ${F_LABELS})
        list(APPEND made ${prefix}_${area}_tests)
      endif()
    endif()
  endforeach()
  if(F_TARGETS)
    set(${F_TARGETS} ${made} PARENT_SCOPE)
  endif()
endfunction()
