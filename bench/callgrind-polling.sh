#!/bin/sh
# Instructions the program executes while polling a drive paced at 9600 bit/s:
# a count that does not depend on how busy the machine is. Starts the
# simulated drive and the program under callgrind, lets it settle, counts for
# SECONDS (default 20) and prints the totals and the biggest inclusive costs.
# With --no-pace the drive answers at once, and the count per exchange shows
# what the program itself spends on one.
# Usage: bench/callgrind-polling.sh [build dir] [seconds] [--no-pace]
set -e
build=${1:-build}
seconds=${2:-20}
pace=${3:-}
dir=$(mktemp -d)
trap 'kill $prog $drive 2>/dev/null; rm -rf "$dir"' EXIT
"$build/sim/orvex-drive-sim" $pace --link="$dir/drive" >/dev/null 2>&1 &
drive=$!
sleep 0.5
(cd "$dir" && QT_QPA_PLATFORM=offscreen exec valgrind --tool=callgrind --callgrind-out-file="$dir/cg.out" \
    "$OLDPWD/$build/src/orvex" --port 1="$dir/drive") >/dev/null 2>&1 &
prog=$!
sleep 30   # start-up under valgrind, then polling settles
callgrind_control -z $prog >/dev/null 2>&1
sleep "$seconds"
callgrind_control -d $prog >/dev/null 2>&1
sleep 2
out=$(ls "$dir"/cg.out.* | head -1)
total=$(callgrind_annotate "$out" | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
calls() {  # how often a function was called, from the calling tree
    callgrind_annotate --inclusive=yes --tree=calling "$out" | grep ">.*$1" | sed -n 's/.* (\([0-9,]*\)x) .*/\1/p' | tr -d , | awk '{n += $1} END {print n + 0}'
}
wakes=$(calls 'DriveLink::receive(QByteArrayView)')
echo "instructions in $seconds s of polling: $total ($(( total / seconds )) a second)"
[ "$wakes" -gt 0 ] && echo "deliveries of received bytes to the link: $wakes ($(( total / wakes )) instructions each)"
replies=$(calls 'SplitReply(LinkState&)')  # one split a reply
[ "$replies" -gt 0 ] && echo "replies dispatched (exchanges): $replies ($(( total / replies )) instructions each)"
callgrind_annotate --inclusive=yes "$out" | grep -E 'PROGRAM TOTALS|g_main_context_(prepare|check|dispatch)|readyRead|readAll|DriveLink::(receive|takeChar|dispatch)|SplitReply|drawWidget|TimerDateTime_Timer|OnReply' | head -20
