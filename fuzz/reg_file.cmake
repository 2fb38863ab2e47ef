# The REGEDIT4 reader of the registry editor: arbitrary text through the parser
# (nothing is applied to a registry).
skyvane_fuzz_target(reg_file_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/reg_file_fuzz.cpp LIBS skyvane_regfile)
