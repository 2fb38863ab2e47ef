# The feed simulator is a Python program; the build copies it and its city
# table into bin/ so that tests and the main job find it beside the programs.
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/feedsim/feedsim.py ${CMAKE_BINARY_DIR}/bin/feedsim.py COPYONLY)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/feedsim/cities.tsv ${CMAKE_BINARY_DIR}/bin/feedsim-cities.tsv COPYONLY)
