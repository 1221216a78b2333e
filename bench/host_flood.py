#!/usr/bin/env python3
"""The player's feed request, timed, while the server is flooded: 1,000 connections from one
address that never send a byte and 64 from two others that send their request a byte a second.
The probes come from a fourth address, five a second.

  host_flood.py <port> <seconds>    prints: probes, failures, median and slowest answer (ms)

Loopback only: the flood's addresses are 127.0.0.2 to 127.0.0.4, the probe's 127.0.0.5.
"""
import resource
import socket
import sys
import threading
import time

FEED = b"/gg/diangatai1/xmlxianshi.asp"
PLAYER = (b"GET " + FEED + b" HTTP/1.0\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 6.0; "
          b"Windows NT 5.0)\r\nAccept: */*\r\n\r\n")


def connect(port, source):
    s = socket.socket()
    s.bind((source, 0))
    s.connect(("127.0.0.1", port))
    return s


def probe(port):
    start = time.monotonic()
    try:
        s = connect(port, "127.0.0.5")
        s.settimeout(30)
        s.sendall(PLAYER)
        answer = b""
        while chunk := s.recv(65536):
            answer += chunk
        s.close()
        ok = answer.startswith(b"HTTP/1.1 200")
    except OSError:
        ok = False
    return time.monotonic() - start, ok


def main():
    port, seconds = int(sys.argv[1]), float(sys.argv[2])
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    want = 4096 if hard == resource.RLIM_INFINITY else min(hard, 4096)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, want), hard))
    idle = [connect(port, "127.0.0.2") for _ in range(1000)]
    trickling = [connect(port, "127.0.0.3" if i % 2 else "127.0.0.4") for i in range(64)]
    for s in trickling:
        s.send(b"GET /gonggao.txt HTTP/1.0\r\n")
    flooding = threading.Event()
    flooding.set()

    def trickle():
        while flooding.is_set():
            for s in trickling:
                try:
                    s.send(b"X")
                except OSError:
                    pass
            time.sleep(1)

    threading.Thread(target=trickle, daemon=True).start()
    times, failures = [], 0
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        took, ok = probe(port)
        times.append(took)
        failures += not ok
        time.sleep(0.2)
    flooding.clear()
    for s in idle + trickling:
        s.close()
    times.sort()
    print(f"{len(times)} {failures} {times[len(times) // 2] * 1000:.1f} {times[-1] * 1000:.1f}")


main()
