"""The download receiver: framing, CRC, ACK/NAK, what it records, and its scripted replies."""

import os
import random
import struct
import unittest

from zuvsim_client import (ACK, NAK, PROMPT, SimCase, command, crc16, data_packets, download_packets, exchange,
                           packet, start_download)

# Packets as the host must send them, byte for byte.
CONF_COMMAND = bytes.fromhex("0015636f6e66" + "00" * 8 + "393034" + "0000" + "698c")
RULES_NONE_COMMAND = bytes.fromhex("001572756c6573" + "00" * 7 + "30" + "00" * 4 + "e6aa")
FINISH_COMMAND = bytes.fromhex("00152d6365737466696e692d" + "00" * 7 + "5dcf")

DROP_DESTIN_APRS_LINE_3 = bytes.fromhex("415052530000" + "00" * 18 + "35040300")
PASS_CIRCLE_LINE_7 = bytes.fromhex("000020410000" "00001e420000" "0080d2c20000" + "00" * 6 + "37080700")

# A download of the configuration and no rules: the conf command is packet 1,
# its 16 data packets 2 to 17, the rules command 18 and the finish 19.
FINISH_NUMBER = 19


def sample_conf(rule_count):
    """A configuration record with most fields away from their defaults."""
    r = bytearray(904)
    struct.pack_into("<IIIiff", r, 0, 38400, 4800, 9600, -12, 39.5, -105.25)
    r[24:32] = b"AB\0SET\0\0"
    struct.pack_into("<19H", r, 32, 7, 3, 6, 1, 0xFFFF, 0, 1, 28, 600, 0x2F23, 1, 0, 1, 1, 0, 30, 112,
                     ord("d"), rule_count)
    r[70:78] = b"WIDE1-1\0"
    r[78:86] = b"ABCDEFGH"
    r[134:139] = b"hello"
    r[178:186] = b"N0CALL-9"
    struct.pack_into("<HH", r, 188, 1, 1)
    r[192:204] = b"WIDE\0\0\0" + bytes([0, 2, 0, 0, 0x11])
    r[204:216] = b"RELAY\0\0" + bytes([6, 0, 1, 0, 0x42])
    r[384:392] = b"WIDE2\0\0" + bytes([0x64])
    r[392:400] = b"N0CALL\0" + bytes([0xE0])
    r[384 + 64] = 2
    return bytes(r)


def sample_rules():
    compass_nw = bytes([8]) + b"\0" * 5 + struct.pack("<f", 40.0) + b"\0\0" + struct.pack("<f", -105.0) + \
        b"\0" * 8 + bytes([56, 4, 9, 0])
    digi_any = b"\0" * 12 + bytes([3]) + b"\0" * 11 + bytes([59, 0x38, 12, 0])
    sector_stray = struct.pack("<f", 10.0) + b"\0\0" + struct.pack("<f", 350.0) + b"\0\x01" + \
        struct.pack("<f", 0.5) + b"\0\0" + b"\0" * 6 + bytes([58, 8, 14, 0])
    return DROP_DESTIN_APRS_LINE_3 + PASS_CIRCLE_LINE_7 + compass_nw + digi_any + sector_stray


def random_conf(rule_count, seed):
    r = bytearray(random.Random(seed).randbytes(904))
    struct.pack_into("<H", r, 68, rule_count)
    return bytes(r)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class PacketBuilder(unittest.TestCase):
    def test_agrees_with_the_catalogue_and_the_known_packets(self):
        self.assertEqual(crc16(b"123456789"), 0xE5CC)
        self.assertEqual(command("conf", 904), CONF_COMMAND)
        self.assertEqual(command("rules", 0), RULES_NONE_COMMAND)
        self.assertEqual(command("-cestfini-"), FINISH_COMMAND)


class DownloadCase(SimCase):
    def receiver(self, *options):
        sim, port = self.connected("--received", "{dir}/received", *options)
        start_download(port)
        return sim, port

    def send_all(self, port, packets):
        return [exchange(port, p) for p in packets]

    def packet_lines(self, sim):
        return [line for line in sim.trace() if line.startswith("download: packet ")]

    def faults(self, sim):
        return [line for line in sim.trace() if line.startswith("download: fault: ")]


class GoodDownload(DownloadCase):
    def test_every_packet_is_acknowledged_and_the_transfers_recorded_exactly(self):
        for rule_count in (0, 1, 3, 30):
            with self.subTest(rules=rule_count):
                sim, port = self.receiver()
                conf = random_conf(rule_count, seed=rule_count)
                rules = random.Random(100 + rule_count).randbytes(28 * rule_count)
                packets = download_packets(conf, rules)
                self.assertEqual(self.send_all(port, packets), [ACK] * len(packets))
                sim.wait_file("received", "received.txt")
                self.assertEqual(read(sim.path("received", "conf.bin")), conf)
                self.assertEqual(read(sim.path("received", "rules.bin")), rules)
                lines = self.packet_lines(sim)
                self.assertEqual(len(lines), len(packets))
                self.assertTrue(all(line.endswith(", good, reply ACK") for line in lines), lines)
                self.assertEqual(self.faults(sim), [])

    def test_the_known_command_packets_are_taken(self):
        sim, port = self.receiver()
        conf = random_conf(0, seed=7)
        packets = download_packets(conf, b"")
        packets[0], packets[-2], packets[-1] = CONF_COMMAND, RULES_NONE_COMMAND, FINISH_COMMAND
        self.assertEqual(self.send_all(port, packets), [ACK] * len(packets))
        sim.wait_file("received", "received.txt")
        self.assertEqual(read(sim.path("received", "conf.bin")), conf)
        self.assertEqual(read(sim.path("received", "rules.bin")), b"")
        lines = self.packet_lines(sim)
        self.assertEqual(lines[0], "download: packet 1: command conf size 904, length 21, good, reply ACK")
        self.assertEqual(lines[1], "download: packet 2: data, length 64, good, reply ACK")
        self.assertEqual(lines[16], "download: packet 17: data, length 8, good, reply ACK")
        self.assertEqual(lines[17], "download: packet 18: command rules size 0, length 21, good, reply ACK")
        self.assertEqual(lines[18], "download: packet 19: command -cestfini-, length 21, good, reply ACK")

    def test_the_device_is_at_its_console_after_the_finish(self):
        sim, port = self.receiver()
        self.send_all(port, download_packets(random_conf(0, seed=1), b""))
        port.write(b"version\n")
        self.assertIn(b"Zuvedidude", port.read_until(PROMPT))

    def test_received_text_decodes_every_field(self):
        sim, port = self.receiver()
        rules = sample_rules()
        self.send_all(port, download_packets(sample_conf(len(rules) // 28), rules))
        got = sim.wait_file("received", "received.txt").decode()
        with open("received_view.txt", encoding="ascii") as f:
            self.assertEqual(got, f.read())


class FaultyPackets(DownloadCase):
    """Each faulty packet gets NAK; its resend is the same packet number and is taken."""

    def faulty_conf_commands(self):
        good = CONF_COMMAND
        bad_crc = good[:-1] + bytes([good[-1] ^ 0x01])
        flipped = good[:5] + bytes([good[5] ^ 0x20]) + good[6:]
        return [
            ("bad crc", bad_crc, "bad crc 0x698d (expected 0x698c)"),
            ("payload byte changed", flipped, "bad crc"),
            ("length field below 5", packet(b"conf", length=4), "bad length field 4"),
            ("length field above 64", b"\x00\x41" + good[2:], "bad length field 65"),
            ("length field shorter than the packet", packet(good[2:-2], length=19), "bad crc"),
        ]

    def test_nak_then_the_resend_is_taken(self):
        for name, bad, verdict in self.faulty_conf_commands():
            with self.subTest(name):
                sim, port = self.receiver()
                self.assertEqual(exchange(port, bad), NAK)
                packets = download_packets(random_conf(0, seed=3), b"")
                self.assertEqual(self.send_all(port, packets), [ACK] * len(packets))
                sim.wait_file("received", "received.txt")
                self.assertEqual(read(sim.path("received", "conf.bin")), random_conf(0, seed=3))
                lines = self.packet_lines(sim)
                self.assertIn(verdict, lines[0])
                self.assertTrue(lines[0].startswith("download: packet 1: ?,") and lines[0].endswith("reply NAK"),
                                lines[0])
                self.assertTrue(lines[1].startswith("download: packet 1: command conf"), lines[1])
                self.assertIn("download: fault: packet 1: " + verdict, "\n".join(self.faults(sim)))

    def test_a_packet_that_stops_short_gets_nak_after_a_second(self):
        sim, port = self.receiver()
        port.write(CONF_COMMAND[:10])
        self.assertEqual(port.read_for(0.5), b"")
        self.assertEqual(port.read_exact(1, timeout=3), bytes([NAK]))
        self.assertEqual(exchange(port, CONF_COMMAND), ACK)
        self.assertIn("download: fault: packet 1 stopped short: 10 of 21 bytes", self.faults(sim))

    def test_data_outside_a_transfer_and_a_size_mismatch_are_traced(self):
        sim, port = self.receiver()
        conf = random_conf(0, seed=4)
        packets = [packet(b"stray")] + download_packets(conf[:900], b"")
        packets[1] = CONF_COMMAND
        self.assertEqual(self.send_all(port, packets), [ACK] * len(packets))
        sim.wait_file("received", "received.txt")
        self.assertEqual(self.faults(sim), [
            "download: fault: data packet 1 outside a transfer",
            "download: fault: conf announced 904 bytes, received 900",
        ])
        self.assertEqual(read(sim.path("received", "conf.bin")), conf[:900])

    def test_sequence_faults_are_traced_and_the_packets_still_acknowledged(self):
        conf, conf2 = random_conf(0, seed=9), random_conf(2, seed=9)
        finish = command("-cestfini-")
        cases = [
            ("conf of another size", [command("conf", 900)] + data_packets(conf[:900]) +
             [RULES_NONE_COMMAND, finish], ["conf announced 900 bytes, a configuration record has 904"]),
            ("rules not whole records", [CONF_COMMAND] + data_packets(conf) + [command("rules", 30)] +
             data_packets(bytes(30)) + [finish],
             ["rules announced 30 bytes, not a whole number of 28-byte records up to 30",
              "rule_count 0 in conf, but the rules transfer has 30 bytes"]),
            ("rule count and rules disagree", [CONF_COMMAND] + data_packets(conf2) + [command("rules", 28)] +
             data_packets(bytes(28)) + [finish], ["rule_count 2 in conf, but the rules transfer has 28 bytes"]),
            ("a short data packet before the last", [CONF_COMMAND] + data_packets(conf[:30]) +
             data_packets(conf[30:]) + [RULES_NONE_COMMAND, finish],
             ["data packet 3 follows the short packet 2 of conf"]),
            ("rules before conf", [RULES_NONE_COMMAND, CONF_COMMAND] + data_packets(conf) + [finish],
             ["command rules where conf was due", "command conf where -cestfini- was due",
              "command -cestfini- where rules was due"]),
            ("no rules transfer", [CONF_COMMAND] + data_packets(conf) + [finish],
             ["command -cestfini- where rules was due", "the download had no rules transfer"]),
            ("a finish with a size", [CONF_COMMAND] + data_packets(conf) + [RULES_NONE_COMMAND,
                                                                             command("-cestfini-", 5)],
             ["the -cestfini- packet has a size"]),
        ]
        for name, packets, faults in cases:
            with self.subTest(name):
                sim, port = self.receiver()
                self.assertEqual(self.send_all(port, packets), [ACK] * len(packets))
                sim.wait_file("received", "received.txt")
                self.assertEqual(self.faults(sim), ["download: fault: " + f for f in faults])

    def test_nothing_is_recorded_without_the_finish(self):
        endings = [
            ("host closed the port", lambda port: port.close(), r"^download: abandoned at packet 4: "),
            ("interrupted", lambda port: port.write(b"\x03"), r"^download: interrupted by 0x03 at packet 4"),
        ]
        for name, end, traced in endings:
            with self.subTest(name):
                sim, port = self.receiver()
                self.send_all(port, download_packets(random_conf(0, seed=5), b"")[:3])
                end(port)
                sim.wait_trace(traced)
                self.assertFalse(os.path.exists(sim.path("received")))

    def test_after_an_interrupt_the_console_answers(self):
        sim, port = self.receiver()
        self.send_all(port, download_packets(random_conf(0, seed=5), b"")[:2])
        port.write(b"\x03\nversion\n")
        self.assertIn(b"Version 2.8", port.read_until(PROMPT))


class ScriptedReplies(DownloadCase):
    """--dl-script: per packet number, the replies to its successive arrivals."""

    CASES = [
        # script, packet number, replies to its arrivals (None: silence)
        ("3:nak2", 3, [NAK, NAK, ACK]),
        ("1:nak4", 1, [NAK, NAK, NAK, NAK, ACK]),
        ("2:byte=41", 2, [0x41, 0x41]),
        ("2:byte=06", 2, [ACK]),
        ("5:nul", 5, [0x00, 0x00]),
        ("4:silent", 4, [None, None]),
    ]

    def test_each_action(self):
        for script, number, replies in self.CASES:
            with self.subTest(script):
                sim, port = self.receiver("--dl-script", script)
                packets = download_packets(random_conf(0, seed=6), b"")
                self.assertEqual(self.send_all(port, packets[:number - 1]), [ACK] * (number - 1))
                for reply in replies:
                    port.write(packets[number - 1])
                    if reply is None:
                        self.assertEqual(port.read_for(0.4), b"")
                    else:
                        self.assertEqual(port.read_exact(1)[0], reply)
                arrivals = [line for line in self.packet_lines(sim) if line.startswith(f"download: packet {number}:")]
                self.assertEqual(len(arrivals), len(replies))

    def test_hangup_when_the_packet_arrives(self):
        sim, port = self.receiver("--dl-script", "4:hangup")
        packets = download_packets(random_conf(0, seed=6), b"")
        self.assertEqual(self.send_all(port, packets[:3]), [ACK] * 3)
        port.write(packets[3])
        port.expect_hang_up()
        self.assertEqual(sim.wait_exit(), 0)
        self.assertIn("download: packet 4: data, length 64, good, reply hang up", sim.trace())

    def test_a_hangup_at_the_finish_records_nothing(self):
        sim, port = self.receiver("--dl-script", f"{FINISH_NUMBER}:hangup")
        packets = download_packets(random_conf(0, seed=6), b"")
        self.assertEqual(self.send_all(port, packets[:-1]), [ACK] * (len(packets) - 1))
        port.write(packets[-1])
        port.expect_hang_up()
        sim.wait_exit()
        self.assertFalse(os.path.exists(sim.path("received")))

    def test_actions_for_several_packets_combine(self):
        sim, port = self.receiver("--dl-script", f"1:nak1,2:nak2,{FINISH_NUMBER}:nak1")
        packets = download_packets(random_conf(0, seed=8), b"")
        replies = []
        for p in packets:
            while (reply := exchange(port, p)) == NAK:
                replies.append(reply)
            replies.append(reply)
        self.assertEqual(replies.count(NAK), 4)
        self.assertEqual(len(replies), len(packets) + 4)
        sim.wait_file("received", "received.txt")
        self.assertEqual(read(sim.path("received", "conf.bin")), random_conf(0, seed=8))


if __name__ == "__main__":
    unittest.main(verbosity=2)
