"""The demo's scenario; run by scripts/demo after the build."""

import datetime
import os
import sys
import zipfile

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "e2e"))
from machine import Machine, ReportListener, TASK_STORE  # noqa: E402


def write_cp1251(path, lines):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write("\r\n".join(lines + [""]).encode("cp1251"))


def main():
    print("demo: preparing a Wine prefix with the stand-in platform 8.2 and 8.3")
    machine = Machine("demo", "win64", os.environ["NS_BIN_DIR"], "8.2,8.3")
    listener = ReportListener()
    try:
        # A file infobase of the accounts department, whose backup is proven
        # after every run by loading it into a scratch infobase, and a server
        # infobase of the shop with three open sessions, one of them the
        # cluster console, which an exclusive dump leaves alone.
        base = machine.path("C:\\Базы\\Бухгалтерия")
        with_data = os.path.join(base, "1Cv8.1CD")
        write_cp1251(with_data, ["demo infobase"])
        write_cp1251(os.path.join(base, "standin.ini"), ["[Infobase]", "User=Бухгалтер:", "Size=48M"])
        write_cp1251(machine.path("C:\\standin\\state.ini"), [
            "[Cluster]", "Name=Local cluster", "Port=1541",
            "[Process]", "Host=localhost", "Port=1560",
            "[Process]", "Host=srv1", "Port=1561",
            "[Infobase]", "Name=trade", "User=Admin:", "Size=64M",
            "Session=1, 1CV8C, localhost:1560", "Session=2, BackgroundJob, srv1:1561",
            "Session=3, COMConsole, localhost:1560"])
        # Packing writes into the archive folder but does not create it.
        os.makedirs(machine.path("C:\\Backup"), exist_ok=True)
        machine.set_servers("127.0.0.1")
        machine.add_task("Бухгалтерия", "8.3/Days14/FC:\\Базы\\Бухгалтерия/NБухгалтер/DumpIBC:\\Backup",
                         RestoreCheck="*")
        machine.add_task("Торговля", "8.3*/Days14/Ssrv1\\trade/NAdmin/DumpIBC:\\Backup")

        print("demo: running  Nightshelf.exe *  as the task scheduler would")
        code = machine.run(["*"], timeout=600)
        print("demo: Nightshelf.exe ended with exit code", code)

        archive = machine.path("C:\\Backup\\1C8-" + datetime.date.today().strftime("%y%m%d") + ".zip")
        print("\nArchive C:\\Backup\\%s" % os.path.basename(archive))
        with zipfile.ZipFile(archive) as z:
            for info in z.infolist():
                # Names are stored in the OEM code page (866); zipfile reads them as 437.
                name = info.filename.encode("cp437").decode("cp866")
                print("  %-16s %12d bytes -> %12d packed  CRC %08X" %
                      (name, info.file_size, info.compress_size, info.CRC))
            print("  integrity:", "ok" if z.testzip() is None else "DAMAGED")

        registry = machine.read_registry()
        for task in ("Бухгалтерия", "Торговля"):
            values = registry.get(TASK_STORE + "\\" + task, {})
            print("\nTask %s: State=%s  StateDateTime=%s" % (task, values.get("State"), values.get("StateDateTime")))
            for line in values.get("Log", "").splitlines():
                print("  | " + line)

        print("\nReports received on 127.0.0.1:800")
        for sender, body in listener.reports():
            print("  from %s:" % sender)
            for line in body.splitlines():
                print("  | " + line)
        sessions = [l for l in open(machine.path("C:\\standin\\state.ini"), encoding="cp1251").read().splitlines()
                    if l.startswith("Session=")]
        print("\nSessions left on the server infobase:", ", ".join(sessions) or "none")
        print("\nThe prefix stays in %s: WINEPREFIX=%s wine %s" %
              (machine.prefix, machine.prefix, os.path.join(os.environ["NS_BIN_DIR"], "Nightshelf.exe")))
        ok = all(registry.get(TASK_STORE + "\\" + t, {}).get("State") == "Успех" for t in ("Бухгалтерия", "Торговля"))
        return 0 if ok and code == 0 else 1
    finally:
        listener.close()
        machine.close(keep=True)


if __name__ == "__main__":
    sys.exit(main())
