#!/usr/bin/env python3
"""End-to-end checks of `pontevia export`, run by CTest.

  export_check.py fixture PONTEVIA TDBF_DUMP DATA_DIR
      Exports DATA_DIR/centre.xml with DATA_DIR/niveles.csv into a fresh
      working folder and compares every table, field by field, with
      DATA_DIR/expected_tables.txt, as Free Pascal's TDbf reads them (the
      field layout is read from the DBF header here); MATIB is also walked
      through its "ABREV" tag.

  export_check.py failures PONTEVIA DATA_DIR
      Runs the command in every way that must fail and checks the exit
      status, the message, and that the working folder is left byte for byte
      as it was.
"""
import fcntl
import os
import shutil
import subprocess
import sys
import tempfile

FAILURES = []


def fail(message):
    FAILURES.append(message)
    print("FALLO: " + message)


def check(condition, message):
    if not condition:
        fail(message)
    return condition


def run(args, stdin=subprocess.DEVNULL):
    p = subprocess.run(args, stdin=stdin, capture_output=True)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8")


def read_expected(path):
    """{name: (fields, rows)} from the hand-worked file."""
    tables = {}
    current = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                current = line[1:-1]
                tables[current] = (None, [])
                continue
            fields, rows = tables[current]
            values = line.split("|")
            if fields is None:
                tables[current] = (values, rows)
            else:
                rows.append(values)
    return tables


def header_fields(dbf_path):
    """(name, type, width) of each field, straight from the DBF header."""
    with open(dbf_path, "rb") as f:
        data = f.read()
    fields = []
    offset = 32
    while data[offset] != 0x0D:
        name = data[offset:offset + 11].split(b"\0")[0].decode("ascii")
        fields.append((name, chr(data[offset + 11]), data[offset + 16]))
        offset += 32
    return fields


def tdbf_records(tdbf_dump, folder, table):
    """Records as TDbf reads them: a list of {field: text}."""
    code, out, err = run([tdbf_dump, folder, table + ".DBF"])
    if not check(code == 0, "tdbf_dump %s: %s" % (table, err)):
        return []
    records = {}
    for line in out.splitlines():
        n, field, *value = line.split(" ", 2)
        value = value[0] if value else ""
        records.setdefault(int(n), {})[field] = value
    return [records[n] for n in sorted(records)]


def decode(field_type, value):
    if field_type == "C":
        return bytes.fromhex(value).decode("cp1252")
    return value


def check_fixture(pontevia, tdbf_dump, data):
    tmp = tempfile.mkdtemp(prefix="pontevia-export-")
    try:
        work = os.path.join(tmp, "HTEMP")
        os.mkdir(work)
        code, out, err = run([pontevia, "export", os.path.join(data, "centre.xml"),
                              "--workdir", work, "--levels", os.path.join(data, "niveles.csv")])
        if not check(code == 0, "exit %d: %s" % (code, err)):
            return
        for table, count in [("ASIGNOMT", 8), ("PROFT", 3), ("AULAT", 3), ("CURSOST", 4),
                             ("GRUPOST", 4), ("MATIB", 5), ("ASIGT", 7), ("DIASHORAST", 0)]:
            check(any(line.split()[:2] == [table, str(count)] for line in out.splitlines()),
                  "the summary does not give %s %d:\n%s" % (table, count, out))
        # The staff post without "curta" is reported with its line.
        check("PLACA" in err and "curta" in err and "19" in err,
              "no warning for the missing attribute:\n" + err)

        expected = read_expected(os.path.join(data, "expected_tables.txt"))
        for table, (fields, rows) in expected.items():
            if " by tag " in table:
                continue
            layout = header_fields(os.path.join(work, table + ".DBF"))
            check([f[0] for f in layout] == fields,
                  "%s fields %s, expected %s" % (table, [f[0] for f in layout], fields))
            types = {name: t for name, t, _ in layout}
            got = [[decode(types[f], r.get(f, "<missing>")) for f in fields]
                   for r in tdbf_records(tdbf_dump, work, table)]
            check(len(got) == len(rows), "%s has %d records, expected %d" % (table, len(got), len(rows)))
            for i, (g, want) in enumerate(zip(got, rows)):
                for f, gv, wv in zip(fields, g, want):
                    check(gv == wv, "%s record %d field %s: %r, expected %r" % (table, i + 1, f, gv, wv))

        # MATIB through its production index, as Horalia opens it. On Linux
        # TDbf looks for the index with a lower-case extension (Windows finds
        # MATIB.MDX whatever the case), so it reads a scratch copy that has it.
        scratch = os.path.join(tmp, "tdbf")
        os.mkdir(scratch)
        shutil.copy(os.path.join(work, "MATIB.DBF"), scratch)
        shutil.copy(os.path.join(work, "MATIB.MDX"), os.path.join(scratch, "MATIB.mdx"))
        code, out, err = run([tdbf_dump, scratch, "MATIB.DBF", "ABREV", "ABREV"])
        if check(code == 0, "tdbf_dump MATIB ABREV: " + err):
            lines = out.splitlines()
            check("INDEXNAME ABREV" in lines, "TDbf did not open the tag ABREV:\n" + out)
            keys = [bytes.fromhex(line.split(" ")[2]).decode("cp1252") if len(line.split(" ")) > 2 else ""
                    for line in lines if line.split(" ")[0].isdigit()]
            want = [r[0] for r in expected["MATIB by tag ABREV"][1]]
            check(keys == want, "MATIB in ABREV order: %s, expected %s" % (keys, want))
        check(not os.path.exists(os.path.join(work, "Pontevia.tmp")), "the staging folder was left")
    finally:
        shutil.rmtree(tmp)


def snapshot(folder):
    files = {}
    for root, dirs, names in os.walk(folder):
        for d in dirs:
            files[os.path.relpath(os.path.join(root, d), folder) + "/"] = b""
        for n in names:
            with open(os.path.join(root, n), "rb") as f:
                files[os.path.relpath(os.path.join(root, n), folder)] = f.read()
    return files


def check_failures(pontevia, data):
    tmp = tempfile.mkdtemp(prefix="pontevia-export-")
    try:
        work = os.path.join(tmp, "HTEMP")
        os.mkdir(work)
        source = os.path.join(data, "centre.xml")
        levels = os.path.join(data, "niveles.csv")
        code, _, err = run([pontevia, "export", source, "--workdir", work, "--levels", levels])
        if not check(code == 0, "first export failed: " + err):
            return
        before = snapshot(work)

        def write(name, text, encoding="utf-8"):
            path = os.path.join(tmp, name)
            with open(path, "w", encoding=encoding) as f:
                f.write(text)
            return path

        bad = write("roto.xml", "<?xml version='1.0'?>\n<CENTRE>\n  <MATERIES>\n</CENTRE>\n")
        foreign = write("horari.xml", "<?xml version='1.0'?><HORARI><SESSIONS/></HORARI>")
        no_courses_levels = write("sin_cabecera.csv", "C1,ESO,1\n")
        short_levels = write("cortos.csv", "codi,nivel,curso\nC1,ESO\n")
        partial_levels = write("parcial.csv", "codi,nivel,curso\nC1,ESO,1\n")
        cases = [
            ("not well-formed", [bad, "--workdir", work], 4, ["roto.xml", "línea"]),
            ("not a GestIB school", [foreign, "--workdir", work], 4, ["HORARI", "CENTRE"]),
            ("missing source", [os.path.join(tmp, "no.xml"), "--workdir", work], 1, ["No existe archivo"]),
            ("no working folder", [source], 2, ["--workdir"]),
            ("unknown option", [source, "--workdir", work, "--rapido"], 2, ["--rapido"]),
            ("bad --lines", [source, "--workdir", work, "--lines", "quizas"], 2, ["--lines"]),
            ("two sources", [source, source, "--workdir", work], 2, []),
            ("missing working folder", [source, "--workdir", os.path.join(tmp, "NOHAY")], 5, ["NOHAY"]),
            ("missing levels file", [source, "--workdir", work, "--levels", os.path.join(tmp, "no.csv")],
             1, ["No existe archivo"]),
            ("levels file without header", [source, "--workdir", work, "--levels", no_courses_levels],
             4, ["línea 1"]),
            ("levels line with two columns", [source, "--workdir", work, "--levels", short_levels],
             4, ["línea 2"]),
            ("courses left incomplete", [source, "--workdir", work, "--levels", partial_levels], 3,
             ["C2", "C3", "C4", "--force-incomplete"]),
            ("no levels and no terminal", [source, "--workdir", work], 3, ["C1"]),
        ]
        for why, args, want_code, in_message in cases:
            code, out, err = run([pontevia, "export"] + args)
            check(code == want_code, "%s: exit %d, expected %d\n%s" % (why, code, want_code, err))
            for part in in_message:
                check(part in err, "%s: %r not in the message:\n%s" % (why, part, err))
            check(snapshot(work) == before, why + ": the working folder changed")

        # A table Horalia holds open is found before anything is replaced.
        with open(os.path.join(work, "GRUPOST.DBF"), "rb") as held:
            fcntl.flock(held, fcntl.LOCK_EX)
            code, out, err = run([pontevia, "export", source, "--workdir", work, "--levels", levels])
        check(code == 5, "locked table: exit %d\n%s" % (code, err))
        check("GRUPOST.DBF" in err, "the locked table is not named:\n" + err)
        check(snapshot(work) == before, "locked table: the working folder changed")

        for flag in ["--help", "--version"]:
            code, out, _ = run([pontevia, "export", flag])
            check(code == 0 and out, flag + " failed")

        # The forced exit goes on with what is there.
        code, out, err = run([pontevia, "export", source, "--workdir", work, "--levels", partial_levels,
                              "--force-incomplete", "--lines", "no"])
        check(code == 0, "--force-incomplete: exit %d\n%s" % (code, err))
        check("ASIGT" in out and "Salida forzada" in out, "--force-incomplete summary:\n" + out)
        check(os.path.isdir(os.path.join(work, "Copias")), "no backup of the replaced tables")
    finally:
        shutil.rmtree(tmp)


def main():
    if len(sys.argv) == 5 and sys.argv[1] == "fixture":
        check_fixture(sys.argv[2], sys.argv[3], sys.argv[4])
    elif len(sys.argv) == 4 and sys.argv[1] == "failures":
        check_failures(sys.argv[2], sys.argv[3])
    else:
        print(__doc__)
        return 2
    if FAILURES:
        print("%d comprobaciones fallidas" % len(FAILURES))
        return 1
    print("correcto")
    return 0


if __name__ == "__main__":
    sys.exit(main())
