"""The boot loader: reset, the ENQ prompt, SYN, the identifier, the records and the image they load."""

import os
import random
import subprocess
import tempfile
import unittest

from zuvsim_client import ACK, ENQ, NAK, PROMPT, SYN, SimCase

IDENTIFIER = b"DeReDi1.0"


def record(rtype, offset, data, count=None):
    """A record line with its checksum; count overrides the length byte."""
    data = bytes(data)
    body = bytes([len(data) if count is None else count, offset >> 8, offset & 0xFF, rtype]) + data
    return ":" + (body + bytes([-sum(body) & 0xFF])).hex().upper()


def objcopy_image(lines):
    """What objcopy makes of the records: the reference for image.bin."""
    with tempfile.TemporaryDirectory() as d:
        hex_path, bin_path = os.path.join(d, "f.hex"), os.path.join(d, "f.bin")
        with open(hex_path, "w") as f:
            f.write("\n".join(lines) + "\n")
        subprocess.run(["objcopy", "-I", "ihex", "-O", "binary", hex_path, bin_path], check=True)
        with open(bin_path, "rb") as f:
            return f.read()


def srec_cat_file(size, seed):
    """The lines of a firmware file as srec_cat writes it, loaded above 64 KiB."""
    with tempfile.TemporaryDirectory() as d:
        with open(os.path.join(d, "gen.bin"), "wb") as f:
            f.write(random.Random(seed).randbytes(size))
        subprocess.run(["srec_cat", "gen.bin", "-binary", "-offset", "0x10000", "-o", "f.hex", "-intel",
                        "-line-length=44"], cwd=d, check=True)
        with open(os.path.join(d, "f.hex")) as f:
            return f.read().splitlines()


GOOD = record(0, 0x0100, range(16))


class LoaderCase(SimCase):
    def reset(self, *options, reopen=True):
        """The host's way in: "reset", then at once a close and a reopen."""
        sim, port = self.connected("--image", "{dir}/image", *options)
        port.write(b"reset\n")
        if reopen:
            port.close()
            port = sim.open()
        return sim, port

    def reply(self, port):
        """The answer to what was just sent; prompts sent before it came are passed over."""
        while (b := port.read_exact(1)[0]) == ENQ:
            pass
        return b

    def synced(self, *options):
        sim, port = self.reset(*options)
        self.assertEqual(port.read_exact(1)[0], ENQ)
        port.write(bytes([SYN]))
        self.assertEqual(self.reply(port), ACK)
        port.write(IDENTIFIER)
        self.assertEqual(port.read_exact(1)[0], ACK)
        return sim, port

    def send(self, port, line, end=b"\r"):
        port.write(line.encode() + end)
        return port.read_exact(1)[0]

    def upload(self, port, lines):
        for line in lines:
            self.assertEqual(self.send(port, line), ACK, line)

    def record_lines(self, sim):
        return [line for line in sim.trace() if line.startswith("boot loader: record ")]


class Upload(LoaderCase):
    def test_the_image_equals_objcopy_of_the_file(self):
        lines = srec_cat_file(1000, seed=1)
        self.assertTrue(lines[0].startswith(":02000004"), lines[0])
        sim, port = self.synced()
        self.upload(port, lines)
        port.close()
        records = sim.wait_file("image", "records.txt")
        self.assertEqual(records.decode().splitlines(), lines)
        with open(sim.path("image", "image.bin"), "rb") as f:
            self.assertEqual(f.read(), objcopy_image(lines))
        self.assertEqual(len(self.record_lines(sim)), len(lines))
        self.assertIn("boot loader: record 2: type 00, 16 bytes at 0x0000, good, reply ACK", sim.trace())

    def test_addresses_and_gaps_are_laid_out_as_objcopy_does(self):
        files = [
            ("segment addresses", [record(2, 0, b"\x10\x00"), record(0, 0x0004, b"\x01\x02\x03\x04"),
                                   record(0, 0x0020, b"\x05\x06"), record(2, 0, b"\x20\x00"),
                                   record(0, 0x0000, b"\x07"), record(3, 0, b"\x00\x00\x01\x00"),
                                   record(1, 0, b"")]),
            ("linear addresses", [record(4, 0, b"\x00\x02"), record(0, 0x0100, b"\x08\x09"),
                                  record(4, 0, b"\x00\x01"), record(0, 0xFFFC, b"\x0a\x0b\x0c\x0d"),
                                  record(5, 0, b"\x00\x01\x00\x00"), record(1, 0, b"")]),
            ("a later record over an earlier one", [record(0, 0x0000, b"\x01\x02\x03\x04"),
                                                    record(0, 0x0000, b"\x05\x06")]),
        ]
        for name, lines in files:
            with self.subTest(name):
                sim, port = self.synced()
                self.upload(port, lines)
                port.close()
                sim.wait_file("image", "records.txt")
                with open(sim.path("image", "image.bin"), "rb") as f:
                    self.assertEqual(f.read(), objcopy_image(lines))

    def test_the_new_firmware_answers_once_the_host_has_closed(self):
        sim, port = self.synced()
        self.upload(port, [GOOD])
        port.close()
        sim.wait_trace(r"^boot loader: session ended, the host closed the port: 1 records accepted")
        port = sim.open()
        port.write(b"\x03\nversion\n")
        self.assertIn(b"Version 2.8", port.read_until(PROMPT))

    def test_an_interrupt_after_the_upload_reaches_the_new_firmware(self):
        sim, port = self.synced()
        self.upload(port, [GOOD])
        port.write(b"\x03\nversion\n")
        self.assertIn(b"Version 2.8", port.read_until(PROMPT))
        self.assertEqual(sim.wait_file("image", "records.txt").decode(), GOOD + "\n")

    def test_the_image_is_written_at_exit(self):
        sim, port = self.synced()
        self.upload(port, [GOOD])
        sim.stop()
        self.assertEqual(sim.wait_file("image", "records.txt", timeout=0).decode(), GOOD + "\n")
        with open(sim.path("image", "image.bin"), "rb") as f:
            self.assertEqual(f.read(), bytes(range(16)))


class Entry(LoaderCase):
    def test_bytes_during_the_restart_are_ignored_and_the_prompt_repeats(self):
        sim, port = self.connected()
        port.write(b"reset\n" + bytes([SYN]))
        self.assertEqual(port.read_exact(2, timeout=3), bytes([ENQ, ENQ]))
        port.write(bytes([SYN]))
        self.assertEqual(self.reply(port), ACK)
        self.assertIn("boot loader: started, 1 bytes ignored while restarting", sim.trace())

    def test_a_wrong_identifier_gets_nak_and_the_right_one_ack(self):
        sim, port = self.reset()
        self.assertEqual(port.read_exact(1)[0], ENQ)
        port.write(bytes([SYN]))
        self.assertEqual(self.reply(port), ACK)
        port.write(b"DeReDi2.0")
        self.assertEqual(port.read_exact(1)[0], NAK)
        port.write(b"DeReDi")
        self.assertEqual(port.read_exact(1, timeout=3)[0], NAK)
        port.write(IDENTIFIER)
        self.assertEqual(port.read_exact(1)[0], ACK)
        self.assertIn('boot loader: fault: identifier "DeReDi2.0", reply NAK', sim.trace())
        self.assertIn('boot loader: fault: identifier "DeReDi" stopped short, reply NAK', sim.trace())


class Records(LoaderCase):
    def test_faulty_records_get_their_code_and_the_resend_is_taken(self):
        body = GOOD[1:-2]
        cases = [
            ("bad checksum", GOOD[:-2] + "41", 0x12, "bad checksum"),
            ("no start character", GOOD[1:], 0x11, "no start character"),
            ("not hexadecimal", ":" + body[:10] + "G" + body[11:] + GOOD[-2:], NAK, "not hexadecimal"),
            ("type 06", record(6, 0, b"\x01"), NAK, "bad type"),
            ("length byte above the data", record(0, 0x0100, range(15), count=16), NAK, "bad length"),
            ("end of file with data", record(1, 0, b"\x00"), NAK, "bad length"),
        ]
        for name, bad, code, verdict in cases:
            with self.subTest(name):
                sim, port = self.synced()
                self.assertEqual(self.send(port, bad), code)
                self.assertEqual(self.send(port, GOOD), ACK)
                port.close()
                self.assertEqual(sim.wait_file("image", "records.txt").decode(), GOOD + "\n")
                lines = self.record_lines(sim)
                code_name = "NAK" if code == NAK else f"0x{code:02x}"
                self.assertEqual(lines[0], f"boot loader: record 1: ?, {verdict}, reply {code_name}")
                self.assertTrue(lines[1].startswith("boot loader: record 1: type 00"), lines[1])

    def test_line_ends_other_than_cr_are_faults(self):
        cases = [("LF", b"\n", "fault: record 1 ended in LF, not CR"),
                 ("CR LF", b"\r\n", "fault: record 1 ended in CR LF, not CR")]
        for name, end, fault in cases:
            with self.subTest(name):
                sim, port = self.synced()
                self.assertEqual(self.send(port, GOOD, end), ACK)
                self.assertEqual(self.send(port, record(1, 0, b"")), ACK)
                sim.wait_trace("^boot loader: record 2: ")
                self.assertIn("boot loader: " + fault, sim.trace())


class ScriptedCodes(LoaderCase):
    CASES = [
        # script, record number, replies to its arrivals (None: silence)
        ("1:12x2", 1, [0x12, 0x12, ACK]),
        ("2:18", 2, [0x18, 0x18]),
        ("1:17x1", 1, [0x17, ACK]),
        ("3:11x3", 3, [0x11, 0x11, 0x11, ACK]),
        ("1:00", 1, [0x00, 0x00]),
        ("2:15x1", 2, [NAK, ACK]),
        ("2:silent", 2, [None, None]),
    ]

    def test_each_code(self):
        lines = [record(0, 16 * i, [i] * 16) for i in range(4)]
        for script, number, replies in self.CASES:
            with self.subTest(script):
                sim, port = self.synced("--bl-script", script)
                self.upload(port, lines[:number - 1])
                for reply in replies:
                    port.write(lines[number - 1].encode() + b"\r")
                    if reply is None:
                        self.assertEqual(port.read_for(0.3), b"")
                    else:
                        self.assertEqual(port.read_exact(1)[0], reply)
                prefix = f"boot loader: record {number}:"
                arrivals = [line for line in self.record_lines(sim) if line.startswith(prefix)]
                self.assertEqual(len(arrivals), len(replies))

    def test_several_codes_go_together_and_the_first_is_the_verdict(self):
        lines = [record(0, 16 * i, [i] * 16) for i in range(3)]
        sim, port = self.synced("--bl-script", "2:0612")
        self.upload(port, lines[:1])
        port.write(lines[1].encode() + b"\r")
        self.assertEqual(port.read_exact(2), bytes([ACK, 0x12]))
        self.assertEqual(self.send(port, lines[2]), ACK)
        self.assertIn("boot loader: record 3: type 00, 16 bytes at 0x0020, good, reply ACK",
                      self.record_lines(sim))

    def test_hangup_at_a_record_keeps_the_ones_before(self):
        lines = [record(0, 16 * i, [i] * 16) for i in range(4)]
        sim, port = self.synced("--bl-script", "3:hangup")
        self.upload(port, lines[:2])
        port.write(lines[2].encode() + b"\r")
        port.expect_hang_up()
        sim.wait_exit()
        self.assertEqual(sim.wait_file("image", "records.txt").decode().splitlines(), lines[:2])


class StepOptions(LoaderCase):
    def test_no_prompt(self):
        sim, port = self.reset("--bl-no-prompt")
        self.assertEqual(port.read_for(0.6), b"")
        port.write(bytes([SYN]))
        self.assertEqual(port.read_exact(1)[0], ACK)

    def test_no_sync_ack(self):
        sim, port = self.reset("--bl-no-sync-ack")
        self.assertEqual(port.read_exact(1)[0], ENQ)
        port.write(bytes([SYN]))
        self.assertEqual(port.read_for(0.4).strip(bytes([ENQ])), b"")
        port.write(IDENTIFIER)
        self.assertEqual(port.read_exact(1)[0], ACK)

    def test_no_id_ack(self):
        sim, port = self.reset("--bl-no-id-ack")
        self.assertEqual(port.read_exact(1)[0], ENQ)
        port.write(bytes([SYN]))
        self.assertEqual(self.reply(port), ACK)
        port.write(IDENTIFIER)
        self.assertEqual(port.read_for(0.4), b"")
        self.assertEqual(self.send(port, GOOD), ACK)

    def test_hangup_at_each_step(self):
        steps = [
            ("reset", lambda port: None),
            ("prompt", lambda port: None),
            ("sync", lambda port: port.write(bytes([SYN]))),
            ("id", lambda port: (port.write(bytes([SYN])), self.assertEqual(self.reply(port), ACK),
                                 port.write(IDENTIFIER))),
        ]
        for step, before in steps:
            with self.subTest(step):
                sim, port = self.reset("--bl-hangup-at", step, reopen=step != "reset")
                if step in ("sync", "id"):
                    self.assertEqual(port.read_exact(1)[0], ENQ)
                before(port)
                port.expect_hang_up()
                self.assertEqual(sim.wait_exit(), 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
