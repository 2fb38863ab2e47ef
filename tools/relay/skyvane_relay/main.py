"""Command lines of the relay (skyvane-relay) and of the feed simulator
(feedsim.py, the relay with the simulated source and its fault switches)."""

import argparse
import datetime as dt
import os
import signal
import sys
import threading

from .cache import Cache
from .cities import builtin_cities_text, load_cities
from .directory import CityDirectory, Geocoder
from .server import SWITCHES, Faults, Relay, Server, parse_switches
from .sim import SimSource

FORECAST_API = "https://api.open-meteo.com"
GEOCODING_API = "https://geocoding-api.open-meteo.com"
ALERTS_API = "https://api.weather.gov"
HERE = os.path.dirname(os.path.abspath(__file__))


def shipped_city_list():
    """The shipped database's city list: installed beside this package, or in
    the source tree's data/citydb."""
    for path in (os.path.join(HERE, "cities.tsv"), os.path.join(HERE, "..", "..", "..", "data", "citydb", "cities.tsv")):
        if os.path.exists(path):
            return os.path.normpath(path)
    return None


def add_common(parser, default_port):
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--port", type=int, default=default_port, help="0 picks a free port and prints it")
    parser.add_argument("--port-file", help="also write the port to this file")
    parser.add_argument("--now", help="answer as if it were this UTC time (YYYY-MM-DDTHH:MM), for repeatable documents")
    parser.add_argument("--fail", default="", help="simulator only: switches for every request: "
                        + ",".join(sorted(SWITCHES)))
    parser.add_argument("--user", default="skyvane", help="simulator only: the user the auth switch asks for")
    parser.add_argument("--password", default="weather", help="simulator only: the password the auth switch asks for")
    parser.add_argument("--stall-seconds", type=float, default=300.0, help="simulator only: how long stall waits")


def relay_parser():
    parser = argparse.ArgumentParser(
        prog="skyvane-relay",
        description="Serves the weather service's relay path, feed path and city search, filled from a weather "
                    "source: sim (simulated weather) or open-meteo (real forecasts from the Open-Meteo API, "
                    "with US National Weather Service alerts).")
    add_common(parser, 8642)
    parser.add_argument("--source", choices=("sim", "open-meteo"), default="sim")
    parser.add_argument("--cities", help="TSV city list: code, name, country, latitude, longitude[, population[, "
                        "utc offset]] (default: the shipped database's list)")
    parser.add_argument("--city-store", default=os.path.join(os.path.dirname(HERE), "skyvane-relay-cities.tsv"),
                        help="where cities found through the geocoding API keep their codes "
                             "(default: skyvane-relay-cities.tsv beside the relay)")
    parser.add_argument("--upstream", help="base address of the Open-Meteo APIs: the forecast at URL/v1/forecast, "
                        "the geocoding at URL/v1/search (default: the public services)")
    parser.add_argument("--alerts-upstream", default=ALERTS_API, help="base address of the NWS alerts API "
                        "(default %s)" % ALERTS_API)
    parser.add_argument("--timeout", type=float, default=10.0, help="seconds an upstream request may take (default 10)")
    parser.add_argument("--contact", help="an e-mail address or web page added to the User-Agent, as the NWS asks")
    return parser


def feedsim_parser():
    parser = argparse.ArgumentParser(prog="feedsim.py", description="Weather feed simulator on loopback.")
    add_common(parser, 0)
    parser.add_argument("--cities", help="TSV file: code, name, country, latitude, longitude[, population[, utc offset]]")
    return parser


def log(prefix):
    def write(message):
        print("%s: %s" % (prefix, message), file=sys.stderr, flush=True)
    return write


def read_cities(path):
    with open(path, encoding="utf-8") as f:
        return load_cities(f.read())


def parse_now(text):
    return dt.datetime.strptime(text, "%Y-%m-%dT%H:%M") if text else None


def open_meteo_source(args, cities, now, say):
    # Imported here: the simulator never needs them.
    from . import upstream
    from .alerts import NwsAlerts
    from .open_meteo import OpenMeteoSource
    agent = upstream.user_agent(args.contact)
    cache = Cache()
    forecast_client = upstream.Client(args.upstream or FORECAST_API, args.timeout, agent)
    geocoding_client = upstream.Client(args.upstream or GEOCODING_API, args.timeout, agent)
    alerts_client = upstream.Client(args.alerts_upstream, args.timeout, agent, accept="application/geo+json")
    clock = (lambda: now) if now else (lambda: dt.datetime.now(dt.timezone.utc).replace(tzinfo=None))
    source = OpenMeteoSource(forecast_client, cache, NwsAlerts(alerts_client, cache, say), clock)
    directory = CityDirectory(cities, args.city_store, Geocoder(geocoding_client, cache), say)
    return source, directory


def serve(name, args, cities, source, directory, faults, note):
    say = log(name)
    relay = Relay(directory, source, parse_now(args.now), say)
    server = Server((args.host, args.port), relay, faults)
    port = server.server_address[1]

    def stop(signum, frame):
        server.stopping.set()
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.port_file + ".tmp", args.port_file)
    print("%s: listening on http://%s:%d/ (%s%d cities)" % (name, args.host, port, note, len(cities)), flush=True)
    server.serve_forever(poll_interval=0.2)
    server.server_close()
    print("%s: stopped" % name, flush=True)
    return 0


def faults_of(args):
    return Faults(parse_switches(args.fail), args.user, args.password, args.stall_seconds)


def relay_main(argv=None):
    parser = relay_parser()
    args = parser.parse_args(argv)
    try:
        switches = parse_switches(args.fail)
        now = parse_now(args.now)
    except ValueError as e:
        parser.error(str(e))
    if switches and args.source != "sim":
        parser.error("--fail makes only the simulated source misbehave")
    path = args.cities or shipped_city_list()
    if not path:
        parser.error("no city list: give one with --cities")
    cities = read_cities(path)
    if args.source == "sim":
        return serve("skyvane-relay", args, cities, SimSource(), CityDirectory(cities), faults_of(args),
                     "source sim, ")
    source, directory = open_meteo_source(args, cities, now, log("skyvane-relay"))
    return serve("skyvane-relay", args, cities, source, directory, None, "source open-meteo, ")


def feedsim_main(argv=None):
    parser = feedsim_parser()
    args = parser.parse_args(argv)
    try:
        parse_switches(args.fail)
        parse_now(args.now)
    except ValueError as e:
        parser.error(str(e))
    cities = read_cities(args.cities) if args.cities else load_cities(builtin_cities_text())
    return serve("feedsim", args, cities, SimSource(), CityDirectory(cities), faults_of(args), "")
