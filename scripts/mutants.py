#!/usr/bin/python3
"""Mutation run: is the suite sharp enough to notice a small fault in the module?

Each mutant of scripts/mutants.list is put, alone, into a scratch copy of the
tree (build/mutants/src, never the real sources); the module is rebuilt in a
build directory that persists between mutants (the dev preset of the copy),
and the test programs that can see the module run in a fixed order, each
stopping at its first failing test. A mutant is KILLED by the first test that
fails (or crashes, or runs out of time), SURVIVED when every test passes,
EQUIVALENT when it survives and the list says why no test can tell it apart,
STALE when its code pattern is no longer in its file (mutants name code, not
line numbers, so that edits elsewhere leave them valid), BROKEN when it does
not build (a mistake in the list).

  /usr/bin/python3 scripts/mutants.py [--ci] [--table] [NAME...]

--ci runs only the mutants marked "ci"; NAMEs run only those mutants; --table
prints the results as a Markdown table too. Exit status 1 when any mutant
survived unexplained, is stale or broken, or an equivalent one was killed
(its explanation is then wrong).

Needs the build's packages (scripts/install-packages.sh build test) and ccache
helps: the run rebuilds one object and relinks per mutant.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIST = os.path.join(ROOT, "scripts", "mutants.list")
SCRATCH = os.path.join(ROOT, "build", "mutants")
SOURCE = os.path.join(SCRATCH, "src")
BUILD = os.path.join(SOURCE, "build", "dev")
KINDS = ("comparison", "statement", "swap", "constant", "notification")

# The programs that see the module, cheapest and closest to it first, each
# with the tests to leave out: the soak is the long run of scripts/soak.sh.
PROGRAMS = [
    ("module_tests", ""),
    ("identity_tests", ""),
    ("watcher_tests", ""),
    ("e2e_tests", ""),
    ("sweep_tests", ""),
    ("random_tests", "-RandomSoak.*"),
]


class Mutant:
    def __init__(self, name, kind, ci, line):
        self.name, self.kind, self.ci, self.line = name, kind, ci, line
        self.file = None
        self.find = []
        self.replace = []
        self.equivalent = None


def parse_list(path):
    """The mutants of the list; a mistake in it stops the run with its line."""
    mutants, names = [], set()
    current = None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")

            def fail(message):
                sys.exit("%s:%d: %s" % (path, number, message))

            if line.startswith("#") or (not line.strip() and current is None):
                continue
            if line.startswith("== "):
                words = line[3:].split()
                if len(words) < 2 or words[1] not in KINDS or \
                        any(w != "ci" for w in words[2:]):
                    fail("expected '== NAME KIND [ci]', KIND one of " +
                         ", ".join(KINDS))
                if words[0] in names:
                    fail("mutant %s named twice" % words[0])
                names.add(words[0])
                current = Mutant(words[0], words[1], "ci" in words[2:], number)
                mutants.append(current)
            elif current is None:
                fail("a line outside any mutant")
            elif line.startswith("in "):
                current.file = line[3:].strip()
            elif line == "-" or line.startswith("- "):
                current.find.append(line[2:])
            elif line == "+" or line.startswith("+ "):
                current.replace.append(line[2:])
            elif line.startswith("equivalent "):
                current.equivalent = line[len("equivalent "):].strip()
            elif not line.strip():
                continue
            else:
                fail("unknown line (want 'in', '-', '+' or 'equivalent')")
    for m in mutants:
        if m.file is None or not m.find:
            sys.exit("%s:%d: mutant %s needs 'in FILE' and '-' lines" %
                     (path, m.line, m.name))
        if not m.file.startswith(("module/", "watcher/", "identity/")):
            sys.exit("%s:%d: mutant %s is not in module/, watcher/ or "
                     "identity/" % (path, m.line, m.name))
    return mutants


def pattern_of(lines):
    """A regular expression for the code: blanks and line breaks may differ,
    as a formatter would change them, the characters may not."""
    text = "".join("".join(lines).split())
    return re.compile(r"\s*".join(re.escape(c) for c in text))


def tracked_files():
    out = subprocess.run(
        ["git", "ls-files", "--cached", "--others", "--exclude-standard"],
        cwd=ROOT, check=True, capture_output=True, text=True).stdout
    return [p for p in out.splitlines() if os.path.isfile(os.path.join(ROOT, p))]


def sync_scratch():
    """Copies the tree into the scratch source, file by file and only what
    differs, so that the persistent build rebuilds only what changed."""
    wanted = set(tracked_files())
    for path in sorted(wanted):
        src, dst = os.path.join(ROOT, path), os.path.join(SOURCE, path)
        with open(src, "rb") as f:
            data = f.read()
        if os.path.isfile(dst):
            with open(dst, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        shutil.copy2(src, dst)
    for base, dirs, files in os.walk(SOURCE):
        rel = os.path.relpath(base, SOURCE)
        if rel == "build" or rel.startswith("build" + os.sep):
            dirs[:] = []
            continue
        for name in files:
            path = os.path.normpath(os.path.join(rel, name))
            if path not in wanted:
                os.remove(os.path.join(base, name))


def run(args, cwd, timeout=None):
    try:
        p = subprocess.run(args, cwd=cwd, capture_output=True, text=True,
                           timeout=timeout, errors="replace")
        return p.returncode, p.stdout + p.stderr
    except subprocess.TimeoutExpired as e:
        out = (e.stdout or b"") + (e.stderr or b"")
        if isinstance(out, bytes):
            out = out.decode("utf-8", "replace")
        return None, out


def build(target):
    status, out = run(["cmake", "--build", BUILD, "-j2", "--target", target],
                      SOURCE)
    return status == 0, out


def first_failure(program, out, status):
    """The first failing test a program reports, or what stopped it."""
    failed = re.search(r"^\[  FAILED  \] ([^\s,]+)", out, re.M)
    if failed:
        return failed.group(1)
    if status is None:
        return "timed out"
    started = re.findall(r"^\[ RUN      \] (\S+)", out, re.M)
    where = " in " + started[-1] if started else ""
    return "exit status %s%s" % (status, where)


def test_command(program, exclude):
    args = [os.path.join(BUILD, "tests", program), "--gtest_fail_fast"]
    if exclude:
        args.append("--gtest_filter=" + exclude)
    return args


def run_tests(timeouts):
    """None when every program passes, else 'program: first failed test'."""
    for program, exclude in PROGRAMS:
        ok, out = build(program)
        if not ok:
            return "BUILD", out
        status, out = run(test_command(program, exclude),
                          os.path.join(BUILD, "tests"), timeouts.get(program))
        if status != 0:
            return program + ": " + first_failure(program, out, status), out
    return None, ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--ci", action="store_true",
                        help="only the mutants marked ci")
    parser.add_argument("--table", action="store_true",
                        help="also print a Markdown table of the results")
    parser.add_argument("--list", default=LIST, help="the mutant list")
    parser.add_argument("names", nargs="*", help="only these mutants")
    options = parser.parse_args()

    mutants = parse_list(options.list)
    if options.names:
        unknown = set(options.names) - {m.name for m in mutants}
        if unknown:
            sys.exit("no such mutant: " + ", ".join(sorted(unknown)))
        mutants = [m for m in mutants if m.name in options.names]
    if options.ci:
        mutants = [m for m in mutants if m.ci]

    if shutil.which("ccache"):
        os.environ.setdefault("CMAKE_CXX_COMPILER_LAUNCHER", "ccache")
    started = time.time()
    os.makedirs(SOURCE, exist_ok=True)
    sync_scratch()
    if not os.path.isfile(os.path.join(BUILD, "build.ninja")):
        status, out = run(["cmake", "--preset", "dev"], SOURCE)
        if status != 0:
            sys.exit(out + "\nmutants: configuring the scratch build failed")

    # The unmutated tree must pass, and sets each program's time limit: a
    # mutant that makes a loop endless is killed by running out of time.
    timeouts = {}
    for program, exclude in PROGRAMS:
        ok, out = build(program)
        if not ok:
            sys.exit(out + "\nmutants: the unmutated tree does not build")
        t0 = time.time()
        status, out = run(test_command(program, exclude),
                          os.path.join(BUILD, "tests"))
        if status != 0:
            sys.exit(out + "\nmutants: %s fails without a mutant" % program)
        timeouts[program] = 60 + 4 * (time.time() - t0)
    print("baseline passes (%d s); %d mutants" %
          (time.time() - started, len(mutants)), flush=True)

    results, bad = [], 0
    for m in mutants:
        mutant_started = time.time()
        path = os.path.join(SOURCE, m.file)
        if not os.path.isfile(path):
            verdict, detail = "STALE", "file %s is gone" % m.file
        else:
            with open(path, encoding="utf-8") as f:
                original = f.read()
            found = list(pattern_of(m.find).finditer(original))
            if len(found) != 1:
                verdict = "STALE"
                detail = "pattern found %d times in %s" % (len(found), m.file)
            else:
                span = found[0].span()
                mutated = original[:span[0]] + "\n".join(m.replace) + \
                    original[span[1]:]
                with open(path, "w", encoding="utf-8") as f:
                    f.write(mutated)
                try:
                    failure, out = run_tests(timeouts)
                finally:
                    with open(path, "w", encoding="utf-8") as f:
                        f.write(original)
                if failure == "BUILD":
                    verdict, detail = "BROKEN", "does not build"
                    sys.stderr.write(out[-3000:])
                elif failure is not None:
                    verdict, detail = "KILLED", failure
                elif m.equivalent:
                    verdict, detail = "EQUIVALENT", m.equivalent
                else:
                    verdict, detail = "SURVIVED", "no test failed"
        if verdict == "KILLED" and m.equivalent:
            verdict = "KILLED"
            detail += " (listed as equivalent: the reason is wrong)"
            bad += 1
        elif verdict in ("SURVIVED", "STALE", "BROKEN"):
            bad += 1
        results.append((m, verdict, detail))
        print("%-10s %-40s %4d s  %s" % (verdict, m.name,
                                          time.time() - mutant_started,
                                          detail), flush=True)

    counts = {}
    for _, verdict, _ in results:
        counts[verdict] = counts.get(verdict, 0) + 1
    print("%d mutants in %d s: %s" % (
        len(results), time.time() - started,
        ", ".join("%d %s" % (n, v.lower()) for v, n in sorted(counts.items()))))
    if options.table:
        print("\n| mutant | kind | file | killed by |\n|---|---|---|---|")
        for m, verdict, detail in results:
            shown = detail if verdict == "KILLED" else \
                verdict.lower() + ": " + detail
            print("| %s | %s | %s | %s |" % (m.name, m.kind, m.file,
                                             shown.replace("|", "\\|")))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
