# The HTTP response reading path: heads (interim ones too), header lines,
# bodies by length and in chunks with trailers, transfer coding lists, then the
# XML download's body handling: content codings, inflate, clean-up, code page.
skyvane_fuzz_target(net_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/net_fuzz.cpp LIBS kweather_net)
target_include_directories(net_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/tests)
