# The plugin core: saving and loading a city of 400 records against raw file
# writes and reads of the same bytes; the change poll of 100 cities against
# 100 plain registry reads.
add_executable(plugin_bench ${CMAKE_CURRENT_LIST_DIR}/plugin_bench.cpp)
target_link_libraries(plugin_bench PRIVATE skyvane_plugin benchmark::benchmark)
