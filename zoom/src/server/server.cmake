# Included by zoom/CMakeLists.txt: the server process of ZoomSvr, and what libzoom needs to
# reach a window of its host (window handles and posted messages of ui/).
add_executable(zoomsvr-host ${CMAKE_CURRENT_SOURCE_DIR}/src/server/helper/zoomsvr_host.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/src/server/relay.cpp)
target_link_libraries(zoomsvr-host PRIVATE PkgConfig::YAZ_SERVER PkgConfig::YAZ Threads::Threads)
# libzoom looks for it in its own folder.
set_target_properties(zoomsvr-host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
add_dependencies(zoom zoomsvr-host)
target_link_libraries(zoom PRIVATE qorvel_ui qorvel_platform)

# The test window's handle and messages are the ones libzoom sees: both use the one
# shared copy of ui/.
target_link_libraries(zoom_server_tests PRIVATE qorvel_ui Loomkit PkgConfig::YAZ)
target_link_libraries(zoom_server_tests PRIVATE zoom_test_servers)
add_dependencies(zoom_server_tests zoomsvr-host)
