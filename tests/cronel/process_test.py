#!/usr/bin/env python3
"""Runs the real cronel program as a process in temporary directories.

Usage: process_test.py CRONEL {plain|clock}
  plain: behaviour that needs no particular clock (options, usage, failures, pipes,
         lost lines).
  clock: behaviour at given instants, with the clock set through faketime's preload
         library and a time-stamp file; exits 77 (skipped) when faketime is missing.
Each case states the instants it uses; zones are POSIX rules, so no zone data is needed.
"""
import calendar
import glob
import os
import select
import shutil
import subprocess
import sys
import tempfile
import unittest

SKIPPED = 77
WAIT_SECONDS = 30
CRONEL = ""
FAKETIME_LIBRARY = None

UTC = "UTC0"
FIVE_HOURS_BEHIND = "EST5"
NINE_HOURS_AHEAD = "JST-9"


def utc(year, month, day, hour, minute, second):
    """Calendar seconds of a UTC date and time."""
    return calendar.timegm((year, month, day, hour, minute, second, 0, 0, 0))


def find_faketime_library():
    if shutil.which("faketime") is None:
        return None
    patterns = ("/usr/lib/*/faketime/libfaketime.so.1", "/usr/lib/faketime/libfaketime.so.1",
                "/usr/lib64/faketime/libfaketime.so.1", "/usr/local/lib/faketime/libfaketime.so.1")
    for pattern in patterns:
        found = sorted(glob.glob(pattern))
        if found:
            return found[0]
    return None


def usage(program):
    return (f"{program} - send a program's standard output to a date based wrapping set of log files\n\n"
            f"USAGE: {program} -ooutputfile [-p line prefix][-f file Extension format][-qn]\n"
            "\t-o logfile       : the name of the output file\n"
            "\t-p line prefix   : string to prefix each line with\n"
            "\t-f file extension: format of the file extension. default is .%Y.%m.%d.%H.%M.utc\n"
            "\t-n               : don't append a file extension to logfile name\n"
            "\t-q               : quiet, don't echo to stdout\n"
            "exit status: 0 every line logged, 1 usage, 2 lines lost or input unreadable\n").encode()


class CronelCase(unittest.TestCase):
    """A temporary directory as working directory, and the program's environment."""

    def setUp(self):
        self.directory = tempfile.mkdtemp(prefix="cronel-process-")
        self.clock_file = os.path.join(self.directory, ".clock")
        self.env = dict(os.environ, TZ=UTC)

    def tearDown(self):
        shutil.rmtree(self.directory, ignore_errors=True)

    def use_clock(self, instant):
        """From now on the program sees `instant` (frozen) until the next call."""
        with open(self.clock_file + ".new", "w") as out:
            out.write(f"{instant}\n")
        os.replace(self.clock_file + ".new", self.clock_file)
        asan = os.environ.get("ASAN_OPTIONS", "")
        self.env.update(LD_PRELOAD=FAKETIME_LIBRARY, FAKETIME_TIMESTAMP_FILE=self.clock_file,
                        FAKETIME_NO_CACHE="1", FAKETIME_FMT="%s",
                        ASAN_OPTIONS=(asan + ":" if asan else "") + "verify_asan_link_order=0")

    def path(self, name):
        return os.path.join(self.directory, name)

    def read(self, name):
        with open(self.path(name), "rb") as log:
            return log.read()

    def files(self):
        return sorted(name for name in os.listdir(self.directory) if not name.startswith("."))

    def run_cronel(self, args, stdin=b"", **popen):
        return subprocess.run([CRONEL] + args, input=stdin, cwd=self.directory, env=self.env,
                              stdout=popen.pop("stdout", subprocess.PIPE),
                              stderr=subprocess.PIPE, timeout=WAIT_SECONDS, **popen)

    def start(self, args):
        return Session(self, args)


class Session:
    """A running cronel fed line by line; each line is sent once the last one was seen."""

    def __init__(self, case, args):
        self.process = subprocess.Popen([CRONEL] + args, cwd=case.directory, env=case.env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.output = b""
        self.seen = 0

    def wait_for(self, text):
        """Reads standard output until text appears after what was already seen."""
        while text not in self.output[self.seen:]:
            ready, _, _ = select.select([self.process.stdout], [], [], WAIT_SECONDS)
            if not ready:
                raise AssertionError(f"no {text!r} on standard output")
            piece = os.read(self.process.stdout.fileno(), 65536)
            if not piece:
                raise AssertionError(f"standard output ended before {text!r}")
            self.output += piece
        self.seen = self.output.index(text, self.seen) + len(text)

    def send(self, line, echoed=True):
        self.process.stdin.write(line)
        self.process.stdin.flush()
        if echoed:
            self.wait_for(line)

    def finish(self):
        """Ends the input; returns (status, all standard output, standard error)."""
        self.process.stdin.close()
        while True:
            piece = os.read(self.process.stdout.fileno(), 65536)
            if not piece:
                break
            self.output += piece
        error = self.process.stderr.read()
        status = self.process.wait(timeout=WAIT_SECONDS)
        self.process.stdout.close()
        self.process.stderr.close()
        return status, self.output, error


def wait_for_file_text(case, name, text):
    """Polls a log file until it holds text (for quiet runs, which echo nothing)."""
    for _ in range(WAIT_SECONDS * 100):
        if os.path.exists(case.path(name)) and text in case.read(name):
            return
        select.select([], [], [], 0.01)
    raise AssertionError(f"{name} never held {text!r}")


class PlainBehaviour(CronelCase):

    def test_missing_output_name_or_argument_prints_the_usage_and_fails(self):
        for args, named in (([], b""), (["-q", "extra"], b""), (["-q", "-o"], b"invalid argument -o")):
            result = self.run_cronel(args)
            self.assertEqual(result.returncode, 1)
            self.assertEqual(result.stderr, named + usage(CRONEL))
            self.assertEqual(result.stdout, b"")
        self.assertEqual(self.files(), [])

    def test_invalid_option_is_named_without_line_end_and_the_run_goes_on(self):
        result = self.run_cronel(["-x", "-d", "12", "-o", "app"], b"a\n")
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.stderr, b"invalid argument -x")
        [name] = self.files()
        self.assertEqual(result.stdout, f"opening {name}\na\n".encode())
        self.assertTrue(self.read(name).endswith(b":a\n"))

    def test_quiet_without_extension_writes_only_the_opening_notice(self):
        result = self.run_cronel(["-qn", "-o", "app"], b"a\nb\n")
        self.assertEqual(result.stdout, b"opening app\n")
        self.assertEqual(self.files(), ["app"])
        lines = self.read("app").split(b"\n")
        self.assertIn(b":File Opened At: ", lines[0])
        self.assertEqual([line[8:] for line in lines[1:]], [b":a", b":b", b""])

    def test_lost_lines_and_a_failed_input_are_reported_and_exit_2(self):
        # A log that never opens, a full device to the end of input, and an input that
        # cannot be read (a folder). Owed lines get 5 s more, so the runs go side by side.
        lines = b"".join(b"line %d\n" % number for number in range(100))
        cases = (
            (["-n", "-o", "missing/app"], b"a\nb\n", b"opening missing/app\na\nb\n",
             b"Failed to open output file missing/app: No such file or directory\n"
             b"Lost 2 lines: output file missing/app could not be opened\n"),
            (["-n", "-o", "/dev/full"], lines, b"opening /dev/full\n" + lines,
             b"Failed to write output file /dev/full: No space left on device\n"
             b"Lost 100 lines: output file /dev/full could not be written\n"),
            (["-n", "-o", "app"], None, b"opening app\n",
             b"Failed to read standard input: Is a directory\n"),
        )
        processes = []
        for number, (args, stdin, _, _) in enumerate(cases):
            if stdin is None:
                source = os.open(self.directory, os.O_RDONLY)
            else:
                with open(self.path(f".input{number}"), "wb") as out:
                    out.write(stdin)
                source = os.open(self.path(f".input{number}"), os.O_RDONLY)
            processes.append(subprocess.Popen([CRONEL] + args, cwd=self.directory, env=self.env,
                                              stdin=source, stdout=subprocess.PIPE,
                                              stderr=subprocess.PIPE))
            os.close(source)
        for process, (args, _, output, error) in zip(processes, cases):
            with self.subTest(args=args):
                self.assertEqual(process.communicate(timeout=WAIT_SECONDS), (output, error))
                self.assertEqual(process.returncode, 2)
        self.assertRegex(self.read("app"), rb"^\d\d:\d\d:\d\d:File Opened At: [^\n]*\n$")

    def test_reader_of_the_echo_going_away_keeps_the_log_whole(self):
        session = self.start(["-n", "-o", "app"])
        session.send(b"first\n")
        session.process.stdout.close()  # the reader goes away: writes meet a broken pipe
        rest = b"".join(b"line %d\n" % number for number in range(1000))
        session.process.stdin.write(rest)
        session.process.stdin.close()
        status = session.process.wait(timeout=WAIT_SECONDS)
        error = session.process.stderr.read()
        session.process.stderr.close()
        self.assertEqual(status, 0)
        self.assertEqual(error, b"")
        logged = self.read("app").split(b"\n")[1:]
        self.assertEqual(b"".join(line[9:] + b"\n" for line in logged[:-1]), b"first\n" + rest)

    def test_closed_standard_output_never_reaches_the_log(self):
        result = self.run_cronel(["-n", "-o", "app"], b"a\nb\n", stdout=subprocess.DEVNULL,
                                 preexec_fn=lambda: os.close(1))
        self.assertEqual(result.returncode, 0)
        logged = self.read("app")
        self.assertNotIn(b"opening", logged)
        self.assertEqual([line[8:] for line in logged.split(b"\n")[1:]], [b":a", b":b", b""])


class ClockBehaviour(CronelCase):
    OPENED = utc(2026, 12, 6, 6, 48, 22)  # Sunday 6 December 2026, 06:48:22 UTC

    def test_lines_are_stamped_with_local_time_and_echoed(self):
        # 06:48:22 UTC is 01:48:22 five hours behind; the name keeps the UTC time.
        self.env["TZ"] = FIVE_HOURS_BEHIND
        self.use_clock(self.OPENED)
        result = self.run_cronel(["-o", "app"], b"a\nb\n")
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        self.assertEqual(result.stdout, b"opening app.2026.12.06.06.48.utc\na\nb\n")
        self.assertEqual(self.read("app.2026.12.06.06.48.utc"),
                         b"01:48:22:File Opened At: Sun Dec 06 01:48:22 2026\n"
                         b"01:48:22:wrap time is Mon Dec 07 00:00:00 2026\n"
                         b"01:48:22:a\n01:48:22:b\n")

    def test_two_starts_in_one_minute_append_to_one_file(self):
        self.use_clock(self.OPENED)
        self.run_cronel(["-o", "app"], b"first\n")
        self.use_clock(self.OPENED + 30)
        self.run_cronel(["-o", "app"], b"second\n")
        self.assertEqual(self.files(), ["app.2026.12.06.06.48.utc"])
        log = self.read("app.2026.12.06.06.48.utc")
        self.assertEqual(log.count(b"File Opened At"), 2)
        self.assertTrue(log.endswith(b"06:48:22:first\n06:48:52:File Opened At: Sun Dec 06 06:48:52 2026\n"
                                     b"06:48:52:wrap time is Mon Dec 07 00:00:00 2026\n06:48:52:second\n"))

    def test_without_extension_the_file_is_truncated_and_never_wraps(self):
        with open(self.path("app"), "wb") as old:
            old.write(b"old content\n")
        self.use_clock(utc(2026, 12, 6, 23, 59, 50))
        session = self.start(["-q", "-n", "-o", "app"])
        session.send(b"before\n", echoed=False)
        wait_for_file_text(self, "app", b"before\n")
        self.use_clock(utc(2026, 12, 7, 9, 30, 0))
        session.send(b"after\n", echoed=False)
        status, output, error = session.finish()
        self.assertEqual((status, output, error), (0, b"opening app\n", b""))
        self.assertEqual(self.files(), ["app"])
        self.assertEqual(self.read("app"), b"23:59:50:File Opened At: Sun Dec 06 23:59:50 2026\n"
                                           b"23:59:50:before\n09:30:00:after\n")

    def test_long_line_arrives_in_three_stamped_pieces_and_a_last_line_keeps_no_end(self):
        self.use_clock(self.OPENED)
        self.run_cronel(["-q", "-o", "app"], b"x" * 4999 + b"\nlast")
        log = self.read("app.2026.12.06.06.48.utc")
        stamp = b"06:48:22:"
        expected = stamp + b"x" * 2047 + stamp + b"x" * 2047 + stamp + b"x" * 905 + b"\n" + stamp + b"last"
        self.assertTrue(log.endswith(b"2026\n" + expected))

    def test_wrap_behind_utc(self):
        # Five hours behind: local midnight of 7 December is 05:00 UTC that day. The line
        # after it arrives at 09:30 local; the new name carries the wrap's UTC date.
        self.env["TZ"] = FIVE_HOURS_BEHIND
        self.use_clock(utc(2026, 12, 7, 4, 59, 58))
        session = self.start(["-o", "app"])
        session.send(b"before\n")
        self.use_clock(utc(2026, 12, 7, 14, 30, 0))
        session.send(b"after\n")
        status, output, error = session.finish()
        self.assertEqual((status, error), (0, b""))
        self.assertEqual(output, b"opening app.2026.12.07.04.59.utc\nbefore\n"
                                 b"opening app.2026.12.07.00.00.utc\nafter\n")
        self.assertEqual(self.read("app.2026.12.07.04.59.utc"),
                         b"23:59:58:File Opened At: Sun Dec 06 23:59:58 2026\n"
                         b"23:59:58:wrap time is Mon Dec 07 00:00:00 2026\n"
                         b"23:59:58:before\n"
                         b"09:30:00:Switching to logfile...")
        self.assertEqual(self.read("app.2026.12.07.00.00.utc"),
                         b"09:30:00:File Opened At: Mon Dec 07 09:30:00 2026\n"
                         b"09:30:00:wrap time is Tue Dec 08 00:00:00 2026\n"
                         b"09:30:00:after\n")

    def test_wrap_ahead_of_utc_at_exactly_midnight(self):
        # Nine hours ahead: midnight of 7 December is 15:00 UTC on the 6th; a line at
        # that very second switches, and the new name has the UTC date, the 6th.
        self.env["TZ"] = NINE_HOURS_AHEAD
        self.use_clock(utc(2026, 12, 6, 14, 59, 59))
        session = self.start(["-o", "app"])
        session.send(b"before\n")
        self.use_clock(utc(2026, 12, 6, 15, 0, 0))
        session.send(b"at midnight\n")
        status, output, error = session.finish()
        self.assertEqual((status, error), (0, b""))
        self.assertEqual(self.files(), ["app.2026.12.06.00.00.utc", "app.2026.12.06.14.59.utc"])
        self.assertTrue(self.read("app.2026.12.06.14.59.utc").endswith(
            b"23:59:59:before\n00:00:00:Switching to logfile..."))
        self.assertEqual(self.read("app.2026.12.06.00.00.utc"),
                         b"00:00:00:File Opened At: Mon Dec 07 00:00:00 2026\n"
                         b"00:00:00:wrap time is Tue Dec 08 00:00:00 2026\n"
                         b"00:00:00:at midnight\n")

    def test_date_only_format_ahead_of_utc_reopens_the_same_file(self):
        # 10:00 local on 6 December is 01:00 UTC; the wrap (15:00 UTC) has the same UTC
        # date, so the switch appends to the file it just left.
        self.env["TZ"] = NINE_HOURS_AHEAD
        self.use_clock(utc(2026, 12, 6, 1, 0, 0))
        session = self.start(["-f", ".%Y%m%d", "-o", "app"])
        session.send(b"morning\n")
        self.use_clock(utc(2026, 12, 6, 15, 0, 5))
        session.send(b"night\n")
        status, output, error = session.finish()
        self.assertEqual((status, error), (0, b""))
        self.assertEqual(output, b"opening app.20261206\nmorning\nopening app.20261206\nnight\n")
        self.assertEqual(self.read("app.20261206"),
                         b"10:00:00:File Opened At: Sun Dec 06 10:00:00 2026\n"
                         b"10:00:00:wrap time is Mon Dec 07 00:00:00 2026\n"
                         b"10:00:00:morning\n"
                         b"00:00:05:Switching to logfile..."
                         b"00:00:05:File Opened At: Mon Dec 07 00:00:05 2026\n"
                         b"00:00:05:wrap time is Tue Dec 08 00:00:00 2026\n"
                         b"00:00:05:night\n")

    def test_log_folder_made_later_receives_every_line_with_its_arrival_stamp(self):
        # The folder is missing for the first two lines; the open is tried again, silently,
        # at most once a second: not at the third line (same second as the last try), but
        # at the fourth, which finds the folder made meanwhile.
        name = "later/app.2026.12.06.06.48.utc"
        self.use_clock(self.OPENED)
        session = self.start(["-o", "later/app"])
        session.send(b"first\n")
        self.use_clock(self.OPENED + 1)
        session.send(b"second\n")
        os.mkdir(self.path("later"))
        session.send(b"third\n")
        self.use_clock(self.OPENED + 2)
        session.send(b"fourth\n")
        status, output, error = session.finish()
        self.assertEqual((status, output), (0, f"opening {name}\nfirst\nsecond\nthird\nfourth\n".encode()))
        self.assertEqual(error, f"Failed to open output file {name}: No such file or directory\n"
                                f"Logging resumed in output file {name}\n".encode())
        self.assertEqual(self.read(name),
                         b"06:48:24:File Opened At: Sun Dec 06 06:48:24 2026\n"
                         b"06:48:24:wrap time is Mon Dec 07 00:00:00 2026\n"
                         b"06:48:22:first\n06:48:23:second\n06:48:23:third\n06:48:24:fourth\n")

    def test_lines_past_the_backlog_bound_are_dropped_and_counted(self):
        # Stamped lines of 1024 bytes: 16384 of them fill the 16 MiB kept while the folder
        # is missing, the 100 after them are dropped. The clock stands still, so the open
        # is not tried again before the end of input; the last retries then find the folder.
        line = b"x" * 1014 + b"\n"
        kept = 16384
        self.use_clock(self.OPENED)
        session = self.start(["-q", "-n", "-o", "later/app"])
        session.send(line * (kept + 100), echoed=False)
        os.mkdir(self.path("later"))
        status, output, error = session.finish()
        self.assertEqual((status, output), (2, b"opening later/app\n"))
        self.assertEqual(error, b"Failed to open output file later/app: No such file or directory\n"
                                b"Logging resumed in output file later/app\n"
                                b"Dropped 100 lines: more than 16 MiB were waiting for the log\n")
        self.assertEqual(self.read("later/app"),
                         b"06:48:22:File Opened At: Sun Dec 06 06:48:22 2026\n"
                         + (b"06:48:22:" + line) * kept)

def main():
    global CRONEL, FAKETIME_LIBRARY
    if len(sys.argv) != 3 or sys.argv[2] not in ("plain", "clock"):
        sys.exit(__doc__)
    CRONEL = os.path.abspath(sys.argv[1])
    group = PlainBehaviour if sys.argv[2] == "plain" else ClockBehaviour
    if group is ClockBehaviour:
        FAKETIME_LIBRARY = find_faketime_library()
        if FAKETIME_LIBRARY is None:
            print("faketime is not installed: clock cases skipped")
            sys.exit(SKIPPED)
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(group)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
