# skyvane-reg, the registry editor, and its REGEDIT4 reader and writer (a
# library of its own so that the tests can use it directly).
add_library(skyvane_regfile STATIC ${CMAKE_CURRENT_LIST_DIR}/reg_file.cpp ${CMAKE_CURRENT_LIST_DIR}/reg_file_import.cpp)
target_include_directories(skyvane_regfile PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(skyvane_regfile PUBLIC skyvane_platform)

add_executable(skyvane-reg ${CMAKE_CURRENT_LIST_DIR}/skyvane_reg.cpp)
target_link_libraries(skyvane-reg PRIVATE skyvane_regfile)
