#!/usr/bin/env python3
"""The relay with its Open-Meteo source, as a device sees it: the relay runs
against a fake of the public APIs (fake_upstream.py, serving the fixtures of
this folder), the weather service library is registered in a fresh device
root pointed at the relay, and kweather-probe reads the documents into
records, whose every value must be the fixture's, in the units asked for.

Run by CTest with SKYVANE_BUILD_DIR naming the build folder; arguments name
test classes or methods, as for unittest.
"""

import datetime as dt
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from fake_upstream import FakeUpstream, load  # noqa: E402

BIN = os.path.join(os.environ.get("SKYVANE_BUILD_DIR") or os.path.join(HERE, "..", "..", "build"), "bin")
LIBRARY = os.path.join(BIN, "..", "lib", "libKWeather.so")
NOW = dt.datetime(2023, 12, 20, 11, 40)  # UTC, the fixtures' present
SETTINGS = r"HKCU\Software\Skyvane\Weather"

# Coordinates of the shipped list's cities, the fixture the fake serves for them.
MOSCOW, MURMANSK, APIA, NEW_YORK = (55.75222, 37.61556), (68.97917, 33.09251), (-13.83333, -171.76666), (40.71427, -74.00597)
HALLSTATT, HALLSTATT_MA = (47.56203, 13.64942), (42.1, -72.9)
FORECASTS = {MOSCOW: "forecast_moscow.json", MURMANSK: "forecast_murmansk.json", APIA: "forecast_apia.json",
             NEW_YORK: "forecast_new_york_imperial.json", HALLSTATT: "forecast_moscow.json",
             HALLSTATT_MA: "forecast_moscow.json"}

# WMO code -> (day icon, day text, night icon, night text) for the codes the
# fixtures use: the service's icons and phrases (27-33 and 45-47 are its night forms).
ICONS = {0: (32, "Sunny", 31, "Clear"), 2: (30, "Partly Cloudy", 29, "Partly Cloudy"), 3: (26, "Cloudy", 26, "Cloudy"),
         61: (11, "Light Rain", 11, "Light Rain"), 71: (14, "Light Snow", 14, "Light Snow"),
         80: (39, "Light Rain Shower", 45, "Light Rain Shower"), 95: (4, "Thunderstorms", 47, "Thunderstorms")}
COMPASS = "N NNE NE ENE E ESE SE SSE S SSW SW WSW W WNW NW NNW".split()

# Per city: the fixture, the place, metric, and what was worked out by hand
# from the fixture's current values: the pressure tendency (the pressure three
# hours before), the NWS wind chill and heat index, the moon of the first day.
SCENARIOS = [
    # Moscow in winter: -7.3 C, 18.4 km/h: wind chill 13.12 + 0.6215 T - 11.37 V^0.16 + 0.3965 T V^0.16 = -14.1
    dict(code="RSXX0091", fixture="forecast_moscow.json", place="Moscow, Russia", metric=True, tendency="rising",
         chill="-14", heat="-7", moon=("7", "First Quarter")),
    # Murmansk in polar night: no sunrise, night icons at noon; -10.2 C, 12.7 km/h: wind chill -16.4.
    dict(code="RSXX0668", fixture="forecast_murmansk.json", place="Murmansk, Russia", metric=True, tendency="steady",
         chill="-16", heat="-10", moon=("7", "First Quarter")),
    # Apia, south of the equator and west of the date line (UTC+13): it is
    # already 21 December there; 27.6 C at 84 % is a heat index of 31.65 C.
    dict(code="WSXX0001", fixture="forecast_apia.json", place="Apia, Samoa", metric=True, tendency="falling",
         chill="28", heat="32", moon=("8", "First Quarter")),
    # New York in imperial units, with values the API left out (null) and two
    # NWS alerts: 28.4 F, 12.3 mph: wind chill 35.74 + 0.6215 T - 35.75 V^0.16 + 0.4275 T V^0.16 = 18.1 F.
    dict(code="USNY0996", fixture="forecast_new_york_imperial.json", place="New York City, NY, USA", metric=False,
         tendency="N/A", chill="18", heat="28", moon=("7", "First Quarter")),
]
NEW_YORK_ALERTS = [
    {"Type": "6", "Icon": "50", "AlertType": "Winter Weather Advisory",
     "Bulletin": "WINTER WEATHER ADVISORY IN EFFECT FROM 1 PM THIS AFTERNOON TO 7 AM EST THURSDAY",
     "Date": "2023-12-20 13:00", "AlertEnd": "2023-12-21 07:00"},
    # Without onset and ends the alert runs from its effective to its expires time.
    {"Type": "6", "Icon": "50", "AlertType": "Wind Advisory & Gale Watch",
     "Bulletin": "Wind Advisory issued December 20 at 5:10AM EST until December 20 at 6:00PM EST by NWS Upton NY",
     "Date": "2023-12-20 05:10", "AlertEnd": "2023-12-20 18:00"},
]


def whole(x):
    return int(math.copysign(math.floor(abs(x) + 0.5), x))


def number(x, missing="-1"):
    return missing if x is None else str(whole(x))


def temperature(x):
    return number(x, "999999")


def stamp(moment):
    """The feed's "12/20/23 2:30 PM" form."""
    return "%d/%d/%02d %d:%02d %s" % (moment.month, moment.day, moment.year % 100, moment.hour % 12 or 12,
                                     moment.minute, "AM" if moment.hour < 12 else "PM")


class Fixture:
    """A forecast fixture, read the way the documentation describes it."""

    def __init__(self, name):
        self.doc = load(name)
        self.current, self.hourly, self.daily = self.doc["current"], self.doc["hourly"], self.doc["daily"]
        self.local_now = NOW + dt.timedelta(seconds=self.doc["utc_offset_seconds"])
        self.hours = [dt.datetime.fromisoformat(t) for t in self.hourly["time"]]

    def sun(self, date):
        """(sunrise, sunset) as "HH:MM", "NA" for both without a real sunrise."""
        i = self.daily["time"].index(date.isoformat())
        rise, set_ = (dt.datetime.fromisoformat(self.daily[k][i]) for k in ("sunrise", "sunset"))
        if rise == set_ or set_ - rise >= dt.timedelta(hours=24):
            return "NA", "NA", None
        return rise.strftime("%H:%M"), set_.strftime("%H:%M"), (rise, set_)

    def is_day(self, i):
        flag = self.hourly["is_day"][i]
        if flag is not None:
            return flag == 1
        _, _, times = self.sun(self.hours[i].date())
        return times is not None and times[0] <= self.hours[i] <= times[1]


def condition(code, is_day):
    if code is None:
        return "-1", "N/A"
    entry = ICONS[code]
    return (str(entry[0]), entry[1]) if is_day else (str(entry[2]), entry[3])


def wind(speed, gust, direction):
    text = "N/A" if direction is None else COMPASS[int((direction % 360 + 11.25) / 22.5) % 16]
    if speed is not None and whole(speed) == 0:
        text = "CALM"
    return {"WindSpeed": number(speed), "WindPorivy": number(gust), "WindDirection": number(direction),
            "WindText": text}


def expected_records(s, days):
    """What every record of the relay path must read for scenario s."""
    f = Fixture(s["fixture"])
    metric, c, d, h = s["metric"], f.current, f.daily, f.hourly
    today = f.local_now.date()
    rise, set_, _ = f.sun(today)
    observed = dt.datetime.fromisoformat(c["time"])
    issued = f.local_now.strftime("%Y-%m-%d %H:%M")
    records = [{"Type": "4", "LocationName": s["place"], "Date": f.local_now.strftime("%H:%M"),
                "TempLow": temperature(c["temperature_2m"]), "TempHigh": temperature(c["temperature_2m"]),
                "Sunrise": rise, "Sunset": set_}]
    pressure = c["pressure_msl"] if metric else c["pressure_msl"] * 0.02953
    visibility = None if c["visibility"] is None else c["visibility"] / (1000.0 if metric else 1609.344)
    current = {"Type": "1", "SuppliedString": stamp(observed) + " Local Time",
               "ForecastDate": observed.strftime("%Y-%m-%d %H:%M"), "Date": "NA",
               "TempLow": temperature(c["temperature_2m"]), "TempHigh": temperature(c["temperature_2m"]),
               "CCTempFeelsLike": number(c["apparent_temperature"]), "Icon2": condition(c["weather_code"], False)[0],
               "CCPressure": round(pressure, 1 if metric else 2), "CCPressureText": s["tendency"],
               "Humidity": number(c["relative_humidity_2m"]),
               "CCVisibility": "999999" if visibility is None else str(int(float("%.1f" % visibility))),
               "CCUVIndex": number(c["uv_index"]), "CCTochkaRosy": number(c["dew_point_2m"]),
               "GMT": str(int(f.doc["utc_offset_seconds"] / 3600)), "Sunrise": rise, "Sunset": set_,
               "CCWindChill": s["chill"], "CCHeatIndex": s["heat"], "USLoc": "<null>"}
    current["Icon"], current["Text"] = condition(c["weather_code"], c["is_day"] == 1)
    current.update(wind(c["wind_speed_10m"], c["wind_gusts_10m"], c["wind_direction_10m"]))
    records.append(current)
    for i in range(days):
        date = dt.date.fromisoformat(d["time"][i])
        rise, set_, _ = f.sun(date)
        for kind, is_day in (("2", True), ("3", False)):
            r = {"Type": kind, "Date": date.isoformat() + " 00:00", "ForecastDate": issued,
                 "SuppliedString": stamp(f.local_now) + " Local Time", "USLoc": s["place"],
                 "TempHigh": temperature(d["temperature_2m_max"][i]), "TempLow": temperature(d["temperature_2m_min"][i]),
                 "Sunrise": rise, "Sunset": set_, "MoonRise": "NA", "MoonSet": "NA", "Humidity": "-1",
                 "VeroyatnostOsadkov": number(d["precipitation_probability_max"][i]),
                 "CCUVIndex": number(d["uv_index_max"][i]) if is_day else "0"}
            r["Icon"], r["Text"] = condition(d["weather_code"][i], is_day)
            r.update(wind(d["wind_speed_10m_max"][i], d["wind_gusts_10m_max"][i], d["wind_direction_10m_dominant"][i]))
            if i == 0:
                r["MoonPhaseIndex"], r["MoonPhaseText"] = s["moon"]
            records.append(r)
    later = [i for i, t in enumerate(f.hours) if t > f.local_now][:48]
    for i in later:
        rise, set_, _ = f.sun(f.hours[i].date())
        r = {"Type": "5", "Date": f.hours[i].strftime("%Y-%m-%d %H:%M"), "ForecastDate": issued,
             "TempLow": temperature(h["temperature_2m"][i]), "TempHigh": temperature(h["temperature_2m"][i]),
             "Sunrise": rise, "Sunset": set_, "VeroyatnostOsadkov": number(h["precipitation_probability"][i]),
             "Humidity": number(h["relative_humidity_2m"][i]), "CCUVIndex": number(h["uv_index"][i])}
        r["Icon"], r["Text"] = condition(h["weather_code"][i], f.is_day(i))
        r.update(wind(h["wind_speed_10m"][i], h["wind_gusts_10m"][i], h["wind_direction_10m"][i]))
        records.append(r)
    if s["code"] == "USNY0996":
        records += NEW_YORK_ALERTS
    hour = f.hours.index(f.local_now.replace(minute=0))
    for kind, key in (("7", "pressure_msl"), ("8", "temperature_2m"), ("9", "apparent_temperature")):
        entries = []
        for back in range(1, 25):
            value = h[key][hour - back]
            if value is None:
                continue  # "N/A" entries are skipped by the reader
            if kind == "7":
                value = float("%.1f" % value) if metric else float("%.2f" % (value * 0.02953))
            else:
                value = whole(value)
            entries.append("%d=%d" % (back, int(value)))
        records.append({"Type": kind, "Archive": " ".join(entries)})
    return records


class Relay:
    """skyvane-relay with the Open-Meteo source on a free port (which it prints)."""

    def __init__(self, fake, store, *extra):
        self.log = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(
            [os.path.join(BIN, "skyvane-relay"), "--source", "open-meteo", "--port", "0", "--upstream", fake.url,
             "--alerts-upstream", fake.url, "--now", NOW.strftime("%Y-%m-%dT%H:%M"), "--city-store", store,
             "--timeout", "1.5"] + list(extra), stdout=subprocess.PIPE, stderr=self.log, text=True)
        line = self.proc.stdout.readline()
        match = re.search(r"listening on http://127\.0\.0\.1:(\d+)/", line)
        if not match:
            self.close()
            raise RuntimeError("the relay did not start: %r" % line)
        self.host = "127.0.0.1:" + match.group(1)

    def get(self, target):
        """(status, Retry-After, body) of one request."""
        try:
            with urllib.request.urlopen("http://%s%s" % (self.host, target), timeout=20) as r:
                return r.status, r.headers.get("Retry-After"), r.read().decode("latin-1")
        except urllib.error.HTTPError as e:
            return e.code, e.headers.get("Retry-After"), e.read().decode("latin-1")

    def close(self):
        self.proc.terminate()
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.proc.stdout.close()
        self.log.close()


class Device:
    """A fresh device root with the weather service library registered."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="skyvane-relay-device-")
        self.env = dict(os.environ, SKYVANE_ROOT=self.root)
        self.run("skyvane-regsvr", LIBRARY)

    def run(self, program, *args, check=True):
        return subprocess.run([os.path.join(BIN, program)] + list(args), env=self.env, capture_output=True,
                              text=True, check=check, timeout=120)

    def point_at(self, relay_host, feed_host=None):
        for value in ("RelayHostA", "RelayHostB"):
            self.run("skyvane-reg", "set", SETTINGS, value, "sz", relay_host)
        for value in ("FeedHost", "SearchHost"):
            self.run("skyvane-reg", "set", SETTINGS, value, "sz", feed_host or relay_host)

    def probe(self, *args):
        return self.run("kweather-probe", *args, check=False)

    def records(self, code, days, unit):
        run = self.probe("weather", code, "--days", str(days), "--unit", str(unit), "--fields")
        if run.returncode != 0:
            raise AssertionError("kweather-probe failed: %s" % run.stderr)
        blocks = run.stdout.strip().split("\n\n")[:-1]  # the last one is the download statistics
        return [dict(line.split(": ", 1) if ": " in line else (line.rstrip(":"), "") for line in b.splitlines())
                for b in blocks]

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)


def refusing_host():
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return "127.0.0.1:%d" % s.getsockname()[1]


class RelayCase(unittest.TestCase):
    def setUp(self):
        self.fake = FakeUpstream(FORECASTS, {NEW_YORK: "alerts_new_york.json"}, {"hallstatt": "geocoding_hallstatt.json"})
        self.addCleanup(self.fake.close)
        self.dir = tempfile.mkdtemp(prefix="skyvane-relay-test-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.store = os.path.join(self.dir, "found-cities.tsv")
        self.relay = self.start_relay()
        self.device = Device()
        self.addCleanup(self.device.close)
        self.device.point_at(self.relay.host)

    def start_relay(self):
        relay = Relay(self.fake, self.store)
        self.addCleanup(relay.close)
        return relay

    def assertRecord(self, actual, expected, where):
        for name, value in expected.items():
            if isinstance(value, float):
                self.assertAlmostEqual(float(actual[name]), value, delta=0.006, msg="%s: %s" % (where, name))
            else:
                self.assertEqual(actual[name], value, "%s: %s" % (where, name))


class DocumentsTest(RelayCase):
    def test_every_record_has_the_fixture_values(self):
        for s in SCENARIOS:
            with self.subTest(city=s["code"]):
                actual = self.device.records(s["code"], 10, 2 if s["metric"] else 1)
                expected = expected_records(s, 10)
                self.assertEqual([r["Type"] for r in actual], [r["Type"] for r in expected])
                for i, (a, e) in enumerate(zip(actual, expected)):
                    self.assertRecord(a, e, "%s record %d" % (s["code"], i))

    def test_missing_values_are_written_as_na(self):
        xml = self.device.probe("xml", "USNY0996", "--unit", "1").stdout
        for element in ("<gust>N/A</gust>", "<vis>N/A</vis>", "<i>N/A</i>", "<d>N/A</d>", "<ppcp>N/A</ppcp>",
                        "<hi>N/A</hi>", '<w14 v="N/A"/>'):
            self.assertIn(element, xml)
        self.assertIn("<ut>F</ut><ud>mi</ud><us>mph</us><up>in</up><ur>in</ur>", xml)

    def test_one_upstream_request_per_city_for_relay_and_direct_paths(self):
        self.device.records("RSXX0091", 10, 2)
        self.device.records("RSXX0091", 10, 2)
        # Both relays refused: the feed address, five days, from the kept answer.
        self.device.point_at(refusing_host(), self.relay.host)
        direct = self.device.records("RSXX0091", 10, 2)
        self.assertEqual([r["Type"] for r in direct], ["4", "1"] + ["2", "3"] * 5)
        self.assertEqual(self.fake.count("/v1/forecast"), 1)
        asked = self.fake.asked("/v1/forecast")[0]
        self.assertEqual((asked["latitude"], asked["longitude"], asked["forecast_days"]), ("55.7522", "37.6156", "10"))
        self.assertEqual((asked["past_hours"], asked["timezone"]), ("24", "auto"))
        for _, _, headers in self.fake.requests:
            self.assertTrue(headers["User-Agent"].startswith("SkyvaneWeatherRelay/"), headers["User-Agent"])
        # Another unit is another upstream request (which the metric fixture refuses).
        self.device.probe("weather", "RSXX0091", "--unit", "1")
        self.assertEqual(self.fake.count("/v1/forecast"), 2)
        self.assertEqual(self.fake.asked("/v1/forecast")[1]["temperature_unit"], "fahrenheit")

    def test_alerts_only_where_the_nws_covers_the_city(self):
        self.device.records("RSXX0091", 1, 2)
        self.device.records("USNY0996", 1, 1)
        points = [q["point"] for q in self.fake.asked("/alerts/active")]
        self.assertEqual(points, ["40.7143,-74.0060"])
        alerts = [headers for path, _, headers in self.fake.requests if path == "/alerts/active"]
        self.assertEqual(alerts[0]["Accept"], "application/geo+json")


class FailuresTest(RelayCase):
    RELAY = "/wsi/wsiservices.aspx?url=http://feed/weather/local/%s?cc=*&dayf=10&prod=xoap&par=5820417369" \
            "&key=3fa91c6e0b7d2458&unit=m"

    def test_upstream_failures_give_503_with_retry_after(self):
        # (what breaks, how, the relay's answer, its Retry-After)
        cases = [("/v1/forecast", "stall", 503, "60"), ("/v1/forecast", "fail", 503, "60"),
                 ("/v1/forecast", "garbage", 503, "60"), ("/v1/forecast", "empty", 503, "60"),
                 ("/v1/forecast", "limit", 503, "120")]
        for path, mode, status, retry in cases:
            with self.subTest(mode=mode):
                fake = FakeUpstream(FORECASTS)
                self.addCleanup(fake.close)
                fake.modes[path] = mode
                relay = Relay(fake, self.store)
                self.addCleanup(relay.close)
                start = time.monotonic()
                got = relay.get(self.RELAY % "RSXX0091")
                self.assertLess(time.monotonic() - start, 5.0)
                self.assertEqual(got[:2], (status, retry))
                # The device's four attempts and its next update within the
                # pause make no further upstream request.
                self.device.point_at(relay.host)
                run = self.device.probe("weather", "RSXX0091")
                self.assertEqual(run.returncode, 1)
                self.assertIn("Weather update failed.  .HTTP status=503.", run.stderr)
                self.assertEqual(fake.count(path), 1)
                if mode == "limit":  # a 429 holds back every request to that API
                    self.assertEqual(relay.get(self.RELAY % "USNY0996")[0], 503)
                    self.assertEqual(fake.count(path), 1)

    def test_failed_alerts_leave_the_forecast(self):
        self.fake.modes["/alerts/active"] = "fail"
        records = self.device.records("USNY0996", 2, 1)
        self.assertNotIn("6", [r["Type"] for r in records])
        self.assertEqual(records[1]["Type"], "1")

    def test_a_code_that_names_no_city_gets_the_err_document(self):
        run = self.device.probe("weather", "ZZXX0001")
        self.assertEqual(run.returncode, 1)
        self.assertIn("Weather service returned error. Error is Invalid location2", run.stderr)
        self.assertEqual(self.fake.count("/v1/forecast"), 0)


class SearchTest(RelayCase):
    def test_list_first_then_geocoding_with_codes_that_last(self):
        self.assertEqual(self.device.probe("find", "Moscow").stdout.splitlines()[0], "RSXX0091\tMoscow, Russia")
        self.assertEqual(self.fake.count("/v1/search"), 0)
        found = self.device.probe("find", "Hallstatt").stdout
        # The lake is not a place to ask weather for.
        self.assertEqual(found, "AUXX9999\tHallstatt, Austria\nUSMA9999\tHallstatt, MA, USA\n")
        records = self.device.records("AUXX9999", 1, 2)
        self.assertEqual(records[0]["LocationName"], "Hallstatt, Austria")
        asked = self.fake.asked("/v1/forecast")[-1]
        self.assertEqual((asked["latitude"], asked["longitude"]), ("47.5620", "13.6494"))
        # A new relay on the same store knows the codes and finds the names itself.
        self.relay.close()
        relay = self.start_relay()
        self.device.point_at(relay.host)
        self.assertEqual(self.device.probe("find", "Hallstatt").stdout, found)
        self.assertEqual(self.device.probe("xml", "USMA9999").returncode, 0)
        self.assertEqual(self.fake.count("/v1/search"), 1)
        self.assertEqual(self.fake.asked("/v1/forecast")[-1]["latitude"], "42.1000")

    def test_a_failed_geocoding_gives_503(self):
        self.fake.modes["/v1/search"] = "fail"
        status, retry, _ = self.relay.get("/search/search?where=Hallstatt")
        self.assertEqual((status, retry), (503, "60"))
        self.assertEqual(self.relay.get("/search/search?where=Paris")[0], 200)


if __name__ == "__main__":
    unittest.main()
