# Included by zoom/CMakeLists.txt. Besides going through libzoom as a server, the client
# tests drive the connection engine of src/z3950/ directly, and they run a Z39.50 server of
# their own built on YAZ's front end.
file(GLOB zoom_engine_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/z3950/*.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/src/socks/*.cpp)
add_library(zoom_client_engine STATIC EXCLUDE_FROM_ALL ${zoom_engine_sources})
target_include_directories(zoom_client_engine PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src)
target_link_libraries(zoom_client_engine PUBLIC qorvel_xml Loomkit PkgConfig::YAZ)

add_executable(zoom_fixture_server ${CMAKE_CURRENT_SOURCE_DIR}/tests/client/fixture/fixture_server.cpp)
target_link_libraries(zoom_fixture_server PRIVATE PkgConfig::YAZ_SERVER PkgConfig::YAZ)

# What the tests and bench/zoom_fetch.cpp need to run a server: the process runner and
# the fixture server's path.
add_library(zoom_client_testkit STATIC EXCLUDE_FROM_ALL ${CMAKE_CURRENT_SOURCE_DIR}/tests/client/server_process.cpp)
target_include_directories(zoom_client_testkit PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/tests/client)
target_link_libraries(zoom_client_testkit PUBLIC qorvel_testing)
target_compile_definitions(zoom_client_testkit PUBLIC ZOOM_FIXTURE_SERVER="$<TARGET_FILE:zoom_fixture_server>")
add_dependencies(zoom_client_testkit zoom_fixture_server)

target_link_libraries(zoom_client_tests PRIVATE zoom_client_engine zoom_client_testkit)
