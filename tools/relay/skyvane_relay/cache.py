"""Answers of the upstream APIs kept in memory, so that a city is asked for
at most once per lifetime (ten minutes) however many devices, relay hosts and
retries ask for it, and a failed request is not repeated until the pause its
error asked for has passed. Requests for one key wait for each other, so that
simultaneous requests make one upstream request."""

import threading
import time

from .upstream import UpstreamError

LIFETIME = 600.0


class Cache:
    def __init__(self, lifetime=LIFETIME, clock=time.monotonic):
        self.lifetime = lifetime
        self.clock = clock
        self._lock = threading.Lock()
        self._entries = {}  # key -> (expiry, value, error)
        self._key_locks = {}

    def fresh(self, key):
        """The value kept for key when it is still fresh, else None."""
        with self._lock:
            entry = self._entries.get(key)
        if entry and entry[0] > self.clock() and entry[2] is None:
            return entry[1]
        return None

    def get(self, key, fetch):
        """The kept value of key, or fetch()'s, which is then kept; an
        UpstreamError from fetch is kept for its pause and raised again to
        every caller until then."""
        with self._lock:
            key_lock = self._key_locks.setdefault(key, threading.Lock())
        with key_lock:
            with self._lock:
                entry = self._entries.get(key)
            now = self.clock()
            if entry and entry[0] > now:
                if entry[2] is not None:
                    raise UpstreamError(str(entry[2]), entry[0] - now)
                return entry[1]
            try:
                value = fetch()
            except UpstreamError as e:
                with self._lock:
                    self._entries[key] = (self.clock() + e.retry_after, None, e)
                raise
            with self._lock:
                self._entries[key] = (self.clock() + self.lifetime, value, None)
                self._drop_expired()
            return value

    def _drop_expired(self):
        now = self.clock()
        for key in [k for k, e in self._entries.items() if e[0] <= now]:
            del self._entries[key]
