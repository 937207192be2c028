#!/usr/bin/env python3
"""One client of the message-port soak: random commands over one connection.

  port_soak_client.py SOCKET COUNT SECONDS SEED

Posts COUNT commands chosen at random from Open, Start, Pause, Stop, About and the answers
ok and no (never Exit or a close), paced evenly over SECONDS, and reads every reply. Prints
one line of JSON: how many replies of each kind came back, and the slowest reply.
"""
import json
import random
import socket
import sys
import time

INTRO = '"Vrel Roru Intro by Tarrow/Senmar"'
COMMANDS = {
    "open": f"post {INTRO} {INTRO} WM_COMMAND 1001",
    "start": f"post {INTRO} {INTRO} WM_COMMAND 1002",
    "pause": f"post {INTRO} {INTRO} WM_COMMAND 1003",
    "stop": f"post {INTRO} {INTRO} WM_COMMAND 1004",
    "about": f"post {INTRO} {INTRO} WM_COMMAND 1005",
    "answer ok": "answer ok",
    "answer no": "answer no",
}


class Lines:
    def __init__(self, sock):
        self.sock = sock
        self.buffer = b""

    def read(self):
        while b"\n" not in self.buffer:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise ConnectionError("the intro closed the connection")
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode("utf-8", "replace")


def main():
    path, count, seconds, seed = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
    rng = random.Random(seed)
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    sock.settimeout(10)
    sock.connect(path)
    lines = Lines(sock)
    greeting = lines.read()
    if not greeting.startswith("vrelport 1 "):
        raise SystemExit(f"unexpected greeting: {greeting}")
    replies = {}
    sent = {}
    slowest = 0.0
    start = time.monotonic()
    for i in range(count):
        name = rng.choice(list(COMMANDS))
        sent[name] = sent.get(name, 0) + 1
        asked = time.monotonic()
        sock.sendall(COMMANDS[name].encode() + b"\n")
        reply = lines.read()
        slowest = max(slowest, time.monotonic() - asked)
        kind = " ".join(reply.split()[:2]) if reply.startswith("err") else "ok"
        replies[kind] = replies.get(kind, 0) + 1
        delay = start + (i + 1) * seconds / count - time.monotonic()
        if delay > 0:
            time.sleep(delay)
    print(json.dumps({"sent": sent, "replies": replies, "slowest_reply_ms": round(slowest * 1000, 1),
                      "seconds": round(time.monotonic() - start, 1)}))


if __name__ == "__main__":
    main()
