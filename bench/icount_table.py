#!/usr/bin/env python3
"""Turns the callgrind dumps of eval_icount into a markdown table of
instructions per evaluation and per compilation.
   icount_table.py DIR EVALS COMPILES < eval_icount-stdout"""
import glob
import re
import sys

out_dir, evals, compiles = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
code_len = {}
for line in sys.stdin:
    m = re.match(r"(E\d) instructions (\d+)", line)
    if m:
        code_len[m.group(1)] = int(m.group(2))
cells = {}
for path in glob.glob(out_dir + "/cg.*"):
    name = total = None
    with open(path) as f:
        for line in f:
            if line.startswith("desc: Trigger: Client Request: "):
                name = line.rsplit(": ", 1)[1].strip()
            elif line.startswith("totals: "):
                total = int(line.split()[1])
    if name and total is not None:
        row, col = name.split("/")
        cells.setdefault(row, {})[col] = total
print("| formula | code instr | fval | make_var+value | muparser | C++ | C++ same calls"
      " | (fval-same calls)/code instr | compile | muparser compile |")
print("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
for row in sorted(cells):
    c = cells[row]
    fv, va, mu, cp, ca = (c[k] / evals for k in ("fval", "value", "muparser", "cpp", "calls"))
    n = code_len.get(row, 0)
    print(f"| {row} | {n} | {fv:.1f} | {va:.1f} | {mu:.1f} | {cp:.1f} | {ca:.1f} | "
          f"{(fv - ca) / n if n else 0:.1f} | {c['compile'] / compiles:.0f} | "
          f"{c['mucompile'] / compiles:.0f} |")
# fval_batch: over the 233-sample curve, and over the same samples in calls of
# n samples (1, 2, 4, 8), beside fval; per sample (the short ones cover 232 of
# the 233 samples, so they read some 0.4% low).
print()
print("| formula | fval | fval_batch 233 | fval_batch 1 | fval_batch 2 | fval_batch 4"
      " | fval_batch 8 |")
print("|---|---:|---:|---:|---:|---:|---:|")
for row in sorted(cells):
    c = cells[row]
    if "batch" not in c:
        continue
    cols = [c[k] / evals for k in ("fval", "batch", "batch1", "batch2", "batch4", "batch8")]
    print(f"| {row} | " + " | ".join(f"{v:.1f}" for v in cols) + " |")
