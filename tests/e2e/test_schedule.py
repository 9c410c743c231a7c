"""The scheduled start as the Task Scheduler makes it, with nobody at the
screen: it never waits for a click, and a task that another Nightshelf runs
(in another logon session) is left to that one. The real Nightshelf.exe under
Wine, judged by its exit code, the registry, the temporary folder, the
archives and the reports."""

import os
import re
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.dirname(HERE)]
import suite_verdict  # noqa: E402
from machine import Machine, ReportListener  # noqa: E402

ARCH = os.environ.get("NS_WINE_ARCH", "win64")
BIN = os.environ.get("NS_BIN_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", ARCH, "bin"))
TASKS = "HKEY_CURRENT_USER\\Software\\Nightshelf"
TIMESTAMP = re.compile(r"^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d$")
EARLIER = {"StateDateTime": "09.12.2026 02:00:41", "State": "Успех", "Log": "Выгрузка успешно завершена\r\n"}


class Schedule(unittest.TestCase):
    platforms = "8.3"

    def setUp(self):
        self.machine = Machine(self.id().split(".")[-1], ARCH, BIN, self.platforms)
        self.listener = ReportListener()
        self.machine.set_servers("127.0.0.1")

    def tearDown(self):
        self.listener.close()
        result = self._outcome.result
        failed = any(getattr(test, "test_case", test) is self for test, _ in result.failures + result.errors)
        self.machine.close(keep=failed)

    def scheduled_start(self, *args, timeout=90):
        """The exit code of a start that must end by itself: a box waiting
        for a click would keep it alive past the time-out."""
        return self.machine.run(list(args), timeout=timeout)

    def reports(self):
        return [body for _, body in self.listener.reports()]

    def temp_windows_path(self, name):
        linux = os.path.join(self.machine.temp_folder(), name)
        drive_c = os.path.join(self.machine.prefix, "drive_c")
        return "C:\\" + os.path.relpath(linux, drive_c).replace("/", "\\")


class NoPlatform(Schedule):
    platforms = ""

    def test_a_scheduled_start_records_the_missing_platform_and_ends_by_itself(self):
        self.machine.add_task("Daily", "8.3/FC:\\Bases\\A/DumpIBC:\\Archive", **EARLIER)
        self.machine.add_task("Weekly", "8.2/FC:\\Bases\\B/DumpIBC:\\Archive")
        self.machine.add_task("Untouched", "8.3/FC:\\Bases\\C/DumpIBC:\\Archive", **EARLIER)

        self.assertEqual(self.scheduled_start("daily", "Missing"), 1)
        daily = self.machine.task_values("Daily")
        self.assertEqual((daily["State"], daily["Log"]), ("Ошибка", "Не установлена платформа 1С8."))
        self.assertRegex(daily["StateDateTime"], TIMESTAMP)
        self.assertNotEqual(daily["StateDateTime"], EARLIER["StateDateTime"])
        self.assertEqual(self.machine.task_values("Untouched"), dict({"": "8.3/FC:\\Bases\\C/DumpIBC:\\Archive"},
                                                                     **EARLIER))
        # A name without a task gets no key.
        self.assertNotIn(TASKS + "\\Missing", self.machine.read_registry())
        self.assertEqual(self.reports(), ["Протокол выгрузки Daily\r\nНе установлена платформа 1С8."])

        # "*" names every task.
        self.assertEqual(self.scheduled_start("*"), 1)
        for task in ("Daily", "Weekly", "Untouched"):
            self.assertEqual(self.machine.task_values(task).get("Log"), "Не установлена платформа 1С8.", task)
        self.assertEqual(len(self.reports()), 4)


class AnotherInstance(Schedule):
    def test_a_task_another_instance_runs_is_left_to_it(self):
        base = self.machine.path("C:\\Bases\\A")
        os.makedirs(base)
        with open(os.path.join(base, "1Cv8.1CD"), "wb") as data:
            data.write(b"stand-in infobase data\r\n")
        archive = self.machine.path("C:\\Archive")
        os.makedirs(archive)
        self.machine.add_task("Daily", "8.3/FC:\\Bases\\A/DumpIBC:\\Archive", **EARLIER)
        # The other instance's dump and log, half written.
        temp = self.machine.temp_folder()
        for name in ("Daily.dt", "Daily.log"):
            with open(os.path.join(temp, name), "wb") as half:
                half.write(b"half written by the other instance\r\n")
        holder = self.machine.start(["lock", self.temp_windows_path("Daily.lock"), "60"], program="winprobe.exe")
        for _ in range(100):
            if os.path.exists(os.path.join(temp, "Daily.lock")):
                break
            time.sleep(0.1)
        else:
            self.fail("the other instance's lock was not taken")

        self.assertEqual(self.scheduled_start("Daily"), 1)
        for name in ("Daily.dt", "Daily.log"):
            with open(os.path.join(temp, name), "rb") as half:
                self.assertEqual(half.read(), b"half written by the other instance\r\n", name)
        self.assertEqual(self.machine.task_values("Daily"), dict({"": "8.3/FC:\\Bases\\A/DumpIBC:\\Archive"},
                                                                 **EARLIER))
        self.assertEqual(os.listdir(archive), [])
        self.assertEqual(self.reports(), ["Протокол выгрузки Daily\r\nЗадание уже выполняется в другом экземпляре "
                                          "Nightshelf: этот запуск его не выполнял."])

        # Once the other instance is done, the task runs here again.
        holder.kill()
        holder.wait()
        self.machine.restart_server()
        self.assertEqual(self.scheduled_start("Daily", timeout=180), 0)
        self.assertEqual(self.machine.task_values("Daily")["State"], "Успех")
        self.assertEqual(len(os.listdir(archive)), 1)
        self.assertEqual([f for f in os.listdir(temp) if f.startswith("Daily.")], [])


if __name__ == "__main__":
    suite_verdict.main()
