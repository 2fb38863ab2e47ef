# libKWeather.so: the weather service library, an in-process COM server made
# of the weather records and reader, the network transport and the city
# directory, with the service, the COM classes and the exports.

# The service's parts; also linked directly by the tests and benchmarks that
# drive them without loading the server.
add_library(kweather_service STATIC
  ${CMAKE_CURRENT_LIST_DIR}/kweather_service.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kweather_city.cpp
  ${CMAKE_CURRENT_LIST_DIR}/kweather_city_ctrl.cpp
  ${CMAKE_CURRENT_LIST_DIR}/request_chain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service_config.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service_interfaces.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registration.cpp)
set_target_properties(kweather_service PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_include_directories(kweather_service PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(kweather_service PUBLIC kweather_weather kweather_net kweather_cities skyvane_platform)

add_library(KWeather SHARED ${CMAKE_CURRENT_LIST_DIR}/module.cpp)
set_target_properties(KWeather PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib
  LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/kweather.map)
target_link_libraries(KWeather PRIVATE kweather_service)
# Only the five entry points are exported; everything else stays inside.
target_link_options(KWeather PRIVATE -Wl,--no-undefined -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/kweather.map)

# The identifiers of the library's classes and interfaces, for programs that
# use the server through COM only (they do not link the library).
add_library(kweather_uuid STATIC
  ${CMAKE_CURRENT_LIST_DIR}/kweather_interfaces.cpp
  ${CMAKE_CURRENT_LIST_DIR}/service_interfaces.cpp)
target_include_directories(kweather_uuid PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(kweather_uuid PUBLIC skyvane_platform)
