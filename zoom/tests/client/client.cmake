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
# A peer that answers the init and then misbehaves as it is told.
add_executable(zoom_rogue_server ${CMAKE_CURRENT_SOURCE_DIR}/tests/client/fixture/rogue_server.cpp)
target_link_libraries(zoom_rogue_server PRIVATE PkgConfig::YAZ Threads::Threads)

# zoom_test_servers: the Z39.50 test-server runner (ztest::ServerProcess of server_process.h)
# and the paths of the fixture server and the rogue one, for every test program and benchmark
# that runs a Z39.50 server of its own (here, in Loomstore, Gleanex and Setuply, bench/).
add_library(zoom_test_servers STATIC EXCLUDE_FROM_ALL ${CMAKE_CURRENT_SOURCE_DIR}/tests/client/server_process.cpp)
target_include_directories(zoom_test_servers PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/tests/client)
target_link_libraries(zoom_test_servers PUBLIC qorvel_testing)
target_compile_definitions(zoom_test_servers PUBLIC ZOOM_FIXTURE_SERVER="$<TARGET_FILE:zoom_fixture_server>"
                           ZOOM_ROGUE_SERVER="$<TARGET_FILE:zoom_rogue_server>")
add_dependencies(zoom_test_servers zoom_fixture_server zoom_rogue_server)

target_link_libraries(zoom_client_tests PRIVATE zoom_client_engine zoom_test_servers)
