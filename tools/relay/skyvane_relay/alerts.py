"""Weather alerts from the US National Weather Service's public API (no key),
for the places it covers: the United States and its territories. Elsewhere
a city has no alert block; none is ever made up.

The API answers /alerts/active?point=LAT,LON with a GeoJSON feature
collection, one feature per alert in force at that point.
"""

import datetime as dt

from .upstream import UpstreamError

ALERTS_PATH = "/alerts/active"
# FIPS prefixes of the places the NWS covers: the states, Puerto Rico, Guam,
# American Samoa, the US Virgin Islands and the Northern Mariana Islands.
COVERED = ("US", "RQ", "GQ", "AQ", "VQ", "CQ")


class NwsAlerts:
    def __init__(self, client, cache, log):
        self.client = client
        self.cache = cache
        self.log = log

    @staticmethod
    def covers(city):
        return city.code.upper().startswith(COVERED)

    def for_city(self, city):
        """The alerts at the city: (kind, bulletin, start, end) in UTC. A
        failed request leaves the alerts out of the answer (and is logged):
        the forecast itself is still good."""
        if not self.covers(city):
            return []
        try:
            payload = self.cache.get(("alerts", city.code), lambda: self.client.get_json(
                ALERTS_PATH, {"point": "%.4f,%.4f" % (city.lat, city.lon)}))
        except UpstreamError as e:
            self.log("alerts of %s left out: %s" % (city.code, e))
            return []
        return parse_alerts(payload)


def utc(text):
    """An ISO 8601 time with its offset as a naive UTC time, or None."""
    try:
        moment = dt.datetime.fromisoformat(text) if isinstance(text, str) else None
    except ValueError:
        return None
    if moment is None or moment.tzinfo is None:
        return None
    return moment.astimezone(dt.timezone.utc).replace(tzinfo=None)


def parse_alerts(payload):
    alerts = []
    features = payload.get("features") if isinstance(payload, dict) else None
    for feature in features if isinstance(features, list) else []:
        p = feature.get("properties") if isinstance(feature, dict) else None
        if not isinstance(p, dict) or p.get("status") != "Actual" or p.get("messageType") == "Cancel":
            continue
        kind = p.get("event")
        start = utc(p.get("onset")) or utc(p.get("effective"))
        end = utc(p.get("ends")) or utc(p.get("expires"))
        if not isinstance(kind, str) or start is None or end is None:
            continue
        headlines = (p.get("parameters") or {}).get("NWSheadline") or []
        bulletin = headlines[0] if headlines and isinstance(headlines[0], str) else p.get("headline")
        alerts.append((kind, bulletin if isinstance(bulletin, str) else "", start, end))
    return alerts
