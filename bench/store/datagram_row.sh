#!/bin/sh
# Prints figure 10's table row from the two datagram-path programs, run one
# after the other on the measured CPU: the listener with the pilot's
# controls, and the same code compiled without them.
#   datagram_row.sh CPU WITH_CONTROLS WITHOUT_CONTROLS
set -eu
cpu=$1
with=$(taskset -c "$cpu" "$2")
without=$(taskset -c "$cpu" "$3")
printf '%s\n%s\n' "$with" "$without" | awk '
  # "repeat MEDIAN RUN..." lines, the controls first.
  { n = NR <= 2 ? "w" : "o"; med[n, $1] = $2; lo[n, $1] = $3; hi[n, $1] = $3
    for (i = 3; i <= NF; i++) { if ($i < lo[n, $1]) lo[n, $1] = $i; if ($i > hi[n, $1]) hi[n, $1] = $i } }
  function t(n, k) { return sprintf("%s %.1f ns (%.1f–%.1f)", k, med[n, k], lo[n, k], hi[n, k]) }
  END {
    printf "| 10 Pilot'"'"'s controls, the listener'"'"'s work per datagram without the socket (HandleDatagram, 10 channels): steady radio (repeat, dropped) and radio change (move request) | zovik_core in a native program; Wine: not run | with the controls: %s · %s | the same sources compiled without them (as the fixed API 20 build): %s · %s | repeat %+.1f ns, change %+.1f ns a datagram | beside figure 1 (µs a datagram) | reported |\n",
      t("w", "repeat"), t("w", "change"), t("o", "repeat"), t("o", "change"),
      med["w", "repeat"] - med["o", "repeat"], med["w", "change"] - med["o", "change"]
  }'
