"""The installer and its uninstaller, run silently under Wine as a deployment
tool runs them, one prefix per kind of machine: which build lands in which
folder for each registered platform bitness, the shortcut, the entry in
"Programs and Features", the scheduled task, the event source of the runs'
outcomes, and what uninstalling leaves.

Wine keeps only part of a registered task (no trigger, no action, no
principal), so the definition handed to the Task Scheduler is checked in the
file the installer registers, and Wine's copy shows that it was registered.

On a machine that runs no 32-bit programs the shipped installer (a 32-bit
program, so that it starts on every Windows) cannot run; the cases that use a
64-bit Windows then run an x64 build of the same script, the 32-bit platform
is registered by writing its keys into the 32-bit registry view, and the
32-bit Windows case is skipped."""

import fcntl
import os
import re
import struct
import subprocess
import sys
import time
import unittest
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))
sys.path[:0] = [os.path.join(ROOT, "tests", "e2e"), os.path.join(ROOT, "tests")]
import suite_verdict  # noqa: E402
from machine import Machine  # noqa: E402

BIN = os.environ["NS_BIN_DIR"]
INSTALLER = os.environ["NS_INSTALLER"]
VERSION = os.environ["NS_VERSION"]
WIN32_RUNS = os.environ.get("NS_WIN32_RUNS") != "0"
CONNECTOR_PROGID = "V83.COMConnector"
CONNECTOR_CLSID = "{ACB1DF7F-15D3-48C2-94A3-0CB2CC17A5DB}"

UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Nightshelf"
EVENT_SOURCE_KEY = r"HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\EventLog\Application\Nightshelf"
SHORTCUT = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Nightshelf.lnk"
TASK_NAMESPACE = {"t": "http://schemas.microsoft.com/windows/2004/02/mit/task"}
OTHER = {32: 64, 64: 32}
ABORTED = 2  # what an NSIS installer returns when it stops on its own


def pe_bitness(path):
    """32 or 64, from the machine field of a Windows executable's header."""
    with open(path, "rb") as f:
        image = f.read(4096)
    header = struct.unpack_from("<I", image, 0x3C)[0]
    assert image[header:header + 4] == b"PE\0\0", path
    return {0x14C: 32, 0x8664: 64}[struct.unpack_from("<H", image, header + 4)[0]]


def folder(arch, bitness):
    """Where the program of this bitness belongs on Windows of this arch."""
    return "C:\\Program Files (x86)\\Nightshelf" if arch == "win64" and bitness == 32 \
        else "C:\\Program Files\\Nightshelf"


class InstallerCase(unittest.TestCase):
    arch = "win64"
    platform = None  # bitness of the stand-in platform: "win32", "win64", "both" or None

    @classmethod
    def setUpClass(cls):
        global INSTALLER
        if not os.path.exists(INSTALLER):
            raise AssertionError(INSTALLER + " is not built: scripts/build makes it with both Windows builds")
        if not WIN32_RUNS:
            INSTALLER = x64_variant(INSTALLER)

    def setUp(self):
        self.machine = Machine("installer-" + type(self).__name__, self.arch, BIN, platforms="")
        if self.platform:
            self.install_platform()

    def install_platform(self):
        if not WIN32_RUNS and self.platform != "win64":
            self.register_32_bit_connector()
            if self.platform == "win32":
                return
        args = [os.path.join(ROOT, "standin", "install"), self.machine.prefix,
                "--platform", "8.3", "--arch", self.arch]
        if self.platform != "both":
            args += ["--bitness", self.platform if WIN32_RUNS else "win64"]
        # The stand-in's installer waits for the prefix's Wine server to end,
        # which the machine keeps running.
        self.machine.restart_server(lambda: subprocess.run(args, check=True))

    def register_32_bit_connector(self):
        """The keys the 32-bit platform's registration leaves in the 32-bit
        view, written directly where its registration cannot run."""
        server = "C:\\Program Files (x86)\\1cv8\\8.3\\bin\\comcntr.dll"
        for key, value in ((CONNECTOR_PROGID + "\\CLSID", CONNECTOR_CLSID),
                           ("CLSID\\" + CONNECTOR_CLSID + "\\InprocServer32", server)):
            subprocess.run(["wine", "reg", "add", "HKEY_CLASSES_ROOT\\" + key, "/ve", "/d", value,
                            "/reg:32", "/f"], env=self.machine.env, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def tearDown(self):
        result = self._outcome.result
        failed = any(test is self for test, _ in result.failures + result.errors)
        self.machine.close(keep=failed)

    # -- acting as the administrator ---------------------------------------

    def install(self, *switches):
        command = ["wine", INSTALLER, "/S"] + list(switches)
        with open(self.machine.path("C:\\e2e\\setup.log"), "wb") as log:
            return subprocess.run(command, env=self.machine.env, stdin=subprocess.DEVNULL,
                                  stdout=log, stderr=log, timeout=120).returncode

    def uninstall(self):
        """Runs the entry's quiet uninstall command. The uninstaller copies
        itself away and returns at once, so its work is awaited."""
        command = self.uninstall_entry()["QuietUninstallString"]
        program, switch = command.rsplit(" ", 1)
        self.assertEqual(switch, "/S")
        subprocess.run(["wine", program.strip('"'), switch], env=self.machine.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=120)
        deadline = time.monotonic() + 60
        while self.uninstall_entry() and time.monotonic() < deadline:
            time.sleep(0.5)

    def add_backup_task(self, home):
        """A task in the registry whose archive folder lies inside the
        program's folder, as an administrator may have made it."""
        archives = home + "\\Архив"
        os.makedirs(self.machine.path(archives))
        self.archive = archives + "\\1C8-261210.zip"
        with open(self.machine.path(self.archive), "wb") as f:
            f.write(b"PK\x05\x06" + bytes(18))
        self.launch_parameters = "8.3/FC:\\Bases\\A/DumpIB" + archives
        self.machine.add_task("Daily", self.launch_parameters, State="Успех")

    # -- what is on the machine --------------------------------------------

    def exists(self, windows_path):
        return os.path.exists(self.machine.path(windows_path))

    def uninstall_entry(self):
        view = "Wow6432Node\\" if self.arch == "win64" else ""
        key = "HKEY_LOCAL_MACHINE\\Software\\" + view + UNINSTALL_KEY[len("Software\\"):]
        return self.machine.read_registry(key).get(key, {})

    def event_source(self):
        """The values of the event source's key, each with its registry type
        ("sz", "expand_sz" or "dword"), as regedit exports them; empty when
        the key is missing."""
        export = "C:\\e2e\\event-source.reg"
        path = self.machine.path(export)
        if os.path.exists(path):
            os.remove(path)
        subprocess.run(["wine", "regedit", "/E", export, EVENT_SOURCE_KEY], env=self.machine.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not os.path.exists(path):
            return {}
        with open(path, "rb") as f:
            text = f.read().decode("utf-16")
        values = {}
        for line in text.replace("\\\r\n  ", "").splitlines():
            match = re.match(r'^"([^"]*)"=(.*)$', line)
            if not match:
                continue
            name, data = match.groups()
            if data.startswith("hex(2):"):
                raw = bytes(int(b, 16) for b in data[len("hex(2):"):].split(",") if b)
                values[name] = ("expand_sz", raw.decode("utf-16-le").rstrip("\0"))
            elif data.startswith("dword:"):
                values[name] = ("dword", int(data[len("dword:"):], 16))
            elif data.startswith('"'):
                values[name] = ("sz", data[1:-1])
            else:
                values[name] = ("other", data)
        return values

    def scheduled_task(self):
        """Wine's copy of the registered task, or None."""
        path = self.machine.path("C:\\windows\\system32\\tasks\\Nightshelf")
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read().decode("utf-8-sig")

    def assert_installed(self, bitness, scheduled=True):
        home = folder(self.arch, bitness)
        self.assertEqual(pe_bitness(self.machine.path(home + "\\Nightshelf.exe")), bitness)
        if self.arch == "win64":
            self.assertFalse(self.exists(folder(self.arch, OTHER[bitness])), "the other bitness is installed too")

        with open(self.machine.path(SHORTCUT), "rb") as f:
            link = f.read()
        target = home + "\\Nightshelf.exe"
        self.assertTrue(target.encode("utf-16-le") in link or target.encode("cp1251") in link,
                        "the shortcut does not lead to " + target)

        entry = self.uninstall_entry()
        self.assertEqual(entry.get("DisplayName"), "Nightshelf")
        self.assertEqual(entry.get("DisplayVersion"), VERSION)
        self.assertEqual(entry.get("InstallLocation"), home)
        self.assertEqual(entry.get("UninstallString"), '"%s\\Uninstall.exe"' % home)
        self.assertEqual(entry.get("QuietUninstallString"), '"%s\\Uninstall.exe" /S' % home)
        self.assertTrue(self.exists(home + "\\Uninstall.exe"))

        # Event Viewer finds the texts of the outcome events in the installed
        # program; the path may hold environment variables.
        self.assertEqual(self.event_source(), {"EventMessageFile": ("expand_sz", home + "\\Nightshelf.exe"),
                                               "TypesSupported": ("dword", 7)})

        if scheduled:
            self.assert_schedule(home)
        else:
            self.assertIsNone(self.scheduled_task())
            self.assertFalse(self.exists(home + "\\schedule.xml"))

    def assert_schedule(self, home):
        task = ET.parse(self.machine.path(home + "\\schedule.xml")).getroot()

        def text(path):
            return task.findtext("/".join("t:" + step for step in path.split("/")), namespaces=TASK_NAMESPACE)

        self.assertTrue(text("Triggers/CalendarTrigger/StartBoundary").endswith("T02:00:00"))
        self.assertEqual(text("Triggers/CalendarTrigger/ScheduleByDay/DaysInterval"), "1")
        self.assertEqual(text("Actions/Exec/Command"), '"%s\\Nightshelf.exe"' % home)
        self.assertEqual(text("Actions/Exec/Arguments"), "*")
        self.assertEqual(text("Principals/Principal/LogonType"), "InteractiveToken")
        user = subprocess.run(["wine", "cmd", "/c", "echo %USERNAME%"], env=self.machine.env,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode().strip()
        self.assertTrue(text("Principals/Principal/UserId").endswith("\\" + user))

        registered = self.scheduled_task()
        self.assertIsNotNone(registered, "no task registered with the Task Scheduler")
        self.assertIn("<Description>%s</Description>" % text("RegistrationInfo/Description"), registered)
        self.assertIn("<StartWhenAvailable>true</StartWhenAvailable>", registered)
        # A start while an earlier one lives runs beside it and hands its
        # tasks over; skipping it would lose the night to a window left open
        # or a message box. Nothing ends the run but the designer's own limit.
        self.assertEqual(text("Settings/MultipleInstancesPolicy"), "Parallel")
        self.assertEqual(text("Settings/ExecutionTimeLimit"), "PT0S")
        # (Wine's copy always says IgnoreNew: it does not keep the policy.)
        self.assertIn("<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>", registered)

    def assert_removed_keeping_tasks_and_archives(self, bitness):
        home = folder(self.arch, bitness)
        for leftover in (home + "\\Nightshelf.exe", home + "\\Uninstall.exe", home + "\\schedule.xml", SHORTCUT):
            self.assertFalse(self.exists(leftover), leftover + " is left")
        self.assertEqual(self.uninstall_entry(), {})
        self.assertIsNone(self.scheduled_task())
        self.assertEqual(self.event_source(), {})
        self.assertTrue(self.exists(self.archive), "the archive went with the program")
        task = self.machine.task_values("Daily")
        self.assertEqual((task.get(""), task.get("State")), (self.launch_parameters, "Успех"))

    def assert_nothing_installed(self):
        for bitness in (32, 64):
            self.assertFalse(self.exists(folder(self.arch, bitness)))
        self.assertFalse(self.exists(SHORTCUT))
        self.assertEqual(self.uninstall_entry(), {})
        self.assertIsNone(self.scheduled_task())
        self.assertEqual(self.event_source(), {})


class Platform64(InstallerCase):
    platform = "win64"

    def test_installs_the_x64_program_and_uninstalls_it_keeping_tasks_and_archives(self):
        self.assertEqual(self.install(), 0)
        self.assert_installed(64)
        self.add_backup_task(folder(self.arch, 64))
        self.uninstall()
        self.assert_removed_keeping_tasks_and_archives(64)


class Platform32(InstallerCase):
    platform = "win32"

    def test_installs_the_x86_program_into_the_32_bit_folder_without_a_schedule(self):
        self.assertEqual(self.install("/NOSCHEDULE"), 0)
        self.assert_installed(32, scheduled=False)


class BothPlatforms(InstallerCase):
    platform = "both"

    def test_x64_by_default_and_x86_on_request_replacing_the_first(self):
        self.assertEqual(self.install(), 0)
        self.assert_installed(64)
        self.assertEqual(self.install("/X86"), 0)
        self.assert_installed(32)


class NoPlatform(InstallerCase):
    platform = None

    def test_says_the_platform_is_needed_and_installs_nothing_unless_forced(self):
        self.assertEqual(self.install(), ABORTED)
        self.assert_nothing_installed()

        wizard = subprocess.Popen(["wine", INSTALLER], env=self.machine.env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertEqual(self.machine.probe("box", "Установка Nightshelf", "60"),
                         (0, "Nightshelf работает только вместе с платформой 1С:Предприятие 8.2 или 8.3, "
                             "а её COM-соединитель на этом компьютере не зарегистрирован.\r\n\r\n"
                             "Установите сначала платформу. Установить Nightshelf всё равно?"))
        # The box's first button insists; the wizard that follows is left.
        self.machine.restart_server(lambda: wizard.wait(timeout=30))

        self.assertEqual(self.install("/FORCE"), 0)
        self.assert_installed(64)


class Windows32(InstallerCase):
    arch = "win32"
    platform = "win32"

    def test_installs_the_x86_program_and_uninstalls_it_keeping_tasks_and_archives(self):
        self.assertEqual(self.install(), 0)
        self.assert_installed(32)
        self.add_backup_task(folder(self.arch, 32))
        self.uninstall()
        self.assert_removed_keeping_tasks_and_archives(32)


def x64_variant(installer):
    """The same script built for x64 beside `installer`, made once for all
    cases (the lock keeps cases run at once from building it together)."""
    build = os.path.dirname(os.path.dirname(installer))
    variant = os.path.join(build, "installer", "test-x64", os.path.basename(installer))
    os.makedirs(os.path.dirname(variant), exist_ok=True)
    with open(variant + ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(variant) or os.path.getmtime(variant) < os.path.getmtime(installer):
            subprocess.run([os.path.join(ROOT, "installer", "build"), build, "-XTarget amd64-unicode"],
                           env=dict(os.environ, NS_INSTALLER_OUT=variant), check=True,
                           stdout=subprocess.DEVNULL)
    return variant


if __name__ == "__main__":
    if not WIN32_RUNS and sys.argv[1:] == ["Windows32"]:
        print("skipped: this machine cannot run 32-bit programs, and a 32-bit Windows runs nothing else")
        sys.exit(suite_verdict.SKIPPED)
    suite_verdict.main()
