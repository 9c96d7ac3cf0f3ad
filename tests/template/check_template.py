"""Reads the template workbook with an independent reader (xlrd) and checks
every detail the build and the finished to-do sheet rely on: the one sheet,
its labels and placeholders, fonts, fills, borders, alignment, wrap, the date
format, merged areas, column widths, row heights, the sheet view, printing and
the AutoFilter.

    python3 check_template.py TEMPLATE.xls
"""

import struct
import sys
import unittest

import xlrd
import xlrd.compdoc

TEMPLATE = None  # path, from the command line

# Cell addresses as (row, column), counted from 0 as xlrd counts them.
def cell(name):
    col = ord(name[0]) - ord("A")
    return int(name[1:]) - 1, col


HEADER_FILL = (0x4A, 0x4A, 0x6E)
WHITE = (0xFF, 0xFF, 0xFF)
AUTOMATIC_FONT_COLOUR = 0x7FFF

# xlrd's codes
H_GENERAL, H_RIGHT = 0, 3
V_CENTRE, V_BOTTOM = 1, 2
THIN = 1
SOLID = 1

# Every styled cell: font (name, points, bold, white), horizontal and vertical
# alignment, wrap, fill (None or an RGB value), borders (left, right, top,
# bottom), and the text it holds.
STYLED = {
    "B1": (("Tahoma", 24, True, False), H_GENERAL, V_BOTTOM, False, None, (0, 0, 0, 0), "To-do list"),
    "C1": (("Tahoma", 24, True, False), H_GENERAL, V_BOTTOM, False, None, (0, 0, 0, 0), ""),
    "F1": (("Tahoma", 10, True, False), H_RIGHT, V_BOTTOM, False, None, (0, 0, 0, 0), "To be completed by:"),
    "G1": (("Tahoma", 10, False, False), H_GENERAL, V_BOTTOM, False, None, (0, 0, 0, 0), "Name"),
    "F2": (("Tahoma", 10, True, False), H_RIGHT, V_BOTTOM, False, None, (0, 0, 0, 0), "Deadline:"),
    "G2": (("Tahoma", 10, False, False), H_GENERAL, V_BOTTOM, False, None, (0, 0, 0, 0), "Date"),
    "B5": (("Tahoma", 8, True, True), H_GENERAL, V_CENTRE, False, HEADER_FILL, (1, 1, 1, 1), "Done?"),
    "C5": (("Tahoma", 10, False, True), H_GENERAL, V_CENTRE, False, HEADER_FILL, (0, 0, 1, 1), "Project"),
    "D5": (("Tahoma", 10, False, True), H_GENERAL, V_CENTRE, False, HEADER_FILL, (0, 0, 1, 0), "Due By"),
    "E5": (("Tahoma", 10, False, True), H_GENERAL, V_CENTRE, False, HEADER_FILL, (1, 0, 1, 0), "Notes"),
    "F5": (("Tahoma", 10, False, True), H_GENERAL, V_CENTRE, False, HEADER_FILL, (0, 0, 1, 0), ""),
    "G5": (("Tahoma", 10, False, True), H_GENERAL, V_CENTRE, False, HEADER_FILL, (0, 1, 1, 0), ""),
    "B6": (("Marlett", 10, False, False), H_RIGHT, V_BOTTOM, False, None, (1, 1, 1, 1), ""),
    "C6": (("Tahoma", 10, False, False), H_GENERAL, V_BOTTOM, True, None, (1, 0, 0, 1), ""),
    "D6": (("Tahoma", 10, False, False), H_GENERAL, V_BOTTOM, False, None, (1, 0, 0, 1), ""),
    "E6": (("Tahoma", 10, False, False), H_GENERAL, V_BOTTOM, True, WHITE, (1, 0, 0, 1), ""),
    "F6": (("Tahoma", 10, False, False), H_GENERAL, V_BOTTOM, True, WHITE, (0, 0, 0, 1), ""),
    "G6": (("Tahoma", 10, False, False), H_GENERAL, V_BOTTOM, True, WHITE, (0, 1, 0, 1), ""),
}

# Columns A..I in characters of the standard font; every further column.
WIDTHS = [1.29, 8.57, 16.71, 10.71, 24.14, 9.14, 19.86, 5.86, 11.0]
FURTHER_WIDTH = 9.14
# Rows 1..6 in points.
HEIGHTS = [41.25, 12.75, 5.25, 4.5, 16.5, 16.5]


def pixels_of(chars):
    """Screen pixels of a width in characters (7 pixels a character of the
    standard font, plus 5 of padding), rounded as a desktop spreadsheet does."""
    return int(chars * 7 + 0.5) + 5


def pixels_of_colinfo(width):
    """Screen pixels of a COLINFO width (1/256 of a character, padding
    included)."""
    return int(width * 7 / 256 + 0.5)


def biff_records(path):
    """The records of each substream of the Workbook stream, as lists of
    (id, data), globals first."""
    with open(path, "rb") as f:
        doc = xlrd.compdoc.CompDoc(f.read())
    stream = doc.get_named_stream("Workbook")
    substreams, current, pos = [], None, 0
    while pos + 4 <= len(stream):
        rid, size = struct.unpack_from("<HH", stream, pos)
        data = stream[pos + 4:pos + 4 + size]
        pos += 4 + size
        if rid == 0x0809:  # BOF
            current = []
            substreams.append(current)
        if current is not None:
            current.append((rid, data))
        if rid == 0x000A:  # EOF
            current = None
    return substreams


class TemplateCase(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.book = xlrd.open_workbook(TEMPLATE, formatting_info=True)
        cls.sheet = cls.book.sheet_by_index(0)

    def xf(self, name):
        return self.book.xf_list[self.sheet.cell_xf_index(*cell(name))]

    def rgb(self, index):
        return self.book.colour_map.get(index)


class SheetAndTexts(TemplateCase):
    def test_one_sheet_named_to_do_list(self):
        self.assertEqual(self.book.sheet_names(), ["To-do list"])
        self.assertEqual(self.sheet.visibility, 0)

    def test_labels_and_placeholders(self):
        for name, style in STYLED.items():
            with self.subTest(cell=name):
                c = self.sheet.cell(*cell(name))
                expected = style[6]
                if expected:
                    self.assertEqual(c.ctype, xlrd.XL_CELL_TEXT)
                    self.assertEqual(c.value, expected)
                else:
                    self.assertEqual(c.ctype, xlrd.XL_CELL_BLANK)

    def test_nothing_below_row_6_and_right_of_g(self):
        self.assertEqual(self.sheet.nrows, 6)
        self.assertEqual(self.sheet.ncols, 7)

    def test_only_the_table_cells_are_written_or_styled(self):
        default_xf = self.sheet.cell_xf_index(0, 0)  # A1 is never written
        styled = {cell(n) for n in STYLED}
        for r in range(self.sheet.nrows):
            for c in range(self.sheet.ncols):
                if (r, c) in styled:
                    continue
                with self.subTest(row=r + 1, col=c + 1):
                    self.assertEqual(self.sheet.cell_type(r, c), xlrd.XL_CELL_EMPTY)
                    self.assertEqual(self.sheet.cell_xf_index(r, c), default_xf)


class Fonts(TemplateCase):
    def test_fonts(self):
        for name, style in STYLED.items():
            font_name, points, bold, white = style[0]
            with self.subTest(cell=name):
                font = self.book.font_list[self.xf(name).font_index]
                self.assertEqual(font.name, font_name)
                self.assertEqual(font.height, points * 20)
                self.assertEqual(font.weight, 700 if bold else 400)
                self.assertFalse(font.italic)
                self.assertEqual(font.underline_type, 0)
                if white:
                    self.assertEqual(self.rgb(font.colour_index), WHITE)
                else:
                    self.assertEqual(font.colour_index, AUTOMATIC_FONT_COLOUR)


class Fills(TemplateCase):
    def test_fills(self):
        for name, style in STYLED.items():
            with self.subTest(cell=name):
                background = self.xf(name).background
                if style[4] is None:
                    self.assertEqual(background.fill_pattern, 0)
                else:
                    self.assertEqual(background.fill_pattern, SOLID)
                    self.assertEqual(self.rgb(background.pattern_colour_index), style[4])

    def test_header_fill_is_a_custom_palette_colour(self):
        index = self.xf("B5").background.pattern_colour_index
        self.assertGreaterEqual(index, 8)
        self.assertLess(index, 64)
        self.assertEqual(self.book.colour_map[index], HEADER_FILL)
        # The palette is the workbook's own: a PALETTE record is stored.
        self.assertIn(0x0092, [rid for rid, _ in biff_records(TEMPLATE)[0]])


class Borders(TemplateCase):
    def test_borders_of_the_list_cells(self):
        for name, style in STYLED.items():
            left, right, top, bottom = style[5]
            with self.subTest(cell=name):
                border = self.xf(name).border
                self.assertEqual(
                    (border.left_line_style, border.right_line_style,
                     border.top_line_style, border.bottom_line_style),
                    (left * THIN, right * THIN, top * THIN, bottom * THIN))
                self.assertEqual(border.diag_down, 0)
                self.assertEqual(border.diag_up, 0)


class AlignmentAndFormats(TemplateCase):
    def test_alignment_and_wrap(self):
        for name, style in STYLED.items():
            with self.subTest(cell=name):
                alignment = self.xf(name).alignment
                self.assertEqual(alignment.hor_align, style[1])
                self.assertEqual(alignment.vert_align, style[2])
                self.assertEqual(bool(alignment.text_wrapped), style[3])
                self.assertEqual(alignment.rotation, 0)

    def test_date_format_on_d6_only(self):
        for r in range(self.sheet.nrows):
            for c in range(self.sheet.ncols):
                fmt = self.book.format_map[
                    self.book.xf_list[self.sheet.cell_xf_index(r, c)].format_key]
                with self.subTest(row=r + 1, col=c + 1):
                    if (r, c) == cell("D6"):
                        self.assertEqual(fmt.format_str, "m/d/yy;@")
                        self.assertEqual(fmt.type, xlrd.formatting.FDT)
                    else:
                        self.assertEqual(fmt.format_str, "General")


class Merges(TemplateCase):
    def test_merged_areas(self):
        # (first row, row after last, first column, column after last)
        self.assertEqual(sorted(self.sheet.merged_cells),
                         [(0, 1, 1, 3),    # B1:C1
                          (5, 6, 4, 7)])   # E6:G6


class Layout(TemplateCase):
    def test_column_widths_a_to_i(self):
        for col, chars in enumerate(WIDTHS):
            with self.subTest(column=chr(ord("A") + col)):
                info = self.sheet.colinfo_map[col]
                pixels = pixels_of_colinfo(info.width)
                self.assertEqual(pixels, pixels_of(chars))
                self.assertAlmostEqual((pixels - 5) / 7, chars, delta=0.005)
                self.assertFalse(info.hidden)

    def test_further_columns(self):
        # J up to IV, the last column of the format: all the same width,
        # shown, and without a column style.
        wrong = [col + 1 for col in range(len(WIDTHS), 256)
                 if col not in self.sheet.colinfo_map
                 or pixels_of_colinfo(self.sheet.colinfo_map[col].width) != pixels_of(FURTHER_WIDTH)
                 or self.sheet.colinfo_map[col].hidden
                 or self.sheet.colinfo_map[col].xf_index != 15]
        self.assertEqual(wrong, [], "columns (from 1) that differ")

    def test_row_heights(self):
        self.assertEqual(sorted(self.sheet.rowinfo_map), list(range(len(HEIGHTS))))
        for row, points in enumerate(HEIGHTS):
            with self.subTest(row=row + 1):
                info = self.sheet.rowinfo_map[row]
                self.assertEqual(info.height, round(points * 20))
                # A set height: the office keeps it instead of fitting the row.
                self.assertEqual(info.height_mismatch, 1)
                self.assertFalse(info.hidden)


class ViewAndPrinting(TemplateCase):
    def sheet_record(self, rid):
        found = [data for r, data in biff_records(TEMPLATE)[1] if r == rid]
        self.assertEqual(len(found), 1, "record 0x%04X" % rid)
        return found[0]

    def test_gridlines_hidden_headings_shown_on_screen(self):
        self.assertEqual(self.sheet.show_grid_lines, 0)
        self.assertEqual(self.sheet.show_sheet_headers, 1)
        options, = struct.unpack_from("<H", self.sheet_record(0x023E))  # WINDOW2
        self.assertEqual(options & 0x0002, 0)       # gridlines
        self.assertEqual(options & 0x0004, 0x0004)  # row and column headings

    def test_default_zoom(self):
        # The sheet's window record: options, top row, left column, heading
        # colour, then the page break preview zoom and the normal view zoom
        # (0 stands for the default, 100 per cent).
        window2 = self.sheet_record(0x023E)
        self.assertEqual(len(window2), 18)
        options, = struct.unpack_from("<H", window2, 0)
        self.assertEqual(options & 0x0800, 0)  # normal view, not page break preview
        preview_zoom, normal_zoom = struct.unpack_from("<HH", window2, 10)
        self.assertIn(normal_zoom, (0, 100))
        self.assertIn(preview_zoom, (0, 100))
        # A zoom record, where there is one, overrides the window record.
        for data in [d for r, d in biff_records(TEMPLATE)[1] if r == 0x00A0]:
            num, den = struct.unpack_from("<HH", data)
            self.assertEqual(num, den)

    def test_gridlines_and_headings_not_printed(self):
        self.assertEqual(struct.unpack("<H", self.sheet_record(0x002B))[0], 0)  # PRINTGRIDLINES
        self.assertEqual(struct.unpack("<H", self.sheet_record(0x002A))[0], 0)  # PRINTHEADERS


class AutoFilter(TemplateCase):
    def test_hidden_filter_database_name_refers_to_b5_b6(self):
        names = [n for n in self.book.name_obj_list if n.name == "_FilterDatabase"]
        self.assertEqual(len(names), 1)
        name = names[0]
        self.assertTrue(name.builtin)
        self.assertTrue(name.hidden)
        self.assertEqual(name.scope, 0)
        sheet, rlo, rhi, clo, chi = name.area2d()
        self.assertIs(sheet, self.sheet)
        self.assertEqual((rlo, rhi, clo, chi), (4, 6, 1, 2))  # B5:B6

    def test_one_drop_down_and_no_condition(self):
        records = [rid for rid, _ in biff_records(TEMPLATE)[1]]
        info = [d for rid, d in biff_records(TEMPLATE)[1] if rid == 0x009D]  # AUTOFILTERINFO
        self.assertEqual(len(info), 1)
        self.assertEqual(struct.unpack("<H", info[0])[0], 1)
        self.assertNotIn(0x009B, records)  # FILTERMODE: nothing filtered
        self.assertNotIn(0x009E, records)  # AUTOFILTER: no condition


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: check_template.py TEMPLATE.xls")
    TEMPLATE = sys.argv.pop(1)
    unittest.main(verbosity=2)
