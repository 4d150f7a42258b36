#!/usr/bin/env python3
"""A proxy in front of a real back end that spoils the answers of article posts, as flaky hosts
and gateways do: the post reaches PHP and the article is stored, but what comes back is a 504, a
500, garbage or a dropped connection; or the post never reaches PHP and a 504 comes back.

Usage: fault_proxy.py LISTEN_PORT UPSTREAM_PORT RULES_FILE
RULES_FILE (JSON, read for every request, so a scenario changes it without a restart):
  {"modes": ["store504", "store500", "garbage", "drop", "nostore504", "late504"],  # taken in turn
   "late_ms": 5000,   # late504: 504 at once, the post reaches PHP this long after
   "list_order": "",  # an article list asked without orderby is sorted by this field (a changed template)
   "fail_lists": 0,   # the first N article lists answer 500 (counted over the proxy's life)
   "every": 1,        # spoil every Nth article post (counted over the proxy's life) ...
   "rate": 0.0,       # ... or, when above 0, each post with this chance instead
   "seed": 1,         # for "rate"
   "delay_ms": 0}     # every answer waits this long first (a slow host)
It prints one line per spoiled post to standard output, and one line "request PATH" per request.
"""
import http.client
import json
import os
import random
import socket
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

GATEWAY_TIMEOUT = (b"<html>\r\n<head><title>504 Gateway Time-out</title></head>\r\n<body>\r\n"
                   b"<center><h1>504 Gateway Time-out</h1></center>\r\n<hr><center>nginx</center>\r\n"
                   b"</body>\r\n</html>\r\n")
SERVER_ERROR = (b"<html><head><title>500 Internal Server Error</title></head><body>"
                b"<h1>Internal Server Error</h1></body></html>\n")
HOP_BY_HOP = {"connection", "keep-alive", "transfer-encoding", "te", "trailer", "upgrade",
              "proxy-authorization", "proxy-authenticate", "content-length"}

state = {"posts": 0, "random": None, "seed": None, "lists": 0}
lock = threading.Lock()


def rules():
    try:
        with open(RULES, encoding="utf-8") as f:
            return json.load(f)
    except (OSError, ValueError):
        return {}


def spoil_mode(rule):
    """The mode for this article post, or None."""
    modes = rule.get("modes") or []
    if not modes:
        return None
    with lock:
        state["posts"] += 1
        n = state["posts"]
        rate = float(rule.get("rate", 0))
        if rate > 0:
            if state["seed"] != rule.get("seed", 1):
                state["seed"] = rule.get("seed", 1)
                state["random"] = random.Random(state["seed"])
            if state["random"].random() >= rate:
                return None
            return modes[state["random"].randrange(len(modes))]
        every = max(1, int(rule.get("every", 1)))
        if n % every:
            return None
        return modes[(n // every - 1) % len(modes)]


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def relay(self):
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else None
        rule = rules()
        delay = int(rule.get("delay_ms", 0))
        is_post = (self.command == "POST" and self.path.split("?")[0].endswith("/article_add.php")
                   and body is not None and b"dopost=save" in body)
        mode = spoil_mode(rule) if is_post else None
        print(f"request {self.path}", flush=True)
        if mode:
            print(f"{mode} {self.path}", flush=True)
        if mode == "nostore504":
            return self.answer(504, GATEWAY_TIMEOUT)
        path = self.path
        if "/content_list.php" in path:
            with lock:
                state["lists"] += 1
                failing = state["lists"] <= int(rule.get("fail_lists", 0))
            if failing:
                return self.answer(500, SERVER_ERROR)
            if rule.get("list_order") and "orderby=" not in path:
                path += ("&" if "?" in path else "?") + "orderby=" + rule["list_order"]
        headers = {k: v for k, v in self.headers.items() if k.lower() not in HOP_BY_HOP}
        headers["Connection"] = "close"
        if mode == "late504":
            def later():
                threading.Event().wait(int(rule.get("late_ms", 5000)) / 1000)
                late = http.client.HTTPConnection("127.0.0.1", UPSTREAM, timeout=1200)
                late.request(self.command, path, body=body, headers=headers)
                late.getresponse().read()
                late.close()
            threading.Thread(target=later, daemon=True).start()
            return self.answer(504, GATEWAY_TIMEOUT)
        upstream = http.client.HTTPConnection("127.0.0.1", UPSTREAM, timeout=1200)
        upstream.request(self.command, path, body=body, headers=headers)
        response = upstream.getresponse()
        data = response.read()
        upstream.close()
        if delay:
            threading.Event().wait(delay / 1000)
        if mode == "store504":
            return self.answer(504, GATEWAY_TIMEOUT)
        if mode == "store500":
            return self.answer(500, SERVER_ERROR)
        if mode == "garbage":
            return self.answer(200, os.urandom(2000))
        if mode == "drop":
            self.connection.shutdown(socket.SHUT_RDWR)
            self.close_connection = True
            return None
        self.send_response(response.status, response.reason)
        for name, value in response.getheaders():
            if name.lower() not in HOP_BY_HOP:
                self.send_header(name, value)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
        return None

    def answer(self, status, data):
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    do_GET = relay
    do_POST = relay


if __name__ == "__main__":
    LISTEN, UPSTREAM, RULES = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    ThreadingHTTPServer.daemon_threads = True
    ThreadingHTTPServer(("127.0.0.1", LISTEN), Handler).serve_forever()
