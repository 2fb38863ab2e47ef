# The HTTP response reading path: head, header lines, bodies by length and in
# chunks with trailers, then the gzip header and inflate of a gzip body.
skyvane_fuzz_target(net_fuzz ${CMAKE_CURRENT_SOURCE_DIR}/net_fuzz.cpp LIBS kweather_net)
target_include_directories(net_fuzz PRIVATE ${PROJECT_SOURCE_DIR}/tests)
