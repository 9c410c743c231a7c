"""The pictures of scripts/screenshots: the program started without
arguments in a Wine virtual desktop, one task stored, and each window
opened as the administrator opens it."""

import os
import subprocess
import sys
import time

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(root, "tests", "e2e"))
from machine import Machine  # noqa: E402

# (picture, button of the main window that opens it, class of the window)
PICTURES = [
    ("editor-new.png", "Новое задание", "TFormTaskEdit"),
    ("editor-existing.png", "Изменить задание", "TFormTaskEdit"),
]


def main(out):
    machine = Machine("screenshots", os.environ["NS_WINE_ARCH"], os.environ["NS_BIN_DIR"], "8.2,8.3")
    try:
        machine.add_task("Бухгалтерия", "8.3&/Days14/FC:\\Базы\\Бухгалтерия/NБухгалтер/DumpIBC:\\Backup")
        # Every program of the prefix runs in one virtual desktop, which draws
        # frames and captions; winprobe must share it to see the windows.
        machine.import_registry({
            "HKEY_CURRENT_USER\\Software\\Wine\\Explorer": {"Desktop": "Default"},
            "HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops": {"Default": "1024x768"},
        })
        # The desktop is chosen when the first program starts: the one
        # that imported the settings above ran without it.
        for step in (["-k"], ["-w"], ["-p"]):
            subprocess.run(["wineserver"] + step, env=machine.env, stderr=subprocess.DEVNULL)
        program = machine.start([])
        machine.wait_for_window("TFormMain")
        time.sleep(2)

        def probe(*args):
            code = machine.run(list(args), timeout=60, program="winprobe.exe")
            if code != 0:
                raise RuntimeError("winprobe %s failed" % " ".join(args))

        for picture, button, window in PICTURES:
            probe("click", "TFormMain", button)
            # Typing nothing waits until the window is shown with its focus set.
            probe("type", window, "")
            time.sleep(1)
            path = os.path.join(out, picture)
            subprocess.run(["import", "-window", "root", path], env=machine.env, check=True)
            print("screenshots:", path)
            probe("click", window, "Нет")
            time.sleep(1)
        probe("close", "TFormMain")
        program.wait(timeout=60)
    finally:
        machine.close()


if __name__ == "__main__":
    main(sys.argv[1])
