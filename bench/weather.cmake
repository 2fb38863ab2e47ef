# The response reader: Load document plus Build records of the full Moscow
# answer, timed against a plain pugixml parse of the same text and against
# that parse walked into plain records.
add_executable(weather_bench ${CMAKE_CURRENT_LIST_DIR}/weather_bench.cpp
  ${CMAKE_CURRENT_LIST_DIR}/weather_plain_walk.cpp)
target_include_directories(weather_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(weather_bench PRIVATE SKYVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
target_link_libraries(weather_bench PRIVATE kweather_weather benchmark::benchmark PkgConfig::PUGIXML)
