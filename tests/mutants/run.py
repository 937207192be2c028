#!/usr/bin/env python3
"""Plants each one-line fault of mutants.txt in a scratch copy of the tree, rebuilds
incrementally and runs the unit and contract tests (no end-to-end scripts): a fault the
suite does not notice survives. Prints caught/total and the survivors.

  tests/mutants/run.py [--check] [--only ID ...] [--label NAME ...] [--scratch DIR] [--jobs N]

--label builds and runs only the named test programs (tests/<NAME>/ -> test_<NAME>).

--check only verifies that every fault applies (its text stands once in its file).
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def read_mutants(path):
    mutants, current = [], None
    for raw in open(path, encoding="utf-8"):
        line = raw.rstrip("\n")
        if line.startswith("== "):
            ident, file = line[3:].split(" ", 1)
            current = {"id": ident, "file": file, "old": None, "new": None, "equivalent": None}
            mutants.append(current)
        elif current is None or not line or line.startswith("#"):
            continue
        elif line.startswith("- "):
            current["old"] = line[2:]
        elif line.startswith("+ "):
            current["new"] = line[2:]
        elif line.startswith("equivalent:"):
            current["equivalent"] = line[len("equivalent:"):].strip()
    return mutants


def apply(root, mutant):
    path = os.path.join(root, mutant["file"])
    text = open(path, encoding="utf-8").read()
    if text.count(mutant["old"]) != 1:
        return None
    open(path, "w", encoding="utf-8").write(text.replace(mutant["old"], mutant["new"]))
    return text


def run(command, cwd, timeout, log=os.devnull):
    with open(log, "w", encoding="utf-8") as out:
        try:
            return subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT,
                                  timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return -1


def copy_tree(scratch):
    files = subprocess.run(["git", "ls-files", "-co", "--exclude-standard"], cwd=ROOT,
                           capture_output=True, text=True, check=True).stdout.split("\n")
    src = os.path.join(scratch, "src")
    for name in filter(None, files):
        if not os.path.isfile(os.path.join(ROOT, name)):
            continue
        target = os.path.join(src, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(os.path.join(ROOT, name), target)
    return src


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--check", action="store_true")
    parser.add_argument("--only", nargs="*")
    parser.add_argument("--scratch", default="/tmp/vrel-mutants")
    parser.add_argument("--label", nargs="*", default=[])
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    args = parser.parse_args()
    mutants = read_mutants(os.path.join(ROOT, "tests", "mutants", "mutants.txt"))
    if args.only:
        mutants = [m for m in mutants if m["id"] in args.only]
    bad = [m["id"] for m in mutants if open(os.path.join(ROOT, m["file"]), encoding="utf-8")
           .read().count(m["old"] or "\0") != 1 or m["new"] is None]
    if bad:
        print("faults that do not apply once:", " ".join(bad))
        return 2
    if args.check:
        print(f"{len(mutants)} faults apply")
        return 0

    shutil.rmtree(args.scratch, ignore_errors=True)
    src = copy_tree(args.scratch)
    build = os.path.join(args.scratch, "build")
    build_cmd = ["cmake", "--build", build, f"-j{args.jobs}"]
    test_cmd = ["ctest", "-LE", "e2e", f"-j{args.jobs}", "--stop-on-failure", "--timeout", "120"]
    if args.label:
        build_cmd += ["--target"] + [f"test_{name}" for name in args.label]
        test_cmd += ["-L", "^(" + "|".join(args.label) + ")$"]
    log = os.path.join(args.scratch, "baseline.log")
    for step, command, cwd in (("configure", ["cmake", "-S", src, "-B", build, "-DVREL_BENCH=OFF"],
                                src), ("build", build_cmd, src), ("test", test_cmd, build)):
        if run(command, cwd, 3600, log) != 0:
            print(f"the unchanged tree fails to {step} (see {log}): fix that first")
            return 2

    caught, survivors, equivalent = 0, [], []
    for mutant in mutants:
        started = time.time()
        original = apply(src, mutant)
        built = run(build_cmd, src, 3600) == 0
        outcome = "caught" if not built or run(test_cmd, build, 3600) != 0 else "SURVIVED"
        if not built:
            outcome += " (by the compiler)"
        open(os.path.join(src, mutant["file"]), "w", encoding="utf-8").write(original)
        if outcome.startswith("caught"):
            caught += 1
        elif mutant["equivalent"]:
            equivalent.append(mutant)
            outcome = "survived, equivalent"
        else:
            survivors.append(mutant)
        print(f"{mutant['id']:28} {outcome:28} {time.time() - started:6.0f} s", flush=True)
    counted = len(mutants) - len(equivalent)
    print(f"caught {caught} of {counted} ({len(equivalent)} more marked equivalent)")
    for mutant in survivors:
        print(f"survivor: {mutant['id']} in {mutant['file']}")
    run(build_cmd, src, 3600)  # leave the scratch build unchanged
    return 0 if not survivors else 1


if __name__ == "__main__":
    sys.exit(main())
