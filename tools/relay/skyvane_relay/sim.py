"""The simulated source: plausible weather for any city from its latitude,
its longitude and the date, with real sunrise and sunset. The same city,
time and units always give the same forecast."""

import datetime as dt
import hashlib
import math
import random

from . import astro
from .document import DIRECTIONS
from .forecast import Alert, Current, Day, Forecast, Hour, MapImage, Part, Wind

CONDITIONS = [  # (day icon, night icon, text, chance of precipitation)
    (32, 31, "Sunny", 0), (34, 33, "Fair", 0), (30, 29, "Partly Cloudy", 10), (28, 27, "Mostly Cloudy", 20),
    (26, 26, "Cloudy", 20), (11, 11, "Light Rain", 60), (12, 12, "Rain", 80), (4, 47, "Thunderstorms", 70),
    (20, 20, "Fog", 10),
]
SNOW = [(14, 14, "Light Snow", 60), (16, 16, "Snow", 80), (5, 5, "Rain / Snow", 70)]


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


def sun_times(city, day):
    return astro.sun_times(city.lat, city.lon, city.offset, day)


def random_wind(rng, units):
    speed = rng.randint(3, 35)
    direction = rng.randrange(0, 360, 10)
    gust = units.speed(speed + rng.randint(8, 20)) if rng.random() < 0.3 else None
    return Wind(units.speed(speed), gust, direction)


class SimSource:
    """Answers every city; never fails."""

    def forecast(self, city, days, units, now_utc, relay):
        local = now_utc + dt.timedelta(hours=city.offset)
        today = local.date()
        times, polar = sun_times(city, today)
        now_temp = mean_temperature(city, today) + 4 * math.sin(2 * math.pi * (local.hour - 9) / 24.0)
        rng = rng_for(city.code, today, local.hour, "cc")
        is_day = times is not None and times[0] <= local.hour + local.minute / 60.0 <= times[1] or polar == "day"
        cond = condition(rng, now_temp)
        humidity = rng.randint(40, 95)
        pressure = 1013 + rng.uniform(-15, 15)
        feels = now_temp - (rng.randint(0, 5) if now_temp < 10 else 0)
        moon_index, moon_text, _ = astro.moon(today)
        current = Current(local - dt.timedelta(minutes=local.minute % 30), units.temperature(now_temp),
                          units.temperature(feels), cond[2], cond[0] if is_day else cond[1], cond[1])
        current.pressure = units.pressure(pressure)
        current.pressure_tendency = rng.choice(["rising", "falling", "steady"])
        current.wind = random_wind(rng, units)
        current.humidity = humidity
        current.visibility = (math.inf if cond[3] == 0 and rng.random() < 0.3
                              else units.distance(rng.uniform(2, 16)))
        uv = max(0, int(round((8 - abs(city.lat) / 10) * (1 if is_day else 0))))
        current.uv, current.uv_text = uv, "Low" if uv < 3 else "Moderate" if uv < 6 else "High"
        current.dew_point = units.temperature(now_temp - (100 - humidity) / 5.0)
        current.moon_index, current.moon_text = moon_index, moon_text
        current.wind_chill, current.heat_index = units.temperature(feels), units.temperature(max(now_temp, feels))

        f = Forecast(city.code, city.place, city.lat, city.lon, city.offset, local, units, current, local)
        if times:
            f.sunrise, f.sunset = times
        f.days = [self.day(city, today + dt.timedelta(days=d), units, uv, d == 0 and local.hour >= 15)
                  for d in range(days)]
        if relay:
            start = local.replace(minute=0, second=0, microsecond=0) + dt.timedelta(hours=1)
            f.hours = [self.hour(city, start + dt.timedelta(hours=h), units, uv) for h in range(48)]
            if rng.random() < 0.25:
                begin = (now_utc + dt.timedelta(hours=city.offset + 2)).replace(minute=0, second=0, microsecond=0)
                f.alerts = [Alert("Wind Advisory", "...WIND ADVISORY IN EFFECT FOR %s..." % city.name.upper(),
                                  begin, begin + dt.timedelta(hours=12))]
            for tag, base, spread, convert in (("pa", pressure, 4.0, units.pressure),
                                               ("ta", now_temp, 5.0, units.temperature),
                                               ("wa", feels, 5.0, units.temperature)):
                f.archives[tag] = [(back, convert(base + rng.uniform(-spread, spread) * back / 22.0))
                                   for back in range(1, 24, 3)]
            f.maps = [MapImage(number, "%s %s" % (city.country, name), "http://maps.weather.example/images/%s/%s_%d.jpg"
                               % (name.lower(), city.code.lower(), number))
                      for number, name in ((3, "Satellite"), (10, "Temperatures"), (7, "Radar"))]
        return f

    def day(self, city, day, units, uv, past_high):
        mean = mean_temperature(city, day)
        drng = rng_for(city.code, day, "day")
        hi, lo = mean + drng.uniform(2, 6), mean - drng.uniform(2, 6)
        times, _ = sun_times(city, day)
        moon_index, moon_text, moon_fraction = astro.moon(day)
        moonrise = ((times[0] if times else 6) + moon_fraction * 24) % 24
        result = Day(day, None if past_high else units.temperature(hi), units.temperature(lo),
                     moonrise=moonrise, moonset=(moonrise + 12.4) % 24, moon_index=moon_index, moon_text=moon_text)
        if times:
            result.sunrise, result.sunset = times
        for which, temp in (("d", hi), ("n", lo)):
            c = condition(drng, temp)
            wind = drng.randint(5, 30)
            description = "%s. %s near %d%s. Winds %s at %d to %d %s.%s" % (
                c[2], "High" if which == "d" else "Low", round(units.temperature(temp)), units.temperature_unit,
                DIRECTIONS[drng.randrange(16)], round(units.speed(wind)), round(units.speed(wind + 8)),
                units.speed_unit, " Chance of precip %d%%." % c[3] if c[3] >= 30 else "")
            part = Part(c[0] if which == "d" else c[1], c[2], description, random_wind(drng, units), c[3],
                        drng.randint(40, 95), uv if which == "d" else 0,
                        "Low" if which == "n" or uv < 3 else "Moderate")
            if which == "d":
                result.day = part
            else:
                result.night = part
        return result

    def hour(self, city, moment, units, uv):
        hrng = rng_for(city.code, moment, "hour")
        temp = mean_temperature(city, moment.date()) + 4 * math.sin(2 * math.pi * (moment.hour - 9) / 24.0)
        c = condition(hrng, temp)
        times, _ = sun_times(city, moment.date())
        is_day = 6 <= moment.hour < 18
        result = Hour(moment, units.temperature(temp), is_day=is_day)
        if times:
            result.sunrise, result.sunset = times
        result.part = Part(c[0] if is_day else c[1], c[2], wind=random_wind(hrng, units), precipitation_chance=c[3],
                           uv=uv if 10 <= moment.hour <= 16 else 0)
        result.part.humidity = hrng.randint(40, 95)
        return result
