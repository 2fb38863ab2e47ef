# The city database readers: the line reader and its parsers, and the
# directory over three files made from the input.
skyvane_fuzz_target(cities_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/cities_fuzz.cpp LIBS kweather_cities)
