# The registry's read path: one REG_DWORD read by an open key, a poll of 200,
# and the same poll through a fresh RegOpenKeyExW per read.
add_executable(registry_bench ${CMAKE_CURRENT_LIST_DIR}/registry_bench.cpp)
target_link_libraries(registry_bench PRIVATE skyvane_platform benchmark::benchmark)
