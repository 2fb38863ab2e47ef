# skyvane: the command-line face of the system, built on the plugin's own
# objects (settings, city list, weather store, update requests, formatting);
# the weather service library is reached through COM only. The shipped data
# `skyvane install` copies into a device is placed in share/skyvane/ of the
# build, as an installation would hold it.
add_executable(skyvane
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/arguments.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/city_commands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/city_lookup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/city_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/console.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/forecast_json.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/forecast_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/forecast_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/install_command.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/interrupts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/json_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/log_command.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/show_command.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/status_line.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/update_commands.cpp
  ${CMAKE_CURRENT_LIST_DIR}/skyvane/update_progress.cpp)
target_include_directories(skyvane PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(skyvane PRIVATE skyvane_plugin)
# What install registers and starts.
add_dependencies(skyvane KWeather SkyvaneWeather SkyvaneWeatherUI)

foreach(file index.txt kweather.idx kweather.db)
  configure_file(${PROJECT_SOURCE_DIR}/data/citydb/${file} ${CMAKE_BINARY_DIR}/share/skyvane/citydb/${file} COPYONLY)
endforeach()
