#!/usr/bin/env bash
# A crash as a new user meets it, on a real X server: the program killed by SIGSEGV ends with the
# signal's status and leaves a report; the next start without an address for reports shows nothing
# and keeps the report; a start with a server's address shows the report in an alert, Return sends
# it and the server receives it; the start after that offers nothing.
#   crash_reports_smoke.sh ORVANE SCRIPT WORKDIR
# Exits 77 (skipped) only when the X tools cannot be had.
set -euo pipefail

orvane=$1
script=$2
work=$3

source "$(dirname "$0")/smoke_common.bash"
smoke_require xvfb-run Xvfb xdotool import python3
fresh_work

# A server on this machine that keeps what is posted to it.
cat >"$work/server.py" <<'EOF_SERVER'
import http.server, sys
work = sys.argv[1]
class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with open(work + "/received.txt", "ab") as out:
            out.write(body)
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
open(work + "/port", "w").write(str(server.server_address[1]))
server.serve_forever()
EOF_SERVER

cat >"$work/session.sh" <<'EOF'
set -euo pipefail
work=$1
orvane=$2
source "$3/smoke_common.bash"
reports="$work/data/Orvane/Crash Reports"
alert_shown() { xdotool search --onlyvisible --name '^Orvane$' 2>/dev/null | head -1; }
end_program() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  trap - EXIT
}
# started NAME: the script's window drawn and at rest, its start done.
started() { await_quiet "the script's window drawn and at rest" 60 "$1" "1280x800+0+0"; }
# An alert would show as the start finishes: once the window is at rest, a span for it to come.
no_alert_after_start() {
  started "$1"
  sleep 2
}

start_program
started first
kill -SEGV "$pid"
status=0
wait "$pid" || status=$?
trap - EXIT
echo "killed with SIGSEGV: exit status $status"
if [ "$status" -ne 139 ]; then
  fail "the program did not end with the signal's status (128 + 11)"
fi
report=$(ls "$reports"/*.crash 2>/dev/null | head -1)
if [ -z "$report" ] || ! grep -q 'Signal: 11 (SIGSEGV)' "$report"; then
  fail "no report of the crash in $reports"
fi
echo "report: $(basename "$report")"
head -8 "$report"

# No address for reports: nothing is offered and the report stays.
start_program
no_alert_after_start no-address
if [ -n "$(alert_shown)" ]; then
  fail "an alert showed without an address for reports"
fi
end_program
[ -f "$report" ] || { echo "FAIL: the report went without being offered"; exit 1; }
echo "without an address: no alert, report kept"

# The server's address, set as a user sets it in the settings file.
python3 "$work/server.py" "$work" &
server=$!
within 30 test -s "$work/port" || fail "the report server gave no port within 30s"
python3 - "$work/config/Orvane/Orvane.plist" "http://127.0.0.1:$(cat "$work/port")/reports" <<'EOF_PLIST'
import plistlib, sys, os
path, address = sys.argv[1], sys.argv[2]
values = {}
if os.path.exists(path):
    with open(path, "rb") as f:
        values = plistlib.load(f)
values["crashReportsURL"] = address
os.makedirs(os.path.dirname(path), exist_ok=True)
with open(path, "wb") as f:
    plistlib.dump(values, f)
EOF_PLIST

start_program
alert=$(timeout 60 xdotool search --sync --onlyvisible --name '^Orvane$' | head -1 || true)
[ -n "$alert" ] || fail "no alert offered the report within 60s"
await_quiet "the alert drawn" 60 alert "1280x800+0+0"
xdotool windowactivate --sync "$alert" 2>/dev/null || xdotool windowfocus --sync "$alert"
xdotool key Return
within 60 grep -q 'Signal: 11 (SIGSEGV)' "$work/received.txt" || true
if ! grep -q 'Signal: 11 (SIGSEGV)' "$work/received.txt" 2>/dev/null; then
  echo "FAIL: the server did not receive the report"
  kill $server
  exit 1
fi
within 30 test ! -f "$report" || true
[ ! -f "$report" ] || { echo "FAIL: the sent report is still waiting"; kill $server; exit 1; }
echo "with the server's address: alert shown, Return sent the report, the server has it"
end_program

start_program
no_alert_after_start after-sending
if [ -n "$(alert_shown)" ]; then
  echo "FAIL: a sent report was offered again"
  kill $server
  exit 1
fi
end_program
kill $server
echo "the next start offers nothing"
echo "passed"
EOF

run_session 1280x800x24
