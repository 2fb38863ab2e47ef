# The city directory on the shipped database: BeginCityByCountry for the
# largest letter section and for the largest one-section country, with the
# section index already read and with a fresh directory that reads it first.
add_executable(cities_bench ${CMAKE_CURRENT_LIST_DIR}/cities_bench.cpp)
target_compile_definitions(cities_bench PRIVATE SKYVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
target_link_libraries(cities_bench PRIVATE kweather_cities benchmark::benchmark)
