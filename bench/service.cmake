# The weather service through COM: BeginCityByCountry on the shipped database
# and a full Weather call against the feed simulator, split into download and
# reading. The library is loaded by the COM runtime, not linked.
add_executable(service_bench ${CMAKE_CURRENT_LIST_DIR}/service_bench.cpp
  ${PROJECT_SOURCE_DIR}/tests/weather/service_feedsim.cpp
  ${PROJECT_SOURCE_DIR}/tests/test_util/test_util.cpp)
target_compile_definitions(service_bench PRIVATE SKYVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  SKYVANE_DEFAULT_BUILD_DIR="${CMAKE_BINARY_DIR}")
target_include_directories(service_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR})
target_link_libraries(service_bench PRIVATE kweather_uuid skyvane_platform benchmark::benchmark ${CMAKE_DL_LIBS})
add_dependencies(service_bench KWeather)
