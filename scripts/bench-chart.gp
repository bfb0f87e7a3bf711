# The benchmark's chart from its CSV, drawn by scripts/bench.sh (what it shows: BENCHMARKS.md).
set terminal pngcairo size 900,560 font "DejaVu Sans,11"; set output output
set datafile separator ","; set key top left; set xrange [100:20000]
set title sprintf("Halvoran under Wine 8 (%s build): median times", build)
set xlabel "devices present"; set ylabel "time (s)"; set logscale xy; set format x "%.0f"
set grid xtics ytics mxtics mytics lc rgb "#dddddd"
rows(figure) = sprintf("< grep ',%s,' '%s'", figure, csv)
plot rows("fill") using 2:($6/1000) with linespoints lw 2 pt 7 title "floor: the same system calls", \
     rows("fill") using 2:($5/1000) with linespoints lw 2 pt 5 title "fill of every device", \
     rows("export") using 2:($5/1000) with linespoints lw 2 pt 9 title "export (after the dialog)", \
     rows("startup") using 2:($5/1000) with linespoints lw 2 pt 11 title "start-up until every device is listed", \
     rows("startup") using 2:($6/1000) with linespoints lw 2 pt 13 dt 2 title "bare window after the floor, fresh"
