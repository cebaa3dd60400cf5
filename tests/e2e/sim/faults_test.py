"""Faults for any stage: a hang-up after N bytes, replies split into single bytes, NUL noise."""

import time
import unittest

from zuvsim_client import PROMPT, SimCase, command, start_download

VERSION_REPLY = b"\r\nZuvedidude APRS Digipeater\r\nVersion 2.8" + PROMPT


def with_nuls(data):
    return b"".join(bytes([b, 0]) for b in data)


class HangUpAfterReceiving(SimCase):
    CASES = [
        # N, what the host sends, what the device received before it hung up
        (1, b"version\n", b"v"),
        (5, b"version\n", b"versi"),
        (30, b"download\n" + command("conf", 904), b"download\n" + command("conf", 904)),
    ]

    def test_the_line_drops_on_the_nth_byte(self):
        for n, sent, received in self.CASES:
            with self.subTest(n=n):
                sim, port = self.connected("--hangup-after-rx", str(n))
                port.write(sent)
                port.expect_hang_up()
                self.assertEqual(sim.wait_exit(), 0)
                self.assertEqual(sim.log(), received)
                self.assertIn(f"hang up: {n} bytes received", sim.trace())

    def test_bytes_before_the_nth_are_answered(self):
        sim, port = self.connected("--hangup-after-rx", "9")
        port.write(b"version\n")
        self.assertEqual(port.read_until(PROMPT), VERSION_REPLY)
        port.write(b"\n")
        port.expect_hang_up()


class SplitReplies(SimCase):
    def test_a_reply_comes_byte_by_byte_with_the_pause_between(self):
        sim, port = self.connected("--split-replies", "20")
        start = time.monotonic()
        port.write(b"version\n")
        self.assertEqual(port.read_until(PROMPT, timeout=10), VERSION_REPLY)
        self.assertGreaterEqual(time.monotonic() - start, (len(VERSION_REPLY) - 1) * 0.020)


class NulBytes(SimCase):
    def test_nul_storm_adds_a_nul_after_every_byte_and_fills_the_idle_line(self):
        sim, port = self.connected("--nul-storm")
        self.assertEqual(port.read_exact(8), bytes(8))
        port.write(b"version\n")
        got = port.read_until(with_nuls(VERSION_REPLY))
        self.assertEqual(got.lstrip(b"\0"), with_nuls(VERSION_REPLY))

    def test_nul_adds_a_nul_after_every_byte_and_nothing_when_idle(self):
        sim, port = self.connected("--nul")
        port.write(b"version\n")
        self.assertEqual(port.read_until(with_nuls(VERSION_REPLY)), with_nuls(VERSION_REPLY))
        self.assertEqual(port.read_for(0.2), b"")

    def test_nul_storm_reaches_the_download_replies(self):
        sim, port = self.connected("--nul-storm")
        port.read_for(0.1)
        start_download(port)
        port.write(command("conf", 904))
        got = port.read_until(b"\x06\x00")
        self.assertEqual(got.lstrip(b"\0"), b"\x06\x00")


if __name__ == "__main__":
    unittest.main(verbosity=2)
