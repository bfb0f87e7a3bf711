# The benchmark's chart: time against the number of devices, both on log scales.
#   gnuplot -e "data='bench-chart.dat'; output='chart.png'; build='i686'" bench-chart.gp
# The data: one line a size: devices present, then the median floor, fill of every device,
# export and start-up, in ms.
set terminal pngcairo size 900,560 font "DejaVu Sans,11"
set output output
set title sprintf("Halvoran under Wine 8 (%s build): median times", build)
set xlabel "devices present"
set ylabel "time (s)"
set logscale xy
set format x "%.0f"
set grid xtics ytics mxtics mytics lc rgb "#dddddd"
set key top left
set xrange [100:20000]
plot data using 1:($2/1000) with linespoints lw 2 pt 7 title "floor: the same system calls, bare", \
     data using 1:($3/1000) with linespoints lw 2 pt 5 title "fill of every device (category 0)", \
     data using 1:($4/1000) with linespoints lw 2 pt 9 title "export (after the dialog)", \
     data using 1:($5/1000) with linespoints lw 2 pt 11 title "start-up until every device is listed"
