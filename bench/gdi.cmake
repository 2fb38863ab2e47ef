# The drawing layer: a 240x80 home-screen frame and a 96x96 AlphaBlend,
# timed against plain Cairo and Pango drawing the same in the same run.
add_executable(gdi_bench ${CMAKE_CURRENT_LIST_DIR}/gdi_bench.cpp)
target_link_libraries(gdi_bench PRIVATE skyvane_platform benchmark::benchmark)
