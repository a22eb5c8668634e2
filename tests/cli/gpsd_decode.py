#!/usr/bin/python3
"""tarrow-cli's added sentences and moving fix as two independent decoders read them.

A live-time run with every added sentence and a moving fix, on a loopback TCP server, read at
once by gpsd (gpsd -N -n, its JSON through gpspipe -w) and by python3-nmea2 (each sentence
parsed with its checksum checked). gpsd must report a 3D fix whose time is the system's and
whose position advances by speed x time within 1 %.
Usage: gpsd_decode.py TARROW_CLI. Exit 77 (skipped) when gpsd, gpspipe or pynmea2 is missing.
"""
import json
import math
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
SPEED_KN = 360.0
TRACK = 45.0
START = (50.8, -1.3)
RADIUS = 6371008.8  # the sphere the program moves the fix on
SECONDS = 9


def skip(why):
    print(f"SKIPPED: {why}")
    sys.exit(SKIP)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def great_circle_m(a, b):
    (la1, lo1), (la2, lo2) = [(math.radians(x), math.radians(y)) for x, y in (a, b)]
    h = (math.sin((la2 - la1) / 2) ** 2
         + math.cos(la1) * math.cos(la2) * math.sin((lo2 - lo1) / 2) ** 2)
    return 2 * RADIUS * math.asin(math.sqrt(h))


def connect(port, deadline):
    while time.time() < deadline:
        try:
            return socket.create_connection(("127.0.0.1", port), timeout=1)
        except OSError:
            time.sleep(0.05)
    raise SystemExit(f"FAILED: nothing listens on port {port}")


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    cli = sys.argv[1]
    for tool in ("gpsd", "gpspipe"):
        if not shutil.which(tool, path=os.environ.get("PATH", "") + ":/usr/sbin:/sbin"):
            skip(f"{tool} is not installed (Debian packages gpsd and gpsd-clients)")
    try:
        import pynmea2
    except ImportError:
        skip("pynmea2 is not installed (Debian package python3-nmea2)")
    gpsd = shutil.which("gpsd", path=os.environ.get("PATH", "") + ":/usr/sbin:/sbin")

    with tempfile.TemporaryDirectory() as tmp:
        env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(tmp, "config"), XDG_RUNTIME_DIR=tmp)
        nmea_port, gpsd_port = free_port(), free_port()
        program = subprocess.Popen(
            [cli, "--port", f"tcp:127.0.0.1:{nmea_port}", "--live-time", "--quiet", "simulate",
             "--sentences", "GGA,GLL,VTG,ZDA,GSA,GSV,APB,XTE,BWC,BOD",
             "--position", f"{START[0]},{START[1]}", "--move", "--speed", str(SPEED_KN),
             "--track", str(TRACK), "--duration", str(SECONDS + 4)],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        daemon = pipe = None
        try:
            raw = connect(nmea_port, time.time() + 5)
            raw.settimeout(None)
            lines = []

            def read_raw():
                buffer = b""
                while True:
                    try:
                        chunk = raw.recv(4096)
                    except OSError:
                        return
                    if not chunk:
                        return
                    buffer += chunk
                    *whole, buffer = buffer.split(b"\r\n")
                    lines.extend(whole)

            reader = threading.Thread(target=read_raw, daemon=True)
            reader.start()
            daemon = subprocess.Popen(
                [gpsd, "-N", "-n", "-S", str(gpsd_port), "-F", os.path.join(tmp, "gpsd.sock"),
                 f"tcp://127.0.0.1:{nmea_port}"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(0.5)
            pipe = subprocess.Popen(["gpspipe", "-w", f"127.0.0.1:{gpsd_port}"],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
            fixes = []  # (time the report was read, its time, lat, lon)
            end = time.time() + SECONDS
            for line in pipe.stdout:
                report = json.loads(line)
                if report.get("class") == "TPV" and report.get("mode") == 3 and "lat" in report:
                    stamp = time.mktime(time.strptime(report["time"][:19], "%Y-%m-%dT%H:%M:%S"))
                    stamp += float(report["time"][19:-1] or 0) - time.timezone
                    fixes.append((time.time(), stamp, report["lat"], report["lon"]))
                if time.time() > end:
                    break
        finally:
            for p in (pipe, daemon, program):
                if p and p.poll() is None:
                    p.terminate()
                    p.wait(timeout=5)
        raw.close()

    failures = []
    if len(fixes) < 3:
        raise SystemExit(f"FAILED: gpsd reported {len(fixes)} 3D fixes in {SECONDS} s")
    for seen, stamp, _, _ in fixes:
        if not 0 <= seen - stamp < 1.0:
            failures.append(f"fix time {stamp:.3f} read at {seen:.3f}: not the system's second")
    by_time = {}
    for _, stamp, lat, lon in fixes:
        by_time[stamp] = (lat, lon)
    times = sorted(by_time)
    elapsed = times[-1] - times[0]
    moved = great_circle_m(by_time[times[0]], by_time[times[-1]])
    expected = SPEED_KN * 1852 / 3600 * elapsed
    if elapsed <= 0 or abs(moved - expected) > 0.01 * expected:
        failures.append(f"moved {moved:.1f} m in {elapsed:.0f} s, expected {expected:.1f} m")

    kinds = set()
    for line in lines:
        text = line.decode("ascii")
        try:
            sentence = pynmea2.parse(text, check=True)
        except pynmea2.ParseError as e:
            failures.append(f"pynmea2 refused {text}: {e}")
            continue
        kinds.add(sentence.sentence_type)
    wanted = {"RMB", "RMC", "GGA", "GLL", "VTG", "ZDA", "GSA", "GSV", "APB", "XTE", "BWC", "BOD"}
    if kinds != wanted:
        failures.append(f"pynmea2 saw {sorted(kinds)}, expected {sorted(wanted)}")

    for f in failures:
        print("FAILED:", f)
    if failures:
        sys.exit(1)
    print(f"gpsd: {len(fixes)} 3D fixes, moved {moved:.1f} m in {elapsed:.0f} s "
          f"(expected {expected:.1f} m); pynmea2 parsed {len(lines)} sentences")


if __name__ == "__main__":
    main()
