#!/usr/bin/env bash
# Line and branch coverage of the file readers and the writer by the core and
# CLI tests (kept fuzz findings and seeds included, through test_findings).
# Prints the figures per file; the HTML report goes to build/coverage/html.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/coverage
jobs=$(nproc)
# Paths below core/, as the object files below vem_core.dir follow them.
files=(formats/BmpFormat.cpp formats/Stream.cpp formats/Icon.cpp formats/Metafile.cpp formats/ByteFields.cpp)

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVEM_COVERAGE=ON \
  -DVEM_BUILD_UI=OFF -DVEM_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"
# Counts of an earlier run (or an earlier compile) would be added in.
find "$build" -name "*.gcda" -delete
ctest --test-dir "$build" -j "$jobs" -L 'core|cli' --output-on-failure >"$build/ctest.log" || {
  tail -40 "$build/ctest.log"
  exit 1
}
tail -3 "$build/ctest.log"

# Exception edges (every call that could throw) are left out: they are not
# decisions of our code. Debian's lcov 1.16 ignores its own option for that
# with gcc's JSON output, so they are dropped from the tracefile here, by the
# "throw" flag gcov gives each branch.
rc=(--rc lcov_branch_coverage=1)
lcov --quiet "${rc[@]}" --capture --directory "$build/core" --output-file "$build/all.info"
objdir=$build/core/CMakeFiles/vem_core.dir
for f in "${files[@]}"; do
  (cd "$build" && gcov --json-format --branch-probabilities --stdout \
    -o "$PWD/core/CMakeFiles/vem_core.dir/$(dirname "$f")" \
    "$PWD/core/CMakeFiles/vem_core.dir/$f.gcda") >"$objdir/$f.gcov.json"
done
python3 - "$build/all.info" "$objdir" "${files[@]}" <<'PY'
import json, os, re, sys
info, objdir, names = sys.argv[1], sys.argv[2], sys.argv[3:]

def below_core(path):
    """The path below the last core/ folder: the form the names are given in."""
    return ("/" + path.replace(os.sep, "/")).rsplit("/core/", 1)[-1]

throws = {}  # (path below core/, line) -> indices of exception branches
for name in names:
    with open(os.path.join(objdir, name + ".gcov.json")) as f:
        for unit in f.read().splitlines():
            for src in json.loads(unit)["files"]:
                if below_core(src["file"]) != name:
                    continue
                for line in src["lines"]:
                    for k, b in enumerate(line["branches"]):
                        if b.get("throw"):
                            throws.setdefault((name, line["line_number"]), set()).add(k)
out, current = [], None
for row in open(info):
    if row.startswith("SF:"):
        current = below_core(row[3:].strip())
    m = re.match(r"BRDA:(\d+),\d+,(\d+),", row)
    if m and int(m.group(2)) in throws.get((current, int(m.group(1))), ()):
        continue
    if row.startswith(("BRF:", "BRH:")):
        continue  # recounted by lcov from the BRDA lines
    out.append(row)
open(info, "w").writelines(out)
PY
patterns=()
for f in "${files[@]}"; do patterns+=("*/core/$f"); done
lcov --quiet "${rc[@]}" --extract "$build/all.info" "${patterns[@]}" --output-file "$build/readers.info"
lcov "${rc[@]}" --list "$build/readers.info"
lcov "${rc[@]}" --summary "$build/readers.info"
genhtml --quiet "${rc[@]}" --output-directory "$build/html" "$build/readers.info"
echo "HTML report: $build/html/index.html"

# The floor each file is kept at: 95 % of lines, 90 % of branches.
python3 - "$build/readers.info" <<'PY'
import sys
files, current = {}, None
for row in open(sys.argv[1]):
    row = row.strip()
    if row.startswith("SF:"):
        # Named by the path below core/, so two rooms' files of one name stay apart.
        current = files.setdefault(("/" + row[3:]).rsplit("/core/", 1)[-1], [0, 0, 0, 0])
    elif row.startswith("DA:"):
        current[0] += 1
        current[1] += int(row[3:].split(",")[1]) > 0
    elif row.startswith("BRDA:"):
        current[2] += 1
        current[3] += row.rsplit(",", 1)[1] not in ("-", "0")
low = [f"{name}: {100 * lh / lf:.1f} % lines, {100 * bh / bf:.1f} % branches"
       for name, (lf, lh, bf, bh) in sorted(files.items()) if lh < 0.95 * lf or bh < 0.90 * bf]
if low:
    print("below 95 % of lines or 90 % of branches:\n  " + "\n  ".join(low))
    sys.exit(1)
print("coverage: every reader and writer file at or above 95 % of lines and 90 % of branches")
PY
