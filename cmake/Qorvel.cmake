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

# qorvel_check_exports(): the test layer_exports runs cmake/check_exports.sh over every shared
# library of the build (each layer's own library may export that layer's definitions, no other
# library any), so that a layer linked into a library once more fails the tests. The test
# layer_exports_planted_leak shows that the check finds such a leak, in a library made for it.
# Called once, at the end of the top-level CMakeLists.txt.
function(qorvel_check_exports)
  set(dirs ${CMAKE_SOURCE_DIR})
  set(libs "")
  while(dirs)
    list(POP_FRONT dirs dir)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t ${targets})
      get_target_property(type ${t} TYPE)
      if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
        get_target_property(layer ${t} QORVEL_LAYER)
        if(layer)
          list(APPEND libs "$<TARGET_FILE:${t}>=${layer}")
        else()
          list(APPEND libs "$<TARGET_FILE:${t}>")
        endif()
      endif()
    endforeach()
  endwhile()
  set(check ${CMAKE_SOURCE_DIR}/cmake/check_exports.sh)
  add_test(NAME layer_exports COMMAND bash ${check} ${CMAKE_NM} ${libs})
  set_tests_properties(layer_exports PROPERTIES LABELS exports)

  add_library(qorvel_planted_leak SHARED ${CMAKE_SOURCE_DIR}/cmake/planted_leak.cpp)
  set_target_properties(qorvel_planted_leak PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/exports-check)
  add_test(NAME layer_exports_planted_leak
           COMMAND bash ${check} --expect "platform::plantedLeak()" ${CMAKE_NM} $<TARGET_FILE:qorvel_planted_leak>)
  set_tests_properties(layer_exports_planted_leak PROPERTIES LABELS exports)
endfunction()
