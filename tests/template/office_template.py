"""The office opens the template workbook the way the build does: written to
disk as template.xlt, loaded hidden and read-only in a private office. It
shows the one sheet with its labels and the empty, styled row 6; a date in
D6, or in a copy of row 6, shows in the short month/day/year form; the
office saves the filled-in sheet as a 97-2003 workbook that keeps the sheet
and its styles (read back with xlrd).

    python3 office_template.py TEMPLATE.xls

Each run starts its own office with its own profile in a scratch folder and
ends it; no office process outlives the run.
"""

import ctypes
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

import uno
import xlrd
from com.sun.star.beans import PropertyValue
from com.sun.star.connection import NoConnectException
from com.sun.star.lang import DisposedException
from com.sun.star.sheet.CellInsertMode import ROWS as INSERT_ROWS
from com.sun.star.table import CellAddress, CellRangeAddress
from com.sun.star.table.CellContentType import EMPTY as CELL_EMPTY

TEMPLATE = None  # path, from the command line

HEADER_FILL = 0x4A4A6E
WHITE = 0xFFFFFF
BOLD = 150.0  # com.sun.star.awt.FontWeight.BOLD
DEC_24_2026 = 46380  # date serial: days since 1899-12-30

LABELS = {
    "B1": "To-do list", "F1": "To be completed by:", "G1": "Name",
    "F2": "Deadline:", "G2": "Date",
    "B5": "Done?", "C5": "Project", "D5": "Due By", "E5": "Notes",
}
ROW_6 = ["B6", "C6", "D6", "E6", "F6", "G6"]


def props(**values):
    result = []
    for name, value in values.items():
        p = PropertyValue()
        p.Name, p.Value = name, value
        result.append(p)
    return tuple(result)


def die_with_parent():
    # The office must not outlive this test if it is killed.
    libc = ctypes.CDLL(None, use_errno=True)
    PR_SET_PDEATHSIG = 1
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def office_binary():
    found = shutil.which("soffice")
    if not found:
        raise RuntimeError("soffice is not installed")
    binary = os.path.join(os.path.dirname(os.path.realpath(found)), "soffice.bin")
    if not os.path.exists(binary):
        raise RuntimeError("no soffice.bin next to " + os.path.realpath(found))
    return binary


class PrivateOffice:
    """One headless office with its own profile, started directly (not through
    the soffice wrapper, so the process we end is the office itself)."""

    CONNECT_ATTEMPTS = 600  # 0.1 s apart

    def __init__(self, folder):
        self.folder = folder
        self.pipe = "quorbel-template-test-%d" % os.getpid()
        self.profile = os.path.join(folder, "profile")
        self.process = None
        self.desktop = None

    def start(self):
        env = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")
        env.pop("DISPLAY", None)
        args = [office_binary(), "--headless", "--invisible", "--nologo",
                "--norestore", "--nolockcheck", "--nodefault",
                "--accept=pipe,name=%s;urp;" % self.pipe,
                "-env:UserInstallation=" + uno.systemPathToFileUrl(self.profile)]
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext(
            "com.sun.star.bridge.UnoUrlResolver", local)
        restarts = 0
        self.process = subprocess.Popen(args, env=env, start_new_session=True,
                                        preexec_fn=die_with_parent,
                                        stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        for _ in range(self.CONNECT_ATTEMPTS):
            code = self.process.poll()
            if code == 81 and restarts == 0:
                # A fresh profile: the office sets it up and asks to be
                # started again.
                restarts += 1
                self.process = subprocess.Popen(args, env=env, start_new_session=True,
                                                preexec_fn=die_with_parent,
                                                stdout=subprocess.DEVNULL,
                                                stderr=subprocess.DEVNULL)
                continue
            if code is not None:
                raise RuntimeError("the office ended with code %d at start" % code)
            try:
                remote = resolver.resolve(
                    "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % self.pipe)
            except NoConnectException:
                time.sleep(0.1)
                continue
            self.desktop = remote.ServiceManager.createInstanceWithContext(
                "com.sun.star.frame.Desktop", remote)
            return
        raise RuntimeError("the office did not accept a connection")

    def load(self, path, read_only=True):
        return self.desktop.loadComponentFromURL(
            uno.systemPathToFileUrl(path), "_blank", 0,
            props(Hidden=True, ReadOnly=read_only))

    def stop(self):
        """Ends the office; returns True when its process and every process
        of its group are gone without being killed."""
        if self.process is None:
            return True
        clean = True
        if self.desktop is not None:
            try:
                self.desktop.terminate()
            except DisposedException:
                pass  # the office ended before it answered
            except Exception:
                clean = False
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            clean = False
        try:
            os.killpg(self.process.pid, 0)
            clean = False  # something of the office's group still runs
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        if self.process.returncode is None:
            self.process.kill()
            self.process.wait()
        self.process = None
        return clean


class OfficeCase(unittest.TestCase):
    office = None

    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="quorbel-template-office-")
        # The build writes the embedded bytes under this name.
        cls.template_copy = os.path.join(cls.scratch, "template.xlt")
        shutil.copyfile(TEMPLATE, cls.template_copy)
        cls.office = PrivateOffice(cls.scratch)
        try:
            cls.office.start()
        except Exception:
            cls.office.stop()
            shutil.rmtree(cls.scratch, ignore_errors=True)
            raise

    @classmethod
    def tearDownClass(cls):
        stopped_cleanly = cls.office.stop()
        shutil.rmtree(cls.scratch, ignore_errors=True)
        if not stopped_cleanly:
            raise AssertionError("the office did not end by itself and was killed")

    def setUp(self):
        self.doc = self.office.load(self.template_copy)
        self.assertIsNotNone(self.doc, "the office did not open the template")
        self.sheet = self.doc.Sheets.getByIndex(0)

    def tearDown(self):
        self.doc.close(True)

    def at(self, name):
        return self.sheet.getCellRangeByName(name)


class OpensWithSheetAndLabels(OfficeCase):
    def test_one_sheet_named_to_do_list(self):
        self.assertEqual(self.doc.Sheets.ElementNames, ("To-do list",))

    def test_labels_and_placeholders(self):
        for name, text in LABELS.items():
            with self.subTest(cell=name):
                self.assertEqual(self.at(name).String, text)

    def test_row_6_is_empty_and_the_last_row(self):
        for name in ROW_6:
            with self.subTest(cell=name):
                self.assertEqual(self.at(name).Type, CELL_EMPTY)
        cursor = self.sheet.createCursor()
        cursor.gotoEndOfUsedArea(False)
        end = cursor.RangeAddress
        self.assertEqual((end.EndRow, end.EndColumn), (5, 6))  # G6

    def test_styles_as_the_office_reads_them(self):
        title = self.at("B1")
        self.assertEqual((title.CharFontName, title.CharHeight, title.CharWeight),
                         ("Tahoma", 24.0, BOLD))
        for name in ["B5", "C5", "D5", "E5", "F5", "G5"]:
            with self.subTest(cell=name):
                self.assertEqual(self.at(name).CellBackColor, HEADER_FILL)
                self.assertEqual(self.at(name).CharColor, WHITE)
        for name in ["E6", "F6", "G6"]:
            with self.subTest(cell=name):
                self.assertEqual(self.at(name).CellBackColor, WHITE)
                self.assertTrue(self.at(name).IsTextWrapped)
        self.assertEqual(self.at("B6").CharFontName, "Marlett")
        self.assertGreater(self.at("C6").BottomBorder.OuterLineWidth, 0)
        self.assertGreater(self.at("G6").RightBorder.OuterLineWidth, 0)
        self.assertEqual(self.at("F6").LeftBorder.OuterLineWidth, 0)

    def test_merged_areas(self):
        self.assertTrue(self.at("B1:C1").IsMerged)
        self.assertTrue(self.at("E6:G6").IsMerged)
        self.assertFalse(self.at("B6:D6").IsMerged)

    def test_row_heights_kept(self):
        rows = self.sheet.Rows
        for index, points in enumerate([41.25, 12.75, 5.25, 4.5, 16.5, 16.5]):
            with self.subTest(row=index + 1):
                # 1/100 mm
                self.assertAlmostEqual(rows.getByIndex(index).Height,
                                       points * 2540 / 72, delta=3)

    def test_autofilter_on_b5_b6(self):
        ranges = self.doc.getPropertyValue("UnnamedDatabaseRanges")
        self.assertTrue(ranges.hasByTable(0))
        area = ranges.getByTable(0)
        self.assertTrue(area.AutoFilter)
        a = area.DataArea
        self.assertEqual((a.StartColumn, a.StartRow, a.EndColumn, a.EndRow), (1, 4, 1, 5))


class DatesAndTicks(OfficeCase):
    def test_date_in_d6_shows_month_day_year(self):
        self.at("D6").setValue(DEC_24_2026)
        self.assertEqual(self.at("D6").String, "12/24/26")

    def test_copy_of_row_6_carries_its_styles(self):
        # What the build does for every entry but the last: copy the styled
        # row and insert the copy below it.
        self.sheet.insertCells(CellRangeAddress(0, 0, 6, 6, 6), INSERT_ROWS)
        self.sheet.copyRange(CellAddress(0, 0, 6), CellRangeAddress(0, 0, 5, 6, 5))
        self.at("D7").setValue(DEC_24_2026)
        self.assertEqual(self.at("D7").String, "12/24/26")
        self.assertTrue(self.at("E7:G7").IsMerged)
        self.assertEqual(self.at("B7").CharFontName, "Marlett")
        self.assertTrue(self.at("C7").IsTextWrapped)
        self.assertGreater(self.at("C7").BottomBorder.OuterLineWidth, 0)
        self.assertAlmostEqual(self.sheet.Rows.getByIndex(6).Height, 16.5 * 2540 / 72, delta=3)

    def test_done_mark_is_marlett_a(self):
        self.at("B6").setString("a")
        self.assertEqual(self.at("B6").String, "a")
        self.assertEqual(self.at("B6").CharFontName, "Marlett")
        self.assertEqual(self.at("B6").CharHeight, 10.0)


class SavesAs97To2003Workbook(OfficeCase):
    def test_round_trip_keeps_sheet_labels_and_styles(self):
        self.at("G1").setString("Pat")
        self.at("D6").setValue(DEC_24_2026)
        out = os.path.join(self.scratch, "filled.xls")
        self.doc.storeToURL(uno.systemPathToFileUrl(out), props(FilterName="MS Excel 97"))

        book = xlrd.open_workbook(out, formatting_info=True)
        self.assertEqual(book.sheet_names(), ["To-do list"])
        sheet = book.sheet_by_index(0)
        expected = dict(LABELS, G1="Pat")
        for name, text in expected.items():
            with self.subTest(cell=name):
                r, c = int(name[1:]) - 1, ord(name[0]) - ord("A")
                self.assertEqual(sheet.cell_value(r, c), text)
        self.assertEqual(sheet.cell_value(5, 3), DEC_24_2026)
        self.assertEqual(sheet.nrows, 6)
        self.assertIn((0, 1, 1, 3), sheet.merged_cells)
        self.assertIn((5, 6, 4, 7), sheet.merged_cells)
        self.assertEqual(sheet.show_grid_lines, 0)

        def xf(r, c):
            return book.xf_list[sheet.cell_xf_index(r, c)]

        font = book.font_list[xf(0, 1).font_index]
        self.assertEqual((font.name, font.height, font.weight), ("Tahoma", 480, 700))
        self.assertEqual(book.font_list[xf(5, 1).font_index].name, "Marlett")
        fill = xf(4, 1).background
        self.assertEqual(fill.fill_pattern, 1)
        self.assertEqual(book.colour_map[fill.pattern_colour_index], (0x4A, 0x4A, 0x6E))
        date_format = book.format_map[xf(5, 3).format_key]
        self.assertEqual(date_format.type, xlrd.formatting.FDT)
        names = [n for n in book.name_obj_list if n.name == "_FilterDatabase"]
        self.assertEqual(len(names), 1)
        self.assertEqual(names[0].area2d()[1:], (4, 6, 1, 2))  # B5:B6


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: office_template.py TEMPLATE.xls")
    TEMPLATE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
