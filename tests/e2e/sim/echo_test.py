"""The echo test: the announcement, one echo per byte until 0x03, and its options."""

import unittest

from zuvsim_client import PROMPT, SimCase

ANNOUNCEMENT = b"\r\nBegin serial test: end with <ctrl>-c\r\n"
TEST_CHARACTERS = bytes(range(0x40, 0x7F))


class EchoCase(SimCase):
    def echo_test(self, *options, announced=True):
        sim, port = self.connected(*options)
        port.write(b"serialtest\n")
        if announced:
            self.assertEqual(port.read_exact(len(ANNOUNCEMENT)), ANNOUNCEMENT)
        return sim, port

    def echoes(self, port, data):
        got = b""
        for b in data:
            port.write(bytes([b]))
            got += port.read_exact(1)
        return got


class Echo(EchoCase):
    def test_every_byte_comes_back_until_0x03(self):
        sim, port = self.echo_test()
        sent = TEST_CHARACTERS * 2 + bytes(b for b in range(256) if b != 0x03)
        self.assertEqual(self.echoes(port, sent), sent)
        port.write(b"\x03")
        self.assertEqual(port.read_exact(len(PROMPT)), PROMPT)
        sim.wait_trace(rf"^serialtest ended by 0x03 after {len(sent)} bytes$")
        self.assertEqual(sim.log(), b"serialtest\n" + sent + b"\x03")

    def test_the_console_answers_after_the_test(self):
        sim, port = self.echo_test()
        self.echoes(port, b"@A")
        port.write(b"\x03")
        port.read_exact(len(PROMPT))
        port.write(b"version\n")
        self.assertIn(b"Version 2.8", port.read_until(PROMPT))

    def test_a_host_that_leaves_without_0x03_is_traced(self):
        sim, port = self.echo_test()
        self.echoes(port, b"@ABCD")
        port.close()
        sim.wait_trace(r"^serialtest: host left without 0x03 after 5 bytes$")


class EchoOptions(EchoCase):
    def test_wrong_echoes(self):
        cases = [
            (["--echo-wrong", "1=41"], b"A" + TEST_CHARACTERS[1:]),
            (["--echo-wrong", "5=ff", "--echo-wrong", "63=00"],
             TEST_CHARACTERS[:4] + b"\xff" + TEST_CHARACTERS[5:62] + b"\0"),
        ]
        for options, want in cases:
            with self.subTest(options):
                sim, port = self.echo_test(*options)
                self.assertEqual(self.echoes(port, TEST_CHARACTERS), want)

    def test_silent_after(self):
        sim, port = self.echo_test("--echo-silent-after", "3")
        self.assertEqual(self.echoes(port, b"@AB"), b"@AB")
        port.write(b"CDE")
        self.assertEqual(port.read_for(0.3), b"")
        port.write(b"\x03")
        sim.wait_trace(r"^serialtest ended by 0x03 after 6 bytes$")
        self.assertEqual(port.read_for(0.2), b"")

    def test_no_announcement(self):
        sim, port = self.echo_test("--echo-no-announce", announced=False)
        self.assertEqual(self.echoes(port, b"@AB"), b"@AB")

    def test_hangup_after(self):
        for count in (0, 2):
            with self.subTest(count=count):
                sim, port = self.echo_test("--echo-hangup-after", str(count))
                self.assertEqual(self.echoes(port, TEST_CHARACTERS[:count]), TEST_CHARACTERS[:count])
                port.write(b"Z")
                port.expect_hang_up()
                self.assertEqual(sim.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
