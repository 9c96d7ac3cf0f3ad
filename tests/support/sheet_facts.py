#!/usr/bin/python3
"""Prints, as JSON, what independent readers find in the first sheet of an
Office Open XML workbook (.xlsx, openpyxl) or an OpenDocument spreadsheet
(.ods, odfpy): the sheet names, each cell that holds something with its
value, type (text, number, date: dates as day numbers since 1899-12-30) and
font (name, size, bold), and the merged areas. The same keys as
xls_facts.py, so that the two can be compared cell by cell."""

import datetime
import json
import re
import sys

EPOCH = datetime.datetime(1899, 12, 30)


def column_name(number):
    name = ""
    while number > 0:
        number, rest = divmod(number - 1, 26)
        name = chr(ord("A") + rest) + name
    return name


def day_number(moment):
    if isinstance(moment, datetime.date) and not isinstance(moment, datetime.datetime):
        moment = datetime.datetime(moment.year, moment.month, moment.day)
    return (moment - EPOCH).total_seconds() / 86400.0


def xlsx_facts(path):
    import openpyxl
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    cells = {}
    for row in sheet.iter_rows():
        for cell in row:
            value = cell.value
            if value is None or value == "":
                continue
            if isinstance(value, (datetime.datetime, datetime.date)):
                kind, value = "date", day_number(value)
            elif isinstance(value, (int, float)):
                kind, value = "number", float(value)
            else:
                kind, value = "text", str(value)
            cells[cell.coordinate] = {
                "value": value, "type": kind, "font": cell.font.name,
                "size": float(cell.font.size) if cell.font.size else None,
                "bold": bool(cell.font.b),
            }
    return {
        "sheets": book.sheetnames,
        "cells": cells,
        "merged": sorted(str(area) for area in sheet.merged_cells.ranges),
    }


def ods_facts(path):
    from odf import opendocument, table, teletype
    from odf.namespaces import FONS, STYLENS, SVGNS

    document = opendocument.load(path)
    faces = {}
    for face in document.fontfacedecls.childNodes:
        family = face.attributes.get((SVGNS, "font-family"), "")
        faces[face.attributes.get((STYLENS, "name"))] = family.strip("'\"")
    styles = {}
    defaults = {}
    for holder in (document.styles, document.automaticstyles):
        for element in holder.childNodes:
            if element.qname == (STYLENS, "style"):
                styles[element.attributes.get((STYLENS, "name"))] = element
            elif element.qname == (STYLENS, "default-style"):
                defaults[element.attributes.get((STYLENS, "family"))] = element

    def text_property(element, key):
        for child in element.childNodes:
            if child.qname == (STYLENS, "text-properties") and key in child.attributes:
                return child.attributes[key]
        return None

    def font_of(name):
        found = {}
        chain = []
        while name in styles and len(chain) < 20:
            chain.append(styles[name])
            name = styles[name].attributes.get((STYLENS, "parent-style-name"))
        if "table-cell" in defaults:
            chain.append(defaults["table-cell"])
        for key, label in (((STYLENS, "font-name"), "font"), ((FONS, "font-size"), "size"),
                           ((FONS, "font-weight"), "weight")):
            for element in chain:
                value = text_property(element, key)
                if value is not None:
                    found[label] = value
                    break
        size = found.get("size")
        return {
            "font": faces.get(found.get("font"), found.get("font")),
            "size": float(size[:-2]) if size and size.endswith("pt") else None,
            "bold": found.get("weight") in ("bold", "700", "800", "900"),
        }

    sheet = document.spreadsheet.getElementsByType(table.Table)[0]
    names = [t.getAttribute("name") for t in document.spreadsheet.getElementsByType(table.Table)]
    # A cell without a style of its own takes its column's.
    column_styles = []
    for column in sheet.getElementsByType(table.TableColumn):
        repeat = int(column.getAttribute("numbercolumnsrepeated") or 1)
        column_styles.extend([column.getAttribute("defaultcellstylename")] * min(repeat, 1024))
    cells = {}
    merged = []
    row_number = 0
    for row in sheet.getElementsByType(table.TableRow):
        repeat_rows = int(row.getAttribute("numberrowsrepeated") or 1)
        column_number = 0
        for cell in row.childNodes:
            if cell.qname[1] not in ("table-cell", "covered-table-cell"):
                continue
            repeat = int(cell.getAttribute("numbercolumnsrepeated") or 1)
            if cell.qname[1] == "table-cell":
                columns = int(cell.getAttribute("numbercolumnsspanned") or 1)
                rows = int(cell.getAttribute("numberrowsspanned") or 1)
                if columns > 1 or rows > 1:
                    merged.append("%s%d:%s%d" % (column_name(column_number + 1), row_number + 1,
                                                 column_name(column_number + columns), row_number + rows))
                kind = cell.getAttribute("valuetype")
                if kind:
                    if kind == "date":
                        day = re.match(r"(\d+)-(\d+)-(\d+)", cell.getAttribute("datevalue"))
                        value = day_number(datetime.date(*map(int, day.groups())))
                    elif kind in ("float", "percentage", "currency"):
                        kind, value = "number", float(cell.getAttribute("value"))
                    else:
                        kind, value = "text", teletype.extractText(cell)
                    facts = {"value": value, "type": "text" if kind == "string" else kind}
                    style_name = cell.getAttribute("stylename")
                    if not style_name and column_number < len(column_styles):
                        style_name = column_styles[column_number]
                    facts.update(font_of(style_name))
                    for extra in range(repeat):
                        cells["%s%d" % (column_name(column_number + extra + 1), row_number + 1)] = facts
            column_number += repeat
        row_number += repeat_rows
    return {"sheets": names, "cells": cells, "merged": sorted(merged)}


def main(path):
    facts = ods_facts(path) if path.lower().endswith(".ods") else xlsx_facts(path)
    print(json.dumps(facts))


if __name__ == "__main__":
    main(sys.argv[1])
