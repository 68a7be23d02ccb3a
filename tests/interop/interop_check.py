#!/usr/bin/env python3
"""Runs an independent dBase reader over tables and compares what it shows with
the expected text written beside each table. Used by the interop.* CTest tests.

  interop_check.py tables DIR DUMPER...
      For every table named in DIR/tables.txt, runs
      `DUMPER... DIR NAME.DBF` and compares its output with DIR/NAME.expected.

  interop_check.py mdx-tag DIR TABLE TAG FIELD TDBF_DUMP MDX_DUMP
      Checks that TDbf opens the production index tag TAG of DIR/TABLE.DBF and
      walks it in key order (DIR/TABLE.index.expected). Two traps would let
      that pass falsely, so the check works on a scratch copy and first proves
      it can fail: on Linux TDbf looks for TABLE.mdx with a lower-case
      extension and, without it, silently walks in file order with no tag. The
      first run, with only TABLE.MDX present, must NOT match the expected
      walk; the second, with the index also under TABLE.mdx, must match it.
      Then TDbf appends records, inserting their keys into our tree (splitting
      full blocks, as the BDE does when Horalia adds a record), and both TDbf
      and our reader (MDX_DUMP) must walk the grown tag in key order.

  interop_check.py written-by DIR WRITER... -- DUMPER...
      Runs `WRITER... DIR`, which writes tables and their NAME.expected, then
      compares `DUMPER... DIR NAME.DBF` with each NAME.expected it wrote.
"""
import difflib
import os
import shutil
import subprocess
import sys


def run(cmd):
    proc = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if proc.returncode != 0:
        sys.stderr.write(proc.stderr.decode("utf-8", "replace"))
        raise SystemExit(f"FALLO: {' '.join(cmd)} terminó con código {proc.returncode}")
    return proc.stdout.decode("ascii", "replace")


def read(path):
    with open(path, encoding="ascii", errors="replace") as f:
        return f.read()


def same(label, got, expected):
    if got == expected:
        print(f"ok    {label}")
        return True
    print(f"FALLO {label}: lo leído difiere de lo esperado")
    diff = difflib.unified_diff(expected.splitlines(), got.splitlines(),
                                "esperado", "leído", lineterm="", n=1)
    for i, line in enumerate(diff):
        if i == 60:
            print("...")
            break
        print(line)
    return False


def compare_tables(folder, names, dumper):
    ok = True
    for name in names:
        got = run(dumper + [folder, name + ".DBF"])
        ok &= same(name, got, read(os.path.join(folder, name + ".expected")))
    return ok


def cmd_tables(args):
    folder, dumper = args[0], args[1:]
    names = read(os.path.join(folder, "tables.txt")).split()
    return compare_tables(folder, names, dumper)


def key_order(walk_lines, width):
    """Renumbers "<n> <recno> <hexkey>" lines in key order: bytes blank padded
    to the field width, unsigned, then record number."""
    entries = []
    for line in walk_lines:
        _, recno, *key = line.split(" ")
        entries.append((bytes.fromhex(key[0] if key else "").ljust(width, b" "), int(recno)))
    entries.sort()
    return [f"{n} {recno} {key.rstrip(b' ').hex().upper()}"
            for n, (key, recno) in enumerate(entries, start=1)]


def cmd_mdx_tag(args):
    folder, table, tag, field, tdbf_dump, mdx_dump = args
    expected = read(os.path.join(folder, table + ".index.expected"))
    seeks = read(os.path.join(folder, table + ".seek")).split()
    scratch = os.path.join(folder, "mdx_" + table)
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    shutil.copy(os.path.join(folder, table + ".DBF"), scratch)
    shutil.copy(os.path.join(folder, table + ".MDX"), scratch)
    dump = [tdbf_dump, scratch, table + ".DBF", tag, field] + seeks

    control = run(dump)
    if control == expected:
        print(f"FALLO {table}: sin {table}.mdx en minúsculas TDbf no debería abrir la etiqueta;"
              " la comprobación no distinguiría un índice sin usar")
        return False
    print(f"ok    {table}: sin {table}.mdx TDbf no abre la etiqueta (control)")

    shutil.copy(os.path.join(scratch, table + ".MDX"), os.path.join(scratch, table + ".mdx"))
    if not same(f"{table} etiqueta {tag}", run(dump), expected):
        return False

    # Keys that land all over the tree, including before the first and after
    # the last, with duplicates of keys already there.
    header = [l for l in expected.splitlines() if not l[0].isdigit() and not l.startswith("SEEK")]
    walk = [l for l in expected.splitlines() if l[0].isdigit()]
    records = len(walk)
    present = sorted({l.split(" ")[2] for l in walk if len(l.split(" ")) > 2 and l.split(" ")[2]})
    added = ["20", "41", "7A7A7A"] + present[::max(1, len(present) // 150)]
    grown = walk + [f"0 {records + i} {key}" for i, key in enumerate(added, start=1)]
    want = key_order(grown, 10)
    got = run([tdbf_dump, scratch, table + ".DBF", tag, field, "--append"] + added)
    ok = same(f"{table}: TDbf añade {len(added)} claves y recorre la etiqueta",
              got, "\n".join(header + want) + "\n")
    got = run([mdx_dump, os.path.join(scratch, table + ".mdx"), tag])
    return same(f"{table}: nuestro lector recorre la etiqueta que TDbf amplió",
                got, "\n".join(want) + ("\n" if want else "")) and ok


def cmd_written_by(args):
    split = args.index("--")
    folder, writer, dumper = args[0], args[1:split], args[split + 1:]
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    run(writer + [folder])
    names = sorted(f[:-len(".expected")] for f in os.listdir(folder) if f.endswith(".expected"))
    if not names:
        raise SystemExit(f"FALLO: {' '.join(writer)} no escribió ninguna tabla")
    return compare_tables(folder, names, dumper)


def main():
    commands = {"tables": cmd_tables, "mdx-tag": cmd_mdx_tag, "written-by": cmd_written_by}
    if len(sys.argv) < 3 or sys.argv[1] not in commands:
        raise SystemExit(__doc__)
    sys.exit(0 if commands[sys.argv[1]](sys.argv[2:]) else 1)


if __name__ == "__main__":
    main()
