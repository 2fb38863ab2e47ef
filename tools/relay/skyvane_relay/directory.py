"""Which city a code names, and the city search.

Codes resolve through the city list (the shipped database's), then through
the cities that earlier searches found with Open-Meteo's geocoding API: those
get a code in the service's style (the FIPS country code, XX or the US
state, four digits counted down from 9999 so as to stay clear of the list's
own numbers) and are kept in a small store file, so that a device that chose
one can ask for its weather later, also after the relay restarts.
"""

import os
import re
import threading

from .cities import City, parse_cities, search

GEOCODING_PATH = "/v1/search"
US_STATES = {
    "Alabama": "AL", "Alaska": "AK", "Arizona": "AZ", "Arkansas": "AR", "California": "CA", "Colorado": "CO",
    "Connecticut": "CT", "Delaware": "DE", "District of Columbia": "DC", "Washington, D.C.": "DC", "Florida": "FL",
    "Georgia": "GA", "Hawaii": "HI", "Idaho": "ID", "Illinois": "IL", "Indiana": "IN", "Iowa": "IA", "Kansas": "KS",
    "Kentucky": "KY", "Louisiana": "LA", "Maine": "ME", "Maryland": "MD", "Massachusetts": "MA", "Michigan": "MI",
    "Minnesota": "MN", "Mississippi": "MS", "Missouri": "MO", "Montana": "MT", "Nebraska": "NE", "Nevada": "NV",
    "New Hampshire": "NH", "New Jersey": "NJ", "New Mexico": "NM", "New York": "NY", "North Carolina": "NC",
    "North Dakota": "ND", "Ohio": "OH", "Oklahoma": "OK", "Oregon": "OR", "Pennsylvania": "PA",
    "Rhode Island": "RI", "South Carolina": "SC", "South Dakota": "SD", "Tennessee": "TN", "Texas": "TX",
    "Utah": "UT", "Vermont": "VT", "Virginia": "VA", "Washington": "WA", "West Virginia": "WV",
    "Wisconsin": "WI", "Wyoming": "WY",
}


def load_fips_table():
    """ISO 3166-1 alpha-2 -> FIPS 10-4 country codes, from the table the city
    database builder uses (installed beside this package, or in the source
    tree's tools/citydb)."""
    here = os.path.dirname(os.path.abspath(__file__))
    for path in (os.path.join(here, "fips.js"), os.path.join(here, "..", "..", "citydb", "fips.js")):
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                return dict(re.findall(r"\b([A-Z]{2}): '([A-Z]{2})'", f.read()))
    raise FileNotFoundError("fips.js, the country code table, is missing beside %s" % here)


class Geocoder:
    """Open-Meteo's geocoding API, its answers kept like the forecasts."""

    def __init__(self, client, cache):
        self.client = client
        self.cache = cache

    def find(self, name):
        payload = self.cache.get(("search", name.lower()), lambda: self.client.get_json(
            GEOCODING_PATH, {"name": name, "count": 10, "language": "en", "format": "json"}))
        results = payload.get("results") if isinstance(payload, dict) else None
        return [r for r in results if isinstance(r, dict)] if isinstance(results, list) else []


class CityDirectory:
    def __init__(self, cities, store_path=None, geocoder=None, log=print):
        self.cities = list(cities.values())
        self.by_code = dict(cities)
        self.store_path = store_path
        self.geocoder = geocoder
        self.log = log
        self._lock = threading.Lock()
        self.by_source_id = {}
        self.stored = []
        self.fips = load_fips_table() if geocoder else {}
        # The list's country name for each FIPS prefix ("US" -> "USA").
        self.country_names = {}
        for c in self.cities:
            self.country_names.setdefault(c.code[:2].upper(), c.country)
        if store_path and os.path.exists(store_path):
            with open(store_path, encoding="utf-8") as f:
                for line in f:
                    for city in parse_cities(line):
                        self.keep(city, line.rstrip("\n").split("\t")[7:8])

    def keep(self, city, source_id):
        self.stored.append(city)
        self.by_code.setdefault(city.code.upper(), city)
        if source_id and source_id[0]:
            self.by_source_id[source_id[0]] = city

    def resolve(self, code):
        return self.by_code.get(code.strip().upper())

    def search(self, where):
        """The cities a search names: from the list and the kept cities, and,
        when they have none and a geocoder is set, from the geocoder. Raises
        UpstreamError when the geocoder is needed and fails."""
        hits = search(self.cities + self.stored, where)
        if hits or not self.geocoder or not where.strip():
            return hits
        found = []
        for result in self.geocoder.find(where.strip()):
            city = self.adopt(result)
            if city is not None and city not in found:
                found.append(city)
        return found

    def adopt(self, result):
        """The city of a geocoding result, with its kept code or a new one."""
        feature = result.get("feature_code")
        if isinstance(feature, str) and not feature.startswith("PPL"):
            return None  # not a populated place: a region, an airport, a mountain
        try:
            source_id = "geonames:%d" % int(result["id"])
            lat, lon = float(result["latitude"]), float(result["longitude"])
            name, iso = str(result["name"]), str(result.get("country_code", "")).upper()
        except (KeyError, TypeError, ValueError):
            return None
        with self._lock:
            if source_id in self.by_source_id:
                return self.by_source_id[source_id]
            fips = self.fips.get(iso)
            if not fips:
                return None
            region = US_STATES.get(result.get("admin1"), "XX") if iso == "US" else "XX"
            if iso == "US" and region != "XX":
                name = "%s, %s" % (name, region)
            code = self.free_code(fips + region)
            if code is None:
                return None
            country = self.country_names.get(fips) or str(result.get("country") or iso)
            population = result.get("population") if isinstance(result.get("population"), int) else 0
            city = City(code, name, country, lat, lon, population)
            self.keep(city, [source_id])
            self.save(city, source_id)
            return city

    def free_code(self, prefix):
        for number in range(9999, 0, -1):
            code = "%s%04d" % (prefix, number)
            if code not in self.by_code:
                return code
        return None

    def save(self, city, source_id):
        if not self.store_path:
            return
        try:
            folder = os.path.dirname(os.path.abspath(self.store_path))
            os.makedirs(folder, exist_ok=True)
            with open(self.store_path, "a", encoding="utf-8") as f:
                f.write(city.tsv_line(source_id))
        except OSError as e:
            self.log("cannot keep %s in %s: %s" % (city.code, self.store_path, e))

