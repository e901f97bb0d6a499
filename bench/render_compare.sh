#!/usr/bin/env bash
# Runs two builds of tavlo-render over the same varied command lines and
# compares what they write: PNG by decoded pixels (the bytes may differ), SVG
# and CSV byte for byte, and the exit status. For changes that must not alter
# any picture or table.
#
#   bench/render_compare.sh OLD_TAVLO_RENDER NEW_TAVLO_RENDER [WORKDIR]
set -euo pipefail
old="$1"
new="$2"
work="${3:-$(mktemp -d)}"
here="$(cd "$(dirname "$0")" && pwd)"
mkdir -p "$work/old" "$work/new"

# One invocation a line, NAME|ARGUMENTS; OUT stands for the output's path (its
# ending chooses the format). A csv_ case without OUT writes to standard output.
cases=(
    "png_default|--y sin(x) -o OUT.png"
    "svg_default|--y sin(x) -o OUT.svg"
    "png_three|--y sin(x) --y x^2/10 --x y^2/4-3 -o OUT.png"
    "svg_three|--y sin(x) --y x^2/10 --x y^2/4-3 -o OUT.svg"
    "png_step1_tan|--bounds -2*pi() 2*pi() -3 3 --grid pi()/2 0.5 --step 1 1 --y tan(x) --x 2*cos(y) -o OUT.png"
    "svg_step1_tan|--bounds -2*pi() 2*pi() -3 3 --grid pi()/2 0.5 --step 1 1 --y tan(x) --x 2*cos(y) -o OUT.svg"
    "png_nogrid|--bounds 5 15 -8 8 --no-grid --step 3 2 --color 000000 --y x^2/4-6 --color d07000 --x y+10 -o OUT.png"
    "svg_nogrid|--bounds 5 15 -8 8 --no-grid --step 3 2 --color 000000 --y x^2/4-6 --color d07000 --x y+10 -o OUT.svg"
    "png_big10|--size 1920x1080 --step 1 1 --y 3*x^2+2*x+1 --y sin(x)*cos(x) --y exp(-x*x/2)/sqrt(2*pi()) --y atan2(sin(x),cos(x))+abs(x) --y ((x+1)*(x-1))/(x*x+1) --y tan(x) --y 2*3*4+x --y sin(x) --y x^2/10 --y 0.0001*x^4 -o OUT.png"
    "svg_big10|--size 1920x1080 --step 1 1 --y 3*x^2+2*x+1 --y sin(x)*cos(x) --y exp(-x*x/2)/sqrt(2*pi()) --y atan2(sin(x),cos(x))+abs(x) --y ((x+1)*(x-1))/(x*x+1) --y tan(x) --y 2*3*4+x --y sin(x) --y x^2/10 --y 0.0001*x^4 -o OUT.svg"
    "png_big10_deco|--size 1920x1080 --step 1 1 --y 3*x^2+2*x+1 --y sin(x)*cos(x) --y tan(x) --y sin(x) --y x^2/10 --axes --legend -o OUT.png"
    "svg_big10_deco|--size 1920x1080 --step 1 1 --y 3*x^2+2*x+1 --y sin(x)*cos(x) --y tan(x) --y sin(x) --y x^2/10 --axes --legend -o OUT.svg"
    "png_axes_legend_title|--axes --legend --title Three --y sin(x) --y x^2/10 --color 008000 --x y^2/4-3 -o OUT.png"
    "svg_axes_legend_title|--axes --legend --title Three --y sin(x) --y x^2/10 --color 008000 --x y^2/4-3 -o OUT.svg"
    "png_pi_grid|--axes --legend --size 640x400 --bounds -2*pi() 2*pi() -3 3 --grid pi()/2 0.5 --color 008000 --y tan(x) --color c000c0 --y atan2(x,1) -o OUT.png"
    "svg_pi_grid|--axes --legend --size 640x400 --bounds -2*pi() 2*pi() -3 3 --grid pi()/2 0.5 --color 008000 --y tan(x) --color c000c0 --y atan2(x,1) -o OUT.svg"
    "png_edges|--axes --legend --size 600x400 --bounds 2 9 3 7 --no-grid --y sin(x)+5 -o OUT.png"
    "svg_edges|--axes --legend --size 600x400 --bounds 2 9 3 7 --no-grid --y sin(x)+5 -o OUT.svg"
    "png_tiny_aa|--axes --legend --size 300x300 --bounds 1000 1001 -0.001 0.001 --grid 0.01 1E-4 --antialias --y (x-1000.5)/500 -o OUT.png"
    "svg_tiny_aa|--axes --legend --size 300x300 --bounds 1000 1001 -0.001 0.001 --grid 0.01 1E-4 --antialias --y (x-1000.5)/500 -o OUT.svg"
    "png_aa|--antialias --y sin(x)*3 --x y^2/5 -o OUT.png"
    "svg_aa|--antialias --y sin(x)*3 --x y^2/5 -o OUT.svg"
    "png_reference|--y x**2/10 --y f(0)-2*pi -o OUT.png"
    "png_1bit|--no-grid --bounds 1 2 1 2 -o OUT.png"
    "png_2color|--no-grid --bounds 1 2 1 2 --color 000000 --y x -o OUT.png"
    "png_tall|--size 7x900 --step 10 10 --y x -o OUT.png"
    "png_wide|--size 2000x3 --y x/100 -o OUT.png"
    "png_colors9|--y x --y -x --y x/2 --y -x/2 --y 2*x --y -2*x --y x/3 --color ff00ff --y -x/3 -o OUT.png"
    "png_colors20|--y x --y -x --y x/2 --y -x/2 --y 2*x --y -2*x --y x/3 --y -x/3 --y x/4 --y -x/4 --y 3*x --y -3*x --color 112233 --y x+1 --color 445566 --y x+2 --color 778899 --y x+3 --color aabbcc --y x+4 --color ddeeff --y x+5 -o OUT.png"
    "svg_colors|--color red --y x --color #00ff00 --y -x --color navy --x y/2 -o OUT.svg"
    "png_axes_far|--axes --bounds 1000000 2000000 -3 -1 --y -2 -o OUT.png"
    "svg_axes_far|--axes --bounds 1000000 2000000 -3 -1 --y -2 -o OUT.svg"
    "png_axes_nogrid_origin|--axes --no-grid --y x^3/100 -o OUT.png"
    "png_legend_long|--legend --y sin(x)+cos(x)+sin(2*x)+cos(2*x)+sin(3*x)+cos(3*x)+sin(4*x) -o OUT.png"
    "png_title_only|--title Hello --y x -o OUT.png"
    "csv_default|--table 7 --y sin(x)"
    "csv_both|--table 1001 --bounds -1 1 -pi()/pi() 1 --y ln(x) --x 1/y --y f(0)*2+atan2(x,1)"
    "csv_file|--table 50 --bounds 0 100 0 1 --y sqrt(x) --y rnd()*0+x -o OUT.csv"
    "csv_y_only|--table 11 --x y^2 --x exp(y)"
    "csv_big|--table 20000 --y 0.0001*x^20+x^3 --y tan(x)"
    "err_paren|--y sin(x -o OUT.png"
    "err_bounds|--bounds 1 1 -1 1 --y x -o OUT.png"
)

fail=0
for c in "${cases[@]}"; do
    name="${c%%|*}"
    args="${c#*|}"
    for side in old new; do
        tool="$old"
        [ "$side" = new ] && tool="$new"
        read -r -a argv <<<"$args"
        out="$work/$side/$name"
        for i in "${!argv[@]}"; do argv[$i]="${argv[$i]//OUT/$out}"; done
        set +e
        if [[ "$name" == csv_* && "$args" != *OUT* ]]; then
            env -u QT_QPA_PLATFORM "$tool" "${argv[@]}" >"$out.csv" 2>"$out.err"
        else
            env -u QT_QPA_PLATFORM "$tool" "${argv[@]}" >/dev/null 2>"$out.err"
        fi
        echo $? >"$out.status"
        set -e
    done
    o="$work/old/$name"
    n="$work/new/$name"
    verdict=same
    if ! cmp -s "$o.status" "$n.status"; then
        verdict="status $(cat "$o.status") -> $(cat "$n.status")"
    elif [ -f "$o.png" ]; then
        python3 "$here/png_pixels.py" "$o.png" "$n.png" || verdict="PNG pixels differ"
        verdict="$verdict ($(stat -c %s "$o.png") -> $(stat -c %s "$n.png") bytes)"
    elif [ -f "$o.svg" ]; then
        cmp -s "$o.svg" "$n.svg" || verdict="SVG differs"
    elif [ -f "$o.csv" ]; then
        cmp -s "$o.csv" "$n.csv" || verdict="CSV differs"
    fi
    [[ "$verdict" == same* ]] || fail=1
    printf '%-24s %s\n' "$name" "$verdict"
done
echo "outputs in $work"
exit $fail
