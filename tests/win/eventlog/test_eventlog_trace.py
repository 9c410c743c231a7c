"""The outcome events as the event log receives them. Wine keeps no event
log, but it traces every event on its debug channels: the call that opens
the source with the source's name, each ReportEventW call with the event's
type and id, and each of its strings, escaped as Wine's debugstr_w does
(\\n, \\r, \\t, \\", \\\\, any other character outside printable ASCII as a
backslash and four hex digits), at the level of the event's type: trace for
information, err for an error, warn for a warning. A string of more than
about 290 escaped characters is cut and marked by "..." after its closing
quote.

The trace goes to the error output of the Wine process that writes it (a
child started from a Windows program writes into its parent's), so this
suite runs write_events_process itself, with its error output in a file.

The program's text is Windows-1251 whatever the system's ANSI code page
is: the events are written under the Russian code page and under code page
1252 of an English system, and their Cyrillic must arrive either way."""

import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))
sys.path[:0] = [os.path.join(ROOT, "tests", "e2e"), os.path.join(ROOT, "tests")]
import suite_verdict  # noqa: E402
from machine import Machine  # noqa: E402
from wine_trace import traced_events  # noqa: E402

BIN = os.environ["NS_BIN_DIR"]
ARCH = os.environ.get("NS_WINE_ARCH", "win64")
SOURCE_KEY = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\EventLog\Application\Nightshelf"

SUCCEEDED, FAILED, COPY_OR_CHECK_FAILED = 1, 2, 3
# The event type each outcome is written with, and the level Wine traces its
# strings at.
TYPE = {SUCCEEDED: (0x0004, "trace"), FAILED: (0x0001, "err"), COPY_OR_CHECK_FAILED: (0x0001, "err")}

# Outcomes with what a log holds: line breaks, quotes, a tab, backslashes of
# paths and shares, a percent sign, and letters of Windows-1251 beyond the
# plain Cyrillic alphabet. Short enough for Wine to trace them whole.
CASES = [
    (SUCCEEDED, "Бухгалтерия", "Выгрузка завершена.\r\nАрхив проверен: 100 %\r\n"),
    (FAILED, "Зарплата и кадры", 'Ошибка создания выгрузки.\r\n"1cv8"\tкод 1: ё Ё № «»\r\n'),
    (COPY_OR_CHECK_FAILED, "Склад", "Не удалось скопировать архив в \\\\srv\\Архив\r\n"),
    (SUCCEEDED, "", ""),
]
CUT_MARK = "…\r\n"


class EventTrace(unittest.TestCase):
    def setUp(self):
        self.machine = Machine("eventlog-trace", ARCH, BIN, platforms="")

    def tearDown(self):
        result = self._outcome.result
        failed = any(test is self for test, _ in result.failures + result.errors)
        self.machine.close(keep=failed)

    def write_events(self, cases, locale):
        """Runs write_events_process over `cases` under `locale`: its output
        lines and the events of its trace."""
        with open(self.machine.path("C:\\e2e\\cases.bin"), "wb") as f:
            for kind, name, log in cases:
                for field in (str(kind), name, log):
                    f.write(field.encode("cp1251") + b"\0")
        env = dict(self.machine.env, WINEDEBUG="-all,+eventlog,fixme+advapi", LC_ALL=locale, LANG=locale)
        output, trace = self.machine.path("C:\\e2e\\output.txt"), self.machine.path("C:\\e2e\\trace.txt")
        with open(output, "wb") as out, open(trace, "wb") as err:
            rc = subprocess.run(["wine", os.path.join(BIN, "write_events_process.exe"), "C:\\e2e\\cases.bin"],
                                env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err, timeout=120).returncode
        self.assertEqual(rc, 0)
        with open(output, "rb") as f:
            lines = f.read().decode("ascii").splitlines()
        with open(trace, "rb") as f:
            return lines, traced_events(f.read().decode("utf-8", "replace"))

    def assert_event(self, event, kind, name):
        self.assertEqual((event["source"], event["id"], event["count"]), ("Nightshelf", kind, 2))
        event_type, level = TYPE[kind]
        self.assertEqual(event["type"], event_type)
        self.assertEqual(event["levels"], {level})
        self.assertEqual(event["strings"][0], (name, False))

    def test_each_outcome_carries_its_id_type_task_and_log_under_any_code_page(self):
        # A program copied without its installer: no source is registered,
        # and the events are written all the same.
        self.assertEqual(self.machine.read_registry(SOURCE_KEY), {})
        for locale, code_page in (("ru_RU.UTF-8", 1251), ("C.UTF-8", 1252)):
            with self.subTest(locale=locale):
                lines, events = self.write_events(CASES, locale)
                self.assertEqual(lines, ["code page %d" % code_page] + ["written"] * len(CASES))
                self.assertEqual(len(events), len(CASES))
                for event, (kind, name, log) in zip(events, CASES):
                    self.assert_event(event, kind, name)
                    self.assertEqual(event["strings"][1], (log, False))

    def test_a_log_too_long_for_an_event_arrives_as_its_end(self):
        line = "Обработка объекта Справочник.Номенклатура\r\n"
        log = "".join("%06d %s" % (number, line) for number in range(2000)) + "Ошибка создания архива.\r\n"
        lines, events = self.write_events([(FAILED, "Бухгалтерия", log)], "ru_RU.UTF-8")
        self.assertEqual(lines[1:], ["written"])
        self.assertEqual(len(events), 1)
        self.assert_event(events[0], FAILED, "Бухгалтерия")
        # Wine shows the first part of the string: the mark of what was left
        # out, then whole lines of the log's end.
        text, cut = events[0]["strings"][1]
        self.assertTrue(cut)
        self.assertTrue(text.startswith(CUT_MARK), text[:20])
        kept = text[len(CUT_MARK):]
        self.assertGreater(len(kept), 20)
        self.assertIn("\r\n" + kept, log)
        self.assertNotIn("000000 ", text)


if __name__ == "__main__":
    suite_verdict.main()
