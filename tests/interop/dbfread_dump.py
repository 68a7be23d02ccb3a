#!/usr/bin/env python3
"""dbfread_dump.py FOLDER TABLE.DBF

Prints a dBase table as Debian's python3-dbfread reads it, in the plain
form the interop tests compare (the same as tdbf_dump.pas): one line
"<n> <FIELD> <value>" per field of every record, text as the hex of its
Windows-1252 bytes without trailing blanks, numbers as whole digits or with a
comma and no trailing zeros, logicals T/F, empty for a null."""
import os
import sys

import dbfread


def value_text(value):
    if value is None:
        return ""
    if isinstance(value, bool):
        return "T" if value else "F"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        if value.is_integer():
            return str(int(value))
        return repr(value).replace(".", ",")
    if isinstance(value, str):
        return value.rstrip(" ").encode("cp1252").hex().upper()
    return "?" + repr(value)


def main():
    if len(sys.argv) != 3:
        sys.exit("uso: dbfread_dump.py CARPETA TABLA.DBF")
    path = os.path.join(sys.argv[1], sys.argv[2])
    table = dbfread.DBF(path, encoding="cp1252", char_decode_errors="strict")
    for n, record in enumerate(table, start=1):
        for name, value in record.items():
            print(f"{n} {name} {value_text(value)}")


if __name__ == "__main__":
    main()
