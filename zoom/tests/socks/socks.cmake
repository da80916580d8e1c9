# Included by zoom/CMakeLists.txt. The SOCKS tests drive the redirection of src/socks/
# directly: linked into the test program it rewrites the GOT of the libyaz.so.5 loaded
# there, and YAZ's ZOOM API then connects through microsocks to yaz-ztest. With the client
# engine at hand, its Connect is driven through the proxy too.
if(TARGET zoom_socks_tests AND YAZ_FOUND)
  if(TARGET zoom_client_engine)
    target_link_libraries(zoom_socks_tests PRIVATE zoom_client_engine)  # holds src/socks/ too
    target_compile_definitions(zoom_socks_tests PRIVATE ZOOM_SOCKS_WITH_ENGINE=1)
  else()
    file(GLOB zoom_socks_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/socks/*.cpp)
    add_library(zoom_socks STATIC EXCLUDE_FROM_ALL ${zoom_socks_sources})
    target_link_libraries(zoom_socks PUBLIC PkgConfig::YAZ)
    target_link_libraries(zoom_socks_tests PRIVATE zoom_socks)
  endif()
  target_include_directories(zoom_socks_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src/socks
                             ${CMAKE_CURRENT_SOURCE_DIR}/tests/client)
  target_sources(zoom_socks_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests/client/server_process.cpp)
endif()
