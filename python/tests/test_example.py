"""An example of a test that drives Tarrow: start it on a pseudo-terminal, change the
cross-track while it runs, and check the records that reach the line."""

import os
import pty

import pytest

from tarrow import PROTOCOL, Tarrow, TarrowError


@pytest.fixture(autouse=True)
def own_directories(tmp_path, monkeypatch):
    """The program's settings and runtime files in the test's own directory."""
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))
    monkeypatch.setenv("XDG_RUNTIME_DIR", str(tmp_path))


@pytest.fixture
def line():
    """A pseudo-terminal standing in for the equipment's serial port."""
    master, slave = pty.openpty()
    name = os.ttyname(slave)
    os.close(slave)
    yield name, master
    os.close(master)


def read_sentences(master, count):
    data = b""
    while data.count(b"\r\n") < count:
        data += os.read(master, 4096)
    return data.decode().split("\r\n")[:count]


def test_a_change_reaches_the_line_from_the_tick_it_names(line):
    name, master = line
    with Tarrow.serve(port=name, period=0.05) as t:
        assert t.hello()["protocol"] == PROTOCOL
        t.subscribe("records")
        tick = t.set(xte=-0.5, speed=200)["tick"]
        record = t.next_record(timeout=2, tick=tick)
        assert record["text"] == "$GPRMB,A,0.500,R,AAAA,BBBB,37.567,N,122.23,W,9.9,8.8,123.6,A,A*43\r\n"
        status = t.status()
        assert status["values"]["xte"] == -0.5 and status["values"]["speed"] == 200
        # What the line received agrees: tick k sends $GPRMB and $GPRMC.
        sentences = read_sentences(master, 2 * tick)
        assert sentences[2 * tick - 2] == record["text"].rstrip()
        assert ",200.0," in sentences[2 * tick - 1]


def test_a_refusal_raises_with_the_programs_text(line):
    name, _ = line
    with Tarrow.serve(port=name, period=0.05) as t:
        with pytest.raises(TarrowError, match="'far' is not a valid floating point value"):
            t.set(xte="far")
        assert t.status()["values"]["xte"] == 0
