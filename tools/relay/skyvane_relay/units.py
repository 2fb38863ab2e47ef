"""The two unit systems of the weather documents and the conversions into them.

A request's "unit" key names the system: "m" metric (C, km, km/h, mb, mm),
anything else the service's standard units (F, mi, mph, in, in). Values in a
forecast are held in the document's system; these conversions take the metric
(or other upstream) figures there.
"""

import math

KM_PER_MILE = 1.609344
INCHES_HG_PER_HPA = 0.0295300
MM_PER_INCH = 25.4


class UnitSystem:
    def __init__(self, metric):
        self.metric = metric

    @classmethod
    def from_letter(cls, letter):
        return cls(letter != "s")

    @property
    def temperature_unit(self):
        return "C" if self.metric else "F"

    @property
    def speed_unit(self):
        return "km/h" if self.metric else "mph"

    def head(self):
        if self.metric:
            return "<ut>C</ut><ud>km</ud><us>km/h</us><up>mb</up><ur>mm</ur>"
        return "<ut>F</ut><ud>mi</ud><us>mph</us><up>in</up><ur>in</ur>"

    # From metric figures, as the simulator makes them.
    def temperature(self, celsius):
        return celsius if self.metric else celsius * 9 / 5 + 32

    def speed(self, kmh):
        return kmh if self.metric else kmh / KM_PER_MILE

    def pressure(self, hpa):
        return hpa if self.metric else hpa * INCHES_HG_PER_HPA

    def distance(self, km):
        return km if self.metric else km / KM_PER_MILE


def whole(value):
    """Rounds half away from zero, as weather reports round (-0.5 gives -1)."""
    return int(math.copysign(math.floor(abs(value) + 0.5), value))


# Upstream figures come with a unit text; each converter takes a value in that
# unit to the document's system, or gives None for a unit it does not know.
_TEMPERATURE = {"°C": lambda v, u: u.temperature(v),
                "°F": lambda v, u: v if not u.metric else (v - 32) * 5 / 9}
_SPEED = {"km/h": lambda v, u: u.speed(v),
          "mph": lambda v, u: v if not u.metric else v * KM_PER_MILE,
          "m/s": lambda v, u: u.speed(v * 3.6),
          "kn": lambda v, u: u.speed(v * 1.852)}
_PRESSURE = {"hPa": lambda v, u: u.pressure(v)}
_LENGTH = {"m": lambda v, u: u.distance(v / 1000.0),
           "ft": lambda v, u: u.distance(v * 0.3048 / 1000.0),
           "km": lambda v, u: u.distance(v)}
_CONVERTERS = {"temperature": _TEMPERATURE, "speed": _SPEED, "pressure": _PRESSURE, "length": _LENGTH}


def convert(kind, value, unit_text, units):
    """An upstream value of one kind ("temperature", "speed", "pressure",
    "length") given in unit_text, in the document's units; None when the value
    or its unit is unknown."""
    if value is None:
        return None
    converter = _CONVERTERS[kind].get(unit_text)
    return converter(float(value), units) if converter else None
