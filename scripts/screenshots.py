"""The pictures of scripts/screenshots: screenshots.py OUTPUT_FOLDER."""

import os
import subprocess
import sys
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "e2e"))
from machine import Machine  # noqa: E402

DESKTOP = "1024x768"
# Room around the main window, for the frame's shadow and a box that hangs
# over its edge.
MARGIN = 24


def write_cp1251(path, lines):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write("\r\n".join(lines + [""]).encode("cp1251"))


def probe(machine, *args):
    code, text = machine.probe(*args)
    if code != 0:
        raise RuntimeError("winprobe %s failed" % " ".join(args))
    return text


def snapshot(machine, folder, name):
    """The part of the desktop around the main window, as a PNG."""
    left, top, width, height = (int(v) for v in probe(machine, "rect", "TFormMain").split())
    x, y = max(left - MARGIN, 0), max(top - MARGIN, 0)
    w, h = width + 2 * MARGIN, height + 2 * MARGIN
    time.sleep(1.5)  # let the window finish drawing
    path = os.path.join(folder, name + ".png")
    subprocess.run(["import", "-display", os.environ["DISPLAY"], "-window", "root",
                    "-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage", path], check=True)
    print("screenshots: " + path)


def wait_for_box(machine):
    machine.run(["window", "#32770", "20"], program="winprobe.exe", timeout=60)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    machine = Machine("screenshots", "win64", os.environ["NS_BIN_DIR"], "8.3")
    program = None
    try:
        machine.set_servers("buh-pc; director")
        machine.add_task("Бухгалтерия", "8.3&/Days14/FC:\\Базы\\Бухгалтерия/NБухгалтер/P5A1B2C/DumpIBD:\\Архив",
                         StateDateTime="09.12.2026 03:00:41", State="Успех",
                         Log="09.12.2026 3:00:02 Выгрузка информационной базы начата\r\n"
                             "09.12.2026 3:00:39 Выгрузка информационной базы успешно завершена\r\n")
        machine.add_task("Торговля", "8.3*/Days7/Ssrv1\\trade/NAdmin/DumpIBD:\\Архив",
                         StateDateTime="09.12.2026 03:05:12", State="Ошибка", Log="Ошибка соединения с базой.")
        machine.add_task("Склад", "8.3/FC:\\Базы\\Склад/DumpIBC:\\Копии")
        # Its dump takes a minute, long enough to be seen running.
        write_cp1251(machine.path("C:\\Базы\\Склад\\1Cv8.1CD"), ["infobase"])
        write_cp1251(machine.path("C:\\Базы\\Склад\\standin.ini"), ["[Infobase]", "SlowDump=60000"])
        os.makedirs(machine.path("C:\\Копии"), exist_ok=True)

        # Every program of the prefix, the probe included, runs in one
        # virtual desktop, which draws frames and captions as Windows does.
        machine.import_registry({"HKEY_CURRENT_USER\\Software\\Wine\\Explorer": {"Desktop": "Default"},
                                 "HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops": {"Default": DESKTOP}})
        # The desktop of the import itself was made before the setting
        # existed: a new server makes a new one that follows it.
        machine.restart_server()
        program = machine.start([])
        machine.wait_for_window("TFormMain")
        time.sleep(2)

        # The pointer rests in a corner, away from buttons and their tooltips.
        probe(machine, "mouse", "1000", "750")
        probe(machine, "select", "TFormMain", "0")
        snapshot(machine, folder, "main-window")

        probe(machine, "click", "TFormMain", "Опции")
        machine.wait_for_window("TFormOptions")
        snapshot(machine, folder, "options")
        probe(machine, "click", "TFormOptions", "Нет")

        # The task editor for a new task, then for the selected one.
        for button, name in (("Новое задание", "editor-new"), ("Изменить задание", "editor-existing")):
            probe(machine, "click", "TFormMain", button)
            probe(machine, "type", "TFormTaskEdit", "")
            snapshot(machine, folder, name)
            probe(machine, "click", "TFormTaskEdit", "Нет")
            time.sleep(1)

        probe(machine, "click", "TFormMain", "Удалить задание")
        wait_for_box(machine)
        snapshot(machine, folder, "delete-confirmation")
        probe(machine, "answer", "Nightshelf", "10", "7")

        probe(machine, "click", "TFormMain", "Информация")
        wait_for_box(machine)
        snapshot(machine, folder, "about")
        probe(machine, "box", "О программе", "10")

        # A later start hands "Склад" over: the status bar tells its stage.
        machine.start(["Склад"])
        time.sleep(8)
        snapshot(machine, folder, "main-window-running")
    finally:
        if program:
            program.kill()
        machine.close()


if __name__ == "__main__":
    main()
