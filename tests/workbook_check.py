#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Holds DIR/Cinecase.xlsx to the UTF-8 CSV files beside it.

    workbook_check.py DIR
"""
# Reads the workbook with openpyxl, a reader we did not write: the sheets
# Tapes and Programmes, the header rows bold and frozen under an autofilter,
# and every cell typed as the column says and holding its CSV field's value.
# Texts are read as Excel reads them: openpyxl hands over a cell's text as
# stored, and its own unescape() turns the format's "_xHHHH_" escapes back
# into characters. Prints each difference; status 1 when there is one.
import csv
import datetime
import sys

import openpyxl
from openpyxl.utils.escape import unescape

SHEETS = [("Tapes", "CinecaseTapes.CSV"), ("Programmes", "CinecaseProgs.CSV")]
IDS = {"TAPE_ID", "PROG_ID"}


def expected_cell(column, field):
    """The value and number format a cell holds for its CSV field, or None for no cell."""
    if field == "":
        return None
    if column in IDS:
        return int(field), "0"
    if column == "LENGTH":
        hours, minutes = field.split(":")
        return datetime.timedelta(hours=int(hours), minutes=int(minutes)), "[h]:mm"
    if column == "DATE":
        try:
            return datetime.datetime.strptime(field, "%Y-%m-%d"), "yyyy-mm-dd"
        except ValueError:
            return field, "General"  # no day of the calendar: the text as it is
    if column == "RATING" and len(field) == 1 and "1" <= field <= "9":
        return int(field), "General"
    # Every LF of a text went out as CR LF, and only there.
    return field.replace("\r\n", "\n"), "General"


def main(directory):
    book = openpyxl.load_workbook(f"{directory}/Cinecase.xlsx")
    problems = []
    if book.sheetnames != [name for name, _ in SHEETS]:
        problems.append(f"sheets {book.sheetnames}")
    for (name, csv_name), sheet in zip(SHEETS, book.worksheets):
        with open(f"{directory}/{csv_name}", newline="", encoding="utf-8") as file:
            rows = [row for row in csv.reader(file) if row]
        if sheet.freeze_panes != "A2" or sheet.auto_filter.ref != f"A1:{sheet.cell(1, len(rows[0])).column_letter}{len(rows)}":
            problems.append(f"{name}: frozen at {sheet.freeze_panes}, filter over {sheet.auto_filter.ref}")
        cells = list(sheet.iter_rows(min_row=1, max_row=max(sheet.max_row, len(rows))))
        for number, (row, found) in enumerate(zip(rows, cells), start=1):
            for column, field, cell in zip(rows[0], row, found):
                if number == 1:
                    expected = (field, "General")
                    if not cell.font.b:
                        problems.append(f"{name}!{cell.coordinate}: header not bold")
                else:
                    expected = expected_cell(column, field)
                stored = unescape(cell.value) if isinstance(cell.value, str) else cell.value
                value = None if stored is None else (stored, cell.number_format)
                if value != expected:
                    problems.append(f"{name}!{cell.coordinate} ({column}): {value!r}, expected {expected!r}")
        if len(cells) != len(rows) or any(len(found) != len(rows[0]) for found in cells):
            problems.append(f"{name}: {len(cells)} rows of {sheet.max_column} cells for {len(rows)} rows in {csv_name}")
    for problem in problems[:40]:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
