#!/usr/bin/env python3
"""Figures for keldrin-devsim: processor time while idle, and the round trip of one firmware record.

Usage: python3 sim/bench_devsim.py [path/to/keldrin-devsim]   (default: build/keldrin-devsim)
"""
import os
import select
import subprocess
import sys
import time
import tty

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAM = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "build", "keldrin-devsim")
FIRMWARE = os.path.join(HERE, "..", "examples", "board.hex")
PASSES = 20


def cpu_ticks(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # user + system, in clock ticks


def idle_ticks(pid, seconds=5):
    before = cpu_ticks(pid)
    time.sleep(seconds)
    return cpu_ticks(pid) - before


def round_trip(fd, message):
    os.write(fd, message)
    answer = b""
    while not answer.endswith(b"\r\n"):
        if not select.select([fd], [], [], 2)[0]:
            raise RuntimeError(f"no answer to {message!r}")
        answer += os.read(fd, 64)
    return answer


def main():
    sim = subprocess.Popen([PROGRAM], stdout=subprocess.PIPE)
    try:
        device = sim.stdout.readline().decode().strip()
        tick = os.sysconf("SC_CLK_TCK")
        print(f"idle, no client:   {idle_ticks(sim.pid) / tick:.2f} s of processor time in 5 s")
        fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
        tty.setraw(fd)
        print(f"idle, client open: {idle_ticks(sim.pid) / tick:.2f} s of processor time in 5 s")
        lines = [l.strip().encode() for l in open(FIRMWARE) if l.strip()]
        start = time.perf_counter()
        for _ in range(PASSES):
            for line in lines:
                if round_trip(fd, line) != b"OK\r\n":
                    raise RuntimeError(f"record refused: {line!r}")
            round_trip(fd, b"E\r")
        elapsed = time.perf_counter() - start
        records = PASSES * len(lines)
        print(f"{records} records in {elapsed:.3f} s: {elapsed / records * 1e6:.0f} us per record")
        os.close(fd)
    finally:
        sim.terminate()
        sim.wait(timeout=5)


if __name__ == "__main__":
    main()
