#!/usr/bin/python3
"""Replay rate: records a second from `tarrow-cli replay --all-sentences --pace none` to one
TCP client, beside gpsfake (Debian's gpsd-clients; installed for this measurement only) on the
same generated log in the same run, and tarrow-cli's resident memory while it replays.

The log is a receiver's second over and over (RMC, GGA, GSA, two GSV, VTG, ZDA, RMB), each
second one later. tarrow-cli is read by a client of its TCP server; gpsfake feeds gpsd over TCP
(-t) as fast as it goes (-c 0, once: -1) and is read through `gpspipe -r`, gpsd's raw
sentences. Each rate is the records the client got over the time from its first record to its
last. A figure, not a test: it never fails.
Usage: replay_rate.py TARROW_CLI [megabytes=20]
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time


def checksum(body):
    x = 0
    for c in body[1:]:
        x ^= ord(c)
    return f"{body}*{x:02X}"


def write_log(path, megabytes):
    size = 0
    second = 0
    with open(path, "w") as f:
        while size < megabytes * 1_000_000:
            h, m, s = second // 3600 % 24, second // 60 % 60, second % 60
            t = f"{h:02d}{m:02d}{s:02d}.00"
            block = [
                f"$GPRMC,{t},A,5048.0000,N,00118.0000,W,10.0,045.0,071226,7.0,E,A",
                f"$GPGGA,{t},5048.0000,N,00118.0000,W,1,08,0.9,15.0,M,-32.0,M,,",
                "$GPGSA,A,3,02,05,07,10,13,18,24,29,,,,,1.6,0.9,1.3",
                "$GPGSV,2,1,08,02,16,272,33,05,20,317,34,07,42,002,38,10,69,047,43",
                "$GPGSV,2,2,08,13,84,092,46,18,79,137,45,24,56,182,41,29,29,227,35",
                "$GPVTG,45.0,T,38.0,M,10.0,N,18.5,K,A",
                f"$GPZDA,{t},07,12,2026,00,00",
                "$GPRMB,A,1.250,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A",
            ]
            text = "".join(checksum(b) + "\r\n" for b in block)
            f.write(text)
            size += len(text)
            second += 1
    return second * 8


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def count_lines(stream_lines):
    """(records, seconds from the first to the last) of an iterator of lines."""
    first = last = None
    n = 0
    for line in stream_lines:
        if line.startswith(b"$") or line.startswith(b"!"):
            n += 1
            last = time.monotonic()
            if first is None:
                first = last
    return n, (last - first) if first is not None and last != first else float("nan")


def socket_lines(sock):
    buffer = b""
    while True:
        chunk = sock.recv(1 << 16)
        if not chunk:
            break
        buffer += chunk
        *whole, buffer = buffer.split(b"\n")
        yield from whole


def rss_kb(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        return None


def tarrow(cli, log, tmp):
    port = free_port()
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(tmp, "config"), XDG_RUNTIME_DIR=tmp)
    p = subprocess.Popen([cli, "--port", f"tcp:127.0.0.1:{port}", "--quiet", "replay", log,
                          "--all-sentences", "--pace", "none"], env=env)
    deadline = time.time() + 5
    while True:
        try:
            sock = socket.create_connection(("127.0.0.1", port))
            break
        except OSError:
            if time.time() > deadline:
                raise SystemExit("tarrow-cli did not listen")
            time.sleep(0.02)
    samples = []

    def watch():
        while p.poll() is None:
            kb = rss_kb(p.pid)
            if kb:
                samples.append(kb)
            time.sleep(0.2)

    watcher = threading.Thread(target=watch)
    watcher.start()
    records, seconds = count_lines(socket_lines(sock))
    p.wait()
    watcher.join()
    return records, seconds, samples


def gpsfake(log, tmp):
    port = free_port()
    p = subprocess.Popen(["gpsfake", "-1", "-t", "-c", "0", "-q", "-P", str(port), log],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=tmp)
    time.sleep(1.5)
    pipe = subprocess.Popen(["gpspipe", "-r", f"127.0.0.1:{port}"], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)
    result = {}

    def read():
        result["r"] = count_lines(iter(pipe.stdout.readline, b""))

    reader = threading.Thread(target=read)
    reader.start()
    p.wait()
    time.sleep(1)
    pipe.terminate()
    reader.join()
    return result["r"]


def main():
    cli = sys.argv[1]
    megabytes = float(sys.argv[2]) if len(sys.argv) > 2 else 20.0
    with tempfile.TemporaryDirectory() as tmp:
        log = os.path.join(tmp, "replay.nmea")
        total = write_log(log, megabytes)
        print(f"log: {os.path.getsize(log) / 1e6:.1f} MB, {total} records")
        records, seconds, rss = tarrow(cli, log, tmp)
        print(f"tarrow-cli --pace none: {records} records in {seconds:.2f} s = "
              f"{records / seconds:,.0f} records/s; lost {total - records}; "
              f"RSS {min(rss) if rss else 0} .. {max(rss) if rss else 0} kB")
        if shutil.which("gpsfake") and shutil.which("gpspipe"):
            records, seconds = gpsfake(log, tmp)
            print(f"gpsfake -c 0 (through gpsd): {records} records in {seconds:.2f} s = "
                  f"{records / seconds:,.0f} records/s")
        else:
            print("gpsfake: not installed (Debian gpsd-clients), no comparison")


if __name__ == "__main__":
    main()
