# Time against size, from the best figures of bench/run.sh (one file per
# series in dir, "size ms" lines).  Both axes logarithmic: a line of slope
# one is a cost that grows linearly.
set terminal pngcairo size 1500,520 font "DejaVu Sans,10"
set output out
set logscale xy
set grid
set key top left
set xlabel "size"
set ylabel "ms"
set format x "%.0s%c"
set multiplot layout 1,3 title "KWUNINST benchmarks: time against size (bench/run.sh)"

set title "Emptying the installation directory"
set xlabel "files"
plot dir."/files-wine-ours.dat" with linespoints lw 2 title "ours, Wine", \
     dir."/files-wine-minimal.dat" with linespoints title "minimal Win32, Wine", \
     dir."/files-wine-rd.dat" with linespoints title "rd /s /q, Wine", \
     dir."/files-sim-ours.dat" with linespoints lw 2 dt 2 title "ours, simulated", \
     dir."/files-sim-minimal.dat" with linespoints dt 2 title "minimal, simulated"

set title "Deleting a key tree"
set xlabel "keys"
plot dir."/registry-wine-ours.dat" with linespoints lw 2 title "DeleteKeyTree, Wine", \
     dir."/registry-wine-RegDeleteTreeA.dat" with linespoints title "RegDeleteTreeA, Wine", \
     dir."/registry-sim-ours.dat" with linespoints lw 2 dt 2 title "DeleteKeyTree, simulated", \
     dir."/registry-sim-minimal.dat" with linespoints dt 2 title "minimal, simulated"

set title "A whole confirmed run, simulated machine"
set xlabel "files in the installation directory"
set ylabel "ms besides the pauses"
plot dir."/run-sim-wall.dat" with linespoints lw 2 title "whole run"

unset multiplot
