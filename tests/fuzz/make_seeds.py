#!/usr/bin/env python3
"""Writes the seed corpus of each harness (corpus/<harness>/seed-*) from the example project.

The harnesses read their input through libFuzzer's FuzzedDataProvider: strings are taken from
the front (ended by a backslash and one more byte), numbers and flags from the back, and the
rest is the file or stream. The seeds are laid out that way so that each starts from a real
file. Crash inputs found later go beside them as crash-* (never regenerated).
"""
import pathlib

here = pathlib.Path(__file__).resolve().parent
examples = here.parent.parent / "examples"
corpus = here / "corpus"


def s(text):
    """A string as ConsumeRandomLengthString reads it (a backslash doubled, then the end mark)."""
    if isinstance(text, str):
        text = text.encode("latin-1")
    return text.replace(b"\\", b"\\\\") + b"\\ "


def tail(*values):
    """Bytes read from the back: the first value given is the first read."""
    return bytes(reversed(values))


def write(harness, name, data):
    d = corpus / harness
    d.mkdir(parents=True, exist_ok=True)
    (d / ("seed-" + name)).write_bytes(data)


project = (examples / "board.cmd").read_bytes()
hexfile = (examples / "board.hex").read_bytes()
chk = (examples / "board.chk").read_bytes()
data_txt = (examples / "board-data.txt").read_bytes()
issues = [b"ID!/ the loader names itself", b"E!", b"C!", b":0300000312" + chk.strip()[13:17],
          b"AT^!~~AT!", b"\x80", b"\x81", b":10F80000" + b"4B454C4452494E2053414D504C452042" + b"62"]
hex_lines = hexfile.splitlines()

# Project files as they are: the harness loads the whole input.
write("fuzz_project_file", "board.cmd", project)
write("fuzz_project_file", "board-crlf.cmd", project.replace(b"\n", b"\r\n"))
write("fuzz_project_file", "settings-only.cmd",
      b"[Special_Settings]\r\nSpinEdit_DelayOnSent=$1F\r\n[ComPort_Settings]\r\nComPort_BaudRate=300\r\n")

# Profile strings: section, key, value, then the file; a session flag at the back.
write("fuzz_profile_strings", "board-update", s("5") + s("Issue") + s("/other.hex") + project + tail(0))
write("fuzz_profile_strings", "board-new", s("Special_Settings") + s("New") + s("'quoted'") + project + tail(1))
write("fuzz_profile_strings", "bom", s("a") + s("k") + s("v") + b"\xef\xbb\xbf; note\r\n[A]\r\nK = \"x\"\r\n" + tail(1))

# Port maps: COM number at the back, device, new-device count at the back, then the map.
portmap = (b"# Keldrin port map\nCOM1=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n"
           b"com2 = /dev/ttyS0   # on board\nCOM5=/dev/pts/4\nCOM3=\n")
write("fuzz_port_map", "map", s("/dev/pts/7") + portmap + tail(5, 2))
write("fuzz_port_map", "crlf", s("/dev/ttyUSB1") + portmap.replace(b"\n", b"\r\n") + tail(1, 1))

# Firmware: the row's type at the back, the .chk text, a generated record (at the back), the file.
write("fuzz_firmware", "board-text", s(chk) + hexfile + tail(0, 3, 0, 0x30, 0, 1, 2, 3))
write("fuzz_firmware", "board-binary", s(chk) + hexfile.replace(b"\n", b"\r\n") + tail(1, 2, 0xF8, 0, 4, 0, 1))
write("fuzz_firmware", "data-text", s(chk) + data_txt + tail(0, 0, 0, 0, 1))

# Send lines: a prefix for the record-line check, then the line.
for i, line in enumerate(issues + hex_lines[:2]):
    write("fuzz_send_line", "line%d" % i, s(b":") + line)

# Text codec: the pattern, then the text; width, value and the apostrophe flag at the back.
write("fuzz_text_codec", "hex", s("-") + b"12-34-56" + tail(2, 0, 0, 0, 0, 0, 0, 0x10, 0, 1))
write("fuzz_text_codec", "split", s("_") + b"41,42,43,0!" + b"x'y, ab__" + tail(4, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0))
write("fuzz_text_codec", "max", s("ff") + b"7FFFFFFFFFFFFFFE" + tail(0, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 1))

# keldrin-devsim: fault settings and the read size at the back, then what Keldrin sends for the
# example project: commands, text records, binary records, sync bytes.
def binary(line):
    return b"@" + bytes.fromhex(line[1:].decode())

session = b"ID\rE\r" + b"\r\n".join(hex_lines) + b"\r\nC\r=\x05E\r" + b"".join(binary(l) for l in hex_lines) + b"C\r"
write("fuzz_devsim", "board-session", session + tail(0, 0, 0, 0, 7))
write("fuzz_devsim", "faults", session + tail(9, 2, 3, 1, 1))
