# The response reader: arbitrary text through Load document and Build records,
# read directly and through the DOM interfaces, every record's properties
# compared and every object counted back.
skyvane_fuzz_target(weather_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/weather_fuzz.cpp LIBS kweather_weather)
target_include_directories(weather_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/tests)
