# Sourced by the screenshot scripts: start_virtual_display SCREEN LOG starts Xvfb on a display number
# nobody uses, sets display (the number) and xvfb_pid, and returns once the display takes clients.
start_virtual_display() {
    display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 "$1" -nolisten tcp >"$2" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
}
