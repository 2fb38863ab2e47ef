# kweather-probe: drives the weather service library through COM only, as the
# plugin does; it links the interface identifiers, not the library.
add_executable(kweather-probe ${CMAKE_CURRENT_SOURCE_DIR}/kweather_probe/main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/kweather_probe/record_fields.cpp)
target_include_directories(kweather-probe PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(kweather-probe PRIVATE kweather_uuid skyvane_platform)
add_dependencies(kweather-probe KWeather)
