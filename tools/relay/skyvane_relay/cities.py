"""City lists: the codes a relay answers, their coordinates, and the search.

A list is tab-separated text, one city a line: code, name, country, latitude,
longitude, then optionally the population and the UTC offset in hours
(lines starting with "#" are comments). The shipped database writes one as
data/citydb/cities.tsv.
"""

import os

SEARCH_LIMIT = 100


class City:
    def __init__(self, code, name, country, lat, lon, population=None, offset=None):
        self.code = code
        self.name = name
        self.country = country
        self.lat = float(lat)
        self.lon = float(lon)
        self.population = int(population) if population not in (None, "") else 0
        # Without a given offset, the nearest whole hour of the longitude.
        self.offset = float(offset) if offset not in (None, "") else round(self.lon / 15.0)

    @property
    def place(self):
        return "%s, %s" % (self.name, self.country)

    def tsv_line(self, *extra):
        cols = [self.code, self.name, self.country, "%.5f" % self.lat, "%.5f" % self.lon, str(self.population), ""]
        return "\t".join(cols + list(extra)) + "\n"


def parse_cities(text):
    """The cities of a list, in its order."""
    cities = []
    for line in text.splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        cols = line.rstrip("\n").split("\t")
        if len(cols) < 5:
            raise ValueError("city line needs code, name, country, latitude, longitude: %r" % line)
        cities.append(City(*cols[:7]))
    return cities


def load_cities(text):
    """Cities of a list by upper-case code."""
    return {c.code.upper(): c for c in parse_cities(text)}


def builtin_cities_text():
    with open(os.path.join(os.path.dirname(__file__), "builtin_cities.tsv"), encoding="utf-8") as f:
        return f.read()


def search(cities, where, limit=SEARCH_LIMIT):
    """Cities whose "name, country" holds the text, case-insensitively: those
    whose name is the text first, then those whose name starts with it, then
    the rest, each in list order; at most limit of them."""
    wanted = where.strip().lower()
    if not wanted:
        return []
    tiers = ([], [], [])
    for c in cities:
        if wanted not in c.place.lower():
            continue
        name = c.name.lower()
        tiers[0 if name == wanted else 1 if name.startswith(wanted) else 2].append(c)
    return (tiers[0] + tiers[1] + tiers[2])[:limit]
