#!/usr/bin/env python3
"""Mutation testing for Tavlo: do the tests notice a plausible one-line mistake?

Each mutant in tools/mutants.txt names a file, an exact text fragment of one line and its
replacement (never a line number, so the list survives edits elsewhere in the file). The script
copies the project into a scratch folder (the real tree is never touched), builds it once, runs
the tests to get a passing baseline, and then, per mutant: applies it, rebuilds only the test
programs, runs the test programs whose binaries (or the tools they run, which a test names in its
REQUIRED_FILES property) changed, and restores the file. It prints a Markdown table: killed by which test program(s), survived, "stale" (the fragment
is no longer in the file: refresh the list) or "build error" (neither counts as a kill).

    tools/mutate.py                         # every mutant, code and tests from the working tree
    tools/mutate.py --only F01,P03          # a subset
    tools/mutate.py --tests-from main~5     # same code, the tests of an older revision
    tools/mutate.py --code-from HEAD --tests-from HEAD --output table.md
    tools/mutate.py --check                 # only check that every fragment still applies
    tools/mutate.py --list                  # print the mutants
    tools/mutate.py --compare old.md new.md # kills lost between two tables (exit 1 if any)

The scratch folder (--workdir, default /tmp/tavlo-mutate-<worktree name>) is kept between runs so
the next run only rebuilds what changed; --fresh starts it over. The first run builds the whole
copy (about 2 minutes on 2 cores); after that each mutant costs one incremental build plus the
test programs it touched, about 8 to 10 s on an idle 2-core machine, so the ~90 mutants take
about 15 minutes. Run by hand, not in CI. Failure output of each kill and each build error goes
to WORKDIR/last-run.log (or --log).

A test program counts as killing a mutant when it fails, crashes or runs past its time limit
(10 times its unmutated run time, at least 20 s). Test programs that fail without any mutant
are left out, with a warning.
"""

import argparse
import fcntl
import io
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tarfile
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
MUTANTS = Path(__file__).resolve().parent / "mutants.txt"
TAIL_LINES = 25


class Mutant:
    def __init__(self, ident, path, what, old, new, nth):
        self.ident, self.path, self.what = ident, path, what
        self.old, self.new, self.nth = old, new, nth

    def apply(self, text):
        """Returns the mutated text, or raises LookupError saying why the mutant is stale."""
        count = text.count(self.old)
        if count == 0:
            raise LookupError("fragment not found")
        if self.nth is None and count > 1:
            raise LookupError(f"fragment found {count} times (give nth:)")
        if self.nth is not None and count < self.nth:
            raise LookupError(f"fragment found {count} times, nth is {self.nth}")
        start = -1
        for _ in range(self.nth or 1):
            start = text.index(self.old, start + 1)
        return text[:start] + self.new + text[start + len(self.old):]


def parse_mutants(path):
    """Reads blocks of the form

        [ID] relative/path.cpp
        what: description
        from: exact original fragment (one line, taken verbatim after "from: ")
        to: replacement (may be empty)
        nth: 2          (optional: which occurrence, when the fragment is not unique)
    """
    mutants, current, seen = [], None, set()

    def finish(lineno):
        if current is None:
            return
        for key in ("what", "from", "to"):
            if key not in current:
                sys.exit(f"{path}:{lineno}: mutant {current['id']} lacks '{key}:'")
        if current["from"] == current["to"]:
            sys.exit(f"{path}:{lineno}: mutant {current['id']} changes nothing")
        mutants.append(Mutant(current["id"], current["path"], current["what"], current["from"],
                              current["to"], current.get("nth")))

    lines = path.read_text(encoding="utf-8").splitlines()
    for lineno, line in enumerate(lines, 1):
        if not line.strip() or line.startswith("#"):
            continue
        header = re.fullmatch(r"\[([A-Za-z0-9_-]+)\]\s+(\S+)\s*", line)
        if header:
            finish(lineno)
            ident = header.group(1)
            if ident in seen:
                sys.exit(f"{path}:{lineno}: duplicate mutant id {ident}")
            seen.add(ident)
            current = {"id": ident, "path": header.group(2)}
            continue
        field = re.match(r"(what|from|to|nth):( ?)(.*)$", line)
        if not field or current is None:
            sys.exit(f"{path}:{lineno}: cannot read '{line}'")
        key, value = field.group(1), field.group(3)
        if key == "nth":
            current[key] = int(value)
        else:
            current[key] = value.strip() if key == "what" else value
    finish(len(lines))
    return mutants


# ---------------------------------------------------------------- the scratch copy


def git(*args, binary=False):
    out = subprocess.run(["git", "-C", str(ROOT), *args], check=True, stdout=subprocess.PIPE)
    return out.stdout if binary else out.stdout.decode()


def files_from_revision(rev, prefix=None):
    """{relative path: (bytes, mode)} of a git revision, optionally of one folder only."""
    args = ["archive", "--format=tar", rev]
    if prefix:
        args.append(prefix)
    data = git(*args, binary=True)
    files = {}
    with tarfile.open(fileobj=io.BytesIO(data)) as tar:
        for member in tar.getmembers():
            if member.isfile():
                files[member.name] = (tar.extractfile(member).read(), member.mode)
    return files


def files_from_worktree():
    """{relative path: (bytes, mode)} of tracked and untracked (not ignored) files."""
    files = {}
    for name in git("ls-files", "-co", "--exclude-standard", "-z").split("\0"):
        full = ROOT / name
        if name and full.is_file():
            files[name] = (full.read_bytes(), full.stat().st_mode & 0o777)
    return files


def sync_tree(files, dest):
    """Makes dest hold exactly these files; unchanged files keep their time stamps so the
    build directory stays valid."""
    dest.mkdir(parents=True, exist_ok=True)
    for name, (data, mode) in files.items():
        target = dest / name
        if target.is_file() and target.read_bytes() == data:
            continue
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data)
        os.chmod(target, mode)
    for path in sorted(dest.rglob("*"), reverse=True):
        name = path.relative_to(dest).as_posix()
        if path.is_file() and name not in files:
            path.unlink()
        elif path.is_dir() and not any(path.iterdir()):
            path.rmdir()


# ---------------------------------------------------------------- building and testing


def log_tail(text, lines=TAIL_LINES):
    return "\n".join(text.rstrip().splitlines()[-lines:])


def run_quiet(cmd, cwd=None):
    proc = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return proc.returncode, proc.stdout.decode(errors="replace")


class Suite:
    """The test programs of the scratch build, run directly (not through ctest) so that a
    mutant that makes a test hang costs seconds, not the 300 s the CMake property allows."""

    def __init__(self, build, jobs):
        self.build, self.jobs = build, jobs
        code, out = run_quiet(["ctest", "--test-dir", str(build), "--show-only=json-v1"])
        if code:
            sys.exit("ctest could not list the tests:\n" + out)
        self.tests = {}
        self.names = []
        for test in json.loads(out)["tests"]:
            # Until the program is built ctest lists no command; the test's name is its target.
            self.names.append(test["name"])
            if "command" not in test:
                continue
            props = {p["name"]: p["value"] for p in test.get("properties", [])}
            env = dict(os.environ)
            for pair in props.get("ENVIRONMENT", []):
                key, _, value = pair.partition("=")
                env[key] = value
            self.tests[test["name"]] = {
                "command": test["command"],
                "env": env,
                "cwd": props.get("WORKING_DIRECTORY", str(build)),
                "limit": float(props.get("TIMEOUT", 1500)),
                "baseline": None,
                # Programs it runs besides its own (tavlo-render): the test's REQUIRED_FILES.
                "uses": {Path(p) for p in props.get("REQUIRED_FILES", [])},
            }
        self.running, self.lock = set(), threading.Lock()

    def targets(self):
        return self.names

    def executables(self):
        exes = set()
        for path in self.build.rglob("*"):
            if "CMakeFiles" in path.parts or not path.is_file() or path.suffix:
                continue
            if os.access(path, os.X_OK):
                exes.add(path)
        return exes

    def stamps(self):
        return {p: p.stat().st_mtime_ns for p in self.executables()}

    def affected(self, before, after):
        changed = {p for p, t in after.items() if before.get(p) != t}
        return [n for n, t in self.tests.items()
                if Path(t["command"][0]) in changed or t["uses"] & changed]

    def run(self, names, timeout=None):
        """{name: (status, seconds, output)}; status is None when the test passed."""
        results = {}

        def one(name):
            test = self.tests[name]
            limit = test["limit"]
            if timeout is not None:
                limit = min(limit, timeout)
            elif test["baseline"] is not None:
                limit = min(limit, max(20.0, 10 * test["baseline"]))
            start = time.monotonic()
            proc = subprocess.Popen(test["command"], cwd=test["cwd"], env=test["env"],
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                    start_new_session=True)
            with self.lock:
                self.running.add(proc)
            try:
                out, _ = proc.communicate(timeout=limit)
                if proc.returncode == 0:
                    status = None
                elif proc.returncode < 0:
                    status = signal.Signals(-proc.returncode).name
                else:
                    status = "failed"
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(proc.pid, signal.SIGKILL)  # the test and whatever it started
                except ProcessLookupError:
                    pass
                out, _ = proc.communicate()
                status = f"timeout {limit:.0f}s"
            with self.lock:
                self.running.discard(proc)
            results[name] = (status, time.monotonic() - start, out.decode(errors="replace"))

        order = sorted(names, key=lambda n: -(self.tests[n]["baseline"] or 1e9))
        with ThreadPoolExecutor(max_workers=self.jobs) as pool:
            try:
                list(pool.map(one, order))
            except KeyboardInterrupt:
                # The test programs run in their own sessions and do not see the ^C.
                pool.shutdown(wait=False, cancel_futures=True)
                with self.lock:
                    for proc in self.running:
                        try:
                            os.killpg(proc.pid, signal.SIGKILL)
                        except ProcessLookupError:
                            pass
                raise
        return results


# ---------------------------------------------------------------- the run


def fmt_time(seconds):
    seconds = int(round(seconds))
    return f"{seconds // 60}m{seconds % 60:02d}s"


def md_cell(text):
    return text.replace("|", "\\|").replace("`", "'")


def read_table(path):
    """{id: (result, what)} from a table this script wrote."""
    rows = {}
    for line in path.read_text(encoding="utf-8").splitlines():
        cells = [c.strip() for c in re.split(r"(?<!\\)\|", line)[1:-1]]
        if len(cells) == 5 and re.fullmatch(r"[A-Za-z0-9_-]+", cells[0]) and cells[0] != "ID":
            rows[cells[0]] = (cells[3], cells[2])
    return rows


def compare(old_path, new_path):
    """Mutants the old suite killed and the new one does not, and those both miss."""
    old, new = read_table(old_path), read_table(new_path)
    lost = [i for i in old if old[i][0] == "killed" and new.get(i, ("absent",))[0] != "killed"]
    missed = [i for i in old if old[i][0] == "survived" and new.get(i, ("",))[0] == "survived"]
    gained = [i for i in new if new[i][0] == "killed" and old.get(i, ("",))[0] != "killed"]
    for title, ids, table in (("Killed before, not now", lost, new),
                              ("Survived both", missed, new),
                              ("Killed now, not before", gained, new)):
        print(f"{title} ({len(ids)}):")
        for i in ids:
            result, what = table.get(i, ("absent", old.get(i, ("", ""))[1]))
            print(f"  {i:5} {result:12} {what}")
    return 1 if lost else 0


def main():
    parser = argparse.ArgumentParser(
        description=__doc__.split("\n\n")[0],
        formatter_class=argparse.RawDescriptionHelpFormatter,
        epilog="\n".join(__doc__.splitlines()[1:]))
    parser.add_argument("--only", help="comma-separated mutant ids to run")
    parser.add_argument("--code-from", metavar="REV",
                        help="take the code from this git revision (default: working tree)")
    parser.add_argument("--tests-from", metavar="REV",
                        help="take tests/ from this git revision (default: same as the code)")
    parser.add_argument("--mutants", type=Path, default=MUTANTS, help="mutant list to use")
    parser.add_argument("--workdir", type=Path,
                        default=Path(f"/tmp/tavlo-mutate-{ROOT.name}"),
                        help="scratch folder, kept between runs (default: %(default)s)")
    parser.add_argument("--fresh", action="store_true", help="wipe the scratch folder first")
    parser.add_argument("--jobs", "-j", type=int, default=2,
                        help="parallel compile jobs and test programs (default: %(default)s)")
    parser.add_argument("--timeout", type=float,
                        help="seconds per test program (default: 10x its baseline time, at least 20)")
    parser.add_argument("--build-type", default="Release", help="CMake build type (default: %(default)s)")
    parser.add_argument("--output", "-o", type=Path, help="also write the table to this file")
    parser.add_argument("--log", type=Path,
                        help="failure details per mutant (default: WORKDIR/last-run.log)")
    parser.add_argument("--check", action="store_true",
                        help="only check that every mutant still applies (no build)")
    parser.add_argument("--list", action="store_true", help="print the mutants and stop")
    parser.add_argument("--compare", nargs=2, type=Path, metavar=("OLD.md", "NEW.md"),
                        help="compare two tables written with --output and stop")
    parser.add_argument("--prepare", action="store_true",
                        help="only copy, build and run the baseline (to warm up the scratch build)")
    args = parser.parse_args()
    started = time.monotonic()

    if args.compare:
        return compare(*args.compare)
    mutants = parse_mutants(args.mutants)
    if args.only:
        wanted = [i.strip() for i in args.only.split(",") if i.strip()]
        known = {m.ident for m in mutants}
        unknown = [i for i in wanted if i not in known]
        if unknown:
            sys.exit("unknown mutant id(s): " + ", ".join(unknown))
        mutants = [m for m in mutants if m.ident in wanted]
    if args.list:
        for m in mutants:
            print(f"{m.ident:5} {m.path:34} {m.what}")
        print(f"{len(mutants)} mutants")
        return 0

    code = files_from_revision(args.code_from) if args.code_from else files_from_worktree()
    if args.tests_from:
        tests = files_from_revision(args.tests_from, "tests")
        if not tests:
            sys.exit(f"{args.tests_from} has no tests/ folder")
        code = {n: v for n, v in code.items() if not n.startswith("tests/")}
        code.update(tests)

    if args.check:
        stale = 0
        for m in mutants:
            if m.path not in code:
                print(f"{m.ident}: stale: {m.path} does not exist")
                stale += 1
                continue
            try:
                m.apply(code[m.path][0].decode())
            except LookupError as err:
                print(f"{m.ident}: stale: {m.path}: {err}")
                stale += 1
        print(f"{len(mutants) - stale} of {len(mutants)} mutants apply")
        return 1 if stale else 0

    if args.fresh and args.workdir.exists():
        shutil.rmtree(args.workdir)
    args.workdir.mkdir(parents=True, exist_ok=True)
    lock = open(args.workdir / "lock", "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError:
        sys.exit(f"another run is using {args.workdir}")

    src, build = args.workdir / "src", args.workdir / "build"
    origin = f"code from {args.code_from or 'the working tree'}, tests from " \
             f"{args.tests_from or args.code_from or 'the working tree'}"
    print(f"# {origin}; scratch copy in {args.workdir}", file=sys.stderr)
    sync_tree(code, src)

    cache = build / "CMakeCache.txt"
    if not cache.exists() or f"CMAKE_BUILD_TYPE:STRING={args.build_type}\n" not in cache.read_text():
        # Ninja decides what to rebuild faster than make; either works.
        generator = ["-G", "Ninja"] if shutil.which("ninja") else []
        status, out = run_quiet(["cmake", "-S", str(src), "-B", str(build), *generator,
                                 f"-DCMAKE_BUILD_TYPE={args.build_type}",
                                 "-DTAVLO_BUILD_TESTS=ON", "-DTAVLO_BUILD_BENCH=OFF",
                                 "-DTAVLO_BUILD_FUZZ=OFF"])
        if status:
            sys.exit("configure failed:\n" + log_tail(out))
    suite = Suite(build, args.jobs)
    build_cmd = ["cmake", "--build", str(build), "-j", str(args.jobs), "--target", *suite.targets()]

    print("# building the unmutated copy", file=sys.stderr)
    status, out = run_quiet(build_cmd)
    if status:
        sys.exit("the unmutated copy does not build:\n" + log_tail(out))
    suite = Suite(build, args.jobs)  # the build may have re-run CMake
    print("# baseline test run", file=sys.stderr)
    baseline = suite.run(list(suite.tests))
    for name, (status, seconds, _) in baseline.items():
        suite.tests[name]["baseline"] = seconds
    broken = sorted(n for n, r in baseline.items() if r[0])
    for name in broken:
        print(f"# warning: {name} fails without any mutant ({baseline[name][0]}); "
              "it is left out", file=sys.stderr)
        del suite.tests[name]
    total_base = sum(r[1] for r in baseline.values())
    print(f"# baseline: {len(baseline)} test programs, {total_base:.0f}s of test time; "
          f"set-up took {fmt_time(time.monotonic() - started)}", file=sys.stderr)
    if args.prepare:
        return 0

    log = open(args.log or args.workdir / "last-run.log", "w")
    log.write(f"Mutation run: {origin}\n")
    rows, counts = [], {"killed": 0, "survived": 0, "stale": 0, "build error": 0}
    stamps = suite.stamps()
    mutation_started = time.monotonic()
    for index, m in enumerate(mutants, 1):
        t0 = time.monotonic()
        target = src / m.path
        killers, result = [], None
        if not target.is_file():
            result, detail = "stale", "file does not exist"
        else:
            original = target.read_text(encoding="utf-8")
            try:
                mutated = m.apply(original)
            except LookupError as err:
                result, detail = "stale", str(err)
        if result is None:
            try:
                target.write_text(mutated, encoding="utf-8")
                status, out = run_quiet(build_cmd)
                if status:
                    result = "build error"
                    errors = [l for l in out.splitlines() if "error:" in l]
                    detail = errors[0].split("error:", 1)[1].strip()[:80] if errors else ""
                    log.write(f"\n== {m.ident} build error\n{log_tail(out)}\n")
                else:
                    now = suite.stamps()
                    names = suite.affected(stamps, now)
                    stamps = now
                    outcome = suite.run(names, args.timeout)
                    for name in sorted(outcome):
                        status, seconds, out = outcome[name]
                        if status:
                            killers.append(name if status == "failed" else f"{name} ({status})")
                            log.write(f"\n== {m.ident} killed by {name} ({status})\n"
                                      f"{log_tail(out)}\n")
                    result = "killed" if killers else "survived"
                    if killers:
                        detail = ", ".join(killers)
                    elif not names:
                        detail = "no test program changed"
                    elif len(names) == len(suite.tests):
                        detail = f"ran all {len(names)} test programs"
                    else:
                        detail = "ran " + ", ".join(sorted(names))
            finally:
                # Restoring gives the file a newer time stamp than its object file, so the next
                # build recompiles it together with the next mutant's file.
                target.write_text(original, encoding="utf-8")
        counts[result] += 1
        rows.append((m, result, detail))
        print(f"[{index}/{len(mutants)}] {m.ident} {m.path}: {result}"
              f"{' (' + detail + ')' if detail else ''} {time.monotonic() - t0:.0f}s",
              file=sys.stderr)
        log.flush()

    elapsed = time.monotonic() - started
    lines = [f"Mutation run, {origin}.", "",
             "| ID | File | Mutation | Result | Killed by / note |",
             "|---|---|---|---|---|"]
    for m, result, detail in rows:
        lines.append(f"| {m.ident} | {m.path} | {md_cell(m.what)} | {result} | {md_cell(detail)} |")
    applicable = counts["killed"] + counts["survived"]
    percent = 100.0 * counts["killed"] / applicable if applicable else 0.0
    lines += ["", f"Killed {counts['killed']} of {applicable} mutants that built ({percent:.1f}%), "
                  f"{counts['killed']} of all {len(rows)} "
                  f"({100.0 * counts['killed'] / max(1, len(rows)):.1f}%); "
                  f"survived {counts['survived']}, stale {counts['stale']}, "
                  f"build error {counts['build error']}. "
                  f"Run time {fmt_time(elapsed)} (mutants {fmt_time(time.monotonic() - mutation_started)}, "
                  f"jobs {args.jobs})."]
    table = "\n".join(lines) + "\n"
    print(table)
    if args.output:
        args.output.write_text(table, encoding="utf-8")
    return 0


def interrupt(signum, frame):
    raise KeyboardInterrupt


if __name__ == "__main__":
    # Also when started in the background (where ^C is ignored) or stopped with kill: the
    # mutated file is put back and the running test programs are ended.
    signal.signal(signal.SIGINT, interrupt)
    signal.signal(signal.SIGTERM, interrupt)
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("interrupted; the scratch copy is put right at the start of the next run")
