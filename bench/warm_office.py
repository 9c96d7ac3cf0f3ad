#!/usr/bin/python3
# The office work of one "Start Creating Template", scripted over python3-uno
# in one warm office, as a floor for the program's own figures: load the
# template, write the header cells and fill the entries' rows (each a copy of
# the styled row), store the workbook as 97-2003 .xls, close it, load the
# saved file again and export the used range as PDF, close it. The first
# round warms the office up and is left out; the median of the rest is
# printed.
#
#     /usr/bin/python3 warm_office.py TEMPLATE ENTRIES ROUNDS
#
# Prints "warm office: <median ms> ms (<rounds> rounds, <entries> entries)"
# and each round's time. Needs Debian's python3-uno (/usr/bin/python3, not
# another python on the PATH) and soffice.bin (QUORBEL_SOFFICE names
# another). The office runs with a profile of its own in a temporary folder
# and ends with the script.

import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.connection import NoConnectException
from com.sun.star.table import CellAddress, CellRangeAddress
from com.sun.star.sheet.CellInsertMode import ROWS

SOFFICE = os.environ.get("QUORBEL_SOFFICE", "/usr/lib/libreoffice/program/soffice.bin")

# The fonts the template names (Tahoma, Marlett) are Wine's: the office
# finds them through a fontconfig file of its own, as the program's do.
FONTCONFIG = """<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <dir>/usr/share/wine/fonts</dir>
</fontconfig>
"""


def props(**values):
    result = []
    for name, value in values.items():
        p = PropertyValue()
        p.Name = name
        p.Value = value
        result.append(p)
    return tuple(result)


def start_office(folder):
    pipe = "warm-office-%d" % os.getpid()
    profile = os.path.join(folder, "profile")
    fonts = os.path.join(folder, "fonts.conf")
    with open(fonts, "w") as f:
        f.write(FONTCONFIG)
    env = dict(os.environ, FONTCONFIG_FILE=fonts, TMPDIR=folder)
    args = [SOFFICE, "--headless", "--invisible", "--nologo", "--norestore", "--nolockcheck", "--nodefault",
            "--accept=pipe,name=%s;urp;" % pipe, "-env:UserInstallation=" + uno.systemPathToFileUrl(profile)]
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
    process = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                               start_new_session=True)
    deadline = time.monotonic() + 600
    while time.monotonic() < deadline:
        try:
            ctx = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
            return process, desktop
        except NoConnectException:
            if process.poll() is not None:
                # A fresh profile: the office asks to be started once more.
                process = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                           start_new_session=True)
            time.sleep(0.02)
    raise RuntimeError("the office did not start")


def one_round(desktop, template_url, saved_url, pdf_url, entries):
    hidden = props(Hidden=True)
    doc = desktop.loadComponentFromURL(template_url, "_blank", 0, props(Hidden=True, ReadOnly=True))
    sheet = doc.Sheets.getByIndex(0)
    sheet.getCellByPosition(6, 0).setString("Name")
    sheet.getCellByPosition(6, 1).setValue(46380)  # 2026-12-24
    sheet.getCellByPosition(2, 4).setString("Project")
    if entries > 1:
        # The styled row (6, index 5) copied into the rows below it.
        sheet.insertCells(CellRangeAddress(0, 0, 6, 7, 5 + entries - 1), ROWS)
        made = 0
        while made < entries - 1:
            block = min(max(made, 1), entries - 1 - made)
            source = CellRangeAddress(0, 0, 5 if made == 0 else 6, 7, (5 if made == 0 else 6) + block - 1)
            sheet.copyRange(CellAddress(0, 0, 6 + made), source)
            made += block
    if entries > 0:
        rows = tuple(("a" if i % 3 == 0 else "", "Project %d" % (i + 1), "12/%d/26" % (i % 28 + 1),
                      "Notes for entry %d" % (i + 1)) for i in range(entries))
        sheet.getCellRangeByPosition(1, 5, 4, 5 + entries - 1).setDataArray(rows)
    doc.storeToURL(saved_url, props(FilterName="MS Excel 97"))
    doc.close(True)

    doc = desktop.loadComponentFromURL(saved_url, "_blank", 0, hidden)
    sheet = doc.Sheets.getByIndex(0)
    cursor = sheet.createCursor()
    cursor.gotoStartOfUsedArea(False)
    cursor.gotoEndOfUsedArea(True)
    filter_data = uno.Any("[]com.sun.star.beans.PropertyValue", props(Selection=cursor))
    doc.storeToURL(pdf_url, props(FilterName="calc_pdf_Export", FilterData=filter_data))
    doc.close(True)


def main():
    if len(sys.argv) != 4:
        print(__doc__ or "warm_office.py TEMPLATE ENTRIES ROUNDS", file=sys.stderr)
        return 2
    template, entries, rounds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    folder = tempfile.mkdtemp(prefix="warm-office-")
    process = None
    desktop = None
    try:
        process, desktop = start_office(folder)
        template_url = uno.systemPathToFileUrl(os.path.abspath(template))
        saved_url = uno.systemPathToFileUrl(os.path.join(folder, "saved.xls"))
        pdf_url = uno.systemPathToFileUrl(os.path.join(folder, "saved.pdf"))
        times = []
        for _ in range(rounds + 1):
            start = time.monotonic()
            one_round(desktop, template_url, saved_url, pdf_url, entries)
            times.append((time.monotonic() - start) * 1000)
        warm = times[1:]
        print("warm office: %.0f ms (median of %d rounds, %d entries; first round %.0f ms)"
              % (statistics.median(warm), len(warm), entries, times[0]))
        print("rounds: " + " ".join("%.0f" % t for t in warm))
        return 0
    finally:
        # Ended the office's own way, which removes its pipes from /tmp; a
        # kill only when it does not end.
        if desktop is not None:
            try:
                desktop.terminate()
            except Exception:
                pass  # the office ends before it answers
        if process is not None:
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(process.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                process.wait()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
