# skyvane-regsvr: runs a COM server library's own registration entry.
add_executable(skyvane-regsvr ${CMAKE_CURRENT_SOURCE_DIR}/regsvr/main.cpp)
target_link_libraries(skyvane-regsvr PRIVATE skyvane_platform ${CMAKE_DL_LIBS})
