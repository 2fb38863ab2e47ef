# The reader of city weather files.
skyvane_fuzz_target(plugin_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/plugin_fuzz.cpp LIBS skyvane_plugin)
