"""The HTTP side: the addresses the weather service library asks, answered as
the service and its relays answered them.

  /wsi/wsiservices.aspx?url=<feed address>&dayf=N&prod=xoap&par=..&key=..&unit=m|s   (relay)
  /weather/local/<code>?cc=*&dayf=5&prod=xoap&par=..&key=..&unit=m|s&link=xoap      (feed)
  /search/search?where=<name>                                                       (city search)

A code that names no city, or a wrong partner id or key, gets the service's
"err" document; a source whose upstream fails gets 503 with Retry-After, so
that the device tries its next address and later its next update.

With fault switches enabled (the simulator), the switches below make it
misbehave on purpose, at start (--fail a,b), per request (query key
"feedsim=a,b"), or for the next requests through /feedsim/control?set=a,b[&times=N]:
  refuse    reset the connection after reading the request
  stall     read the request and never answer
  drop      send the head and half of the body, then close
  err       answer an "err" document
  redirect  answer 302 to the same address below /moved
  auth      demand Basic authentication (--user/--password)
  gzip      gzip the body (with a file name in the gzip header)
  chunked   send the body in chunks
/feedsim/log lists the request lines seen so far; /feedsim/control?set= clears.
"""

import base64
import datetime as dt
import gzip
import io
import socket
import socketserver
import struct
import threading
import traceback
import urllib.parse

from .document import error_document, search_document, weather_document
from .units import UnitSystem
from .upstream import UpstreamError

PARTNER_ID = "5820417369"
ACCESS_KEY = "3fa91c6e0b7d2458"
SWITCHES = {"refuse", "stall", "drop", "err", "redirect", "auth", "gzip", "chunked"}
REASONS = {200: "OK", 400: "Bad Request", 404: "Not Found", 500: "Internal Server Error", 503: "Service Unavailable"}


def parse_switches(text):
    found = {s.strip().lower() for s in text.split(",") if s.strip()}
    unknown = found - SWITCHES
    if unknown:
        raise ValueError("unknown switch: %s" % ", ".join(sorted(unknown)))
    return found


class Faults:
    """The fault switches and the request log of the simulator."""

    def __init__(self, switches, user, password, stall_seconds):
        self.lock = threading.Lock()
        self.switches = set(switches)
        self.times = None  # how many more requests the control switches apply to; None: all
        self.user = user
        self.password = password
        self.stall_seconds = stall_seconds
        self.log = []

    def take(self):
        with self.lock:
            active = set(self.switches)
            if self.times is not None:
                self.times -= 1
                if self.times <= 0:
                    self.switches.clear()
                    self.times = None
            return active


class Relay:
    """What the relay answers: documents from a city directory and a source."""

    def __init__(self, directory, source, now=None, log=None):
        self.directory = directory
        self.source = source
        self.now = now  # a fixed UTC time for every document, or None for the clock
        self.log = log or (lambda message: None)

    def answer(self, path, params, err=False):
        """(status, extra head lines, content type, body) for one request."""
        if path == "/search/search":
            try:
                return 200, [], "text/xml", search_document(self.directory.search(params.get("where", "")))
            except UpstreamError as e:
                return self.unavailable("the search for %r" % params.get("where", ""), e)
        if path == "/wsi/wsiservices.aspx":
            feed = urllib.parse.urlsplit(params.get("url", ""))
            code = feed.path.rsplit("/", 1)[-1] if feed.path.startswith("/weather/local/") else ""
            relay = True
        elif path.startswith("/weather/local/"):
            code, relay = path[len("/weather/local/"):], False
        else:
            return 404, [], "text/xml", error_document(0, "Not found")
        if err:
            return 200, [], "text/xml", error_document(2, "Invalid location")
        if params.get("par") != PARTNER_ID or params.get("key") != ACCESS_KEY:
            return 200, [], "text/xml", error_document(100, "Invalid license key")
        city = self.directory.resolve(urllib.parse.unquote(code))
        if city is None:
            return 200, [], "text/xml", error_document(2, "Invalid location")
        try:
            days = max(1, min(10, int(params.get("dayf", "5"))))
        except ValueError:
            days = 5
        units = UnitSystem.from_letter(params.get("unit", "m"))
        now = self.now or dt.datetime.now(dt.timezone.utc).replace(tzinfo=None)
        try:
            forecast = self.source.forecast(city, days, units, now, relay)
        except UpstreamError as e:
            return self.unavailable("the weather of %s" % city.code, e)
        return 200, [], "text/xml", weather_document(forecast, relay)

    def unavailable(self, what, error):
        self.log("%s is unavailable: %s" % (what, error))
        return (503, ["Retry-After: %d" % error.retry_after], "text/plain",
                "The weather source is unavailable; try again in %d seconds.\n" % error.retry_after)


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        relay, faults = self.server.relay, self.server.faults
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
            return self.send(400, [], "text/plain", "bad request line\n", set())
        target = parts[1]
        if target.startswith("http://"):  # through a proxy: the absolute form
            target = "/" + target.split("/", 3)[3] if target.count("/") >= 3 else "/"
        headers = {}
        for line in head[1:]:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        path, _, query = target.partition("?")
        params = dict(urllib.parse.parse_qsl(query, keep_blank_values=True))

        switches = set()
        if faults is not None:
            with faults.lock:
                faults.log.append(head[0])
            if path == "/feedsim/control":
                return self.control(faults, params)
            if path == "/feedsim/log":
                with faults.lock:
                    return self.send(200, [], "text/plain", "".join(l + "\n" for l in faults.log), set())
            switches = faults.take()
            try:
                switches |= parse_switches(params.get("feedsim", ""))
            except ValueError as e:
                return self.send(400, [], "text/plain", str(e) + "\n", set())
            if self.misbehave(faults, switches, path, headers):
                return
            if path.startswith("/moved/"):
                path = path[len("/moved"):]
        try:
            status, extra, ctype, text = relay.answer(path, params, "err" in switches)
        except Exception:  # a fault of the relay itself: said in the log, and to the device as a 500
            relay.log("answering %s failed:\n%s" % (head[0], traceback.format_exc()))
            status, extra, ctype, text = 500, [], "text/plain", "The relay failed to answer; see its log.\n"
        self.send(status, extra, ctype, text, switches)

    def control(self, faults, params):
        try:
            switches = parse_switches(params.get("set", ""))
        except ValueError as e:
            return self.send(400, [], "text/plain", str(e) + "\n", set())
        with faults.lock:
            faults.switches = switches
            faults.times = int(params["times"]) if params.get("times") else None
        return self.send(200, [], "text/plain", "switches: %s\n" % ",".join(sorted(switches)), set())

    def misbehave(self, faults, switches, path, headers):
        """Acts out the switches that replace the answer; True when one did."""
        if "refuse" in switches:
            # Closing with a zero linger time resets the connection.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            return True
        if "stall" in switches:
            self.server.stopping.wait(faults.stall_seconds)
            return True
        if "redirect" in switches and not path.startswith("/moved/"):
            self.raw("HTTP/1.0 302 Found\r\nLocation: /moved%s\r\nContent-Length: 0\r\n\r\n" % path, b"")
            return True
        if "auth" in switches:
            expected = "Basic " + base64.b64encode(("%s:%s" % (faults.user, faults.password)).encode()).decode()
            if headers.get("authorization") != expected:
                self.raw("HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"feedsim\"\r\n"
                         "Content-Type: text/plain\r\nContent-Length: 13\r\n\r\n", b"Unauthorized\n")
                return True
        return False

    def send(self, status, extra, ctype, text, switches):
        body = text.encode("latin-1", "xmlcharrefreplace")
        head = ["HTTP/1.0 %d %s" % (status, REASONS.get(status, "X")), "Content-Type: %s" % ctype] + extra
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
            pass  # the device hung up; nothing to tell it any more


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True

    def __init__(self, address, relay, faults=None):
        super().__init__(address, Handler)
        self.relay = relay
        self.faults = faults
        self.stopping = threading.Event()
