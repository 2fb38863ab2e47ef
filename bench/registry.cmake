# The registry's read path: one REG_DWORD read by an open key, a poll of 200,
# the same poll through a fresh RegOpenKeyExW per read, and the two ways of
# telling that the database changed (SQLite's data version, the WAL index).
add_executable(registry_bench ${CMAKE_CURRENT_LIST_DIR}/registry_bench.cpp)
target_link_libraries(registry_bench PRIVATE skyvane_platform SQLite::SQLite3 benchmark::benchmark)
