#!/usr/bin/env python3
"""Feed simulator: a local stand-in for the weather data service and its relays.

The relay server with its simulated source: every city of its list (a dozen
built-in cities, or --cities FILE) gets weather made from its latitude,
longitude and the date, with real sunrise and sunset, on the relay path, the
feed path and the city search. Fault switches (--fail, the query key
"feedsim=", /feedsim/control) make it misbehave on purpose; /feedsim/log
lists the requests seen. See tools/relay/skyvane_relay/server.py.

Starts with one command, prints the address it listens on, stops cleanly on
SIGTERM or SIGINT.
"""

import os
import sys

# The relay package: beside this script in build/bin, in tools/relay in the source tree.
here = os.path.dirname(os.path.realpath(__file__))
sys.path[:0] = [here, os.path.join(here, "..", "relay")]

from skyvane_relay.main import feedsim_main  # noqa: E402

if __name__ == "__main__":
    sys.exit(feedsim_main())
