#!/usr/bin/env python3
"""Feed simulator: a local stand-in for the weather data service and its relays.

Serves, on loopback:
  /wsi/wsiservices.aspx?url=<feed address>&dayf=N&prod=xoap&par=..&key=..&unit=m|s   (relay)
  /weather/local/<code>?cc=*&dayf=5&prod=xoap&par=..&key=..&unit=m|s&link=xoap      (feed)
  /search/search?where=<name>                                                       (city search)
with weather documents generated from each city's latitude, longitude and the
date (real sunrise and sunset), so that the forecast looks plausible.

Fault switches, at start (--fail a,b) or per request (query key "feedsim=a,b"),
or for the next requests through /feedsim/control?set=a,b[&times=N]:
  refuse    reset the connection after reading the request
  stall     read the request and never answer
  drop      send the head and half of the body, then close
  err       answer an "err" document
  redirect  answer 302 to the same address below /moved
  auth      demand Basic authentication (--user/--password)
  gzip      gzip the body (with a file name in the gzip header)
  chunked   send the body in chunks
/feedsim/log lists the request lines seen so far; /feedsim/control?set= clears.

Starts with one command, prints the address it listens on, stops cleanly on
SIGTERM or SIGINT.
"""

import argparse
import base64
import datetime as dt
import gzip
import hashlib
import io
import math
import random
import signal
import socket
import socketserver
import struct
import sys
import threading
import urllib.parse

PARTNER_ID = "5820417369"
ACCESS_KEY = "3fa91c6e0b7d2458"
SWITCHES = {"refuse", "stall", "drop", "err", "redirect", "auth", "gzip", "chunked"}

BUILTIN_CITIES = """\
RSXX0091\tMoscow\tRussia\t55.75\t37.62\t\t3
USNY0996\tNew York\tNY\t40.71\t-74.01\t\t-5
UKXX0085\tLondon\tUnited Kingdom\t51.51\t-0.13\t\t0
FRXX0076\tParis\tFrance\t48.86\t2.35\t\t1
GMXX0007\tBerlin\tGermany\t52.52\t13.40\t\t1
JAXX0085\tTokyo\tJapan\t35.69\t139.69\t\t9
ASXX0112\tSydney\tAustralia\t-33.87\t151.21\t\t10
BRXX0232\tSao Paulo\tBrazil\t-23.55\t-46.63\t\t-3
EGXX0004\tCairo\tEgypt\t30.04\t31.24\t\t2
INXX0096\tNew Delhi\tIndia\t28.61\t77.21\t\t5.5
CAXX0504\tToronto\tCanada\t43.65\t-79.38\t\t-5
RSXX0063\tSaint Petersburg\tRussia\t59.94\t30.31\t\t3
"""


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


def load_cities(text):
    cities = {}
    for line in text.splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        cols = line.rstrip("\n").split("\t")
        if len(cols) < 5:
            raise ValueError("city line needs code, name, country, latitude, longitude: %r" % line)
        city = City(*cols[:7])
        cities[city.code.upper()] = city
    return cities


# ---------------------------------------------------------------------------
# Sun, moon and weather.

def clock(hours):
    """Hours since local midnight as the feed writes them: 7:02 PM."""
    minutes = int(round(hours * 60)) % (24 * 60)
    h, m = divmod(minutes, 60)
    return "%d:%02d %s" % (h % 12 or 12, m, "AM" if h < 12 else "PM")


def sun_times(city, day):
    """Local sunrise and sunset in hours (None for polar day or night)."""
    n = day.timetuple().tm_yday
    decl = math.radians(23.44) * math.sin(2 * math.pi * (284 + n) / 365.0)
    b = 2 * math.pi * (n - 81) / 364.0
    eot = 9.87 * math.sin(2 * b) - 7.53 * math.cos(b) - 1.5 * math.sin(b)  # minutes
    noon = 12.0 - city.lon / 15.0 + city.offset - eot / 60.0
    phi = math.radians(city.lat)
    cos_w = (math.sin(math.radians(-0.833)) - math.sin(phi) * math.sin(decl)) / (math.cos(phi) * math.cos(decl))
    if cos_w <= -1:
        return None, "day"
    if cos_w >= 1:
        return None, "night"
    w = math.degrees(math.acos(cos_w)) / 15.0
    return (noon - w, noon + w), None


MOON_TEXTS = ["New", "Waxing Crescent", "First Quarter", "Waxing Gibbous", "Full", "Waning Gibbous",
              "Last Quarter", "Waning Crescent"]


def moon(day):
    age = ((dt.datetime(day.year, day.month, day.day) - dt.datetime(2000, 1, 6, 18, 14)).total_seconds()
           / 86400.0) % 29.530588
    index = int(age) % 30
    text = MOON_TEXTS[int((age / 29.530588) * 8 + 0.5) % 8]
    return index, text, age / 29.530588


CONDITIONS = [  # (day icon, night icon, text, chance of precipitation)
    (32, 31, "Sunny", 0), (34, 33, "Fair", 0), (30, 29, "Partly Cloudy", 10), (28, 27, "Mostly Cloudy", 20),
    (26, 26, "Cloudy", 20), (11, 11, "Light Rain", 60), (12, 12, "Rain", 80), (4, 47, "Thunderstorms", 70),
    (20, 20, "Fog", 10),
]
SNOW = [(14, 14, "Light Snow", 60), (16, 16, "Snow", 80), (5, 5, "Rain / Snow", 70)]
DIRECTIONS = ["N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE", "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"]


def rng_for(*parts):
    return random.Random(int(hashlib.sha256("|".join(map(str, parts)).encode()).hexdigest()[:16], 16))


def mean_temperature(city, day):
    """Daily mean in Celsius from latitude and season."""
    lat = abs(city.lat)
    annual = 27.0 - 0.55 * max(0.0, lat - 15.0)
    amplitude = 0.25 * lat
    season = math.cos(2 * math.pi * (day.timetuple().tm_yday - 200) / 365.25)
    if city.lat < 0:
        season = -season
    return annual + amplitude * season + rng_for(city.code, day, "t").uniform(-3, 3)


def condition(rng, temp):
    table = SNOW if temp < 1 and rng.random() < 0.5 else CONDITIONS
    return table[rng.randrange(len(table))]


class Units:
    def __init__(self, letter):
        self.metric = letter != "s"

    def temp(self, c):
        return "%d" % round(c if self.metric else c * 9 / 5 + 32)

    def speed(self, kmh):
        return "%d" % round(kmh if self.metric else kmh / 1.609)

    def pressure(self, mb):
        return "%.1f" % mb if self.metric else "%.2f" % (mb * 0.02953)

    def distance(self, km):
        return "%.1f" % (km if self.metric else km / 1.609)

    def head(self):
        if self.metric:
            return "<ut>C</ut><ud>km</ud><us>km/h</us><up>mb</up><ur>mm</ur>"
        return "<ut>F</ut><ud>mi</ud><us>mph</us><up>in</up><ur>in</ur>"


def esc(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


def wind_xml(rng, units, indent):
    speed = rng.randint(3, 35)
    direction = rng.randrange(0, 360, 10)
    gust = str(units.speed(speed + rng.randint(8, 20))) if rng.random() < 0.3 else "N/A"
    pad = " " * indent
    return ("%s<wind>\n%s  <s>%s</s>\n%s  <gust>%s</gust>\n%s  <d>%d</d>\n%s  <t>%s</t>\n%s</wind>\n"
            % (pad, pad, units.speed(speed), pad, gust, pad, direction, pad,
               DIRECTIONS[int((direction + 11.25) / 22.5) % 16], pad))


def stamp(moment):
    return "%d/%d/%02d %s" % (moment.month, moment.day, moment.year % 100, clock(moment.hour + moment.minute / 60.0))


def weather_document(city, days, units, now_utc, hourly):
    local = now_utc + dt.timedelta(hours=city.offset)
    today = local.date()
    times, polar = sun_times(city, today)
    sunr, suns = (clock(times[0]), clock(times[1])) if times else ("N/A", "N/A")
    out = io.StringIO()
    w = out.write
    w('<?xml version="1.0" encoding="ISO-8859-1"?>\n')
    w("<!--This document is intended only for use by authorized licensees of the weather data service. "
      "Unauthorized use is prohibited.-->\n")
    w('<weather ver="2.0">\n  <head>\n    <locale>en_US</locale>\n    <form>MEDIUM</form>\n    %s\n  </head>\n'
      % units.head())
    now_temp = mean_temperature(city, today) + 4 * math.sin(2 * math.pi * (local.hour - 9) / 24.0)
    w('  <loc id="%s">\n    <dnam>%s, %s</dnam>\n    <tm>%s</tm>\n    <lat>%.2f</lat>\n    <lon>%.2f</lon>\n'
      '    <sunr>%s</sunr>\n    <suns>%s</suns>\n    <zone>%g</zone>\n    <tmp>%s</tmp>\n  </loc>\n'
      % (city.code, esc(city.name), esc(city.country), clock(local.hour + local.minute / 60.0), city.lat, city.lon,
         sunr, suns, city.offset, units.temp(now_temp)))

    rng = rng_for(city.code, today, local.hour, "cc")
    is_day = times is not None and times[0] <= local.hour + local.minute / 60.0 <= times[1] or polar == "day"
    cond = condition(rng, now_temp)
    humidity = rng.randint(40, 95)
    pressure = 1013 + rng.uniform(-15, 15)
    feels = now_temp - (rng.randint(0, 5) if now_temp < 10 else 0)
    moon_index, moon_text, moon_frac = moon(today)
    w("  <cc>\n    <lsup>%s Local Time</lsup>\n    <obst>%s, %s</obst>\n    <tmp>%s</tmp>\n    <flik>%s</flik>\n"
      "    <t>%s</t>\n    <icon>%d</icon>\n    <i2>%d</i2>\n" % (
          stamp(local - dt.timedelta(minutes=local.minute % 30)), esc(city.name), esc(city.country),
          units.temp(now_temp), units.temp(feels), cond[2], cond[0] if is_day else cond[1], cond[1]))
    w("    <bar>\n      <r>%s</r>\n      <d>%s</d>\n    </bar>\n" % (units.pressure(pressure),
                                                                   rng.choice(["rising", "falling", "steady"])))
    w(wind_xml(rng, units, 4))
    w("    <hmid>%d</hmid>\n    <vis>%s</vis>\n" % (humidity, "Unlimited" if cond[3] == 0 and rng.random() < 0.3
                                                      else units.distance(rng.uniform(2, 16))))
    uv = max(0, int(round((8 - abs(city.lat) / 10) * (1 if is_day else 0))))
    w("    <uv>\n      <i>%d</i>\n      <t>%s</t>\n    </uv>\n" % (uv, "Low" if uv < 3 else "Moderate" if uv < 6 else "High"))
    w("    <dewp>%s</dewp>\n    <moon>\n      <icon>%d</icon>\n      <t>%s</t>\n    </moon>\n"
      % (units.temp(now_temp - (100 - humidity) / 5.0), moon_index, moon_text))
    w("    <GMT>%g</GMT>\n    <sR>%s</sR>\n    <sS>%s</sS>\n    <WINDCHILL>%s</WINDCHILL>\n    <HEATINDEX>%s</HEATINDEX>\n"
      "  </cc>\n" % (city.offset, sunr, suns, units.temp(feels), units.temp(max(now_temp, feels))))

    w("  <dayf>\n    <lsup>%s Local Time</lsup>\n    <us>%s, %s</us>\n" % (stamp(local), esc(city.name), esc(city.country)))
    for d in range(days):
        day = today + dt.timedelta(days=d)
        mean = mean_temperature(city, day)
        drng = rng_for(city.code, day, "day")
        hi, lo = mean + drng.uniform(2, 6), mean - drng.uniform(2, 6)
        dtimes, _ = sun_times(city, day)
        mi, mtext, mfrac = moon(day)
        moonrise = ((dtimes[0] if dtimes else 6) + mfrac * 24) % 24
        w('    <day d="%d" t="%s" dt="%s">\n' % (d, day.strftime("%A"), day.strftime("%b %d").replace(" 0", " ")))
        w("      <hi>%s</hi>\n      <low>%s</low>\n" % ("N/A" if d == 0 and local.hour >= 15 else units.temp(hi),
                                                        units.temp(lo)))
        w("      <sunr>%s</sunr>\n      <suns>%s</suns>\n" % ((clock(dtimes[0]), clock(dtimes[1])) if dtimes
                                                               else ("N/A", "N/A")))
        w("      <moonr>%s</moonr>\n      <moons>%s</moons>\n      <moonp>%d</moonp>\n      <moonpt>%s</moonpt>\n"
          % (clock(moonrise), clock((moonrise + 12.4) % 24), mi, mtext))
        for part, temp in (("d", hi), ("n", lo)):
            c = condition(drng, temp)
            wind = drng.randint(5, 30)
            w('      <part p="%s">\n        <icon>%d</icon>\n        <t>%s</t>\n' % (part, c[0] if part == "d" else c[1], c[2]))
            w("        <desc>%s. %s near %s%s. Winds %s at %s to %s %s.%s</desc>\n" % (
                c[2], "High" if part == "d" else "Low", units.temp(temp), "C" if units.metric else "F",
                DIRECTIONS[drng.randrange(16)], units.speed(wind), units.speed(wind + 8),
                "km/h" if units.metric else "mph", " Chance of precip %d%%." % c[3] if c[3] >= 30 else ""))
            w(wind_xml(drng, units, 8))
            w("        <bt>%s</bt>\n        <ppcp>%d</ppcp>\n        <hmid>%d</hmid>\n" % (c[2], c[3], drng.randint(40, 95)))
            w("        <uvidx>%d</uvidx>\n        <uvtxt>%s</uvtxt>\n      </part>\n" % (
                uv if part == "d" else 0, "Low" if part == "n" or uv < 3 else "Moderate"))
        w("    </day>\n")
    w("  </dayf>\n")

    if hourly:
        w("  <hh>\n    <lsup>%s Local Time</lsup>\n" % stamp(local))
        start = local.replace(minute=0, second=0, microsecond=0) + dt.timedelta(hours=1)
        for h in range(48):
            moment = start + dt.timedelta(hours=h)
            hrng = rng_for(city.code, moment, "hour")
            temp = mean_temperature(city, moment.date()) + 4 * math.sin(2 * math.pi * (moment.hour - 9) / 24.0)
            c = condition(hrng, temp)
            htimes, _ = sun_times(city, moment.date())
            w('    <hday dt="%s" h="%d">\n      <hi>%s</hi>\n      <low>%s</low>\n' % (
                stamp(moment), moment.hour, units.temp(temp), units.temp(temp)))
            hsr, hss = (clock(htimes[0]), clock(htimes[1])) if htimes else ("N/A", "N/A")
            w("      <sunr>%s</sunr>\n      <suns>%s</suns>\n      <ui>%d</ui>\n" % (
                hsr, hss, uv if 10 <= moment.hour <= 16 else 0))
            w('      <part p="%s">\n        <icon>%d</icon>\n        <t>%s</t>\n' % (
                "d" if 6 <= moment.hour < 18 else "n", c[0], c[2]))
            w(wind_xml(hrng, units, 8))
            w("        <ppcp>%d</ppcp>\n        <hmid>%d</hmid>\n      </part>\n    </hday>\n" % (c[3], hrng.randint(40, 95)))
        w("  </hh>\n")
        if rng.random() < 0.25:
            start = now_utc + dt.timedelta(hours=city.offset + 2)
            end = start + dt.timedelta(hours=12)
            w('  <alerts>\n    <WatchesWarnings Type="Wind Advisory" Bulletin="...WIND ADVISORY IN EFFECT FOR %s..." '
              'StartTime="%s" EndTime="%s"/>\n  </alerts>\n' % (
                  esc(city.name.upper()), start.strftime("%y:%m:%d:%H:00:00"), end.strftime("%y:%m:%d:%H:00:00")))
        for tag, letter, base, spread in (("pa", "p", pressure, 4.0), ("ta", "t", now_temp, 5.0),
                                          ("wa", "w", feels, 5.0)):
            w("  <%s>\n" % tag)
            for back in range(1, 24, 3):
                value = base + rng.uniform(-spread, spread) * back / 22.0
                w('    <%s%d v="%s"/>\n' % (letter, back, units.pressure(value) if tag == "pa" else units.temp(value)))
            w("  </%s>\n" % tag)
        w("  <MAPS>\n")
        for map_id, name in ((3, "Satellite"), (10, "Temperatures"), (7, "Radar")):
            w('    <MAP id="%d" name="%s %s">http://maps.weather.example/images/%s/%s_%d.jpg</MAP>\n' % (
                map_id, esc(city.country), name, name.lower(), city.code.lower(), map_id))
        w("  </MAPS>\n")
    w("</weather>\n")
    return out.getvalue()


def error_document(kind, text):
    return ('<?xml version="1.0" encoding="ISO-8859-1"?>\n'
            "<!--This document is intended only for use by authorized licensees of the weather data service. "
            'Unauthorized use is prohibited.-->\n<error>\n  <err type="%d">%s</err>\n</error>\n' % (kind, esc(text)))


def search_document(cities, where):
    wanted = where.strip().lower()
    hits = [c for c in cities.values() if wanted and wanted in ("%s, %s" % (c.name, c.country)).lower()]
    body = "".join('  <loc id="%s" type="1">%s, %s</loc>\n' % (c.code, esc(c.name), esc(c.country)) for c in hits)
    return '<?xml version="1.0" encoding="ISO-8859-1"?>\n<search ver="3.0">\n%s</search>\n' % body


# ---------------------------------------------------------------------------
# The server.

class State:
    def __init__(self, cities, switches, user, password, stall_seconds, now=None):
        self.cities = cities
        self.now = now  # a fixed UTC time for every document, or None for the clock
        self.lock = threading.Lock()
        self.switches = set(switches)
        self.times = None  # how many more requests the control switches apply to; None: all
        self.user = user
        self.password = password
        self.stall_seconds = stall_seconds
        self.stop = threading.Event()
        self.log = []

    def take_switches(self):
        with self.lock:
            active = set(self.switches)
            if self.times is not None:
                self.times -= 1
                if self.times <= 0:
                    self.switches.clear()
                    self.times = None
            return active


def parse_switches(text):
    found = {s.strip().lower() for s in text.split(",") if s.strip()}
    unknown = found - SWITCHES
    if unknown:
        raise ValueError("unknown switch: %s" % ", ".join(sorted(unknown)))
    return found


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        state = self.server.state
        head = []
        while True:
            line = self.rfile.readline(8192)
            if not line:
                return
            if line in (b"\r\n", b"\n"):
                break
            head.append(line.decode("latin-1").rstrip("\r\n"))
        if not head:
            return
        parts = head[0].split(" ")
        if len(parts) < 2:
            return self.send(400, "text/plain", "bad request line\n", set())
        target = parts[1]
        if target.startswith("http://"):  # through a proxy: the absolute form
            target = "/" + target.split("/", 3)[3] if target.count("/") >= 3 else "/"
        headers = {}
        for line in head[1:]:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        with state.lock:
            state.log.append(head[0])

        path, _, query = target.partition("?")
        params = dict(urllib.parse.parse_qsl(query, keep_blank_values=True))
        if path == "/feedsim/control":
            try:
                switches = parse_switches(params.get("set", ""))
            except ValueError as e:
                return self.send(400, "text/plain", str(e) + "\n", set())
            with state.lock:
                state.switches = switches
                state.times = int(params["times"]) if params.get("times") else None
            return self.send(200, "text/plain", "switches: %s\n" % ",".join(sorted(switches)), set())
        if path == "/feedsim/log":
            with state.lock:
                return self.send(200, "text/plain", "".join(l + "\n" for l in state.log), set())

        switches = state.take_switches()
        try:
            switches |= parse_switches(params.get("feedsim", ""))
        except ValueError as e:
            return self.send(400, "text/plain", str(e) + "\n", set())

        if "refuse" in switches:
            # Closing with a zero linger time resets the connection.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            return
        if "stall" in switches:
            state.stop.wait(state.stall_seconds)
            return
        moved = path.startswith("/moved/")
        if moved:
            path = path[len("/moved"):]
        if "redirect" in switches and not moved:
            return self.raw("HTTP/1.0 302 Found\r\nLocation: /moved%s\r\nContent-Length: 0\r\n\r\n" % path, b"")
        if "auth" in switches:
            expected = "Basic " + base64.b64encode(("%s:%s" % (state.user, state.password)).encode()).decode()
            if headers.get("authorization") != expected:
                return self.raw("HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"feedsim\"\r\n"
                                "Content-Type: text/plain\r\nContent-Length: 13\r\n\r\n", b"Unauthorized\n")

        status, text = self.answer(path, params, switches)
        self.send(status, "text/xml", text, switches)

    def answer(self, path, params, switches):
        state = self.server.state
        if path == "/search/search":
            return 200, search_document(state.cities, params.get("where", ""))
        if path == "/wsi/wsiservices.aspx":
            feed = urllib.parse.urlsplit(params.get("url", ""))
            code = feed.path.rsplit("/", 1)[-1] if feed.path.startswith("/weather/local/") else ""
            days, hourly = params.get("dayf", "5"), True
        elif path.startswith("/weather/local/"):
            code = path[len("/weather/local/"):]
            days, hourly = params.get("dayf", "5"), False
        else:
            return 404, error_document(0, "Not found")
        if "err" in switches:
            return 200, error_document(2, "Invalid location")
        if params.get("par") != PARTNER_ID or params.get("key") != ACCESS_KEY:
            return 200, error_document(100, "Invalid license key")
        city = state.cities.get(urllib.parse.unquote(code).upper())
        if city is None:
            return 200, error_document(2, "Invalid location")
        try:
            days = max(1, min(10, int(days)))
        except ValueError:
            days = 5
        units = Units(params.get("unit", "m"))
        now = state.now or dt.datetime.now(dt.timezone.utc).replace(tzinfo=None)
        return 200, weather_document(city, days, units, now, hourly)

    def send(self, status, ctype, text, switches):
        body = text.encode("latin-1", "xmlcharrefreplace")
        head = ["HTTP/1.0 %d %s" % (status, {200: "OK", 400: "Bad Request", 404: "Not Found"}.get(status, "X")),
                "Content-Type: %s" % ctype]
        if "gzip" in switches:
            buf = io.BytesIO()
            # A file name in the header, as gzip tools write it.
            with gzip.GzipFile(filename="weather.xml", mode="wb", fileobj=buf, mtime=0) as f:
                f.write(body)
            body = buf.getvalue()
            head.append("Content-Encoding: gzip")
        if "chunked" in switches:
            head[0] = head[0].replace("HTTP/1.0", "HTTP/1.1")
            head.append("Transfer-Encoding: chunked")
            chunks = [body[i:i + 1000] for i in range(0, len(body), 1000)]
            body = b"".join(b"%X\r\n%s\r\n" % (len(c), c) for c in chunks) + b"0\r\n\r\n"
        else:
            head.append("Content-Length: %d" % len(body))
        head.append("Connection: close")
        if "drop" in switches:
            body = body[:len(body) // 2]
        self.raw("\r\n".join(head) + "\r\n\r\n", body)

    def raw(self, head, body):
        try:
            self.wfile.write(head.encode("latin-1") + body)
            self.wfile.flush()
        except OSError:
            pass


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


def main(argv=None):
    parser = argparse.ArgumentParser(description="Weather feed simulator on loopback.")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--port-file", help="also write the port to this file")
    parser.add_argument("--cities", help="TSV file: code, name, country, latitude, longitude[, population[, utc offset]]")
    parser.add_argument("--fail", default="", help="switches for every request: " + ",".join(sorted(SWITCHES)))
    parser.add_argument("--user", default="skyvane")
    parser.add_argument("--password", default="weather")
    parser.add_argument("--stall-seconds", type=float, default=300.0)
    parser.add_argument("--now", help="answer as if it were this UTC time (YYYY-MM-DDTHH:MM), for repeatable documents")
    args = parser.parse_args(argv)
    now = dt.datetime.strptime(args.now, "%Y-%m-%dT%H:%M") if args.now else None

    if args.cities:
        with open(args.cities, encoding="utf-8") as f:
            cities = load_cities(f.read())
    else:
        cities = load_cities(BUILTIN_CITIES)
    state = State(cities, parse_switches(args.fail), args.user, args.password, args.stall_seconds, now)
    server = Server((args.host, args.port), Handler)
    server.state = state
    port = server.server_address[1]

    def stop(signum, frame):
        state.stop.set()
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        import os
        os.replace(args.port_file + ".tmp", args.port_file)
    print("feedsim: listening on http://%s:%d/ (%d cities)" % (args.host, port, len(cities)), flush=True)
    server.serve_forever(poll_interval=0.2)
    server.server_close()
    print("feedsim: stopped", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
