"""The Open-Meteo source: real forecasts from the public forecast API (no key).

One request per city brings the current conditions, the hourly forecast of
the next 48 hours with the 24 past hours (the archives), and the daily
forecast with sunrise and sunset, in the units the device asked for. Values
the API leaves out (null) stay missing and show as "N/A"; nothing is made up.
"""

import datetime as dt

from . import astro
from .conditions import condition, finite, heat_index, uv_text, wind_chill
from .document import compass
from .forecast import Alert, Current, Day, Forecast, Hour, Part, Wind
from .units import convert, whole
from .upstream import FAILURE_PAUSE

FORECAST_PATH = "/v1/forecast"
CURRENT = ("temperature_2m,relative_humidity_2m,apparent_temperature,is_day,weather_code,pressure_msl,"
           "wind_speed_10m,wind_direction_10m,wind_gusts_10m,dew_point_2m,visibility,uv_index")
HOURLY = ("temperature_2m,apparent_temperature,relative_humidity_2m,precipitation_probability,weather_code,"
          "pressure_msl,wind_speed_10m,wind_direction_10m,wind_gusts_10m,uv_index,is_day")
DAILY = ("weather_code,temperature_2m_max,temperature_2m_min,sunrise,sunset,uv_index_max,"
         "precipitation_probability_max,wind_speed_10m_max,wind_gusts_10m_max,wind_direction_10m_dominant")
HOURS_AHEAD = 48
HOURS_BACK = 24
MAX_DAYS = 10
# A change of this many hPa over three hours makes the pressure rising or falling.
TENDENCY_HPA = 1.0


class OpenMeteoSource:
    def __init__(self, client, cache, alerts=None, clock=None):
        self.client = client
        self.cache = cache
        self.alerts = alerts
        self.clock = clock  # () -> the UTC time of a fetch

    def forecast(self, city, days, units, now_utc, relay):
        payload, fetched = self.fetch(city, days, units)
        alerts = self.alerts.for_city(city) if relay and self.alerts else []
        return build_forecast(city, payload, fetched, days, units, now_utc, alerts)

    def fetch(self, city, days, units):
        unit = "m" if units.metric else "s"
        # An answer kept for more days serves a request for fewer.
        for more in range(days, MAX_DAYS + 1):
            kept = self.cache.fresh((city.code, unit, more))
            if kept:
                return kept
        return self.cache.get((city.code, unit, days), lambda: self.request(city, days, units))

    def request(self, city, days, units):
        params = {
            "latitude": "%.4f" % city.lat, "longitude": "%.4f" % city.lon,
            "current": CURRENT, "hourly": HOURLY, "daily": DAILY, "timezone": "auto",
            # Three days at least, so that every forecast hour has its sun times.
            "forecast_days": max(days, 3), "past_hours": HOURS_BACK, "forecast_hours": HOURS_AHEAD + 1,
            "temperature_unit": "celsius" if units.metric else "fahrenheit",
            "wind_speed_unit": "kmh" if units.metric else "mph",
            "precipitation_unit": "mm" if units.metric else "inch",
        }
        payload = self.client.get_json(FORECAST_PATH, params)
        if not (isinstance(payload, dict) and isinstance(payload.get("utc_offset_seconds"), (int, float))
                and all(isinstance(payload.get(k), dict) for k in ("current", "hourly", "daily"))):
            raise self.client.outage("%s answered without the asked blocks" % self.client.base, FAILURE_PAUSE)
        return payload, self.clock()


class Series:
    """One of the API's blocks of parallel arrays ("hourly", "daily") with the
    units it names for each variable."""

    def __init__(self, block, units_block):
        self.block = block
        self.units = units_block if isinstance(units_block, dict) else {}
        self.times = [parse_time(t) for t in block.get("time") or []]
        self.index = {t: i for i, t in enumerate(self.times) if t is not None}

    def raw(self, name, i):
        values = self.block.get(name)
        return finite(values[i]) if isinstance(values, list) and i < len(values) else None

    def text(self, name, i):
        values = self.block.get(name)
        return values[i] if isinstance(values, list) and i < len(values) and isinstance(values[i], str) else None

    def value(self, name, i, kind, units):
        return convert(kind, self.raw(name, i), self.units.get(name), units)


class Now(Series):
    """The "current" block: one value per variable."""

    def __init__(self, block, units_block):
        super().__init__({k: [v] for k, v in block.items()}, units_block)


def parse_time(text):
    """A local time of the API ("2024-01-15T14:00" or "2024-01-15"), or None."""
    try:
        return dt.datetime.fromisoformat(text) if isinstance(text, str) else None
    except ValueError:
        return None


class Sun:
    """Sunrise and sunset of one date in hours, or the polar case."""

    def __init__(self, rise=None, set_=None, polar=None):
        self.rise, self.set, self.polar = rise, set_, polar

    def up(self, hours):
        if self.polar:
            return self.polar == "day"
        if self.rise is None or self.set is None:
            return True
        return self.rise <= hours <= self.set


def sun_of(daily, i):
    date = daily.times[i]
    rise, set_ = parse_time(daily.text("sunrise", i)), parse_time(daily.text("sunset", i))
    if date is None or rise is None or set_ is None or rise.year <= 1970:
        return Sun()
    # For a day without sunrise or sunset the API gives midnight for both
    # (polar night) or midnight and the next midnight (polar day).
    if rise == set_:
        return Sun(polar="night")
    if set_ - rise >= dt.timedelta(hours=24):
        return Sun(polar="day")
    midnight = dt.datetime(date.year, date.month, date.day)
    return Sun((rise - midnight).total_seconds() / 3600.0, (set_ - midnight).total_seconds() / 3600.0)


def wind_at(series, i, units, speed="wind_speed_10m", gust="wind_gusts_10m", direction="wind_direction_10m"):
    return Wind(series.value(speed, i, "speed", units), series.value(gust, i, "speed", units),
                series.raw(direction, i))


def is_day_at(series, i, sun, moment):
    flag = series.raw("is_day", i)
    if flag is not None:
        return flag >= 0.5
    return sun.up(astro.hours_of(moment))


def describe(text, label, temperature, units, wind, chance):
    pieces = [text + "."] if text else []
    if temperature is not None:
        pieces.append("%s %d%s." % (label, whole(temperature), units.temperature_unit))
    if wind.speed is not None and wind.direction is not None:
        pieces.append("Winds %s up to %d %s." % (compass(wind.direction), whole(wind.speed), units.speed_unit))
    if chance is not None and chance >= 30:
        pieces.append("Chance of precip %d%%." % whole(chance))
    return " ".join(pieces) or None


def build_forecast(city, payload, fetched_utc, days, units, now_utc, alerts):
    offset = dt.timedelta(seconds=payload["utc_offset_seconds"])
    local_now = now_utc + offset
    issued = fetched_utc + offset
    daily = Series(payload["daily"], payload.get("daily_units"))
    hourly = Series(payload["hourly"], payload.get("hourly_units"))
    suns = {t.date(): sun_of(daily, i) for i, t in enumerate(daily.times) if t is not None}
    today = suns.get(local_now.date(), Sun())

    current = build_current(Now(payload["current"], payload.get("current_units")), hourly, today, issued, units)
    f = Forecast(city.code, city.place, city.lat, city.lon, offset.total_seconds() / 3600.0, local_now, units,
                 current, issued, today.rise, today.set)
    for i, moment in enumerate(daily.times):
        if moment is not None and moment.date() >= issued.date() and len(f.days) < days:
            f.days.append(build_day(daily, i, suns[moment.date()], units))
    later = [i for i, t in enumerate(hourly.times) if t is not None and t > local_now]
    f.hours = [build_hour(hourly, i, suns.get(hourly.times[i].date(), Sun()), units) for i in later[:HOURS_AHEAD]]
    f.archives = build_archives(hourly, local_now, units)
    f.alerts = [Alert(kind, bulletin, start + offset, end + offset) for kind, bulletin, start, end in alerts]
    return f


def build_current(now, hourly, sun, issued, units):
    observed = now.times[0] if now.times and now.times[0] else issued
    day = is_day_at(now, 0, sun, observed)
    icon, text = condition(now.raw("weather_code", 0), day)
    night_icon, _ = condition(now.raw("weather_code", 0), False)
    temperature = now.value("temperature_2m", 0, "temperature", units)
    c = Current(observed, temperature, now.value("apparent_temperature", 0, "temperature", units), text, icon,
                night_icon)
    c.pressure = now.value("pressure_msl", 0, "pressure", units)
    c.pressure_tendency = tendency(now, hourly, observed)
    c.wind = wind_at(now, 0, units)
    c.humidity = now.raw("relative_humidity_2m", 0)
    c.visibility = now.value("visibility", 0, "length", units)
    c.uv = now.raw("uv_index", 0)
    c.uv_text = uv_text(c.uv)
    c.dew_point = now.value("dew_point_2m", 0, "temperature", units)
    c.moon_index, c.moon_text, _ = astro.moon(observed.date())
    c.wind_chill = wind_chill(temperature, c.wind.speed, units.metric)
    c.heat_index = heat_index(temperature, c.humidity, units.metric)
    return c


def tendency(now, hourly, observed):
    """rising, falling or steady from the pressure three hours before."""
    earlier = hourly.index.get(observed.replace(minute=0, second=0, microsecond=0) - dt.timedelta(hours=3))
    if earlier is None or {now.units.get("pressure_msl"), hourly.units.get("pressure_msl")} != {"hPa"}:
        return None
    pressure_now, before = now.raw("pressure_msl", 0), hourly.raw("pressure_msl", earlier)
    if pressure_now is None or before is None:
        return None
    change = pressure_now - before
    return "rising" if change >= TENDENCY_HPA else "falling" if change <= -TENDENCY_HPA else "steady"


def build_day(daily, i, sun, units):
    date = daily.times[i].date()
    code = daily.raw("weather_code", i)
    moon_index, moon_text, _ = astro.moon(date)
    day = Day(date, daily.value("temperature_2m_max", i, "temperature", units),
              daily.value("temperature_2m_min", i, "temperature", units), sun.rise, sun.set,
              moon_index=moon_index, moon_text=moon_text)
    # The daily figures cover the whole date, night included; the night has
    # its own icon and no UV.
    wind = wind_at(daily, i, units, "wind_speed_10m_max", "wind_gusts_10m_max", "wind_direction_10m_dominant")
    chance = daily.raw("precipitation_probability_max", i)
    uv = daily.raw("uv_index_max", i)
    for is_day, label, temperature in ((True, "High", day.high), (False, "Low", day.low)):
        icon, text = condition(code, is_day)
        part = Part(icon, text, describe(text, label, temperature, units, wind, chance), wind, chance,
                    uv=uv if is_day else 0, uv_text=uv_text(uv if is_day else 0))
        if is_day:
            day.day = part
        else:
            day.night = part
    return day


def build_hour(hourly, i, sun, units):
    moment = hourly.times[i]
    day = is_day_at(hourly, i, sun, moment)
    icon, text = condition(hourly.raw("weather_code", i), day)
    hour = Hour(moment, hourly.value("temperature_2m", i, "temperature", units), sun.rise, sun.set, day)
    hour.part = Part(icon, text, wind=wind_at(hourly, i, units),
                     precipitation_chance=hourly.raw("precipitation_probability", i),
                     humidity=hourly.raw("relative_humidity_2m", i), uv=hourly.raw("uv_index", i))
    return hour


def build_archives(hourly, local_now, units):
    """The past hours before the current one: (hours back, value)."""
    hour = local_now.replace(minute=0, second=0, microsecond=0)
    archives = {"pa": [], "ta": [], "wa": []}
    for back in range(1, HOURS_BACK + 1):
        i = hourly.index.get(hour - dt.timedelta(hours=back))
        if i is None:
            continue
        archives["pa"].append((back, hourly.value("pressure_msl", i, "pressure", units)))
        archives["ta"].append((back, hourly.value("temperature_2m", i, "temperature", units)))
        archives["wa"].append((back, hourly.value("apparent_temperature", i, "temperature", units)))
    return archives
