"""The weather service's XML documents: a forecast, an error, a city search.

Every source's forecast goes through weather_document, so the simulator and
the real sources answer in one form. The relay path carries everything; the
direct feed path leaves out the hourly forecast, the alerts, the archives and
the maps, as the feed itself did.
"""

import io
import math
import re

from .astro import clock, stamp
from .units import whole

NOTICE = ("<!--This document is intended only for use by authorized licensees of the weather data service. "
          "Unauthorized use is prohibited.-->\n")
DIRECTIONS = ["N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE", "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"]
NA = "N/A"


CONTROL = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f]")


def esc(text):
    """Text for an element or an attribute; control characters, which XML
    cannot carry, are dropped."""
    text = CONTROL.sub("", text)
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


def compass(degrees):
    """The 16-point text of a direction in degrees."""
    return DIRECTIONS[int((degrees % 360 + 11.25) / 22.5) % 16]


def number(value):
    return NA if value is None else "%d" % whole(value)


def text(value):
    return NA if value is None else esc(value)


def clock_or_na(hours):
    return NA if hours is None else clock(hours)


def pressure(value, units):
    if value is None:
        return NA
    return "%.1f" % value if units.metric else "%.2f" % value


def distance(value):
    if value is None:
        return NA
    return "Unlimited" if math.isinf(value) else "%.1f" % value


def alert_time(moment):
    return moment.strftime("%y:%m:%d:%H:%M:%S")


def wind_xml(wind, indent):
    pad = " " * indent
    speed = number(wind.speed)
    if wind.direction is None:
        direction, heading = NA, NA
    else:
        direction, heading = "%d" % whole(wind.direction), compass(wind.direction)
    if speed == "0":
        heading = "CALM"
    return ("%s<wind>\n%s  <s>%s</s>\n%s  <gust>%s</gust>\n%s  <d>%s</d>\n%s  <t>%s</t>\n%s</wind>\n"
            % (pad, pad, speed, pad, number(wind.gust), pad, direction, pad, heading, pad))


def weather_document(f, relay):
    """The document of forecast f; relay adds the relay path's blocks."""
    units = f.units
    out = io.StringIO()
    w = out.write
    w('<?xml version="1.0" encoding="ISO-8859-1"?>\n' + NOTICE)
    w('<weather ver="2.0">\n  <head>\n    <locale>en_US</locale>\n    <form>MEDIUM</form>\n    %s\n  </head>\n'
      % units.head())
    sunr, suns = clock_or_na(f.sunrise), clock_or_na(f.sunset)
    w('  <loc id="%s">\n    <dnam>%s</dnam>\n    <tm>%s</tm>\n    <lat>%.2f</lat>\n    <lon>%.2f</lon>\n'
      '    <sunr>%s</sunr>\n    <suns>%s</suns>\n    <zone>%g</zone>\n    <tmp>%s</tmp>\n  </loc>\n'
      % (esc(f.code), esc(f.place), clock(f.local_time.hour + f.local_time.minute / 60.0), f.lat, f.lon,
         sunr, suns, f.utc_offset, number(f.current.temperature)))
    write_current(w, f, units, sunr, suns)
    write_days(w, f)
    if relay:
        write_hours(w, f)
        write_alerts(w, f)
        write_archives(w, f)
        write_maps(w, f)
    w("</weather>\n")
    return out.getvalue()


def write_current(w, f, units, sunr, suns):
    c = f.current
    w("  <cc>\n    <lsup>%s Local Time</lsup>\n    <obst>%s</obst>\n    <tmp>%s</tmp>\n    <flik>%s</flik>\n"
      "    <t>%s</t>\n    <icon>%s</icon>\n    <i2>%s</i2>\n" % (
          stamp(c.observed), esc(f.place), number(c.temperature), number(c.feels_like), text(c.text),
          number(c.icon), number(c.icon2)))
    w("    <bar>\n      <r>%s</r>\n      <d>%s</d>\n    </bar>\n" % (pressure(c.pressure, units),
                                                                   text(c.pressure_tendency)))
    w(wind_xml(c.wind, 4))
    w("    <hmid>%s</hmid>\n    <vis>%s</vis>\n" % (number(c.humidity), distance(c.visibility)))
    w("    <uv>\n      <i>%s</i>\n      <t>%s</t>\n    </uv>\n" % (number(c.uv), text(c.uv_text)))
    w("    <dewp>%s</dewp>\n    <moon>\n      <icon>%s</icon>\n      <t>%s</t>\n    </moon>\n"
      % (number(c.dew_point), number(c.moon_index), text(c.moon_text)))
    w("    <GMT>%g</GMT>\n    <sR>%s</sR>\n    <sS>%s</sS>\n    <WINDCHILL>%s</WINDCHILL>\n    <HEATINDEX>%s</HEATINDEX>\n"
      "  </cc>\n" % (f.utc_offset, sunr, suns, number(c.wind_chill), number(c.heat_index)))


def write_days(w, f):
    w("  <dayf>\n    <lsup>%s Local Time</lsup>\n    <us>%s</us>\n" % (stamp(f.issued), esc(f.place)))
    for index, day in enumerate(f.days):
        w('    <day d="%d" t="%s" dt="%s">\n' % (index, day.date.strftime("%A"),
                                                day.date.strftime("%b %d").replace(" 0", " ")))
        w("      <hi>%s</hi>\n      <low>%s</low>\n" % (number(day.high), number(day.low)))
        w("      <sunr>%s</sunr>\n      <suns>%s</suns>\n" % (clock_or_na(day.sunrise), clock_or_na(day.sunset)))
        w("      <moonr>%s</moonr>\n      <moons>%s</moons>\n      <moonp>%s</moonp>\n      <moonpt>%s</moonpt>\n"
          % (clock_or_na(day.moonrise), clock_or_na(day.moonset), number(day.moon_index), text(day.moon_text)))
        for letter, part in (("d", day.day), ("n", day.night)):
            w('      <part p="%s">\n        <icon>%s</icon>\n        <t>%s</t>\n' % (letter, number(part.icon),
                                                                                 text(part.text)))
            w("        <desc>%s</desc>\n" % text(part.description))
            w(wind_xml(part.wind, 8))
            w("        <bt>%s</bt>\n        <ppcp>%s</ppcp>\n        <hmid>%s</hmid>\n" % (
                text(part.text), number(part.precipitation_chance), number(part.humidity)))
            w("        <uvidx>%s</uvidx>\n        <uvtxt>%s</uvtxt>\n      </part>\n" % (number(part.uv),
                                                                                   text(part.uv_text)))
        w("    </day>\n")
    w("  </dayf>\n")


def write_hours(w, f):
    if not f.hours:
        return
    w("  <hh>\n    <lsup>%s Local Time</lsup>\n" % stamp(f.issued))
    for hour in f.hours:
        part = hour.part
        w('    <hday dt="%s" h="%d">\n      <hi>%s</hi>\n      <low>%s</low>\n' % (
            stamp(hour.moment), hour.moment.hour, number(hour.temperature), number(hour.temperature)))
        w("      <sunr>%s</sunr>\n      <suns>%s</suns>\n      <ui>%s</ui>\n" % (
            clock_or_na(hour.sunrise), clock_or_na(hour.sunset), number(part.uv)))
        w('      <part p="%s">\n        <icon>%s</icon>\n        <t>%s</t>\n' % (
            "d" if hour.is_day else "n", number(part.icon), text(part.text)))
        w(wind_xml(part.wind, 8))
        w("        <ppcp>%s</ppcp>\n        <hmid>%s</hmid>\n      </part>\n    </hday>\n" % (
            number(part.precipitation_chance), number(part.humidity)))
    w("  </hh>\n")


def write_alerts(w, f):
    if not f.alerts:
        return
    w("  <alerts>\n")
    for alert in f.alerts:
        w('    <WatchesWarnings Type="%s" Bulletin="%s" StartTime="%s" EndTime="%s"/>\n' % (
            esc(alert.kind), esc(alert.bulletin), alert_time(alert.start), alert_time(alert.end)))
    w("  </alerts>\n")


def write_archives(w, f):
    for tag in ("pa", "ta", "wa"):
        entries = f.archives.get(tag)
        if not entries:
            continue
        w("  <%s>\n" % tag)
        for back, value in entries:
            shown = pressure(value, f.units) if tag == "pa" else number(value)
            w('    <%s%d v="%s"/>\n' % (tag[0], back, shown))
        w("  </%s>\n" % tag)


def write_maps(w, f):
    if not f.maps:
        return
    w("  <MAPS>\n")
    for m in f.maps:
        w('    <MAP id="%d" name="%s">%s</MAP>\n' % (m.number, esc(m.name), esc(m.url)))
    w("  </MAPS>\n")


def error_document(kind, message):
    return ('<?xml version="1.0" encoding="ISO-8859-1"?>\n' + NOTICE +
            '<error>\n  <err type="%d">%s</err>\n</error>\n' % (kind, esc(message)))


def search_document(cities):
    """The city search's answer: one "loc" per city, its code and its name."""
    body = "".join('  <loc id="%s" type="1">%s</loc>\n' % (esc(c.code), esc(c.place)) for c in cities)
    return '<?xml version="1.0" encoding="ISO-8859-1"?>\n<search ver="3.0">\n%s</search>\n' % body
