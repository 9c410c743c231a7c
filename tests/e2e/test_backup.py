"""Whole-program scenarios: the real Nightshelf.exe started as the task
scheduler starts it, in a Wine prefix with the stand-in platform, judged by
what an administrator would look at: the archives (read by unzip, 7z and
Python's zipfile), the recorded values in the registry, the reports that
arrive on the report port, and the temporary folder."""

import datetime
import os
import re
import subprocess
import sys
import time
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.dirname(HERE)]
import suite_verdict  # noqa: E402
from machine import INSTANCE_MUTEX, TASK_STORE, Machine, ReportListener  # noqa: E402
from wine_trace import EVENT_CHANNELS, traced_events  # noqa: E402

ARCH = os.environ.get("NS_WINE_ARCH", "win64")
BIN = os.environ.get("NS_BIN_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", ARCH, "bin"))

SUCCESS = "Успех"
FAILURE = "Ошибка"
TIMESTAMP = re.compile(r"^\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d$")
# An archive folder whose archive's path is longer than the system takes.
LONG_FOLDER = "\\".join(["Очень длинное имя папки архивов"] * 8)
# A user whose name makes the designer's command line longer than the
# system's limit of 32767 characters.
LONG_USER = "u" * 33000


def day_archive(folder, day, task=None):
    return os.path.join(folder, "1C8-" + day.strftime("%y%m%d") + ("-" + task if task else "") + ".zip")


def today_archive(folder, task=None):
    return day_archive(folder, datetime.date.today(), task)


def make_archive(path, tasks):
    """An archive of an earlier run: one entry per task, as packing names them."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as archive:
        for task in tasks:
            archive.writestr(task + ".dt", ("dump of %s\r\n" % task).encode("cp1251"))


def check_archive(path):
    """Every independent reader accepts the archive; returns its entry names."""
    for command in (["unzip", "-tqq", path], ["7z", "t", "-bso0", "-bsp0", path]):
        result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        assert result.returncode == 0, (command, result.stdout)
    with zipfile.ZipFile(path) as archive:
        assert archive.testzip() is None
        # Names are stored in the OEM code page (866), which zipfile reads as 437.
        return [info.filename.encode("cp437").decode("cp866") for info in archive.infolist()]


class Scenario(unittest.TestCase):
    platforms = "8.2,8.3"

    def setUp(self):
        self.machine = Machine(self.id().split(".")[-1], ARCH, BIN, self.platforms)
        self.listener = ReportListener()
        self.machine.set_servers("127.0.0.1")
        self.archive_folder("C:\\Archive")
        self.state = ["; written by the scenario", "[Cluster]", "Name=Local cluster", "Port=1541",
                      "[Process]", "Host=localhost", "Port=1560"]

    def tearDown(self):
        self.listener.close()
        # A failed scenario keeps its prefix for a look inside.
        result = self._outcome.result
        # A failed sub-test is reported under a stand-in for its case.
        failed = any(getattr(test, "test_case", test) is self for test, _ in result.failures + result.errors)
        self.machine.close(keep=failed)

    # -- set-up --------------------------------------------------------------

    def archive_folder(self, folder):
        """The archive folder exists: packing does not create it."""
        path = self.machine.path(folder)
        os.makedirs(path, exist_ok=True)
        return path

    def file_infobase(self, folder, users=(), sessions=(), **knobs):
        path = self.machine.path(folder)
        os.makedirs(path, exist_ok=True)
        with open(os.path.join(path, "1Cv8.1CD"), "wb") as data:
            data.write(b"stand-in infobase data\r\n")
        lines = ["[Infobase]"] + ["User=" + u for u in users] + ["Session=" + s for s in sessions]
        lines += ["%s=%s" % kv for kv in knobs.items()]
        with open(os.path.join(path, "standin.ini"), "wb") as description:
            description.write("\r\n".join(lines + [""]).encode("cp1251"))

    def server_infobase(self, name, users=("Admin:",), sessions=(), **knobs):
        self.state += ["[Infobase]", "Name=" + name] + ["User=" + u for u in users]
        self.state += ["Session=" + s for s in sessions] + ["%s=%s" % kv for kv in knobs.items()]
        self.write_state()

    def working_process(self, host, port):
        self.state += ["[Process]", "Host=" + host, "Port=%d" % port]
        self.write_state()

    def write_state(self):
        with open(self.machine.path("C:\\standin\\state.ini"), "wb") as state:
            state.write("\r\n".join(self.state + [""]).encode("cp1251"))

    def read_state(self):
        return open(self.machine.path("C:\\standin\\state.ini"), "rb").read().decode("cp1251")

    # -- checks ----------------------------------------------------------------

    def run_program(self, *args, timeout=180, exit_code=0):
        """Runs the program as the scheduler would; its exit code is what the
        scheduler shows as the last run's result."""
        self.assertEqual(self.machine.run(list(args), timeout=timeout), exit_code)

    def assert_recorded(self, task, state, log=None):
        values = self.machine.task_values(task)
        self.assertEqual(values.get("State"), state, values)
        self.assertRegex(values.get("StateDateTime", ""), TIMESTAMP)
        if log is not None:
            self.assertEqual(values.get("Log"), log)
        return values

    def assert_temporary_files(self, expected):
        left = [f for f in os.listdir(self.machine.temp_folder()) if f.endswith((".dt", ".log"))]
        self.assertEqual(sorted(left), expected)

    def assert_no_temporary_files(self):
        self.assert_temporary_files([])

    def reports(self):
        return self.listener.reports()

    def wait_until_visible(self, class_name, seconds=60):
        deadline = time.monotonic() + seconds
        while self.machine.probe("visible", class_name) != (0, "1"):
            self.assertLess(time.monotonic(), deadline, "%s was not shown within %d s" % (class_name, seconds))
            time.sleep(0.2)


class Backup(Scenario):
    def test_scheduled_backup_of_a_file_infobase(self):
        self.file_infobase("C:\\Bases\\Магазин", users=("Admin:",))
        self.archive_folder("C:\\Архив")
        self.machine.add_task("Ежедневно", "8.3/FC:\\Bases\\Магазин/NAdmin/DumpIBC:\\Архив")
        self.run_program("Ежедневно")

        archive = today_archive(self.machine.path("C:\\Архив"))
        self.assertEqual(check_archive(archive), ["Ежедневно.dt"])
        values = self.assert_recorded("Ежедневно", SUCCESS)
        log = values["Log"]
        self.assertTrue(log.endswith("\r\n") and "\n" not in log.replace("\r\n", ""), repr(log))
        # The sender is the computer's name as every program there is told it.
        self.assertEqual(self.reports(), [(self.machine.computer_name(), "Протокол выгрузки Ежедневно\r\n" + log)])
        self.assert_no_temporary_files()

    def test_exclusive_dump_of_a_server_infobase_ends_other_sessions(self):
        self.working_process("srv2", 1561)
        self.server_infobase("trade", sessions=("1, 1CV8C, localhost:1560", "2, BackgroundJob, srv2:1561",
                                                "3, COMConsole, localhost:1560"))
        self.machine.add_task("Торговля", "8.3*&/Days7/Ssrv\\trade/NAdmin/DumpIBC:\\Archive")
        self.run_program("Торговля")

        self.assert_recorded("Торговля", SUCCESS)
        archive = today_archive(self.machine.path("C:\\Archive"), "Торговля")
        self.assertEqual(check_archive(archive), ["Торговля.dt"])
        sessions = [line for line in self.read_state().splitlines() if line.startswith("Session=")]
        self.assertEqual(sessions, ["Session=3, COMConsole, localhost:1560"])

    def test_two_tasks_share_the_day_archive_and_a_missing_task_is_passed_over(self):
        self.file_infobase("C:\\Bases\\A")
        self.file_infobase("C:\\Bases\\B")
        self.machine.add_task("First", "8.3/FC:\\Bases\\A/DumpIBC:\\Archive\\")
        self.machine.add_task("Third", "8.3/FC:\\Bases\\B/DumpIBC:\\Archive")
        # A task that cannot be found is a failed night for the scheduler.
        self.run_program("First", "Second", "Third", exit_code=1)

        self.assertEqual(sorted(check_archive(today_archive(self.machine.path("C:\\Archive")))),
                         ["First.dt", "Third.dt"])
        self.assert_recorded("First", SUCCESS)
        self.assert_recorded("Third", SUCCESS)
        self.assertNotIn("HKEY_CURRENT_USER\\Software\\Nightshelf\\Second", self.machine.read_registry())
        self.assertEqual([body.split("\r\n")[0] for _, body in self.reports()],
                         ["Протокол выгрузки First", "Протокол выгрузки Third"])

    def test_star_runs_every_task(self):
        self.file_infobase("C:\\Bases\\A")
        for name in ("One", "Two", "Three"):
            self.machine.add_task(name, "8.3/FC:\\Bases\\A/DumpIBC:\\Archive")
        self.run_program("*")
        self.assertEqual(sorted(check_archive(today_archive(self.machine.path("C:\\Archive")))),
                         ["One.dt", "Three.dt", "Two.dt"])
        self.assertEqual(len(self.reports()), 3)

    def test_star_without_any_task_ends_by_itself(self):
        self.run_program("*", timeout=60)
        self.assertEqual(self.reports(), [])

    def test_a_name_typed_in_another_letter_case_is_the_same_task(self):
        self.file_infobase("C:\\Bases\\A")
        self.machine.add_task("Бухгалтерия", "8.3/FC:\\Bases\\A/DumpIBC:\\Archive")
        self.run_program("бухгалтерия")
        self.run_program("БУХГАЛТЕРИЯ")
        # One entry, in the key's spelling, which the next rotation finds.
        self.assertEqual(check_archive(today_archive(self.machine.path("C:\\Archive"))), ["Бухгалтерия.dt"])
        self.assert_recorded("Бухгалтерия", SUCCESS)
        self.assertEqual([body.split("\r\n")[0] for _, body in self.reports()],
                         ["Протокол выгрузки Бухгалтерия"] * 2)

    def test_a_run_prunes_the_archives_of_earlier_days_across_the_turn_of_a_year(self):
        self.file_infobase("C:\\Bases\\A")
        folder = self.archive_folder("C:\\Archive")
        today = datetime.date.today()
        # The last day of last year is exactly as old as the task keeps.
        oldest_kept = datetime.date(today.year - 1, 12, 31)
        days = (today - oldest_kept).days
        one_too_old = oldest_kept - datetime.timedelta(days=1)
        long_ago = datetime.date(today.year - 2, 6, 1)
        make_archive(day_archive(folder, oldest_kept), ["Daily", "Other"])
        make_archive(day_archive(folder, one_too_old), ["Daily", "Other"])
        make_archive(day_archive(folder, long_ago), ["Daily"])
        self.machine.add_task("Daily", "8.3/Days%d/FC:\\Bases\\A/DumpIBC:\\Archive" % days)
        self.run_program("Daily")

        self.assert_recorded("Daily", SUCCESS)
        self.assertEqual(check_archive(today_archive(folder)), ["Daily.dt"])
        self.assertEqual(sorted(check_archive(day_archive(folder, oldest_kept))), ["Daily.dt", "Other.dt"])
        self.assertEqual(check_archive(day_archive(folder, one_too_old)), ["Other.dt"])
        # Emptied of its only entry, an archive is removed.
        self.assertFalse(os.path.exists(day_archive(folder, long_ago)))


class Failures(Scenario):
    platforms = "8.3"

    def test_each_failure_is_recorded_with_its_message(self):
        self.file_infobase("C:\\Bases\\Good", users=("Admin:",))
        self.file_infobase("C:\\Bases\\Failing", FailExit="3")
        self.file_infobase("C:\\Bases\\Empty", NoDump="1")
        self.file_infobase("C:\\Bases\\Zero", Size="0")
        self.file_infobase("C:\\Bases\\Hanging", Hang="1")
        self.file_infobase("C:\\Bases\\LongUser", users=(LONG_USER + ":",))
        self.machine.import_registry({"HKEY_CURRENT_USER\\Software\\Nightshelf": {"DesignerTimeout": "5"}})
        cases = {
            "BadParameters": ("8.3/DumpIBC:\\Archive", "Не верно указаны параметры запуска."),
            "Platform82": ("8.2/FC:\\Bases\\Good/DumpIBC:\\Archive", "Не установлена платформа 1С8."),
            "NoArchiveFolder": ("8.3/FC:\\Bases\\Good/NAdmin/DumpIB", "Не указан путь к каталогу архива."),
            "WrongUser": ("8.3/FC:\\Bases\\Good/NNobody/DumpIBC:\\Archive", "Ошибка соединения с базой."),
            "NoDump": ("8.3/FC:\\Bases\\Empty/NAdmin/DumpIBC:\\Archive", "Ошибка создания выгрузки."),
            "ZeroDump": ("8.3/FC:\\Bases\\Zero/NAdmin/DumpIBC:\\Archive", "Ошибка создания выгрузки."),
            "StaleDump": ("8.3/FC:\\Bases\\Empty/NAdmin/DumpIBC:\\Archive",
                          "Не удалось удалить файл прошлого запуска:"),
            "BadArchiveFolder": ("8.3/FC:\\Bases\\Good/NAdmin/DumpIBQ:\\nowhere", "Ошибка создания архива."),
            "LongArchiveFolder": ("8.3/FC:\\Bases\\Good/NAdmin/DumpIBC:\\" + LONG_FOLDER,
                                  "Слишком длинный путь (больше 259 символов):"),
            "Hanging": ("8.3/FC:\\Bases\\Hanging/NAdmin/DumpIBC:\\Archive",
                        "Конфигуратор не завершил выгрузку за отведённое время и был остановлен."),
            # The user's name alone is longer than a command line may be.
            "DesignerNotStarted": ("8.3/FC:\\Bases\\LongUser/N%s/DumpIBC:\\Archive" % LONG_USER,
                                   "Не удалось запустить конфигуратор."),
        }
        for name, (parameters, _) in cases.items():
            self.machine.add_task(name, parameters, Log="previous run")
        # Failures before the designer writes anything must not leave the
        # previous run's log, which may tell of a success, under "Ошибка".
        self.machine.add_task("BadPassword", "8.3/FC:\\Bases\\Good/NAdmin/PZZ/DumpIBC:\\Archive",
                              Log="Выгрузка успешно завершена")
        self.machine.add_task("DesignerFails", "8.3/FC:\\Bases\\Failing/NAdmin/DumpIBC:\\Archive")
        # Left by a run that was cut off: neither may pass for this run's.
        for stale in ("NoDump.dt", "NoDump.log", "StaleDump.dt"):
            with open(os.path.join(self.machine.temp_folder(), stale), "wb") as leftover:
                leftover.write(b"left by an interrupted run\r\n")
        # One that cannot be deleted stops its task instead of being packed.
        os.chmod(os.path.join(self.machine.temp_folder(), "StaleDump.dt"), 0o444)
        self.run_program("*", timeout=300, exit_code=1)

        bad_password = self.assert_recorded("BadPassword", FAILURE)
        self.assertTrue(bad_password["Log"].startswith("Пароль задания записан неверно"), bad_password)
        # A message that names a path or a reason has them on the lines below it.
        detailed = {"StaleDump": "StaleDump.dt", "BadArchiveFolder": "Q:\\nowhere\\",
                    "LongArchiveFolder": LONG_FOLDER + "\\1C8-",
                    "DesignerNotStarted": ""}  # the system's reason, whatever its words
        for name, (_, message) in cases.items():
            with self.subTest(task=name):
                log = self.assert_recorded(name, FAILURE)["Log"]
                first, _, rest = log.partition("\r\n")
                self.assertEqual(first, message)
                if name in detailed:
                    self.assertIn(detailed[name], rest)
                    self.assertNotEqual(rest.strip(), "")
                else:
                    self.assertEqual(rest, "")
        designer = self.assert_recorded("DesignerFails", FAILURE)
        self.assertTrue(designer["Log"].endswith("\r\n"), designer)  # the designer's own log
        bodies = {body.split("\r\n", 1)[0][len("Протокол выгрузки "):]: body.split("\r\n", 1)[1]
                  for _, body in self.reports()}
        self.assertEqual(bodies["NoDump"], "Ошибка создания выгрузки.")
        self.assertEqual(bodies["BadPassword"], bad_password["Log"])
        self.assertEqual(bodies["DesignerFails"], designer["Log"])
        self.assertEqual(os.listdir(self.machine.path("C:\\Archive")), [])
        # The dump that could not be packed is the only copy of that backup;
        # the stale one could not be deleted.
        self.assert_temporary_files(["BadArchiveFolder.dt", "StaleDump.dt"])


class HandTyped(Scenario):
    """Settings typed into the registry by hand, which the editor would
    have refused or written otherwise."""
    platforms = "8.3"

    def test_names_no_file_can_carry_fail_before_anything_starts(self):
        self.file_infobase("C:\\Bases\\A", users=("Admin:",))
        reasons = {
            "Daily:1": "в нём есть знак «:».",
            "All*": "в нём есть знак «*».",
            "Why?": "в нём есть знак «?».",
            "a|b": "в нём есть знак «|».",
            "<B>": "в нём есть знак «<».",
            '"Q"': "в нём есть знак «\"».",
            "a/b": "в нём есть знак «/».",
            "Tab\tName": "в нём есть управляющий символ (код 9).",
            "Daily.": "оно оканчивается точкой.",
            "Daily ": "оно оканчивается пробелом.",
            "CON": "«CON» — имя устройства Windows.",
            "nul.txt": "«nul» — имя устройства Windows.",
            "com1": "«com1» — имя устройства Windows.",
            "LPT9.Daily": "«LPT9» — имя устройства Windows.",
        }
        # Everything else about them would do, and rotation would be due.
        tasks = {TASK_STORE + "\\" + name: {"": "8.3&/Days3/FC:\\Bases\\A/NAdmin/DumpIBC:\\Archive",
                                            "Log": "previous run"} for name in reasons}
        tasks[TASK_STORE + "\\Good"] = {"": "8.3/FC:\\Bases\\A/NAdmin/DumpIBC:\\Archive"}
        self.machine.import_registry(tasks)
        self.run_program("*", exit_code=1)

        stored = {key.rsplit("\\", 1)[1] for key in self.machine.read_registry() if key.count("\\") == 3}
        self.assertEqual(stored, set(reasons) | {"Good"})
        bodies = {body.split("\r\n", 1)[0][len("Протокол выгрузки "):]: body.split("\r\n", 1)[1]
                  for _, body in self.reports()}
        for name, reason in reasons.items():
            with self.subTest(task=name):
                message = "Наименование задания не годится для имени файла: " + reason
                self.assert_recorded(name, FAILURE, message)
                self.assertEqual(bodies[name], message)
        self.assert_recorded("Good", SUCCESS)
        self.assertEqual(check_archive(today_archive(self.machine.path("C:\\Archive"))), ["Good.dt"])
        self.assert_no_temporary_files()

    def test_a_folder_cut_at_a_slash_is_refused_not_used(self):
        self.file_infobase("C:\\Bases\\A", users=("Admin:",))
        self.machine.add_task("Slash", "8.3&/Days3/FC:\\Bases\\A/NAdmin/DumpIBC:/Archive")
        self.machine.add_task("UNC", "8.3/FC:\\Bases\\A/NAdmin/DumpIB//server/share")
        self.run_program("Slash", "UNC", exit_code=1)
        self.assert_recorded("Slash", FAILURE,
                             "Не верно указаны параметры запуска.\r\nЗначение обрезано знаком «/»: /Archive")
        self.assert_recorded("UNC", FAILURE,
                             "Не верно указаны параметры запуска.\r\nЗначение обрезано знаком «/»: //server/share")
        # Nothing went to the root of the drive, where "C:" would have led.
        self.assertEqual([f for f in os.listdir(self.machine.path("C:\\")) if f.startswith("1C8-")], [])
        self.assert_no_temporary_files()

    def test_a_server_with_a_port_is_dumped_as_a_server_after_its_own_agent_ends_the_sessions(self):
        # The cluster answers only to its server's name, not to this computer's.
        self.state.insert(3, "Server=srv1")
        self.server_infobase("trade", sessions=("1, 1CV8C, localhost:1560", "3, COMConsole, localhost:1560"))
        self.machine.add_task("Торговля", "8.3*/Ssrv1:1641\\trade/NAdmin/DumpIBC:\\Archive")
        self.run_program("Торговля")

        self.assert_recorded("Торговля", SUCCESS)
        self.assertEqual(check_archive(today_archive(self.machine.path("C:\\Archive"))), ["Торговля.dt"])
        sessions = [line for line in self.read_state().splitlines() if line.startswith("Session=")]
        self.assertEqual(sessions, ["Session=3, COMConsole, localhost:1560"])

    def test_a_designer_log_in_unicode_is_recorded_in_windows_1251(self):
        encodings = ("", "UTF-16", "UTF-8-BOM", "UTF-8")
        for encoding in encodings:
            name = encoding or "Plain"
            knobs = {"LogEncoding": encoding} if encoding else {}
            self.file_infobase("C:\\Bases\\" + name, users=("Admin:",), **knobs)
            self.machine.add_task(name, "8.3/FC:\\Bases\\%s/NAdmin/DumpIBC:\\Archive" % name)
        self.run_program("*")

        plain = self.assert_recorded("Plain", SUCCESS)["Log"]
        self.assertIn("Выгрузка информационной базы успешно завершена\r\n", plain)
        bodies = {body.split("\r\n", 1)[0][len("Протокол выгрузки "):]: body.split("\r\n", 1)[1]
                  for _, body in self.reports()}
        for encoding in encodings[1:]:
            with self.subTest(encoding=encoding):
                self.assert_recorded(encoding, SUCCESS, plain)
                self.assertEqual(bodies[encoding], plain)


class Instances(Scenario):
    def test_a_later_start_hands_its_tasks_over(self):
        self.file_infobase("C:\\Bases\\Slow", SlowDump="6000")
        self.file_infobase("C:\\Bases\\Fast")
        self.machine.add_task("Slow", "8.3/FC:\\Bases\\Slow/DumpIBC:\\Archive")
        for name in ("A1", "A10", "A11", "A12"):
            self.machine.add_task(name, "8.3/FC:\\Bases\\Fast/DumpIBC:\\Archive")
        first = self.machine.start(["Slow"])
        # The first instance owns the mutex a moment after its window exists;
        # its dump then takes six seconds more.
        self.machine.wait_for_window("TFormMain")
        self.machine.wait_for_mutex()
        # Twelve arguments: /Param1 must find the first, not the tenth.
        self.assertEqual(self.machine.run(["A%d" % i for i in range(1, 13)], timeout=60), 0)
        self.assertIsNone(first.poll(), "the first instance ended before the hand-over was run")
        # A2 to A9 name no task: the first instance's run reports a failure.
        self.assertEqual(first.wait(timeout=180), 1)

        self.assertEqual([body.split("\r\n")[0] for _, body in self.reports()],
                         ["Протокол выгрузки " + n for n in ("Slow", "A1", "A10", "A11", "A12")])
        self.assertEqual(sorted(check_archive(today_archive(self.machine.path("C:\\Archive")))),
                         ["A1.dt", "A10.dt", "A11.dt", "A12.dt", "Slow.dt"])
        self.assert_no_temporary_files()

    def test_later_starts_in_the_same_moment_all_get_their_tasks_run(self):
        self.file_infobase("C:\\Bases\\Slow", SlowDump="6000")
        self.file_infobase("C:\\Bases\\Fast")
        self.machine.add_task("Slow", "8.3/FC:\\Bases\\Slow/DumpIBC:\\Archive")
        later = ["B%d" % i for i in range(1, 6)]
        for name in later:
            self.machine.add_task(name, "8.3/FC:\\Bases\\Fast/DumpIBC:\\Archive")
        first = self.machine.start(["Slow"])
        self.machine.wait_for_window("TFormMain")
        self.machine.wait_for_mutex()
        # As the scheduler starts every task that is due: all at once.
        starts = [self.machine.start([name]) for name in later]
        self.assertEqual([start.wait(timeout=120) for start in starts], [0] * len(later))
        self.assertEqual(first.wait(timeout=240), 0)
        self.assertEqual(sorted(check_archive(today_archive(self.machine.path("C:\\Archive")))),
                         sorted(n + ".dt" for n in later + ["Slow"]))

    def test_a_hand_over_nobody_takes_ends_with_its_own_exit_code(self):
        # A first instance that never takes a hand-over: only its mutex.
        holder = self.machine.start(["hold", INSTANCE_MUTEX, "40"], program="winprobe.exe")
        self.machine.wait_for_mutex()
        self.machine.add_task("Daily", "8.3/FC:\\Bases\\A/DumpIBC:\\Archive")
        self.run_program("Daily", timeout=90, exit_code=2)
        holder.kill()

    def test_a_later_start_without_arguments_shows_the_hidden_window(self):
        self.file_infobase("C:\\Bases\\Slow", SlowDump="5000")
        self.machine.add_task("Slow", "8.3/FC:\\Bases\\Slow/DumpIBC:\\Archive")
        first = self.machine.start(["Slow"])
        self.machine.wait_for_window("TFormMain")
        self.machine.wait_for_mutex()
        self.assertEqual(self.machine.probe("visible", "TFormMain"), (0, "0"))
        self.assertEqual(self.machine.run([], timeout=60), 0)
        self.wait_until_visible("TFormMain")
        # The report is the run's last step: once it is in, the run is over.
        self.listener.wait_for(1)
        self.assert_recorded("Slow", SUCCESS)
        # Shown, it stays open after the run instead of ending by itself.
        with self.assertRaises(subprocess.TimeoutExpired):
            first.wait(timeout=5)
        first.kill()


class MixedBitness(Scenario):
    """A 64-bit later start hands over to a 32-bit first instance: the shared
    block and the messages must mean the same to both builds."""

    def test_a_64_bit_later_start_hands_over_to_a_32_bit_first_instance(self):
        if os.environ.get("NS_WIN32_RUNS") == "0":
            self.skipTest("this machine cannot run 32-bit programs")
        self.file_infobase("C:\\Bases\\Slow", SlowDump="6000")
        self.file_infobase("C:\\Bases\\Fast")
        self.machine.add_task("Slow", "8.3/FC:\\Bases\\Slow/DumpIBC:\\Archive")
        self.machine.add_task("Later", "8.3/FC:\\Bases\\Fast/DumpIBC:\\Archive")
        win32_bin = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(BIN))), "win32", "bin")
        first = self.machine.start(["Slow"], program=os.path.join(win32_bin, "Nightshelf.exe"))
        self.machine.wait_for_window("TFormMain")
        self.machine.wait_for_mutex()
        self.assertEqual(self.machine.run(["Later"], timeout=60), 0)
        self.assertEqual(first.wait(timeout=180), 0)
        self.assertEqual([body.split("\r\n")[0] for _, body in self.reports()],
                         ["Протокол выгрузки Slow", "Протокол выгрузки Later"])
        self.assertEqual(sorted(check_archive(today_archive(self.machine.path("C:\\Archive")))),
                         ["Later.dt", "Slow.dt"])


class RestoreCheck(Scenario):
    LOADED = "Проверка загрузкой: выгрузка загружена в пустую базу\r\n"

    def setUp(self):
        super().setUp()
        # A dump large enough to hold the stand-in's header and tail blocks.
        self.file_infobase("C:\\Bases\\Склад", users=("Admin:",), Size=200000)

    def test_a_check_after_every_run_is_logged_and_another_day_checks_nothing(self):
        self.machine.add_task("Проверяемая", "8.3/FC:\\Bases\\Склад/NAdmin/DumpIBC:\\Archive", RestoreCheck="*")
        tomorrow = datetime.date.today().isoweekday() % 7 + 1
        self.machine.add_task("Завтра", "8.3&/FC:\\Bases\\Склад/NAdmin/DumpIBC:\\Archive", RestoreCheck=str(tomorrow))
        self.run_program("Проверяемая", "Завтра")

        checked = self.assert_recorded("Проверяемая", SUCCESS)["Log"]
        self.assertTrue(checked.endswith("\r\n" + self.LOADED), repr(checked))
        unchecked = self.assert_recorded("Завтра", SUCCESS)["Log"]
        self.assertNotIn("Проверка загрузкой", unchecked)
        self.assertEqual(sorted(self.listener.wait_for(2)), sorted([
            (self.machine.computer_name(), "Протокол выгрузки Проверяемая\r\n" + checked),
            (self.machine.computer_name(), "Протокол выгрузки Завтра\r\n" + unchecked)]))
        self.assertEqual(check_archive(today_archive(self.machine.path("C:\\Archive"))), ["Проверяемая.dt"])
        # Neither the scratch infobase nor the copied dump is left.
        self.assert_no_temporary_files()
        self.assertEqual([f for f in os.listdir(self.machine.temp_folder()) if ".restore" in f], [])

    def test_a_dump_the_designer_cannot_load_fails_the_run_but_keeps_the_archive(self):
        self.state += ["[Restore]", "FailExit=3"]
        self.write_state()
        self.machine.add_task("Проверяемая", "8.3/FC:\\Bases\\Склад/NAdmin/DumpIBC:\\Archive", RestoreCheck="*")
        self.run_program("Проверяемая", exit_code=1)

        log = self.assert_recorded("Проверяемая", FAILURE)["Log"]
        self.assertIn("\r\nПроверка загрузкой: ошибка\r\n", log)
        self.assertEqual(check_archive(today_archive(self.machine.path("C:\\Archive"))), ["Проверяемая.dt"])
        self.assert_no_temporary_files()


class SecondCopy(Scenario):
    def test_the_archive_is_copied_proven_and_pruned_in_the_copy_folder(self):
        self.file_infobase("C:\\Bases\\Склад", users=("Admin:",))
        copies = self.archive_folder("C:\\Копии")
        # An archive of another day, past the task's retention, in the copy folder.
        old = os.path.join(copies, "1C8-" + (datetime.date.today() - datetime.timedelta(days=30)).strftime("%y%m%d") + ".zip")
        make_archive(old, ["Склад"])
        self.machine.add_task("Склад", "8.3/Days7/FC:\\Bases\\Склад/NAdmin/DumpIBC:\\Archive", CopyFolder="C:\\Копии")
        # Wine keeps no event log but traces each event.
        self.machine.env["WINEDEBUG"] = EVENT_CHANNELS
        self.run_program("Склад")

        log = self.assert_recorded("Склад", SUCCESS)["Log"]
        primary = today_archive(self.machine.path("C:\\Archive"))
        copy = today_archive(copies)
        self.assertEqual(check_archive(primary), ["Склад.dt"])
        self.assertEqual(check_archive(copy), ["Склад.dt"])
        self.assertEqual(open(primary, "rb").read(), open(copy, "rb").read())
        self.assertFalse(os.path.exists(old), "the copy folder was not pruned")
        self.assertEqual([f for f in os.listdir(copies) if f.endswith(".tmp")], [])
        events = traced_events(self.machine.last_error_output())
        self.assertEqual([(e["source"], e["id"], e["strings"][0][0]) for e in events], [("Nightshelf", 1, "Склад")])
        # Wine shows the first part of a long string only.
        text, cut = events[0]["strings"][1]
        self.assertTrue(log.startswith(text) if cut else text == log, text)

    def test_the_window_shows_each_stage_of_the_run(self):
        # A dump and a load slow enough to be seen; the archive proven and copied.
        self.file_infobase("C:\\Bases\\Склад", users=("Admin:",), Size=200000, SlowDump=3000)
        self.state += ["[Restore]", "Slow=3000"]
        self.write_state()
        self.archive_folder("C:\\Копии")
        self.machine.add_task("Склад", "8.3/FC:\\Bases\\Склад/NAdmin/DumpIBC:\\Archive", CopyFolder="C:\\Копии",
                              RestoreCheck="*")
        # A window that stays open, as an administrator's, is handed the task
        # by a later start; it clears the stage once the run is over.
        program = self.machine.start([])
        self.machine.wait_for_window("TFormMain")
        watcher = self.machine.start(["watch-status", "TFormMain", "1", "120", "C:\\e2e\\stages.txt"],
                                     program="winprobe.exe")
        time.sleep(1)
        self.assertEqual(self.machine.run(["Склад"]), 0)
        self.assertEqual(watcher.wait(timeout=150), 0)
        with open(self.machine.path("C:\\e2e\\stages.txt"), "rb") as f:
            seen = f.read().decode("cp1251")
        self.assertEqual(self.machine.probe("close", "TFormMain")[0], 0)
        self.assertEqual(program.wait(timeout=60), 0)

        self.assert_recorded("Склад", SUCCESS)
        stages = seen.split("\n")[:-1]
        self.assertIn("Склад: выгрузка…", stages)
        self.assertIn("Склад: проверка загрузкой…", stages)
        self.assertEqual(stages[-1], "", "the stage stayed after the run")

        # In this order; the quick ones (packing a small dump, copying it) may
        # come and go between two looks.
        def rank(position, stage):
            if stage == "":
                return 0 if position == 0 else 9
            packing = re.fullmatch(r"Склад: упаковка (\d+) %", stage)
            if packing:
                return 2 + int(packing.group(1)) / 100
            return {"Склад: выгрузка…": 1, "Склад: проверка архива…": 4, "Склад: проверка загрузкой…": 5,
                    "Склад: копирование…": 6}[stage]
        ranks = [rank(position, stage) for position, stage in enumerate(stages)]
        self.assertEqual(ranks, sorted(ranks), stages)

    def test_a_copy_that_fails_fails_the_run_and_says_the_primary_archive_is_sound(self):
        self.file_infobase("C:\\Bases\\Склад", users=("Admin:",))
        self.machine.add_task("Склад", "8.3/FC:\\Bases\\Склад/NAdmin/DumpIBC:\\Archive", CopyFolder="C:\\Нет такой")
        self.run_program("Склад", exit_code=1)

        log = self.assert_recorded("Склад", FAILURE)["Log"]
        primary = today_archive(self.machine.path("C:\\Archive"))
        self.assertIn("\r\nНе удалось скопировать архив в C:\\Нет такой:\r\nкаталог C:\\Нет такой не найден\r\n"
                      "Основной архив записан и проверен: C:\\Archive\\" + os.path.basename(primary) + "\r\n", log)
        self.assertEqual(check_archive(primary), ["Склад.dt"])
        self.assert_no_temporary_files()


class Editor(Scenario):
    def probe(self, *args):
        self.assertEqual(self.machine.probe(*args)[0], 0, args)

    def test_a_task_made_in_the_editor_runs_as_the_scheduler_starts_it(self):
        self.file_infobase("C:\\Bases\\Склад", users=("Кладовщик:пароль",))
        self.archive_folder("C:\\Архив")
        program = self.machine.start([])
        self.machine.wait_for_window("TFormMain")
        self.probe("click", "TFormMain", "Новое задание")
        # Typed as an administrator would, Enter moving from field to field:
        # name, (version), address, user, (Монопольно), password, archive
        # folder, (copy folder), (restore check), (name in the archive), days.
        self.probe("type", "TFormTaskEdit",
                   "Склад||C:\\Bases\\Склад|Кладовщик||пароль|C:\\Архив||||7")
        self.probe("click", "TFormTaskEdit", "Да")
        # Saved once the task's key holds its launch parameters.
        deadline = time.monotonic() + 60
        while not self.machine.task_values("Склад").get(""):
            self.assertLess(time.monotonic(), deadline, "the editor saved nothing")
            time.sleep(0.2)
        self.probe("close", "TFormMain")
        self.assertEqual(program.wait(timeout=60), 0)

        stored = self.machine.task_values("Склад")
        # 8.3 is installed, so a new task is for 8.3; the password is stored
        # scrambled, two hexadecimal digits per byte and one pair more.
        self.assertRegex(stored.get(""), r"^8\.3/Days7/FC:\\Bases\\Склад/NКладовщик/P[0-9A-F]{14}/DumpIBC:\\Архив$")

        self.run_program("Склад")
        self.assertEqual(check_archive(today_archive(self.machine.path("C:\\Архив"))), ["Склад.dt"])
        self.assert_recorded("Склад", SUCCESS)


class NoPlatform(Scenario):
    platforms = ""

    def test_without_a_platform_the_program_says_so_and_ends(self):
        self.machine.add_task("Daily", "8.3/FC:\\Bases\\A/DumpIBC:\\Archive")
        # A person's start (a scheduled one shows no box: test_schedule.py).
        program = self.machine.start([])
        self.assertEqual(self.machine.probe("box", "Nightshelf", "30"),
                         (0, "Не установлена система 1С:Предприятие 8.x"))
        self.assertEqual(program.wait(timeout=30), 0)
        # Read once: the task is there as it was, and nothing was recorded.
        values = self.machine.task_values("Daily")
        self.assertEqual(values.get(""), "8.3/FC:\\Bases\\A/DumpIBC:\\Archive")
        self.assertNotIn("State", values)


if __name__ == "__main__":
    suite_verdict.main()
