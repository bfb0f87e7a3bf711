# BENCHMARKS.md with its results table made from the CSV (scripts/bench.sh), between the markers.
BEGIN { FS = "," }
FNR == NR && $3 == "memory_walk" { walk = $5 }
FNR == NR && $3 == "memory_floor" { own = own sprintf(" %.1f |", walk - $5) }
FNR == NR && $3 == "fill" { head = head " " $2 " devices |"; rule = rule "---|"; floor = floor " " int($6) " |" }
FNR == NR && FNR > 1 && $3 !~ /^memory/ {
    build = $1
    row[$3] = row[$3] sprintf(" %.2fx (%.2f-%.2f), %d ms, pairs: %d |", $7, $8, $9, $5, $4)
}
FNR == NR { next }
/^<!-- results end -->/ { skip = 0 }
skip { next }
{ print }
/^<!-- results begin -->/ {
    skip = 1
    print "| " build " build: median ratio (lowest-highest), median time |" head
    print "|---|" rule
    print "| Fill of every device, to the floor |" row["fill"]
    print "| Export, to the floor |" row["export"]
    print "| Start-up, to the bare window after the floor |" row["startup"]
    print "| Floor, every class (ms) |" floor
    print "| The program's own memory: its walk less the floor (MB) |" own
}
