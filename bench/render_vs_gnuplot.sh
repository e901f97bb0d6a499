#!/usr/bin/env bash
# Whole-process wall time of tavlo-render against gnuplot 5 (Debian's
# gnuplot-nox) on the same plots: paired runs (one of each, in turn), medians.
#   bench/render_vs_gnuplot.sh [RUNS]     (default 31 pairs per plot)
# Installs gnuplot-nox if missing and builds tavlo-render (Release) in
# build-render-bench; TAVLO_RENDER=path times another build instead. Prints a
# Markdown table for bench/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-31}"

command -v gnuplot >/dev/null || tools/setup.sh gnuplot-nox
tools/setup.sh
render="${TAVLO_RENDER:-}"
if [ -z "$render" ]; then
    cmake -S . -B build-render-bench -DCMAKE_BUILD_TYPE=Release -DTAVLO_BUILD_TESTS=OFF >/dev/null
    cmake --build build-render-bench -j"$(nproc)" --target tavlo-render >/dev/null
    render="$PWD/build-render-bench/render/tavlo-render"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# E1-E8 of the engine benchmark (bench/cases.h), sin(x) and x^2/10; gnuplot
# writes ^ as ** and pi() as pi.
e6='x+1.5*x^2-2*x^3+0.5*x^4-0.25*x^5+3*x^6-1.25*x^7+0.75*x^8-0.1*x^9+0.2*x^10-0.3*x^11+0.05*x^12-0.02*x^13+0.01*x^14-0.005*x^15+0.002*x^16-0.001*x^17+0.0005*x^18-0.0002*x^19+0.0001*x^20'
functions=('3*x^2+2*x+1' 'sin(x)*cos(x)' 'exp(-x*x/2)/sqrt(2*pi())' 'atan2(sin(x),cos(x))+abs(x)'
    '((x+1)*(x-1))/(x*x+1)' "$e6" 'tan(x)' '2*3*4+x' 'sin(x)' 'x^2/10')
ten=(--size 1920x1080 --step 1 1)
gp=""
for f in "${functions[@]}"; do
    ten+=(--y "$f")
    g=${f//^/**}
    gp+="${gp:+, }${g//pi()/pi}"
done
for term in png svg; do
    cat >"$work/ten.$term.gp" <<GP
set terminal $term size 1920,1080
set output '$work/gnuplot.$term'
set samples 1920
set xrange [-10:10]
set yrange [-10:10]
plot $gp
GP
done

python3 - "$runs" "$work" "$render" "${ten[@]}" <<'PY'
import os, resource, statistics, subprocess, sys, time

runs, work, render, ten = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4:]
env = dict(os.environ)
env.pop("QT_QPA_PLATFORM", None)  # the tool picks its own platform, as for a user

cpu = {}  # CPU time (user + system) of each command's runs, which load does not stretch

def wall(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(cmd, env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    elapsed = (time.perf_counter() - start) * 1000
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    used = (after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime) * 1000
    cpu.setdefault(cmd[0] + " " + cmd[-1], []).append(used)
    return elapsed

def compare(name, ours, theirs, target):
    try:
        wall(ours)
    except subprocess.CalledProcessError:  # an older build without the option
        print(f"| {name} | fails | | | | |")
        return
    for _ in range(2):  # warm the caches
        wall(ours)
        if theirs:
            wall(theirs)
    a, b = [], []
    for _ in range(runs):
        a.append(wall(ours))
        if theirs:
            b.append(wall(theirs))
    ma = statistics.median(a)
    ca = statistics.median(cpu[ours[0] + " " + ours[-1]][-runs:])
    if theirs:
        mb = statistics.median(b)
        cb = statistics.median(cpu[theirs[0] + " " + theirs[-1]][-runs:])
        ratio = statistics.median(x / y for x, y in zip(a, b))
        met = ratio <= target
        print(f"| {name} | {ma:.1f} ({ca:.1f}) | {mb:.1f} ({cb:.1f}) | {ratio:.2f} | <= {target} x | {'yes' if met else 'NO'} |")
    else:
        met = ma <= target
        print(f"| {name} | {ma:.1f} ({ca:.1f}) | | | <= {target} ms | {'yes' if met else 'NO'} |")

out = os.path.join(work, "tavlo")
load = os.getloadavg()[0]
print(f"{runs} paired runs, medians; wall time of the whole process in ms (CPU time in brackets);")
print(f"load average {load:.1f} on {os.cpu_count()} cores at the start.\n")
print("| plot | tavlo-render ms | gnuplot ms | median ratio | target | met |")
print("|---|---:|---:|---:|---|---|")
gpng = ["gnuplot", os.path.join(work, "ten.png.gp")]
compare("10 functions, 1920x1080, PNG", [render, *ten, "-o", out + ".png"], gpng, 0.5)
compare("10 functions, 1920x1080, SVG", [render, *ten, "-o", out + ".svg"],
        ["gnuplot", os.path.join(work, "ten.svg.gp")], 0.5)
compare("10 functions, 1920x1080, PNG, --axes --legend",
        [render, *ten, "--axes", "--legend", "-o", out + ".png"], gpng, 0.75)
compare("sin(x), default 232x216, PNG", [render, "--y", "sin(x)", "-o", out + ".png"], None, 20)
PY
