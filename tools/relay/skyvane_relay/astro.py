"""Sun and moon from the date and the place, and the service's time texts."""

import datetime as dt
import math

MOON_TEXTS = ["New", "Waxing Crescent", "First Quarter", "Waxing Gibbous", "Full", "Waning Gibbous",
              "Last Quarter", "Waning Crescent"]
SYNODIC_MONTH = 29.530588
# A new moon to count the lunar age from.
NEW_MOON = dt.datetime(2000, 1, 6, 18, 14)


def clock(hours):
    """Hours since local midnight as the feed writes them: 7:02 PM."""
    minutes = int(round(hours * 60)) % (24 * 60)
    h, m = divmod(minutes, 60)
    return "%d:%02d %s" % (h % 12 or 12, m, "AM" if h < 12 else "PM")


def stamp(moment):
    """A local date and time as the feed writes them: 10/22/11 4:50 PM."""
    return "%d/%d/%02d %s" % (moment.month, moment.day, moment.year % 100,
                              clock(moment.hour + moment.minute / 60.0))


def hours_of(moment):
    return moment.hour + moment.minute / 60.0 + moment.second / 3600.0


def sun_times(lat, lon, offset, day):
    """Local sunrise and sunset in hours, or (None, "day") in polar day and
    (None, "night") in polar night; offset is the place's UTC offset in hours."""
    n = day.timetuple().tm_yday
    decl = math.radians(23.44) * math.sin(2 * math.pi * (284 + n) / 365.0)
    b = 2 * math.pi * (n - 81) / 364.0
    eot = 9.87 * math.sin(2 * b) - 7.53 * math.cos(b) - 1.5 * math.sin(b)  # minutes
    noon = 12.0 - lon / 15.0 + offset - eot / 60.0
    phi = math.radians(lat)
    cos_w = (math.sin(math.radians(-0.833)) - math.sin(phi) * math.sin(decl)) / (math.cos(phi) * math.cos(decl))
    if cos_w <= -1:
        return None, "day"
    if cos_w >= 1:
        return None, "night"
    w = math.degrees(math.acos(cos_w)) / 15.0
    return (noon - w, noon + w), None


def moon(day):
    """The moon on a date: (icon 0..29 by the lunar age in days, phase text,
    fraction of the lunar month)."""
    age = ((dt.datetime(day.year, day.month, day.day) - NEW_MOON).total_seconds() / 86400.0) % SYNODIC_MONTH
    index = int(age) % 30
    text = MOON_TEXTS[int((age / SYNODIC_MONTH) * 8 + 0.5) % 8]
    return index, text, age / SYNODIC_MONTH
