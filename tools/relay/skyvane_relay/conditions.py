"""The service's condition vocabulary for WMO weather codes, UV words, and
the felt temperatures the feed reported beside the air temperature."""

import math

# WMO weather interpretation code -> (day icon, day text, night icon, night
# text): the service's icons 0..47 and its English phrases, which the plugin
# translates word for word. 27, 29, 31 and 33 are the night forms of cloudy,
# partly cloudy, clear and fair; 45, 46 and 47 those of showers, snow showers
# and thunderstorms.
WMO_CONDITIONS = {
    0: (32, "Sunny", 31, "Clear"),
    1: (34, "Mostly Sunny", 33, "Mostly Clear"),
    2: (30, "Partly Cloudy", 29, "Partly Cloudy"),
    3: (26, "Cloudy", 26, "Cloudy"),
    45: (20, "Fog", 20, "Fog"),
    48: (20, "Fog", 20, "Fog"),
    51: (9, "Drizzle", 9, "Drizzle"),
    53: (9, "Drizzle", 9, "Drizzle"),
    55: (9, "Drizzle", 9, "Drizzle"),
    56: (8, "Freezing Drizzle", 8, "Freezing Drizzle"),
    57: (8, "Freezing Drizzle", 8, "Freezing Drizzle"),
    61: (11, "Light Rain", 11, "Light Rain"),
    63: (12, "Rain", 12, "Rain"),
    65: (12, "Heavy Rain", 12, "Heavy Rain"),
    66: (10, "Freezing Rain", 10, "Freezing Rain"),
    67: (10, "Freezing Rain", 10, "Freezing Rain"),
    71: (14, "Light Snow", 14, "Light Snow"),
    73: (16, "Snow", 16, "Snow"),
    75: (41, "Heavy Snow", 41, "Heavy Snow"),
    77: (13, "Flurries", 13, "Flurries"),
    80: (39, "Light Rain Shower", 45, "Light Rain Shower"),
    81: (11, "Showers", 45, "Showers"),
    82: (12, "Heavy Rain", 12, "Heavy Rain"),
    85: (42, "Snow Showers", 46, "Snow Showers"),
    86: (43, "Heavy Snow", 43, "Heavy Snow"),
    95: (4, "Thunderstorms", 47, "Thunderstorms"),
    96: (17, "Hail", 17, "Hail"),
    99: (3, "Heavy Thunderstorms", 3, "Heavy Thunderstorms"),
}


def condition(code, is_day):
    """(icon, text) of a WMO code by day or by night; (None, None), shown as
    N/A, for a missing or unknown code."""
    if code is None:
        return None, None
    entry = WMO_CONDITIONS.get(int(code))
    if entry is None:
        return None, None
    return (entry[0], entry[1]) if is_day else (entry[2], entry[3])


def uv_text(index):
    """The UV index's word on the WHO scale."""
    if index is None:
        return None
    index = round(index)
    if index < 3:
        return "Low"
    if index < 6:
        return "Moderate"
    if index < 8:
        return "High"
    return "Very High" if index < 11 else "Extreme"


def wind_chill(temperature, speed, metric):
    """The NWS wind chill of an air temperature and a wind speed (C and km/h,
    or F and mph); the air temperature itself where the index does not apply
    (above 10 C / 50 F, or wind below 4.8 km/h / 3 mph)."""
    if temperature is None or speed is None:
        return None
    if metric:
        if temperature > 10 or speed < 4.8:
            return temperature
        v = speed ** 0.16
        return 13.12 + 0.6215 * temperature - 11.37 * v + 0.3965 * temperature * v
    if temperature > 50 or speed < 3:
        return temperature
    v = speed ** 0.16
    return 35.74 + 0.6215 * temperature - 35.75 * v + 0.4275 * temperature * v


def heat_index(temperature, humidity, metric):
    """The NWS heat index (Rothfusz regression) of an air temperature (C or F)
    and a relative humidity; the air temperature itself below 80 F."""
    if temperature is None or humidity is None:
        return None
    t = temperature * 9 / 5 + 32 if metric else temperature
    if t < 80:
        return temperature
    rh = humidity
    hi = (-42.379 + 2.04901523 * t + 10.14333127 * rh - 0.22475541 * t * rh - 0.00683783 * t * t
          - 0.05481717 * rh * rh + 0.00122874 * t * t * rh + 0.00085282 * t * rh * rh - 0.00000199 * t * t * rh * rh)
    return (hi - 32) * 5 / 9 if metric else hi


def finite(value):
    """A JSON number as a float; None for null or a value that is not a number."""
    if value is None or isinstance(value, bool):
        return None
    try:
        value = float(value)
    except (TypeError, ValueError):
        return None
    return value if math.isfinite(value) else None
