# The feed simulator is the relay server with its simulated source (see
# relay.cmake); the build copies its entry script into bin/ beside the relay's
# package, so that tests and the main job find it beside the programs.
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/feedsim/feedsim.py ${CMAKE_BINARY_DIR}/bin/feedsim.py COPYONLY)
