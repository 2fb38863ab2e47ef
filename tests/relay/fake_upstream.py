"""A local stand-in for the public APIs the relay uses, serving the fixtures of
this folder as the APIs document their answers:

  /v1/forecast?latitude=..&longitude=..&forecast_days=N&temperature_unit=..   Open-Meteo forecast
  /v1/search?name=..                                                           Open-Meteo geocoding
  /alerts/active?point=LAT,LON                                                 NWS alerts (GeoJSON)

A forecast fixture is chosen by the coordinates asked for and serves only the
units it is written in (the API converts; the fixtures are written in the
asked units), with its daily arrays cut to forecast_days as the API cuts them.
Every request is recorded; a mode per path makes an API misbehave.
"""

import http.server
import json
import os
import threading
import urllib.parse

FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixtures")
EMPTY_ALERTS = {"type": "FeatureCollection", "features": [], "title": "Current watches, warnings, and advisories"}
SPEED_KEYS = {"km/h": "kmh", "mph": "mph"}


def load(name):
    with open(os.path.join(FIXTURES, name), encoding="utf-8") as f:
        return json.load(f)


class FakeUpstream:
    def __init__(self, forecasts, alerts=None, searches=None):
        """forecasts: {(lat, lon): fixture file}; alerts: {(lat, lon): file};
        searches: {lower-case name: file}."""
        self.forecasts = forecasts
        self.alerts = alerts or {}
        self.searches = searches or {}
        self.requests = []  # (path, query dict, headers dict)
        self.modes = {}  # path -> "stall", "fail", "limit", "garbage", "empty"
        self.lock = threading.Lock()
        self.stop = threading.Event()
        fake = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                fake.handle(self)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.url = "http://127.0.0.1:%d" % self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.stop.set()
        self.server.shutdown()
        self.server.server_close()

    def count(self, path):
        with self.lock:
            return sum(1 for p, _, _ in self.requests if p == path)

    def asked(self, path):
        with self.lock:
            return [q for p, q, _ in self.requests if p == path]

    def handle(self, h):
        path, _, query = h.path.partition("?")
        q = dict(urllib.parse.parse_qsl(query))
        with self.lock:
            self.requests.append((path, q, dict(h.headers)))
            mode = self.modes.get(path)
        if mode == "stall":
            self.stop.wait(30)
            return
        if mode == "fail":
            return self.reply(h, 500, {"error": True, "reason": "Internal Server Error"})
        if mode == "limit":
            return self.reply(h, 429, {"error": True, "reason": "Too many requests"}, [("Retry-After", "120")])
        if mode == "garbage":
            return self.reply(h, 200, None, body=b"<html>maintenance</html>")
        if mode == "empty":
            return self.reply(h, 200, {"latitude": 55.75, "longitude": 37.625, "generationtime_ms": 0.1})
        if path == "/v1/forecast":
            return self.forecast(h, q)
        if path == "/v1/search":
            name = self.searches.get(q.get("name", "").lower())
            return self.reply(h, 200, load(name) if name else {"generationtime_ms": 0.4})
        if path == "/alerts/active":
            lat, lon = (float(v) for v in q.get("point", "0,0").split(","))
            name = self.nearest(self.alerts, lat, lon)
            return self.reply(h, 200, load(name) if name else EMPTY_ALERTS)
        self.reply(h, 404, {"error": True, "reason": "Not Found"})

    def forecast(self, h, q):
        name = self.nearest(self.forecasts, float(q["latitude"]), float(q["longitude"]))
        if name is None:
            return self.reply(h, 400, {"error": True, "reason": "no fixture for these coordinates"})
        doc = load(name)
        units = doc["current_units"]
        wanted = {"temperature_unit": "fahrenheit" if units["temperature_2m"] == "°F" else "celsius",
                  "wind_speed_unit": SPEED_KEYS[units["wind_speed_10m"]]}
        for key, value in wanted.items():
            if q.get(key, "celsius" if key == "temperature_unit" else "kmh") != value:
                return self.reply(h, 400, {"error": True, "reason": "fixture %s is in %s=%s" % (name, key, value)})
        days = int(q.get("forecast_days", "7"))
        doc["daily"] = {k: v[:days] for k, v in doc["daily"].items()}
        self.reply(h, 200, doc)

    @staticmethod
    def nearest(table, lat, lon):
        for (a, b), name in table.items():
            if abs(a - lat) < 0.01 and abs(b - lon) < 0.01:
                return name
        return None

    def reply(self, h, status, payload, extra=(), body=None):
        data = body if body is not None else json.dumps(payload).encode("utf-8")
        try:
            h.send_response(status)
            h.send_header("Content-Type", "application/json")
            for name, value in extra:
                h.send_header(name, value)
            h.send_header("Content-Length", str(len(data)))
            h.end_headers()
            h.wfile.write(data)
        except OSError:
            pass  # the relay gave up on the answer
