#!/usr/bin/env python3
"""Planted faults: how many single-line faults the tests catch.

Each fault in the fault list (faults.txt beside this script) replaces one short snippet of a
source file, the way a careless change would: a flipped comparison, an off-by-one, a dropped
write or flush, a wrong field, a wrong default. For each fault the script

  1. checks that the snippet occurs exactly once in its file (else: "snippet not found" or
     "snippet not unique"),
  2. plants it, rebuilds only the test programs the fault's tests run in (ninja in the build
     folder; a fault that does not compile is "does not build", which counts as not applicable,
     not as caught),
  3. runs those tests (ctest -R) with a time limit: a failing or hanging test means "caught",
     all passing means "survived",
  4. puts the file back as it was, on every path (an error, Ctrl-C, SIGTERM).

At the end it prints a table per area and the totals, writes them to the results file, and
checks with git that no mutated file is left changed. It refuses to start while any file it
would mutate has uncommitted changes, so that what it restores is what git holds.

Usage (from the repository's top folder, with a configured build folder):

    nice tests/mutation/mutate.py --build build                 # every fault
    tests/mutation/mutate.py --build build --check              # snippets only, no build
    tests/mutation/mutate.py --build build --only lock-,player-auto-rate-step
    tests/mutation/mutate.py --build build --all-tests          # whole suite for each fault
    tests/mutation/mutate.py --build build --results tests/mutation/results-before.txt

Before the faults it runs every chosen test once on the unchanged tree (--no-baseline skips
this): a test that fails there would count every fault as caught, so the script stops. A
failing test is run once more (--retries), and counts only when it fails again, so that a test
that fails now and then under load does not pass for a catch.

The fault list's format (see faults.txt): "define NAME = Suite1|Suite2" lines name groups of
test suites; a block starting "[id]" holds "area:", "file:", "find:", "replace:", "tests:" and
an optional "note:". The tests field lists gtest suite names (or regular expressions for test
names), "@NAME" expanding a group; it becomes the ctest regex ^(a|b|...)(\\.|$).
If the script is killed with SIGKILL while a fault is planted, `git checkout -- FILE` restores
the file (the next start refuses until that is done).
"""

import argparse
import json
import os
import re
import signal
import subprocess
import sys
import time
from dataclasses import dataclass, field

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_FAULTS = os.path.join(HERE, "faults.txt")

CAUGHT = "caught"
CAUGHT_TIMEOUT = "caught (timeout)"
SURVIVED = "survived"
NOT_FOUND = "snippet not found"
NOT_UNIQUE = "snippet not unique"
NO_BUILD = "does not build"
STOP_SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)


class Stop(Exception):
    """Raised by the signal handlers, so that the finally blocks restore the file."""


@dataclass
class Fault:
    id: str
    area: str = ""
    file: str = ""
    find: str = ""
    replace: str = ""
    tests: str = ""
    note: str = ""
    line: int = 0
    parts: list = field(default_factory=list)
    regex: str = ""


@dataclass
class Outcome:
    fault: Fault
    status: str
    seconds: float = 0.0
    detail: str = ""
    failed: list = field(default_factory=list)
    targets: object = False  # what was built with the fault: a list, None (everything), False


def parse_faults(path):
    defines = {}
    faults = []
    current = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            stripped = line.strip()
            if not stripped or stripped.startswith("#"):
                continue
            m = re.fullmatch(r"define\s+(\w+)\s*=\s*(.+)", stripped)
            if m:
                defines[m.group(1)] = m.group(2).strip()
                continue
            m = re.fullmatch(r"\[([\w.-]+)\]", stripped)
            if m:
                current = Fault(id=m.group(1), line=number)
                faults.append(current)
                continue
            m = re.fullmatch(r"(area|file|find|replace|tests|note):(?: (.*))?", line)
            if not m or current is None:
                sys.exit(f"{path}:{number}: cannot read this line: {line!r}")
            setattr(current, m.group(1), m.group(2) or "")
    ids = set()
    for fault in faults:
        where = f"{path}:{fault.line}: fault {fault.id}"
        if fault.id in ids:
            sys.exit(f"{where}: the id is used twice")
        ids.add(fault.id)
        for name in ("area", "file", "find", "tests"):
            if not getattr(fault, name):
                sys.exit(f"{where}: no {name}")
        if fault.find == fault.replace:
            sys.exit(f"{where}: the replacement is the snippet itself")
        if fault.find != fault.find.lstrip():
            sys.exit(f"{where}: the snippet starts with white space")
        fault.parts = tests_regex(fault.tests, defines, where)
        fault.regex = regex_of(fault.parts)
    return faults


def tests_regex(tests, defines, where):
    parts = []
    for word in re.split(r"[|\s]+", tests.strip()):
        if not word:
            continue
        if word.startswith("@"):
            if word[1:] not in defines:
                sys.exit(f"{where}: no group named {word}")
            parts.extend(p for p in re.split(r"[|\s]+", defines[word[1:]]) if p)
        else:
            parts.append(word)
    return parts


def regex_of(parts):
    """The ctest regex of suite names or patterns (ctest's regexes allow only a few groups)."""
    return "^(" + "|".join(dict.fromkeys(parts)) + r")(\.|$)"


# ---- Processes: each in a session of its own, ended by its group id on a timeout or a stop.


def run(cmd, timeout, cwd=None, log=None):
    """Runs cmd; returns (exit status or None on timeout, output text)."""
    proc = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, errors="replace", start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
        code = proc.returncode
    except subprocess.TimeoutExpired:
        end_group(proc)
        out, _ = proc.communicate()
        code = None
    except BaseException:
        end_group(proc)
        proc.communicate()
        raise
    if log is not None:
        log.write(f"$ {' '.join(cmd)}\n{out}\n")
        log.flush()
    return code, out


def end_group(proc):
    for sig, wait in ((signal.SIGTERM, 10), (signal.SIGKILL, 10)):
        try:
            os.killpg(proc.pid, sig)
        except ProcessLookupError:
            return
        try:
            proc.wait(timeout=wait)
            return
        except subprocess.TimeoutExpired:
            continue


def nice_prefix(args):
    return ["nice", "-n", str(args.nice)] if args.nice > 0 else []


# ---- Which programs a ctest regex runs, so that only they are rebuilt.


def test_programs(args, regex, cache):
    """The ninja targets of the test programs regex selects; None means build everything."""
    if regex in cache:
        return cache[regex]
    code, out = run(["ctest", "--test-dir", args.build, "-N", "--show-only=json-v1"]
                    + ([] if regex is None else ["-R", regex]), 300)
    if code != 0:
        sys.exit(f"ctest could not list the tests:\n{out}")
    data = json.loads(out[out.index("{"):])
    build = os.path.realpath(args.build)
    targets = set()
    names = []
    everything = False
    for test in data.get("tests", []):
        names.append(test["name"])
        command = test.get("command") or []
        exe = os.path.realpath(command[0]) if command else ""
        if exe.startswith(build + os.sep) and not exe.endswith(".sh"):
            targets.add(os.path.relpath(exe, build))
        else:
            everything = True  # a script or an outside program: it may use any built file
    result = (None if everything or regex is None else sorted(targets), names)
    cache[regex] = result
    return result


def build_targets(args, targets, log):
    cmd = nice_prefix(args) + ["ninja", "-C", args.build, f"-j{args.jobs}"] + (targets or [])
    return run(cmd, args.build_timeout, log=log)


def run_tests(args, regex, log):
    cmd = nice_prefix(args) + ["ctest", "--test-dir", args.build, f"-j{args.jobs}",
                               "--output-on-failure", "--timeout", str(args.timeout)]
    if regex is not None:
        cmd += ["-R", regex]
    if args.stop_on_failure:
        cmd.append("--stop-on-failure")
    if args.retries > 0:
        cmd += ["--repeat", f"until-pass:{args.retries + 1}"]
    code, out = run(cmd, args.run_timeout, log=log)
    failed = re.findall(r"^\s*\d+ - (\S+) \((?:Failed|Timeout|SEGFAULT|Subprocess aborted|"
                        r"Child aborted|Exception|Not Run|[^)]*)\)", out, re.M)
    no_tests = "No tests were found" in out
    return code, out, failed, no_tests


# ---- Planting and restoring.


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def write_bytes(path, data):
    with open(path, "wb") as f:
        f.write(data)


def git_dirty(files):
    out = subprocess.run(["git", "status", "--porcelain", "--"] + sorted(files),
                         capture_output=True, text=True, check=True).stdout
    return [line for line in out.splitlines() if line.strip()]


def try_fault(args, fault, cache, log):
    start = time.monotonic()
    path = fault.file
    if not os.path.isfile(path):
        return Outcome(fault, NOT_FOUND, detail="no such file")
    original = read_bytes(path)
    text = original.decode("utf-8")
    count = text.count(fault.find)
    if count == 0:
        return Outcome(fault, NOT_FOUND)
    if count > 1:
        return Outcome(fault, NOT_UNIQUE, detail=f"{count} places")
    if args.check:
        return Outcome(fault, "snippet found")
    regex = None if args.all_tests else fault.regex
    targets, names = test_programs(args, regex, cache)
    if not names:
        return Outcome(fault, NOT_FOUND, detail=f"no test matches {regex}")
    log.write(f"\n===== {fault.id} ({fault.file}): {fault.find!r} -> {fault.replace!r}\n")
    try:
        write_bytes(path, text.replace(fault.find, fault.replace).encode("utf-8"))
        code, out = build_targets(args, targets, log)
        if code != 0:
            detail = "build timed out" if code is None else first_error(out)
            return Outcome(fault, NO_BUILD, time.monotonic() - start, detail, targets=targets)
        code, out, failed, no_tests = run_tests(args, regex, log)
        seconds = time.monotonic() - start
        if code is None:
            return Outcome(fault, CAUGHT_TIMEOUT, seconds, "the test run passed its time limit",
                           failed, targets)
        if no_tests:
            return Outcome(fault, NOT_FOUND, seconds, f"no test matches {regex}", targets=targets)
        return Outcome(fault, SURVIVED if code == 0 else CAUGHT, seconds, "", failed, targets)
    finally:
        # The original bytes, and a new modification time, so that ninja rebuilds from them.
        # No signal may cut the write short.
        blocked = signal.pthread_sigmask(signal.SIG_BLOCK, STOP_SIGNALS)
        try:
            write_bytes(path, original)
        finally:
            signal.pthread_sigmask(signal.SIG_SETMASK, blocked)


def first_error(out):
    for line in out.splitlines():
        if "error:" in line:
            return line.strip()[:200]
    return "the build failed"


# ---- Reporting.


def table(outcomes, baseline_note):
    areas = []
    for o in outcomes:
        if o.fault.area not in areas:
            areas.append(o.fault.area)
    lines = []
    head = f"{'area':<22}{'faults':>7}{'caught':>8}{'survived':>10}{'n/a':>6}"
    lines.append(head)
    lines.append("-" * len(head))
    totals = [0, 0, 0, 0]
    for area in areas:
        mine = [o for o in outcomes if o.fault.area == area]
        caught = sum(o.status in (CAUGHT, CAUGHT_TIMEOUT) for o in mine)
        survived = sum(o.status == SURVIVED for o in mine)
        na = len(mine) - caught - survived
        row = [len(mine), caught, survived, na]
        totals = [a + b for a, b in zip(totals, row)]
        lines.append(f"{area:<22}{row[0]:>7}{row[1]:>8}{row[2]:>10}{row[3]:>6}")
    lines.append("-" * len(head))
    lines.append(f"{'total':<22}{totals[0]:>7}{totals[1]:>8}{totals[2]:>10}{totals[3]:>6}")
    applicable = totals[1] + totals[2]
    if applicable:
        lines.append(f"caught {totals[1]} of {applicable} applicable faults "
                     f"({100.0 * totals[1] / applicable:.0f} %)")
    if baseline_note:
        lines.append(baseline_note)
    return lines


def fault_lines(outcomes):
    lines = []
    for o in outcomes:
        extra = o.detail
        if o.failed:
            shown = ", ".join(o.failed[:3]) + (" ..." if len(o.failed) > 3 else "")
            extra = (extra + "; " if extra else "") + "failed: " + shown
        lines.append(f"{o.fault.id:<34} {o.fault.area:<20} {o.status:<18} {o.seconds:6.0f}s"
                     + (f"  {extra}" if extra else ""))
    return lines


def main():
    parser = argparse.ArgumentParser(
        description="Plants each fault of the fault list, rebuilds, runs its tests, restores.",
        epilog="Run from the repository's top folder. See the top of this file for more.")
    parser.add_argument("--build", default="build", help="configured Ninja build folder")
    parser.add_argument("--faults", default=DEFAULT_FAULTS, help="the fault list")
    parser.add_argument("--only", help="comma-separated ids or id prefixes to run")
    parser.add_argument("--area", help="comma-separated areas to run")
    parser.add_argument("--all-tests", action="store_true",
                        help="run the whole suite for each fault instead of its tests")
    parser.add_argument("--check", action="store_true",
                        help="only check that each snippet is found once; no build, no tests")
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip the run of the chosen tests on the unchanged tree")
    parser.add_argument("--results", help="results file (default BUILD/mutation-results.txt)")
    parser.add_argument("--timeout", type=int, default=300,
                        help="ctest's limit per test without a limit of its own (s)")
    parser.add_argument("--run-timeout", type=int, default=900,
                        help="limit for one fault's whole test run (s); past it: caught")
    parser.add_argument("--build-timeout", type=int, default=1800, help="limit for one build (s)")
    parser.add_argument("--retries", type=int, default=1,
                        help="runs again a test that failed, this many times: a fault counts "
                             "as caught only when a test fails every time (default 1)")
    parser.add_argument("--jobs", type=int, default=2, help="ninja and ctest jobs")
    parser.add_argument("--nice", type=int, default=10, help="niceness of builds and tests")
    parser.add_argument("--no-final-build", dest="final_build", action="store_false",
                        help="leave the programs built with faults as they are at the end")
    parser.add_argument("--keep-going", dest="stop_on_failure", action="store_false",
                        help="run every chosen test even after one failed")
    args = parser.parse_args()

    if not os.path.isdir(".git") and not os.path.isfile(".git"):
        sys.exit("run this from the repository's top folder")
    if not args.check and not os.path.isfile(os.path.join(args.build, "build.ninja")):
        sys.exit(f"{args.build}: not a configured Ninja build folder")
    faults = parse_faults(args.faults)
    if args.only:
        wanted = [w for w in args.only.split(",") if w]
        faults = [f for f in faults if any(f.id == w or f.id.startswith(w) for w in wanted)]
    if args.area:
        areas = set(args.area.split(","))
        faults = [f for f in faults if f.area in areas]
    if not faults:
        sys.exit("no fault chosen")
    files = sorted({f.file for f in faults})
    dirty = git_dirty(files)
    if dirty:
        sys.exit("refusing to run: files the faults change have uncommitted changes "
                 "(commit or restore them, e.g. git checkout -- FILE):\n  " + "\n  ".join(dirty))

    def stop(signum, _frame):
        raise Stop(signal.Signals(signum).name)

    for sig in STOP_SIGNALS:
        signal.signal(sig, stop)

    results = args.results or os.path.join(args.build, "mutation-results.txt")
    log_path = os.path.splitext(results)[0] + ".log"
    if os.path.dirname(os.path.abspath(results)).startswith(os.path.abspath(HERE)):
        log_path = os.path.join(args.build, "mutation-results.log")  # keep the log out of git
    if args.check:
        log_path = os.devnull
    outcomes = []
    started = time.monotonic()
    cache = {}
    baseline_note = ""
    interrupted = None
    with open(log_path, "w", encoding="utf-8") as log:
        try:
            if not args.check and not args.no_baseline:
                regex = None if args.all_tests else \
                    regex_of([p for f in faults for p in f.parts])
                targets, names = test_programs(args, regex, cache)
                if not names:
                    sys.exit(f"no test matches {regex}")
                print(f"baseline: building and running {len(names)} tests on the unchanged "
                      f"tree ...", flush=True)
                t0 = time.monotonic()
                code, out = build_targets(args, targets, log)
                if code != 0:
                    sys.exit(f"the unchanged tree does not build ({first_error(out)})")
                code, out, failed, _ = run_tests(args, regex, log)
                if code != 0:
                    sys.exit("tests fail on the unchanged tree, so no fault could be judged: "
                             + (", ".join(failed) or "see " + log_path))
                baseline_note = (f"baseline: {len(names)} tests passed unchanged in "
                                 f"{time.monotonic() - t0:.0f}s")
                print(baseline_note, flush=True)
            for n, fault in enumerate(faults, 1):
                outcome = try_fault(args, fault, cache, log)
                outcomes.append(outcome)
                print(f"[{n}/{len(faults)}] " + fault_lines([outcome])[0], flush=True)
            # Programs linked with a fault are older than the restored sources: built again, so
            # that the build folder holds the tree as it is.
            if outcomes and not args.check and args.final_build:
                built = [o.targets for o in outcomes if o.targets is not False]
                targets = None if any(t is None for t in built) else \
                    sorted({t for ts in built for t in ts})
                print("rebuilding what the faults were built into ...", flush=True)
                code, out = build_targets(args, targets, log)
                if code != 0:
                    print(f"the final build failed: {first_error(out)}", flush=True)
        except Stop as e:
            interrupted = str(e)
        except KeyboardInterrupt:
            interrupted = "SIGINT"

    left = git_dirty(files)
    lines = [f"Planted faults: {args.faults if args.faults != DEFAULT_FAULTS else 'faults.txt'}",
             "commit " + subprocess.run(["git", "rev-parse", "--short", "HEAD"],
                                        capture_output=True, text=True).stdout.strip()
             + f", tests: {'whole suite' if args.all_tests else 'each fault its own'}"
             + f", {time.monotonic() - started:.0f}s in all",
             ""]
    if args.check:
        found = sum(o.status == "snippet found" for o in outcomes)
        lines += fault_lines(outcomes) + ["", f"{found} of {len(outcomes)} snippets found once"]
    else:
        lines += table(outcomes, baseline_note) + [""] + fault_lines(outcomes)
    if interrupted:
        lines += ["", f"stopped by {interrupted} after {len(outcomes)} of {len(faults)} faults"]
    lines += ["", "files restored (git status clean)" if not left else
              "NOT RESTORED: " + ", ".join(left)]
    print("\n" + "\n".join(lines))
    if not args.check:
        with open(results, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        print(f"\nwritten to {results} (build and test output: {log_path})")
    return 1 if left or interrupted else 0


if __name__ == "__main__":
    sys.exit(main())
