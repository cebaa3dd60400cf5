"""--pace: every byte takes 10 bit times at the device's rate, in both directions.

Only lower bounds are checked: a paced byte never arrives or leaves sooner
than the wire allows, however fast the machine.
"""

import time
import unittest

from zuvsim_client import ACK, PROMPT, SimCase, download_packets, exchange, start_download

ANNOUNCEMENT = b"\r\nBegin serial test: end with <ctrl>-c\r\n"


def wire_time(count, rate):
    return count * 10 / rate


class Pacing(SimCase):
    def echo_test(self, port):
        port.write(b"serialtest\n")
        self.assertEqual(port.read_exact(len(ANNOUNCEMENT)), ANNOUNCEMENT)

    def timed_echo(self, port, count):
        sent = bytes(0x40 + i % 63 for i in range(count))
        start = time.monotonic()
        port.write(sent)
        got = port.read_exact(count, timeout=30)
        self.assertEqual(got, sent)
        return time.monotonic() - start

    def test_bytes_to_the_device_take_their_wire_time(self):
        sim, port = self.connected("--pace")
        line = b"x" * 999 + b"\n"
        start = time.monotonic()
        port.write(line)
        port.read_until(PROMPT, timeout=30)
        self.assertGreaterEqual(time.monotonic() - start, wire_time(len(line), 19200))

    def test_an_echo_of_1000_bytes_takes_the_wire_time(self):
        sim, port = self.connected("--pace")
        self.echo_test(port)
        self.assertGreaterEqual(self.timed_echo(port, 1000), wire_time(1000, 19200))

    def test_bytes_from_the_device_take_their_wire_time(self):
        banner = "\\r\\n" + "Zuvedidude " * 90 + "\\r\\nZizezu> "
        sim, port = self.connected("--pace", "--banner", banner)
        start = time.monotonic()
        port.write(b"version\n")
        reply = port.read_until(PROMPT, timeout=30)
        self.assertGreaterEqual(len(reply), 1000)
        self.assertGreaterEqual(time.monotonic() - start, wire_time(len(b"version\n") + len(reply), 19200))

    def test_a_reply_waits_for_the_whole_packet(self):
        sim, port = self.connected("--pace")
        start_download(port)
        packets = download_packets(bytes(904), b"")
        self.assertEqual(exchange(port, packets[0]), ACK)
        start = time.monotonic()
        self.assertEqual(exchange(port, packets[1]), ACK)
        self.assertGreaterEqual(time.monotonic() - start, wire_time(len(packets[1]) + 1, 19200))

    def test_the_pace_follows_a_rate_change(self):
        sim, port = self.connected("--pace")
        port.write(b"host 4800\n")
        self.assertEqual(port.read_until(b"host baud 4800\r\n"), b"\r\nhost baud 4800\r\n")
        port.set_rate(4800)
        self.echo_test(port)
        self.assertGreaterEqual(self.timed_echo(port, 200), wire_time(200, 4800))
        self.assertFalse([line for line in sim.trace() if line.startswith("fault: ")], sim.trace())


if __name__ == "__main__":
    unittest.main(verbosity=2)
