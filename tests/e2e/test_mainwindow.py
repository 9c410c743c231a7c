"""The main window of the real Nightshelf.exe, driven from another process
as an automation tool would: find its windows, read the list and the status
bar across the process boundary, press a button and answer the box."""

import os
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.dirname(HERE)]
import suite_verdict  # noqa: E402
from machine import Machine  # noqa: E402

ARCH = os.environ.get("NS_WINE_ARCH", "win64")
BIN = os.environ.get("NS_BIN_DIR", os.path.join(os.path.dirname(__file__), "..", "..", "build", ARCH, "bin"))
TASKS = "HKEY_CURRENT_USER\\Software\\Nightshelf\\"


class MainWindow(unittest.TestCase):
    def setUp(self):
        self.machine = Machine(self.id().split(".")[-1], ARCH, BIN, "8.3")

    def tearDown(self):
        result = self._outcome.result
        failed = any(test is self for test, _ in result.failures + result.errors)
        self.machine.close(keep=failed)

    def probe(self, *args):
        code, text = self.machine.probe(*args)
        self.assertEqual(code, 0, args)
        return text

    def shown_list(self):
        """Rows as lists of cells, the selected row and the status bar text."""
        lines = self.probe("list", "TFormMain").split("\n")
        rows = [line.split("\t") for line in lines[:-2]]
        return rows, int(lines[-2][len("selected="):]), lines[-1]

    def wait_for_list(self, rows, seconds=30):
        for _ in range(seconds * 4):
            shown = self.shown_list()
            if len(shown[0]) == rows:
                return shown
            time.sleep(0.25)
        self.fail("the list never showed %d rows: %r" % (rows, shown))

    def test_an_administrator_deletes_a_task_from_the_window(self):
        self.machine.add_task("Ежедневно", "8.3/FC:\\Bases\\A/DumpIBC:\\Архив",
                              StateDateTime="09.12.2026 03:00:12", State="Успех", Log="Выгрузка завершена")
        self.machine.add_task("Еженедельно", "8.3&/Days30/FC:\\Bases\\B/DumpIBC:\\Архив",
                              StateDateTime="06.12.2026 04:00:00", State="Ошибка", Log="Ошибка соединения с базой.")
        self.machine.add_task("Новое", "8.3/Ssrv\\buh/NАдмин/DumpIBC:\\Архив")
        program = self.machine.start([])
        self.machine.wait_for_window("TFormMain")

        rows, selected, total = self.wait_for_list(3)
        self.assertEqual(rows, [
            ["Ежедневно", "8.3/FC:\\Bases\\A/DumpIBC:\\Архив", "09.12.2026 03:00:12", "Успех"],
            ["Еженедельно", "8.3&/Days30/FC:\\Bases\\B/DumpIBC:\\Архив", "06.12.2026 04:00:00", "Ошибка"],
            ["Новое", "8.3/Ssrv\\buh/NАдмин/DumpIBC:\\Архив", "", ""]])
        self.assertEqual((selected, total), (0, "Всего: 3"))

        self.probe("select", "TFormMain", "1")
        self.probe("click", "TFormMain", "Удалить задание")
        self.assertEqual(self.probe("answer", "Nightshelf", "30", "6"), "Удалить задание Еженедельно?")

        rows, selected, total = self.wait_for_list(2)
        self.assertEqual([row[0] for row in rows], ["Ежедневно", "Новое"])
        self.assertEqual((selected, total), (1, "Всего: 2"))
        self.assertNotIn(TASKS + "Еженедельно", self.machine.read_registry())
        self.assertIn(TASKS + "Новое", self.machine.read_registry())

        # Idle, the window's close box ends the program.
        self.probe("click", "TFormMain", "Информация")
        self.assertTrue(self.probe("box", "О программе", "30").startswith("Nightshelf, версия "))
        self.probe("close", "TFormMain")
        self.assertEqual(program.wait(timeout=30), 0)


if __name__ == "__main__":
    suite_verdict.main()
