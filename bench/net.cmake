# HttpClient against libcurl on the same nginx on loopback: a 1 MiB gzip body
# and a 40 KiB plain body, the two clients alternating in one run.
find_package(CURL)
if(CURL_FOUND)
  add_executable(net_bench ${CMAKE_CURRENT_LIST_DIR}/net_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/servers/processes.cpp ${PROJECT_SOURCE_DIR}/tests/servers/scripted_server.cpp)
  target_include_directories(net_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(net_bench PRIVATE SKYVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  target_link_libraries(net_bench PRIVATE kweather_net benchmark::benchmark CURL::libcurl ZLIB::ZLIB Threads::Threads)
endif()
