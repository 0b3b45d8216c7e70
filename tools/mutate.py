#!/usr/bin/env python3
"""Does the fast suite catch faults? Plants small faults in the rules and the file code, one at a
time (a comparison flipped, a constant off by one, an operator swapped, a statement dropped),
rebuilds, runs the unit and whole-game tests (koravel_tests, stopping at the first failure), and
counts the faults some test caught. The faults are a fixed, seeded choice among every place they
could go: the same code gives the same faults, so two versions of the tests can be compared on
them. A fault that does not compile is passed over for the next one, in the same fixed order.

  tools/mutate.py BUILD_DIR [--count 60] [--seed 1] [--list] [--filter GTEST_FILTER]

--filter runs only some suites (gtest's filter), to see what they alone catch. BUILD_DIR is a
configured build of this checkout with the tests on (warnings not as errors: a
dropped statement may leave a variable unused). The source files are restored after each fault,
and on any exit."""
import argparse
import os
import random
import re
import signal
import subprocess
import sys
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The rules of play and the code that reads and writes the player's files.
FILES = sorted(
    [f"{d}/{f}" for d in ("atom", "hostiles", "player", "state") for f in os.listdir(f"{SOURCE}/{d}")
     if f.endswith(".cpp")]
    + ["screens/hiscore.cpp", "screens/death.cpp", "engine/files.cpp", "format/recording.cpp",
       "format/score_entry.cpp", "record/replay.cpp", "shell/controls.cpp"])
SWAPS = [(" < ", " <= "), (" <= ", " < "), (" > ", " >= "), (" >= ", " > "), (" == ", " != "),
         (" != ", " == "), (" && ", " || "), (" || ", " && "), (" + ", " - "), (" - ", " + ")]
NUMBER = re.compile(r"(?<![\w.])(\d+)(?![\w.])")
STATEMENT = re.compile(r"^\s*[A-Za-z_][\w.\->\[\]()]*\s*(=|\+=|-=|\+\+|--|\()[^;{}]*;\s*$")


def code_part(line):
    """The line without its comment and with its strings blanked, so that no fault lands in them."""
    out, quote, i = [], None, 0
    while i < len(line):
        c = line[i]
        if quote:
            out.append(" ")
            if c == "\\":
                out.append(" ")
                i += 1
            elif c == quote:
                quote = None
        elif c in "\"'":
            quote = c
            out.append(" ")
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)


def sites():
    found = []
    for path in FILES:
        full = f"{SOURCE}/{path}"
        if not os.path.exists(full):
            continue
        with open(full) as f:
            lines = f.read().split("\n")
        for n, line in enumerate(lines):
            code = code_part(line)
            if not code.strip() or code.lstrip().startswith("#") or "static_assert" in code:
                continue
            for old, new in SWAPS:
                for m in re.finditer(re.escape(old), code):
                    found.append((path, n, m.start(), old, new, f"'{old.strip()}' made '{new.strip()}'"))
            for m in NUMBER.finditer(code):
                value = m.group(1)
                found.append((path, n, m.start(), value, str(int(value) + 1), f"{value} made {int(value) + 1}"))
            if STATEMENT.match(code) and not re.match(r"\s*(return|case|default|break|continue)\b", code):
                found.append((path, n, 0, line, "", "statement dropped"))
    return found


def apply(site):
    path, n, col, old, new, _ = site
    full = f"{SOURCE}/{path}"
    with open(full) as f:
        text = f.read()
    lines = text.split("\n")
    line = lines[n]
    if new == "" and old == line:
        lines[n] = ""
    else:
        assert line[col:col + len(old)] == old, (path, n, line)
        lines[n] = line[:col] + new + line[col + len(old):]
    with open(full, "w") as f:
        f.write("\n".join(lines))
    return full, text


def run(cmd, cwd, timeout):
    try:
        return subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("build")
    p.add_argument("--count", type=int, default=60)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--list", action="store_true", help="name the faults' places, build nothing")
    p.add_argument("--filter", help="run only the tests gtest's filter names")
    a = p.parse_args()
    # Stopped with kill or Ctrl+C: the finally below still puts the mutated file back.
    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, lambda *_: sys.exit("mutate: stopped; the source is restored"))
    build = os.path.abspath(a.build)
    order = sites()
    random.Random(a.seed).shuffle(order)
    if a.list:
        for s in order[:a.count]:
            print(f"{s[0]}:{s[1] + 1}: {s[5]}")
        return 0
    targets = ["cmake", "--build", build, "-j", str(os.cpu_count() or 2), "--target", "koravel_tests", "koravel-sim"]
    if run(targets, SOURCE, 1200) != 0:
        sys.exit("mutate: the unmutated build fails")
    tests = [f"{build}/tests/koravel_tests", "--gtest_fail_fast", "--gtest_brief=1"]
    if a.filter:
        tests.append(f"--gtest_filter={a.filter}")
    if run(tests, build, 1200) != 0:
        sys.exit("mutate: the unmutated suite fails")
    tried = caught = 0
    survivors = []
    start = time.time()
    for site in order:
        if tried == a.count:
            break
        full, kept = apply(site)
        try:
            if run(targets, SOURCE, 600) != 0:
                continue  # does not compile: the next place in the order instead
            tried += 1
            result = run(tests, build, 300)  # a fault that hangs the suite is caught too
            if result != 0:
                caught += 1
            else:
                survivors.append(site)
            print(f"{tried:3} {'caught ' if result != 0 else 'MISSED '} {site[0]}:{site[1] + 1}: {site[5]}", flush=True)
        finally:
            with open(full, "w") as f:
                f.write(kept)
    run(targets, SOURCE, 1200)
    print(f"caught {caught} of {tried} faults (seed {a.seed}, {int(time.time() - start)} s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
