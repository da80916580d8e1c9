# Every Debian package that scripts/packages.txt installs is required: each is looked for
# where the build or its tests use it, through these helpers, and a missing one fails
# configure with the package's name (bash scripts/install-deps.sh installs them all). At the
# end of configure qorvel_check_packages() stops it too when packages.txt lists a package
# that no helper names.
#
# qorvel_find_package(<Debian package> <CMake package> [find_package arguments...])
# qorvel_pkg_check_modules(<prefix> <Debian package> <pkg-config modules...>)
#   the modules as the imported target PkgConfig::<prefix>
# qorvel_require_programs(<Debian package> <program>... [PATHS <folders>...])
# qorvel_require_files(<Debian package> <file>... [PATHS <folders>...])
# qorvel_require_python_module(<Debian package> <interpreter> <module>)

# Fails configure: `what` (a description) is missing, from the Debian package `package`.
# Configure goes on to name whatever else is missing, then stops before generating anything.
function(qorvel_missing package what)
  message(SEND_ERROR "${what} not found: install the Debian package ${package} "
                     "(bash scripts/install-deps.sh installs every package of scripts/packages.txt)")
endfunction()

# Notes that the build looks for `package` (for qorvel_check_packages).
function(qorvel_package_used package)
  set_property(GLOBAL APPEND PROPERTY QORVEL_PACKAGES_USED ${package})
endfunction()

macro(qorvel_find_package qorvel_deb qorvel_name)
  qorvel_package_used(${qorvel_deb})
  find_package(${qorvel_name} ${ARGN} QUIET)
  if(NOT ${qorvel_name}_FOUND)
    string(JOIN " " qorvel_what ${qorvel_name} ${ARGN})
    qorvel_missing(${qorvel_deb} "The CMake package ${qorvel_what}")
  endif()
endmacro()

macro(qorvel_pkg_check_modules qorvel_prefix qorvel_deb)
  qorvel_package_used(${qorvel_deb})
  pkg_check_modules(${qorvel_prefix} QUIET IMPORTED_TARGET ${ARGN})
  if(NOT ${qorvel_prefix}_FOUND)
    string(JOIN " " qorvel_what ${ARGN})
    qorvel_missing(${qorvel_deb} "The pkg-config module ${qorvel_what}")
  endif()
endmacro()

function(qorvel_require_programs package)
  qorvel_require_found(PROGRAM ${package} ${ARGN})
endfunction()

function(qorvel_require_files package)
  qorvel_require_found(FILE ${package} ${ARGN})
endfunction()

# Their shared body: each name is looked for as a PROGRAM (PATH, then the PATHS) or as a FILE
# (in the PATHS only).
function(qorvel_require_found kind package)
  cmake_parse_arguments(R "" "" "PATHS" ${ARGN})
  qorvel_package_used(${package})
  foreach(name ${R_UNPARSED_ARGUMENTS})
    string(MAKE_C_IDENTIFIER "QORVEL_${kind}_${name}" var)
    if(kind STREQUAL "PROGRAM")
      find_program(${var} ${name} PATHS ${R_PATHS})
      set(what "The program ${name}")
    else()
      find_file(${var} ${name} PATHS ${R_PATHS} NO_DEFAULT_PATH)
      set(what "The file ${name} (in ${R_PATHS})")
    endif()
    if(NOT ${var})
      qorvel_missing(${package} "${what}")
    endif()
  endforeach()
endfunction()

function(qorvel_require_python_module package python module)
  qorvel_package_used(${package})
  execute_process(COMMAND ${python} -c "import ${module}" RESULT_VARIABLE failed OUTPUT_QUIET ERROR_QUIET)
  if(failed)
    qorvel_missing(${package} "The Python module ${module} (of ${python})")
  endif()
endfunction()

# Stops configure when scripts/packages.txt lists a package that no helper above names.
function(qorvel_check_packages)
  file(STRINGS ${CMAKE_SOURCE_DIR}/scripts/packages.txt lines)
  get_property(used GLOBAL PROPERTY QORVEL_PACKAGES_USED)
  foreach(line ${lines})
    string(STRIP "${line}" package)
    if(package STREQUAL "" OR package MATCHES "^#")
      continue()
    endif()
    if(NOT package IN_LIST used)
      message(FATAL_ERROR "scripts/packages.txt lists ${package}, which the build never looks for: "
                          "name it where the build or its tests use it (cmake/Qorvel.cmake has the helpers)")
    endif()
  endforeach()
endfunction()

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
# layer_exports_planted_leak shows that the check finds such a leak, in a library made for it,
# and layer_exports_unlistable that a file nm cannot read fails it. Called once, at the end of the top-level CMakeLists.txt.
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
  # A file whose exports nm cannot list (here the check's own script) fails the check.
  add_test(NAME layer_exports_unlistable COMMAND bash ${check} ${CMAKE_NM} ${check})
  set_tests_properties(layer_exports_unlistable PROPERTIES LABELS exports WILL_FAIL TRUE)
endfunction()
