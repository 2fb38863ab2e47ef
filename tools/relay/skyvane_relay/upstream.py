"""Requests to the public APIs behind the relay, as a polite client: a
User-Agent that names the project, a time-out on every request, and after a
429 or an outage (no answer, a time-out, a server error, an answer that is not
JSON) no request to that API at all until the pause has passed: the time a
429 or a Retry-After asked for, else a minute."""

import email.utils
import json
import threading
import time
import urllib.error
import urllib.parse
import urllib.request

USER_AGENT = "SkyvaneWeatherRelay/1.0 (Skyvane Weather for Linux; relay server)"
MAX_BODY = 8 * 1024 * 1024
# How long an API that failed is left alone before it is asked again.
FAILURE_PAUSE = 60
RATE_LIMIT_PAUSE = 600


class UpstreamError(Exception):
    """An API did not give a usable answer; retry_after says in how many
    seconds asking again makes sense."""

    def __init__(self, message, retry_after=FAILURE_PAUSE):
        super().__init__(message)
        self.retry_after = max(1, int(retry_after))


def user_agent(contact=None):
    return USER_AGENT[:-1] + ("; %s)" % contact if contact else ")")


def retry_after_seconds(value, now=None):
    """Seconds of a Retry-After header (a number or an HTTP date); None when
    it cannot be read."""
    if not value:
        return None
    value = value.strip()
    if value.isdigit():
        return int(value)
    try:
        moment = email.utils.parsedate_to_datetime(value)
    except (TypeError, ValueError):
        return None
    return max(0, int(moment.timestamp() - (now if now is not None else time.time())))


class Client:
    def __init__(self, base, timeout, agent, accept="application/json"):
        self.base = base.rstrip("/")
        self.timeout = timeout
        self.agent = agent
        self.accept = accept
        self.requests = 0
        self._lock = threading.Lock()
        self._hold_until = 0.0

    def get_json(self, path, params):
        with self._lock:
            wait = self._hold_until - time.monotonic()
        if wait > 0:
            raise UpstreamError("%s asked for a pause; %d s left" % (self.base, wait), wait)
        url = "%s%s?%s" % (self.base, path, urllib.parse.urlencode(params, safe=",:"))
        request = urllib.request.Request(url, headers={"User-Agent": self.agent, "Accept": self.accept})
        with self._lock:
            self.requests += 1
        deadline = time.monotonic() + self.timeout
        try:
            with urllib.request.urlopen(request, timeout=self.timeout) as response:
                body = read_until(response, deadline)
        except urllib.error.HTTPError as e:
            raise self.refusal(e) from None
        except (OSError, ValueError) as e:  # URLError, time-outs, resets, bad addresses
            raise self.outage("%s did not answer: %s" % (self.base, getattr(e, "reason", e)), FAILURE_PAUSE) from None
        try:
            payload = json.loads(body.decode("utf-8"))
        except (UnicodeDecodeError, ValueError):
            raise self.outage("%s answered something that is not JSON" % self.base, FAILURE_PAUSE) from None
        if isinstance(payload, dict) and payload.get("error") is True:
            raise UpstreamError("%s refused the request: %s" % (self.base, payload.get("reason", "no reason given")))
        return payload

    def refusal(self, e):
        asked = retry_after_seconds(e.headers.get("Retry-After"))
        if e.code == 429:
            return self.outage("%s limits our requests (429)" % self.base, asked or RATE_LIMIT_PAUSE)
        if e.code >= 500:
            return self.outage("%s answered HTTP %d" % (self.base, e.code), asked or FAILURE_PAUSE)
        # A refused request (a 4xx) says nothing of the others.
        return UpstreamError("%s answered HTTP %d" % (self.base, e.code), asked or FAILURE_PAUSE)

    def outage(self, message, pause):
        with self._lock:
            self._hold_until = time.monotonic() + pause
        return UpstreamError("%s; no requests for %d s" % (message, pause), pause)


def read_until(response, deadline):
    """The whole body, or an error once the deadline has passed: a peer that
    trickles bytes cannot hold the relay beyond its time-out."""
    chunks = []
    size = 0
    while True:
        if time.monotonic() > deadline:
            raise TimeoutError("the answer took longer than the time-out")
        chunk = response.read(65536)
        if not chunk:
            return b"".join(chunks)
        size += len(chunk)
        if size > MAX_BODY:
            raise ValueError("the answer is larger than %d bytes" % MAX_BODY)
        chunks.append(chunk)
