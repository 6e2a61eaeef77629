#!/usr/bin/env python3
"""Maintenance side by side: Tunora's table against SQLite on the same rows.

Runs `maintenance_bench <songs> <folder> side` for each library size, which generates the library,
writes its live rows to a TSV file and times the search, top/worst, duplicate removal and sorts on
the table. Then loads the same rows into an SQLite database (Python's sqlite3 module; it is part of
the bench only) and times the equivalent statements the same number of times. Prints each time and
the ratio Tunora / SQLite (at most 1.0 is the aim), on processor time (judged) and wall time, and
the spread of five sorts.

With --sort first, only the two sorts (the bench's "rows" and "sort" modes).

Usage: bench/side_by_side.py [--sort] build/bench/maintenance_bench [folder] [sizes...]
"""
import os
import shutil
import sqlite3
import subprocess
import sys
import time

TEXT_COLUMNS = 9
COLUMNS = 44
# A song's rating number from its score under the default thresholds 1, 2, 4, ... 512.
LEVEL = "CASE " + " ".join(
    f"WHEN c12 >= {1 << (k - 1)} THEN {k}" for k in range(10, 0, -1)) + " ELSE 0 END"
ROW = "c2, c3, c4, c1, rowid"


def search(phrase):
    cond = " OR ".join(f"c{c} LIKE '%{phrase}%'" for c in range(1, TEXT_COLUMNS + 1))
    return f"SELECT {ROW}, c12 FROM songs WHERE {cond} ORDER BY rowid"


def ranking(descending):
    order = "DESC" if descending else "ASC"
    return (f"SELECT {ROW}, lvl FROM (SELECT *, rowid, {LEVEL} AS lvl FROM songs WHERE c44 > 0) "
            f"ORDER BY lvl {order}, c44 DESC, rowid LIMIT 100")


QUERIES = {
    "search_hit": search("love"),
    "search_rare": search("Artist 4999"),
    "search_miss": search("qqqzz"),
    "top": ranking(True),
    "worst": ranking(False),
}
CHANGES = {
    "remove_duplicates":
        "DELETE FROM songs WHERE rowid NOT IN (SELECT MIN(rowid) FROM songs GROUP BY c1)",
    "sort_name": "CREATE TABLE sorted AS SELECT * FROM songs ORDER BY c2",
    "sort_artist": "CREATE TABLE sorted AS SELECT * FROM songs ORDER BY c3",
}


def clocks():
    return time.process_time(), time.perf_counter()


def since(start):
    cpu, wall = clocks()
    return cpu - start[0], wall - start[1]


def load(db_path, rows_path):
    if os.path.exists(db_path):
        os.remove(db_path)
    db = sqlite3.connect(db_path)
    cols = ", ".join(f"c{c} TEXT" if c <= TEXT_COLUMNS else f"c{c} INTEGER"
                     for c in range(1, COLUMNS + 1))
    db.execute(f"CREATE TABLE songs (id INTEGER PRIMARY KEY, {cols})")
    marks = ", ".join("?" * (COLUMNS + 1))

    def rows():
        with open(rows_path, encoding="utf-8", errors="surrogateescape") as f:
            for line in f:
                v = line.rstrip("\n").split("\t")
                yield [int(v[0])] + v[1:TEXT_COLUMNS + 1] + [int(x) for x in v[TEXT_COLUMNS + 1:]]

    db.execute("BEGIN")
    db.executemany(f"INSERT INTO songs VALUES ({marks})", rows())
    db.commit()
    db.close()


def connect(path):
    db = sqlite3.connect(path, isolation_level=None)
    db.execute("PRAGMA synchronous=OFF")  # the table engine does not sync either
    return db


def time_queries(db_path, queries, changes):
    db = connect(db_path)
    results = {}
    for name, sql in queries.items():
        db.execute(sql).fetchall()  # warm
        best = None
        for _ in range(5):
            start = clocks()
            n = len(db.execute(sql).fetchall())
            e = since(start)
            if best is None or e[0] < best[0]:
                best = e
        results[name] = [best]
        results[name + "_rows"] = n
    db.close()
    work = db_path + ".work"
    for name, sql in changes.items():
        runs = []
        for _ in range(5):
            shutil.copyfile(db_path, work)
            with open(work, "rb") as f:
                os.fsync(f.fileno())  # the copy's writeback is not the statement's
            db = connect(work)
            db.execute("SELECT count(*) FROM songs").fetchall()
            start = clocks()
            db.execute("BEGIN")
            changed = db.execute(sql).rowcount
            db.execute("COMMIT")
            results[name + "_rows"] = changed if name == "remove_duplicates" else 0
            runs.append(since(start))
            db.close()
        results[name] = runs if name.startswith("sort") else [min(runs)]
    os.remove(work)
    return results


def run_tunora(bench, folder, songs, mode):
    out = ""
    for m in (["rows", "sort"] if mode == "sort" else ["side"]):
        out += subprocess.run([bench, str(songs), folder, m], check=True, capture_output=True,
                              text=True).stdout
    results = {}
    rows = {}
    for line in out.splitlines():
        parts = line.split()
        if parts and parts[0] == "TIME":
            results.setdefault(parts[1], []).append((float(parts[2]), float(parts[3])))
            rows[parts[1]] = parts[4]
    return results, rows


def main():
    args = sys.argv[1:]
    mode = "sort" if args and args[0] == "--sort" else "side"
    args = args[1:] if mode == "sort" else args
    bench = args[0]
    folder = args[1] if len(args) > 1 else "/tmp"
    sizes = [int(s) for s in args[2:]] or [10000, 100000]
    queries = {} if mode == "sort" else QUERIES
    changes = {k: v for k, v in CHANGES.items() if mode != "sort" or k.startswith("sort")}
    for songs in sizes:
        load_before = os.getloadavg()[0]
        ours, rows = run_tunora(bench, folder, songs, mode)
        rows_path = os.path.join(folder, f"rows-{songs}.tsv")
        db_path = os.path.join(folder, f"side-{songs}.sqlite")
        load(db_path, rows_path)
        os.remove(rows_path)
        theirs = time_queries(db_path, queries, changes)
        os.remove(db_path)
        print(f"\n{songs} songs (load average {load_before:.1f} before, "
              f"{os.getloadavg()[0]:.1f} after)")
        print(f"{'operation':<18} {'rows':>7} {'sqlite':>7} {'tunora cpu':>11} {'sqlite cpu':>11} {'ratio':>6}"
              f" {'tunora wall':>12} {'sqlite wall':>12} {'ratio':>6}")
        for name in list(queries) + list(changes):
            a = min(ours[name])
            b = min(theirs[name])
            print(f"{name:<18} {rows[name]:>7} {theirs[name + '_rows']:>7} {a[0]:>10.4f}s {b[0]:>10.4f}s {a[0] / b[0]:>6.2f}"
                  f" {a[1]:>11.4f}s {b[1]:>11.4f}s {a[1] / b[1]:>6.2f}")
        for name in changes:
            if name.startswith("sort"):
                walls = [w for _, w in ours[name]]
                cpus = [c for c, _ in ours[name]]
                print(f"{name} tunora over 5 runs: wall max/min {max(walls) / min(walls):.2f}, "
                      f"cpu max/min {max(cpus) / min(cpus):.2f}")
                walls = [w for _, w in theirs[name]]
                cpus = [c for c, _ in theirs[name]]
                print(f"{name} sqlite over 5 runs: wall max/min {max(walls) / min(walls):.2f}, "
                      f"cpu max/min {max(cpus) / min(cpus):.2f}")


if __name__ == "__main__":
    main()
