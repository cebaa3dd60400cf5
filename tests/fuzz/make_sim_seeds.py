#!/usr/bin/env python3
"""Writes the seeds of fuzz_sim_download and fuzz_sim_boot_loader.

    make_sim_seeds.py

Run once from anywhere; the seeds are committed. Each seed is what the host
sent after "download" or "reset" in a link case (its case.rx), or a firmware
file wrapped as an upload sends it, behind the escape byte that
tests/fuzz/sim_session.h reads, plus a few sessions with pauses and hang-ups
that only the escape can express.
"""
import pathlib
import subprocess
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parents[1]
LINK = ROOT / "tests/e2e/link"
SYN_ID = b"\x16DeReDi1.0"


def escaped(stream, events=()):
    """The stream, then the events ("bytes", b), ("pause", n * 10 ms),
    ("close",) or ("crc",), behind an escape byte none of their bytes is (or doubled
    where every byte occurs)."""
    sent = stream + b"".join(ev[1] for ev in events if ev[0] == "bytes")
    escape = next((b for b in range(0xFF, 0, -1) if b not in sent), 0xFF)

    def plain(data):
        return b"".join(bytes([b, b]) if b == escape else bytes([b]) for b in data)

    body = bytes([escape]) + plain(stream)
    for ev in events:
        if ev[0] == "bytes":
            body += plain(ev[1])
        else:
            body += bytes([escape, {"close": 0, "crc": 1, "pause": ev[-1]}[ev[0]]])
    return body


def packets(stream):
    """The stream cut into packets by their length fields, or None when it
    holds anything else (a resend after a garbled one, an interrupt)."""
    out, at = [], 0
    while at + 2 <= len(stream):
        n = stream[at] << 8 | stream[at + 1]
        if n < 5 or at + n > len(stream):
            return None
        out.append(stream[at:at + n])
        at += n
    return out if at == len(stream) else None


def crc_elided(stream):
    """The stream with each packet's CRC left to the fuzzer (escape, 0x01)."""
    events = []
    for p in packets(stream):
        events += [("bytes", p[:-2]), ("crc",)]
    return escaped(b"", events)


def after(rx, word):
    at = rx.find(word)
    return rx[at + len(word):] if at >= 0 else None


def write(folder, name, data):
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def download_seeds():
    out = HERE / "seeds/sim_download"
    for rx in sorted(LINK.glob("*/download_*.rx")):
        stream = after(rx.read_bytes(), b"download\n")
        if stream:
            write(out, rx.stem, escaped(stream))
            if packets(stream) and "nak" not in rx.stem:
                write(out, rx.stem + "_crc_left", crc_elided(stream))
    full = after((LINK / "common/download_one_rule.rx").read_bytes(), b"download\n")
    first_len = full[0] << 8 | full[1]
    first, rest = full[:first_len], full[first_len:]
    # A packet cut short: the device gives it up after a second of silence,
    # then takes the whole packet again.
    write(out, "short_then_whole", escaped(first[:7], [("pause", 150), ("bytes", full)]))
    # A broken CRC, the quiet gap, the packet again.
    bad = first[:-1] + bytes([first[-1] ^ 0x5A])
    write(out, "bad_crc_then_whole", escaped(bad, [("pause", 3), ("bytes", full)]))
    # The host gives up half way: an interrupt between packets, then a hang-up mid-packet.
    write(out, "interrupt_between_packets", escaped(first + b"\x03version\n"))
    write(out, "close_mid_packet", escaped(first + rest[:9], [("close",), ("bytes", b"download\n" + full)]))


def small_hex_files(tmp):
    """objcopy and srec_cat files as a developer's tools write them, kept small."""
    data = bytes((i * 37 + 11) & 0xFF for i in range(96))
    (tmp / "data.bin").write_bytes(data)
    subprocess.run(["objcopy", "-I", "binary", "-O", "ihex", "data.bin", "objcopy.hex"], cwd=tmp, check=True)
    subprocess.run(["srec_cat", "data.bin", "-binary", "-offset", "0x10000", "-o", "srec32.hex", "-intel",
                    "-obs=32"], cwd=tmp, check=True)
    return [tmp / "objcopy.hex", tmp / "srec32.hex"]


def upload_of(hex_bytes):
    """What an upload writes after the restart: SYN, the identifier, each line
    ended by one CR (a file's CR LF kept, to reach the loader's LF fault)."""
    lines = hex_bytes.replace(b"\r\n", b"\n").split(b"\n")
    return SYN_ID + b"".join(line + b"\r" for line in lines if line.strip())


def loader_seeds():
    out = HERE / "seeds/sim_boot_loader"
    for rx in sorted(LINK.glob("*/firmware_*.rx")):
        stream = after(rx.read_bytes(), b"reset\n")
        if stream and len(stream) <= 4096:
            write(out, rx.stem, escaped(stream))
    golden = [p for p in (ROOT / "tests/e2e/golden").glob("*/*") if p.suffix in (".hex", ".ihx") and p.is_file()]
    with tempfile.TemporaryDirectory() as tmp:
        for path in sorted(golden) + small_hex_files(pathlib.Path(tmp)):
            write(out, path.stem, escaped(upload_of(path.read_bytes())))
        small = (pathlib.Path(tmp) / "objcopy.hex").read_bytes()
        write(out, "crlf_lines", escaped(SYN_ID + small.replace(b"\n", b"\r\n")))
    digi = (ROOT / "tests/e2e/golden/check/digi.hex").read_bytes()
    # The new firmware answers the interrupt; the host hangs up before any record.
    write(out, "interrupt_after_upload", escaped(upload_of(digi) + b"\x03version\n"))
    write(out, "close_before_records", escaped(SYN_ID, [("close",), ("pause", 60), ("bytes", upload_of(digi))]))
    # An identifier cut short is refused after a second; a wrong one at once.
    write(out, "identifier_short", escaped(b"\x16DeRe", [("pause", 120), ("bytes", b"DeReDi1.1DeReDi1.0")]))


if __name__ == "__main__":
    download_seeds()
    loader_seeds()
