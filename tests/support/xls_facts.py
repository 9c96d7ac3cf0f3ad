#!/usr/bin/python3
"""Prints, as JSON, what an independent reader (xlrd) finds in the first
sheet of a 97-2003 workbook: cells with value, type, font, borders and number
format, merged areas, row heights, defined names and the gridline flag."""

import json
import struct
import sys

import xlrd


def active_cell(path):
    """The active cell of the first sheet, from its SELECTION record."""
    from xlrd import compdoc
    with open(path, "rb") as f:
        stream = compdoc.CompDoc(f.read()).get_named_stream("Workbook")
    pos = 0
    substreams = 0
    while pos + 4 <= len(stream):
        record, length = struct.unpack("<HH", stream[pos:pos + 4])
        if record == 0x0809:
            substreams += 1
        elif record == 0x001D and substreams == 2:
            _pane, row, column = struct.unpack("<BHH", stream[pos + 4:pos + 9])
            return "%s%d" % (xlrd.colname(column), row + 1)
        pos += 4 + length
    return None


def main(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    cells = {}
    for row in range(sheet.nrows):
        for col in range(sheet.ncols):
            xf = book.xf_list[sheet.cell_xf_index(row, col)]
            font = book.font_list[xf.font_index]
            border = xf.border
            cell = sheet.cell(row, col)
            cells["%s%d" % (xlrd.colname(col), row + 1)] = {
                "value": cell.value,
                "type": {xlrd.XL_CELL_EMPTY: "empty", xlrd.XL_CELL_TEXT: "text",
                         xlrd.XL_CELL_NUMBER: "number", xlrd.XL_CELL_DATE: "date",
                         xlrd.XL_CELL_BLANK: "blank"}.get(cell.ctype, "other"),
                "font": font.name,
                "size": font.height / 20.0,
                "bold": font.weight >= 700,
                "borders": [border.left_line_style, border.right_line_style,
                            border.top_line_style, border.bottom_line_style],
                "format": book.format_map[xf.format_key].format_str,
            }
    heights = {}
    for row in range(sheet.nrows):
        info = sheet.rowinfo_map.get(row)
        if info is not None:
            heights[str(row + 1)] = info.height / 20.0
    names = {}
    for name in book.name_obj_list:
        text = name.result.text if name.result is not None else None
        names[name.name] = text
    print(json.dumps({
        "sheets": book.sheet_names(),
        "rows": sheet.nrows,
        "columns": sheet.ncols,
        "cells": cells,
        "merged": sorted("%s%d:%s%d" % (xlrd.colname(c0), r0 + 1, xlrd.colname(c1 - 1), r1)
                         for r0, r1, c0, c1 in sheet.merged_cells),
        "heights": heights,
        "names": names,
        "gridlines": bool(sheet.show_grid_lines),
        "active": active_cell(path),
    }))


if __name__ == "__main__":
    main(sys.argv[1])
