# The plot of one benchmark run: gnuplot -e "results='DIR'" bench/plot.gp writes DIR/bench.png.
set terminal pngcairo size 1400,1000 font "DejaVu Sans,10" noenhanced
set output results."/bench.png"
set datafile separator ","
set grid ytics
set key top left

machine = system("sed -n 's/^machine=//p; s/^wine=//p; s/^date=//p' ".results."/machine.txt | paste -sd '|' | sed 's/|/  -  /g'")
series(figure, variant) = sprintf("< awk -F, '$1 == \"%s\" && $3 == \"%s\"' %s/summary.csv", figure, variant, results)

set multiplot layout 2,2 title "Tandrel Pro benchmarks  (".machine.")"

# Ratios against their goals: the bar is the median of the paired ratios, the whisker the quartiles.
set title "Ratios against their goals (bar: median, whisker: quartiles, red: goal)"
set style fill solid 0.5
set boxwidth 0.6
set xtics rotate by -40 font ",8" nomirror
set yrange [0:*]
goals = sprintf("< awk -F, 'NR > 1 && $11 + 0 > 0 && $4 !~ /^bare/ { label = ($1 == \"flat per process\") ? \"flat \" substr($2, 7) : $1 \" \" $3 \" / \" $5; print label \",\" $6 \",\" $7 \",\" $8 \",\" $11 }' %s/ratios.csv", results)
plot goals using 0:2:xtic(1) with boxes lc rgb "#4a7ab5" notitle, \
     '' using 0:2:3:4 with yerrorbars lc rgb "black" pt -1 notitle, \
     '' using ($0 - 0.4):5:(0.8):(0) with vectors nohead lw 2 lc rgb "red" title "goal"
unset xtics
set xtics nomirror
set autoscale y

# Real processes: time per process (or row) against the number of helpers running.
set title "Real processes: microseconds per process (median, quartiles)"
set xlabel "helper processes"
set ylabel "us per process"
set xtics (25, 100, 200)
set xrange [0:225]
set logscale y
set yrange [10:100000]
set key top right font ",8"
perUnit = "using 2:($11/1000):($12/1000):($13/1000)"
plot series("snapshot", "bare loop (module route)") @perUnit with yerrorlines title "snapshot: bare loop (module route)", \
     series("snapshot", "bare loop (module route) + list fill") @perUnit with yerrorlines title "bare loop (module route) + list fill (per row)", \
     series("snapshot", "bare loop (image name)") @perUnit with yerrorlines title "snapshot: bare loop (image name)", \
     series("snapshot", "TakeProcessSnapshot") @perUnit with yerrorlines title "TakeProcessSnapshot", \
     series("snapshot", "RefreshProcessList") @perUnit with yerrorlines title "RefreshProcessList (per row)", \
     series("move", "bare loop") @perUnit with yerrorlines dt 2 title "move: bare loop", \
     series("move", "MoveProcesses") @perUnit with yerrorlines dt 2 title "MoveProcesses", \
     series("move all", "MoveAllProcesses") @perUnit with yerrorlines dt 3 title "MoveAllProcesses", \
     series("isolate", "IsolateProcesses") @perUnit with yerrorlines dt 4 title "IsolateProcesses"
set autoscale x

# Pretend processes: the per-process cost should stay flat as their number grows.
set title "Pretend processes: nanoseconds per process (median, quartiles)"
set logscale y
set yrange [1:100000]
set xlabel "pretend processes"
set ylabel "ns per process"
set logscale x
set xtics (1000, 10000, 100000)
set xrange [700:140000]
perNs = "using 2:11:12:13"
plot series("scale snapshot", "TakeProcessSnapshot") @perNs with yerrorlines title "TakeProcessSnapshot", \
     series("scale snapshot", "bare loop") @perNs with yerrorlines dt 2 title "snapshot: bare loop", \
     series("scale move all", "MoveAllProcesses") @perNs with yerrorlines title "MoveAllProcesses", \
     series("scale move all", "bare loop") @perNs with yerrorlines dt 2 title "move all: bare loop", \
     series("scale move", "MoveProcesses") @perNs with yerrorlines title "MoveProcesses", \
     series("scale isolate", "IsolateProcesses") @perNs with yerrorlines title "IsolateProcesses"
unset logscale x
unset logscale y
set autoscale x
set key top left font ",10"

# Start-up: from CreateProcess to the window shown (the product's with its list filled).
set title "Start-up until the window shows (median, quartiles)"
set xlabel "helper processes running"
set ylabel "ms"
set xrange [-0.6:1.6]
set xtics ("0" 0, "200" 1)
set yrange [0:*]
set boxwidth 0.2
at(size, shift) = (size == 0 ? 0 : 1) + shift
plot series("start-up", "Tandrel Pro.exe") using (at($2, -0.33)):($5/1000):($6/1000):($7/1000):(0.2) with boxerrorbars lc rgb "#4a7ab5" title "Tandrel Pro.exe", \
     series("start-up", "Tandrel Pro.exe (module route)") using (at($2, -0.11)):($5/1000):($6/1000):($7/1000):(0.2) with boxerrorbars lc rgb "#b54a4a" title "Tandrel Pro.exe (module route)", \
     series("start-up", "minimal dialog") using (at($2, 0.11)):($5/1000):($6/1000):($7/1000):(0.2) with boxerrorbars lc rgb "#b5834a" title "minimal dialog", \
     series("start-up", "minimal dialog + product imports") using (at($2, 0.33)):($5/1000):($6/1000):($7/1000):(0.2) with boxerrorbars lc rgb "#8ab54a" title "minimal dialog + product imports"

unset multiplot
