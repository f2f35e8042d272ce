"""A minimal Marionette client: enough to run privileged script in Firefox.

Marionette frames every message as "<length>:<json>", the length counting
the bytes of the JSON text. Commands are [0, id, name, params]; replies are
[1, id, error, result].
"""

import json
import socket
import time


class MarionetteError(Exception):
    pass


class Marionette:
    def __init__(self, port, host="127.0.0.1", timeout=30.0):
        self._sock = self._connect(host, port, timeout)
        self._sock.settimeout(timeout)
        self._buffer = b""
        self._next_id = 1
        hello = self._read_message()
        if not isinstance(hello, dict) or hello.get("marionetteProtocol") != 3:
            raise MarionetteError("unexpected greeting: %r" % (hello,))

    @staticmethod
    def _connect(host, port, timeout):
        deadline = time.monotonic() + timeout
        while True:
            try:
                return socket.create_connection((host, port), timeout=2.0)
            except OSError:
                if time.monotonic() >= deadline:
                    raise MarionetteError("no Marionette server on %s:%d after %.0f s" % (host, port, timeout))
                time.sleep(0.2)

    def set_timeout(self, seconds):
        self._sock.settimeout(seconds)

    def close(self):
        try:
            self._sock.close()
        except OSError:
            pass

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _read_message(self):
        while b":" not in self._buffer:
            self._receive()
        length_text, self._buffer = self._buffer.split(b":", 1)
        length = int(length_text)
        while len(self._buffer) < length:
            self._receive()
        body, self._buffer = self._buffer[:length], self._buffer[length:]
        return json.loads(body.decode("utf-8"))

    def _receive(self):
        try:
            chunk = self._sock.recv(65536)
        except socket.timeout:
            raise MarionetteError("Marionette did not answer in time")
        if not chunk:
            raise MarionetteError("Marionette closed the connection")
        self._buffer += chunk

    def command(self, name, params=None):
        message_id = self._next_id
        self._next_id += 1
        body = json.dumps([0, message_id, name, params or {}]).encode("utf-8")
        self._sock.sendall(str(len(body)).encode("ascii") + b":" + body)
        while True:
            reply = self._read_message()
            if isinstance(reply, list) and len(reply) == 4 and reply[0] == 1 and reply[1] == message_id:
                break
        _, _, error, result = reply
        if error:
            raise MarionetteError("%s: %s" % (error.get("error"), error.get("message")))
        return result

    def start_chrome_session(self):
        self.command("WebDriver:NewSession", {"capabilities": {"alwaysMatch": {}}})
        self.command("Marionette:SetContext", {"value": "chrome"})

    def execute(self, script, args=None):
        result = self.command("WebDriver:ExecuteScript", {"script": script, "args": args or []})
        return result.get("value") if isinstance(result, dict) else result
