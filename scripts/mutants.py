"""The work of scripts/mutants.sh, which starts the test services first and then runs this.

Reads the planted faults of scripts/mutants.txt, copies the tracked sources to a scratch folder,
builds them once, and for each fault: replaces the original text (which must occur exactly once),
rebuilds what the fault's tests need, runs those tests and puts the file back. A fault is caught
when one of its tests fails or times out; a fault whose text no longer occurs is stale, and one
that does not compile is not built: both are counted apart from the score.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
FAULTS = ROOT / "scripts" / "mutants.txt"
JOBS = os.environ.get("JOBS", "2")
TEST_TIMEOUT = "300"


class Fault:
    def __init__(self, ident, description, line):
        self.ident = ident
        self.description = description
        self.line = line
        self.file = None
        self.tests = None
        self.hunks = []  # [(original, replacement)]
        self.section = ""  # the comment lines of the list above the fault


def parse_faults(path):
    """The faults of the list. A hunk is one or more "- " lines (the original) followed by zero
    or more "+ " lines (the replacement); a "- " line after "+ " lines starts the next hunk."""
    faults = []
    fault = None
    minus, plus = [], []
    section, in_heading = [], False

    def close_hunk():
        nonlocal minus, plus
        if minus:
            fault.hunks.append(("\n".join(minus), "\n".join(plus)))
        elif plus:
            sys.exit(f"{path}: fault {fault.ident}: '+' lines without '-' lines")
        minus, plus = [], []

    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        where = f"{path.name}:{number}"
        if raw.startswith("## "):
            if fault:
                close_hunk()
            ident, _, description = raw[3:].strip().partition(" ")
            fault = Fault(ident, description.strip(), where)
            fault.section = " ".join(section)
            in_heading = False
            faults.append(fault)
        elif raw.startswith("-") or raw.startswith("+"):
            if fault is None:
                sys.exit(f"{where}: text before the first fault")
            text = raw[2:] if len(raw) > 1 else ""
            if len(raw) > 1 and raw[1] != " ":
                sys.exit(f"{where}: '-' and '+' are followed by one blank, then the text")
            if raw[0] == "-":
                if plus:
                    close_hunk()
                minus.append(text)
            else:
                if not minus:
                    sys.exit(f"{where}: '+' line without the '-' lines before it")
                plus.append(text)
        elif raw.startswith("file:") and fault:
            close_hunk()
            fault.file = raw[5:].strip()
        elif raw.startswith("tests:") and fault:
            close_hunk()
            fault.tests = raw[6:].strip()
        elif raw.strip() == "" or raw.startswith("#"):
            if fault:
                close_hunk()
            if raw.startswith("#"):
                # A block of comment lines after a fault is the heading of the faults below it.
                if not in_heading:
                    section = []
                in_heading = True
                if not raw.startswith("# ---"):
                    section.append(raw[1:].strip())
        else:
            sys.exit(f"{where}: not a fault line: {raw!r}")
    if fault:
        close_hunk()
    seen = set()
    for f in faults:
        if not f.file or not f.tests or not f.hunks:
            sys.exit(f"{f.line}: fault {f.ident} needs file:, tests: and at least one '-' line")
        if f.ident in seen:
            sys.exit(f"{f.line}: fault {f.ident} is listed twice")
        seen.add(f.ident)
    return faults


def run(command, log=None, **kwargs):
    """Runs a command; its output goes to the log file (appended) or is returned."""
    if log is None:
        return subprocess.run(command, capture_output=True, text=True, **kwargs)
    with open(log, "a") as out:
        out.write(f"\n$ {' '.join(map(str, command))}\n")
        out.flush()
        return subprocess.run(command, stdout=out, stderr=subprocess.STDOUT, text=True, **kwargs)


def sync_sources(src):
    """Copies the tracked files' working-tree content; unchanged files keep their time stamps,
    so a kept build stays incremental."""
    listed = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, capture_output=True, check=True)
    for name in listed.stdout.decode().split("\0"):
        if not name:
            continue
        origin = ROOT / name
        if not origin.is_file():
            continue  # deleted in the working tree
        target = src / name
        data = origin.read_bytes()
        if target.is_file() and target.read_bytes() == data:
            continue
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data)
        shutil.copymode(origin, target)


def test_names(build, regex):
    listed = run(["ctest", "-N", "-R", regex], cwd=build)
    return re.findall(r"Test\s+#\d+:\s+(\S+)", listed.stdout)


def build_targets(build):
    listed = run(["cmake", "--build", str(build), "--target", "help"])
    return set(re.findall(r"^\.\.\. (\S+)", listed.stdout, re.MULTILINE))


def run_tests(build, regex, log):
    """caught or MISSED. A test that failed is run once more, and one that then passes is taken
    as passed: a planted fault fails its test every time, a load-sensitive test does not. A
    timeout is not run again."""
    start = log.stat().st_size
    first = run(["ctest", "-R", f"^({regex})$", "--timeout", TEST_TIMEOUT], log, cwd=build)
    if first.returncode == 0:
        return "MISSED"
    with open(log, errors="replace") as out:
        out.seek(start)
        if "***Timeout" in out.read():
            return "caught"
    again = run(["ctest", "--rerun-failed", "--timeout", TEST_TIMEOUT], log, cwd=build)
    return "caught" if again.returncode != 0 else "MISSED"


def write_touched(path, text):
    path.write_bytes(text.encode("utf-8"))
    now = time.time()
    os.utime(path, (now, now))


def main():
    parser = argparse.ArgumentParser(description="Plants the faults of scripts/mutants.txt.")
    parser.add_argument("--only", help="comma-separated fault ids")
    parser.add_argument("--section", help="just the faults under a heading holding this text")
    parser.add_argument("--keep", action="store_true", help="keep the scratch copy and build")
    args = parser.parse_args()

    faults = parse_faults(FAULTS)
    if args.section:
        faults = [f for f in faults if args.section in f.section]
        if not faults:
            sys.exit(f"no faults under a heading holding '{args.section}'")
    if args.only:
        wanted = [i for i in args.only.split(",") if i]
        unknown = [i for i in wanted if i not in {f.ident for f in faults}]
        if unknown:
            sys.exit(f"unknown fault ids: {', '.join(unknown)}")
        faults = [f for f in faults if f.ident in wanted]

    scratch = Path(
        os.environ.get("QUILLET_MUTANTS_DIR")
        # One per worktree: two runs in one scratch copy would plant faults in each other's files.
        or Path(os.environ.get("TMPDIR", "/tmp")) / f"quillet-mutants-{ROOT.name}"
    )
    src, build, log = scratch / "src", scratch / "build", scratch / "log.txt"
    scratch.mkdir(parents=True, exist_ok=True)
    log.write_text("")
    started = time.monotonic()
    print(f"mutants: scratch copy in {scratch}, build log {log}", flush=True)
    sync_sources(src)
    # No -Werror: a fault that only adds a warning still builds.
    if run(["cmake", "-S", src, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
            "-DQUILLET_WERROR=OFF"], log).returncode != 0:
        sys.exit(f"mutants: the scratch copy does not configure (see {log})")
    if run(["cmake", "--build", build, f"-j{JOBS}"], log).returncode != 0:
        sys.exit(f"mutants: the unchanged sources do not build (see {log})")
    targets = build_targets(build)

    # The unchanged sources must pass the tests the faults name, or a red test would count as
    # a catch. Up to three runs each: on a busy machine a test may fail once on its timing.
    union = "|".join(f"({f.tests})" for f in faults)
    baseline = run(["ctest", "-R", f"^({union})$", "--timeout", TEST_TIMEOUT,
                    "--repeat", "until-pass:3"], cwd=build)
    red = set(re.findall(r"\d+ - (\S+) \(", baseline.stdout.split("tests failed")[-1]))
    if baseline.returncode != 0:
        print(f"mutants: these tests fail without any fault: {', '.join(sorted(red)) or '?'}; "
              "faults that name them are reported as 'red-base'", flush=True)
    setup_seconds = time.monotonic() - started

    results = []
    for index, fault in enumerate(faults, 1):
        fault_started = time.monotonic()
        path = src / fault.file
        result = None
        original = path.read_bytes().decode("utf-8") if path.is_file() else None
        if original is None:
            result = "stale"
        else:
            mutated = original
            for old, new in fault.hunks:
                if mutated.count(old) != 1:
                    result = "stale"
                    break
                mutated = mutated.replace(old, new)
        names = test_names(build, f"^({fault.tests})$")
        if result is None and not names:
            result = "no-tests"
        if result is None and set(names) & red:
            result = "red-base"
        if result is None:
            try:
                write_touched(path, mutated)
                # The tests run the transcoder program; its build is cheap when nothing changed.
                # A test that is not a target of its own (a script) gets the whole build.
                if all(n in targets for n in names):
                    wanted = names + (["codec.dll"] if "codec.dll" in targets else [])
                else:
                    wanted = ["all"]
                built = run(["cmake", "--build", build, "-j", JOBS, "--target", *wanted], log)
                if built.returncode != 0:
                    result = "not-built"
                else:
                    result = run_tests(build, fault.tests, log)
            finally:
                write_touched(path, original)
        seconds = time.monotonic() - fault_started
        results.append((fault, result, seconds))
        print(f"[{index}/{len(faults)}] {fault.ident}: {result} ({seconds:.0f} s)", flush=True)

    if args.keep:  # the kept build as the unchanged sources give it
        run(["cmake", "--build", build, f"-j{JOBS}"], log)
    total_seconds = time.monotonic() - started

    width = max(len(f.ident) for f in faults)
    print()
    for fault, result, _ in results:
        print(f"{fault.ident:<{width}}  {result:<9}  {fault.description}")
    counted = [r for _, r, _ in results if r in ("caught", "MISSED")]
    caught = counted.count("caught")
    apart = {}
    for _, r, _ in results:
        if r not in ("caught", "MISSED"):
            apart[r] = apart.get(r, 0) + 1
    print()
    if apart:
        print("not counted: " + ", ".join(f"{n} {r}" for r, n in sorted(apart.items())))
    percent = 100.0 * caught / len(counted) if counted else 0.0
    print(f"caught {caught} of {len(counted)} planted faults ({percent:.0f} %)")
    print(f"time: {total_seconds / 60:.1f} min ({setup_seconds / 60:.1f} min copy, build and "
          "baseline)")
    if args.keep:
        print(f"kept {src} and {build}")
    else:
        shutil.rmtree(src, ignore_errors=True)
        shutil.rmtree(build, ignore_errors=True)


if __name__ == "__main__":
    main()
