#!/usr/bin/env python3
"""Benchmark (not a test): the unattended program against keldrin-devsim, one station and
eight at once, beside a minimal send-a-line / wait-for-"OK" loop over the same device.

Usage: python3 scripts/bench_stations.py [build dir] [lines] [stations]

Each station is `keldrin <N> <project.cmd>` with its own keldrin-devsim on COM N, sending a
File row of `lines` Intel HEX records (2000 by default, plus the end record) with no delay
after lines. Printed: lines per second over all stations, and the processor time of the
Keldrin processes per line, net of start-up (a run of a one-line file measures that), and
the processor time of the devices. Each run also has a fixed wall time whatever its length
(start-up, the pauses of the File row and of the end melody, shutdown): the rate net of a
one-line run of as many stations is printed too. The minimal loop sends the same records over the same
kind of pseudo-terminal and device, from one process per station.
"""
import os
import resource
import select
import shutil
import subprocess
import sys
import tempfile
import time
import tty

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
LINES = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
STATIONS = int(sys.argv[3]) if len(sys.argv) > 3 else 8
FIRST_COM = 61


def record(address, data):
    body = bytes([len(data), address >> 8, address & 0xFF, 0]) + data
    return ":" + (body + bytes([(-sum(body)) & 0xFF])).hex().upper()


def firmware(lines):
    out, total = [], 0
    for i in range(lines):
        data = bytes(((i * 16 + k) * 7) & 0xFF for k in range(16))
        total += sum(data)
        out.append(record((i * 16) & 0xFFFF, data))
    out.append(":00000001FF")
    return out, total & 0xFFFF


def write_project(folder, name, lines):
    records, total = firmware(lines)
    with open(os.path.join(folder, name + ".hex"), "w", newline="") as f:
        f.write("".join(r + "\r\n" for r in records))
    with open(os.path.join(folder, name + ".chk"), "w") as f:
        f.write("Checksum is: %04X" % total)
    project = os.path.join(folder, name + ".cmd")
    with open(project, "w", newline="") as f:
        f.write("[1]\r\nName=<=>\r\n[2]\r\nName=firmware\r\nType=File\r\nIssue=\\%s.hex\r\n"
                "ACK_string=OK\r\nNACK_string=ERR\r\nTime-Out=2\r\n"
                "[Special_Settings]\r\nSpinEdit_DelayOnSent=0\r\n[ComPort_Settings]\r\n"
                "ComPort_BaudRate=12\r\nComPort_Databits=4\r\nComPort_FlowControl=0\r\n"
                "ComPort_Parity=0\r\nComPort_Stopbits=0\r\n" % name)
    return project, records


def cpu_of(pid):
    fields = open(f"/proc/{pid}/stat").read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def start_devices(folder, count):
    devices = []
    for i in range(count):
        sim = subprocess.Popen([os.path.join(BUILD, "keldrin-devsim"), "--com", str(FIRST_COM + i)],
                               stdout=subprocess.PIPE)
        devices.append((sim, sim.stdout.readline().decode().strip()))
    return devices


def stop_devices(devices):
    for sim, _ in devices:
        sim.terminate()
        sim.wait(timeout=5)


def run_stations(folder, program, project, count):
    """Wall seconds, Keldrin processor seconds (all stations), device processor seconds."""
    devices = start_devices(folder, count)
    try:
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        dev0 = sum(cpu_of(sim.pid) for sim, _ in devices)
        start = time.perf_counter()
        runs = [subprocess.Popen([program, str(FIRST_COM + i), project],
                                 stderr=subprocess.DEVNULL) for i in range(count)]
        codes = [p.wait() for p in runs]
        wall = time.perf_counter() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        dev = sum(cpu_of(sim.pid) for sim, _ in devices) - dev0
    finally:
        stop_devices(devices)
    if any(codes):
        raise SystemExit(f"a station failed: exit codes {codes}")
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall, cpu, dev


def minimal_loop(device, records, result):
    fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    t0 = time.process_time()
    for line in records:
        os.write(fd, line.encode())
        answer = b""
        while not answer.endswith(b"\r\n"):
            select.select([fd], [], [], 2)
            answer += os.read(fd, 64)
        if answer != b"OK\r\n":
            raise SystemExit(f"record refused: {line}")
    os.write(result, b"%f\n" % (time.process_time() - t0))
    os.close(fd)


def run_minimal(folder, records, count):
    devices = start_devices(folder, count)
    try:
        read_end, write_end = os.pipe()
        start = time.perf_counter()
        children = []
        for _, device in devices:
            pid = os.fork()
            if pid == 0:
                minimal_loop(device, records, write_end)
                os._exit(0)
            children.append(pid)
        for pid in children:
            os.waitpid(pid, 0)
        wall = time.perf_counter() - start
        os.close(write_end)
        cpu = sum(float(x) for x in os.read(read_end, 65536).split())
        os.close(read_end)
    finally:
        stop_devices(devices)
    return wall, cpu


def main():
    folder = tempfile.mkdtemp(prefix="keldrin-stations-")
    try:
        os.environ["KELDRIN_PORTS"] = os.path.join(folder, "Keldrin.ports")
        os.environ["QT_QPA_PLATFORM"] = "offscreen"
        os.environ["KELDRIN_TEST_SILENT"] = "1"
        program = os.path.join(folder, "keldrin")
        shutil.copy(os.path.join(BUILD, "keldrin"), program)
        project, records = write_project(folder, "bench", LINES)
        tiny, _ = write_project(folder, "tiny", 0)
        n = len(records)
        print(f"load average at start: {os.getloadavg()[0]:.1f}")
        _, startup, _ = run_stations(folder, program, tiny, 1)
        print(f"start-up and end of one unattended run (1-line file): {startup:.2f} s CPU")
        for count in sorted({1, STATIONS}):
            # What a run costs whatever its length: start-up, the File row's and the end
            # melody's fixed pauses, shutdown; a 1-line run of as many stations measures it.
            fixed, _, _ = run_stations(folder, program, tiny, count)
            wall, cpu, dev = run_stations(folder, program, project, count)
            lines = n * count
            net = cpu - count * startup
            print(f"{count} station(s): {lines} lines in {wall:.2f} s = {lines / wall:.0f} lines/s; "
                  f"Keldrin {cpu:.2f} s CPU, net of start-up {net * 1e6 / lines:.0f} us a line; "
                  f"devices {dev:.2f} s CPU")
            if wall > fixed:
                print(f"  a 1-line run of {count} station(s) takes {fixed:.2f} s; net of that: "
                      f"{lines / (wall - fixed):.0f} lines/s")
            wall, cpu = run_minimal(folder, records, count)
            print(f"{count} minimal loop(s): {lines} lines in {wall:.2f} s = {lines / wall:.0f} "
                  f"lines/s, {cpu * 1e6 / lines:.0f} us CPU a line")
        print(f"load average at end: {os.getloadavg()[0]:.1f}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
