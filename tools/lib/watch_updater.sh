# Watching a running VELUpdater.exe in Xvfb from outside, through the probe
# fixture: what its status line and bar show, with a screenshot of the
# window at each change.

# $1: the updater's process id; $2: the probe; $3: the folder for the
# screenshots (numbered on from what it holds); $4: at least this many
# seconds between two reports while the status line stays the same (0:
# every change). Prints "window: <status line> | <bar text>" at each
# report, and closes a window that shows an error. Returns when the
# process ended.
velmora_watch_updater() {
  local updater=$1 probe=$2 shots=$3 every=${4:-0}
  local last="" last_text="" last_at=0 state label text bar bar_text now origin shot
  shot=$(find "$shots" -name '*.png' | wc -l)
  while kill -0 "$updater" 2>/dev/null; do
    state=$(wine "$probe" window 2>/dev/null | tr -d '\r')
    if echo "$state" | grep -q '^visible=1'; then
      label=$(echo "$state" | awk -F= '/\.rect=104,64,385,25$/ {split($1, k, "."); print k[1]}' | head -n 1)
      text=$(echo "$state" | grep "^$label.text=" | cut -d= -f2-)
      bar=$(echo "$state" | awk -F= '/\.rect=112,88,361,17$/ {split($1, k, "."); print k[1]}' | head -n 1)
      bar_text=""
      if echo "$state" | grep -q "^$bar.visible=1"; then bar_text=$(echo "$state" | grep "^$bar.text=" | cut -d= -f2-); fi
      now="$text${bar_text:+ | $bar_text}"
      if [ "$now" != "$last" ] && { [ "$text" != "$last_text" ] || [ $((SECONDS - last_at)) -ge "$every" ]; }; then
        echo "window: $now"
        origin=$(echo "$state" | grep '^client_origin=' | cut -d= -f2)
        shot=$((shot + 1))
        import -silent -window root -crop "604x229+${origin%,*}+${origin#*,}" "$shots/$(printf %02d "$shot").png"
        last=$now
        last_text=$text
        last_at=$SECONDS
        case "$text" in ERROR* | Error*) wine "$probe" close >/dev/null 2>&1 ;; esac
      fi
    fi
    sleep 0.3
  done
}
