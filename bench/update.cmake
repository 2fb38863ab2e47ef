# An update of 100 cities by the UI program against libcurl fetching the same
# documents from the feed simulator on loopback.
find_package(CURL)
if(CURL_FOUND)
  add_executable(update_bench ${CMAKE_CURRENT_LIST_DIR}/update_bench.cpp
    ${PROJECT_SOURCE_DIR}/tests/weather/service_feedsim.cpp
    ${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cpp)
  target_compile_definitions(update_bench PRIVATE SKYVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    SKYVANE_DEFAULT_BUILD_DIR="${CMAKE_BINARY_DIR}")
  target_include_directories(update_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR})
  target_link_libraries(update_bench PRIVATE skyvane_plugin benchmark::benchmark CURL::libcurl)
  add_dependencies(update_bench KWeather SkyvaneWeather SkyvaneWeatherUI skyvane-regsvr)
endif()
