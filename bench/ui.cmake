# The translator and the formatting of a day row, beside plain baselines.
add_executable(ui_bench ${CMAKE_CURRENT_LIST_DIR}/ui_bench.cpp)
target_link_libraries(ui_bench PRIVATE skyvane_plugin benchmark::benchmark)
