# The relay server is a Python package; the build copies it, its entry script
# and the data it reads (the shipped city list, the country code table) into
# bin/, where skyvane-relay and feedsim.py find them beside themselves.
set(relay_modules __init__.py alerts.py astro.py cache.py cities.py conditions.py directory.py document.py
    forecast.py main.py open_meteo.py server.py sim.py units.py upstream.py builtin_cities.tsv)
foreach(module ${relay_modules})
  configure_file(${CMAKE_CURRENT_SOURCE_DIR}/relay/skyvane_relay/${module}
                 ${CMAKE_BINARY_DIR}/bin/skyvane_relay/${module} COPYONLY)
endforeach()
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/citydb/fips.js ${CMAKE_BINARY_DIR}/bin/skyvane_relay/fips.js COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/citydb/cities.tsv ${CMAKE_BINARY_DIR}/bin/skyvane_relay/cities.tsv COPYONLY)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/relay/skyvane-relay ${CMAKE_BINARY_DIR}/bin/skyvane-relay COPYONLY)
