# Shared by scripts/demo and scripts/test. Sourced, not run.

REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# Debian packages the build, the tests and the demo need.
VOSTRALO_PACKAGES=(
    cmake g++ make pkg-config clang-format
    qt6-base-dev qt6-base-dev-tools libgl-dev
    firebird-dev libfbclient2 firebird3.0-server firebird3.0-server-core firebird3.0-utils
    xvfb xauth x11-utils xdotool imagemagick fonts-liberation libxcb1-dev
    iproute2 procps
)

log() { printf '>>> %s\n' "$*" >&2; }

install_missing_packages() {
    local missing=() p
    for p in "${VOSTRALO_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    # The Firebird server package would start the system-wide server; we only want its files.
    local policy=/usr/sbin/policy-rc.d own_policy=0
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' >"$policy"
        chmod +x "$policy"
        own_policy=1
    fi
    local rc=0
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends "${missing[@]}"; } >&2 || rc=$?
    [ $own_policy -eq 1 ] && rm -f "$policy"
    return $rc
}

build_project() { # build_dir [target...]
    local build_dir="$1"
    shift
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    cmake -S "$REPO_ROOT" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
    cmake --build "$build_dir" -j"$(nproc)" "${targets[@]}" >&2
}

# Starts an Xvfb at 96 DPI; sets XVFB_PID and DISPLAY.
start_xvfb() {
    local dir="$1"
    mkdir -p "$dir"
    local fdfile="$dir/display"
    : >"$fdfile"
    # in a session of its own: a Ctrl+C in the terminal must not take the display away first
    setsid Xvfb -displayfd 7 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp 7>"$fdfile" \
        >"$dir/xvfb.log" 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 100); do
        [ -s "$fdfile" ] && break
        sleep 0.1
    done
    [ -s "$fdfile" ] || { log "Xvfb did not start"; return 1; }
    export DISPLAY=":$(head -n1 "$fdfile")"
}

stop_pid() {
    local pid="$1" i
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || return 0
    for i in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
}

# Private Firebird servers of a run, each in a folder of its own under WORK.
SERVER_PIDS=()
start_test_server() { # name password -> exports VOSTRALO_FB_<NAME>=127.0.0.1/PORT
    local out port pid
    out="$("$REPO_ROOT/scripts/fbserver" start "$WORK/fb-$1" "$2")"
    read -r port pid <<<"$out"
    SERVER_PIDS+=("$pid")
    export "VOSTRALO_FB_$1=127.0.0.1/$port"
    log "Firebird server $1 on port $port (pid $pid)"
}
stop_test_servers() {
    local pid
    for pid in "${SERVER_PIDS[@]}"; do "$REPO_ROOT/scripts/fbserver" stop "$pid"; done
    SERVER_PIDS=()
}
