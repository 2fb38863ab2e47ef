"""One city's weather as every source hands it to the document writer.

Figures are in the document's unit system already; None stands for a value
the source does not have, which the document shows as "N/A". Times are the
city's local times; sun and moon times are hours since local midnight.
"""

import dataclasses
import datetime as dt
from typing import Dict, List, Optional, Tuple

from .units import UnitSystem


@dataclasses.dataclass
class Wind:
    speed: Optional[float] = None
    gust: Optional[float] = None
    direction: Optional[float] = None  # degrees, where the wind comes from


@dataclasses.dataclass
class Part:
    """The day or the night half of a forecast day, or one forecast hour."""
    icon: Optional[int] = None
    text: Optional[str] = None
    description: Optional[str] = None
    wind: Wind = dataclasses.field(default_factory=Wind)
    precipitation_chance: Optional[float] = None  # percent
    humidity: Optional[float] = None  # percent
    uv: Optional[float] = None
    uv_text: Optional[str] = None


@dataclasses.dataclass
class Day:
    date: dt.date
    high: Optional[float] = None
    low: Optional[float] = None
    sunrise: Optional[float] = None
    sunset: Optional[float] = None
    moonrise: Optional[float] = None
    moonset: Optional[float] = None
    moon_index: Optional[int] = None
    moon_text: Optional[str] = None
    day: Part = dataclasses.field(default_factory=Part)
    night: Part = dataclasses.field(default_factory=Part)


@dataclasses.dataclass
class Hour:
    moment: dt.datetime
    temperature: Optional[float] = None
    sunrise: Optional[float] = None
    sunset: Optional[float] = None
    is_day: bool = True
    part: Part = dataclasses.field(default_factory=Part)


@dataclasses.dataclass
class Current:
    observed: dt.datetime
    temperature: Optional[float] = None
    feels_like: Optional[float] = None
    text: Optional[str] = None
    icon: Optional[int] = None
    icon2: Optional[int] = None
    pressure: Optional[float] = None
    pressure_tendency: Optional[str] = None
    wind: Wind = dataclasses.field(default_factory=Wind)
    humidity: Optional[float] = None
    visibility: Optional[float] = None  # math.inf: "Unlimited"
    uv: Optional[float] = None
    uv_text: Optional[str] = None
    dew_point: Optional[float] = None
    moon_index: Optional[int] = None
    moon_text: Optional[str] = None
    wind_chill: Optional[float] = None
    heat_index: Optional[float] = None


@dataclasses.dataclass
class Alert:
    kind: str
    bulletin: str
    start: dt.datetime
    end: dt.datetime


@dataclasses.dataclass
class MapImage:
    number: int
    name: str
    url: str


@dataclasses.dataclass
class Forecast:
    code: str
    place: str  # "Moscow, Russia"
    lat: float
    lon: float
    utc_offset: float  # hours
    local_time: dt.datetime
    units: UnitSystem
    current: Current
    issued: dt.datetime  # when the day and hour forecasts were made
    sunrise: Optional[float] = None
    sunset: Optional[float] = None
    days: List[Day] = dataclasses.field(default_factory=list)
    hours: List[Hour] = dataclasses.field(default_factory=list)
    alerts: List[Alert] = dataclasses.field(default_factory=list)
    # "pa" pressure, "ta" temperature, "wa" wind chill: (hours back, value).
    archives: Dict[str, List[Tuple[int, Optional[float]]]] = dataclasses.field(default_factory=dict)
    maps: List[MapImage] = dataclasses.field(default_factory=list)
