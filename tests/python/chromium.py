"""A headless Chromium driven over the DevTools protocol, standard library only.

Used by the report tests to load a page, collect its console errors, measure
elements and take screenshots of them.
"""

from __future__ import annotations

import base64
import json
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import time
import urllib.request
from pathlib import Path
from typing import Any, Optional

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--remote-debugging-port=0", "--remote-allow-origins=*", "--window-size=1200,900"]


def find_chromium() -> Optional[str]:
    """Return the Chromium program, or None when it is not installed."""
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


class _WebSocket:
    """The client side of a WebSocket: text frames out (masked), frames in."""

    def __init__(self, url: str) -> None:
        rest = url.split("://", 1)[1]
        hostport, path = rest.split("/", 1)
        host, port = hostport.split(":")
        self.sock = socket.create_connection((host, int(port)), timeout=60)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall((f"GET /{path} HTTP/1.1\r\nHost: {hostport}\r\nUpgrade: websocket\r\n"
                           f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                           "Sec-WebSocket-Version: 13\r\n\r\n").encode())
        reply = b""
        while b"\r\n\r\n" not in reply:
            reply += self.sock.recv(4096)
        head, self.buffer = reply.split(b"\r\n\r\n", 1)
        if b" 101 " not in head.split(b"\r\n")[0]:
            raise ConnectionError(head.decode(errors="replace"))

    def _read(self, n: int) -> bytes:
        while len(self.buffer) < n:
            chunk = self.sock.recv(1 << 20)
            if not chunk:
                raise ConnectionError("DevTools connection closed")
            self.buffer += chunk
        data, self.buffer = self.buffer[:n], self.buffer[n:]
        return data

    def send(self, text: str) -> None:
        payload = text.encode()
        mask = os.urandom(4)
        n = len(payload)
        head = bytes([0x81])
        if n < 126:
            head += bytes([0x80 | n])
        elif n < 1 << 16:
            head += bytes([0x80 | 126]) + struct.pack(">H", n)
        else:
            head += bytes([0x80 | 127]) + struct.pack(">Q", n)
        masked = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
        self.sock.sendall(head + mask + masked)

    def receive(self) -> str:
        parts = []
        while True:
            b0, b1 = self._read(2)
            n = b1 & 0x7F
            if n == 126:
                n = struct.unpack(">H", self._read(2))[0]
            elif n == 127:
                n = struct.unpack(">Q", self._read(8))[0]
            data = self._read(n)
            opcode = b0 & 0x0F
            if opcode in (0x9, 0xA):  # ping, pong
                continue
            parts.append(data)
            if b0 & 0x80:
                return b"".join(parts).decode()


class Browser:
    """A headless Chromium with one page, closed on exit of the with block."""

    def __init__(self, program: str) -> None:
        self.profile = tempfile.mkdtemp(prefix="pykorvan-chromium-")
        self.process = subprocess.Popen(
            [program, *FLAGS, f"--user-data-dir={self.profile}", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        port_file = Path(self.profile) / "DevToolsActivePort"
        for _ in range(600):
            if port_file.is_file() and port_file.read_text().strip():
                break
            time.sleep(0.1)
        port = port_file.read_text().split()[0]
        with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list", timeout=30) as r:
            pages = [t for t in json.load(r) if t["type"] == "page"]
        self.ws = _WebSocket(pages[0]["webSocketDebuggerUrl"])
        self.next_id = 0
        self.events: list[dict[str, Any]] = []
        for domain in ("Page", "Runtime", "Log"):
            self.call(f"{domain}.enable")

    def __enter__(self) -> "Browser":
        return self

    def __exit__(self, *exc: object) -> None:
        self.process.terminate()
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
        shutil.rmtree(self.profile, ignore_errors=True)

    def call(self, method: str, **params: Any) -> dict[str, Any]:
        """Send a command and return its result; events met are kept."""
        self.next_id += 1
        self.ws.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.ws.receive())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message["result"]
            self.events.append(message)

    def wait_for(self, event: str) -> None:
        """Wait for an event (e.g. Page.loadEventFired)."""
        while not any(e.get("method") == event for e in self.events):
            self.events.append(json.loads(self.ws.receive()))

    def load(self, path: Path) -> None:
        """Open a file and wait until the page has loaded."""
        self.events.clear()
        self.call("Page.navigate", url=path.resolve().as_uri())
        self.wait_for("Page.loadEventFired")

    def console_errors(self) -> list[str]:
        """Return the errors the page reported: console, exceptions, failed loads."""
        errors = []
        for e in self.events:
            method, params = e.get("method"), e.get("params", {})
            if method == "Runtime.consoleAPICalled" and params.get("type") == "error":
                errors.append(str(params.get("args")))
            elif method == "Runtime.exceptionThrown":
                errors.append(str(params.get("exceptionDetails")))
            elif method == "Log.entryAdded" and params["entry"].get("level") == "error":
                errors.append(params["entry"].get("text", ""))
        return errors

    def evaluate(self, expression: str) -> Any:
        """Return the value of a JavaScript expression in the page."""
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        return result["result"].get("value")

    def screenshot(self, clip: dict[str, float]) -> bytes:
        """Return a PNG of a region of the page (page coordinates in CSS pixels)."""
        result = self.call("Page.captureScreenshot", format="png", captureBeyondViewport=True,
                           clip={**clip, "scale": 1})
        return base64.b64decode(result["data"])
