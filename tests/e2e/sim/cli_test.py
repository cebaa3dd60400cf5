"""zuvsim's command line: --help, refused options, the ready line and the port map."""

import os
import re
import subprocess
import tempfile
import unittest

from zuvsim_client import ZUVSIM, SimCase

OPTIONS = ["--com", "--link", "--log", "--trace", "--lifetime", "--hold", "--share", "--received", "--image",
           "--rate", "--product", "--version", "--banner", "--silent", "--chatter", "--chatter-forever",
           "--no-prompt-after-rate", "--nul", "--vanish-on-version", "--dl-script", "--echo-wrong",
           "--echo-silent-after", "--echo-no-announce", "--echo-hangup-after", "--bl-script", "--bl-no-prompt",
           "--bl-no-sync-ack", "--bl-no-id-ack", "--bl-hangup-at", "--pace", "--split-replies", "--nul-storm",
           "--hangup-after-rx"]


def run(*args, env=None):
    return subprocess.run([ZUVSIM, *args], capture_output=True, text=True, timeout=10, env=env)


class CommandLine(unittest.TestCase):
    def test_help_lists_every_option_and_exits_0(self):
        r = run("--help")
        self.assertEqual(r.returncode, 0)
        self.assertEqual(r.stderr, "")
        self.assertIn("Usage: zuvsim", r.stdout)
        for option in OPTIONS:
            self.assertRegex(r.stdout, rf"\s{re.escape(option)}\b")

    def test_a_bad_command_line_prints_the_usage_and_exits_2(self):
        cases = [
            (["--bogus"], "--bogus"),
            (["--com", "0"], "--com"),
            (["--com", "x"], "--com"),
            (["--rate", "0"], "--rate"),
            (["--lifetime"], "--lifetime"),
            (["--dl-script", "0:nak1"], "--dl-script"),
            (["--dl-script", "2:nak0"], "--dl-script"),
            (["--dl-script", "2:byte=4"], "--dl-script"),
            (["--dl-script", "2:naks"], "--dl-script"),
            (["--dl-script", "1:nak1,1:nul"], "two actions for 1"),
            (["--dl-script", "1:nak1,"], "--dl-script"),
            (["--dl-script", ""], "--dl-script"),
            (["--bl-script", "1:1x2"], "--bl-script"),
            (["--bl-script", "1:12y2"], "--bl-script"),
            (["--bl-script", "1:12x0"], "--bl-script"),
            (["--bl-script", "x:12"], "--bl-script"),
            (["--echo-wrong", "0=41"], "--echo-wrong"),
            (["--echo-wrong", "3=4G"], "--echo-wrong"),
            (["--echo-wrong", "3=411"], "--echo-wrong"),
            (["--echo-silent-after", "-1"], "--echo-silent-after"),
            (["--bl-hangup-at", "later"], "--bl-hangup-at"),
            (["--split-replies", "-1"], "--split-replies"),
            (["--hangup-after-rx", "0"], "--hangup-after-rx"),
        ]
        for args, complaint in cases:
            with self.subTest(args), tempfile.TemporaryDirectory() as d:
                r = run("--link", os.path.join(d, "com1"), "--lifetime", "5", *args)
                self.assertEqual(r.returncode, 2, r.stderr)
                self.assertEqual(r.stdout, "")
                first = r.stderr.splitlines()[0]
                self.assertTrue(first.startswith("zuvsim: ") and complaint in first, first)
                self.assertIn("Usage: zuvsim", r.stderr)


class Publishing(SimCase):
    def test_ready_line_names_the_terminal_and_the_link(self):
        sim = self.sim()
        self.assertTrue(os.path.islink(sim.link))
        self.assertRegex(os.readlink(sim.link), r"^/dev/pts/\d+$")
        sim.stop()
        self.assertFalse(os.path.lexists(sim.link))

    def test_com_publishes_in_the_port_map(self):
        with tempfile.TemporaryDirectory() as config:
            env = dict(os.environ, XDG_CONFIG_HOME=config)
            proc = subprocess.Popen([ZUVSIM, "--com", "7", "--lifetime", "30"], stdout=subprocess.PIPE, env=env,
                                    text=True)
            try:
                ready = proc.stdout.readline()
                link = os.path.join(config, "zuvdigi", "com7")
                self.assertRegex(ready, rf"^zuvsim: ready on /dev/pts/\d+ as {re.escape(link)}\n$")
                self.assertEqual(os.readlink(link), ready.split()[3])
            finally:
                proc.terminate()
                proc.wait(10)
                proc.stdout.close()
            self.assertFalse(os.path.lexists(link))


if __name__ == "__main__":
    unittest.main(verbosity=2)
