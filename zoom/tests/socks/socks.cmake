# Included by zoom/CMakeLists.txt. The SOCKS tests drive the redirection of src/socks/
# directly: linked into the test program it rewrites the GOT of the libyaz.so.5 loaded
# there, and YAZ's ZOOM API then connects through microsocks to yaz-ztest. With the client
# engine at hand, its Connect is driven through the proxy too.
target_link_libraries(zoom_socks_tests PRIVATE zoom_client_engine)  # holds src/socks/ too
target_compile_definitions(zoom_socks_tests PRIVATE ZOOM_SOCKS_WITH_ENGINE=1)
target_include_directories(zoom_socks_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src/socks)
target_link_libraries(zoom_socks_tests PRIVATE zoom_test_servers)
