#!/usr/bin/env bash
# system-bus-policy.sh FERIXDNC FERIXDNCCTL POLICY
# Runs the headless FerixDNC on a private bus configured as the system bus (its default
# rules: nobody owns a name that no policy grants), with POLICY as the only policy file, its
# user and group rewritten to the user running the test. The service must own its common
# name and its instance name; under a policy that grants the common name only, it must still
# own the common name and log the bus's reason for the refused instance name. A caller whom
# the policy refuses is told who may call, with an exit status of its own.
set -euo pipefail
program=$1
ctl=$2
policy=$3
system_conf=/usr/share/dbus-1/system.conf

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
# until_true SECONDS COMMAND...: polls COMMAND until it succeeds; false when it never did.
until_true() {
    local limit=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -lt "$limit" ] || return 1
        sleep 0.05
    done
}

# The system bus's configuration, listening in the work folder, its policy folder the test's.
start_bus() {  # start_bus POLICY_DIR
    sed -e '/<user>/d' -e '/<fork\/>/d' -e '/<pidfile>/d' -e '/<servicehelper>/d' \
        -e '/<syslog\/>/d' -e '/<standard_system_servicedirs\/>/d' \
        -e "s|<listen>.*</listen>|<listen>unix:path=$work/bus</listen>|" \
        -e "s|<includedir>system.d</includedir>|<includedir>$1</includedir>|" \
        -e '/<includedir>\/etc\/dbus-1\/system.d<\/includedir>/d' \
        -e '/<include .*\/etc\/dbus-1\//d' "$system_conf" >"$work/bus.conf"
    rm -f "$work/address"
    dbus-daemon --config-file="$work/bus.conf" --nofork --print-address=3 3>"$work/address" &
    pids+=($!)
    until_true 60 test -s "$work/address" || { echo "the bus did not start"; exit 1; }
    DBUS_SYSTEM_BUS_ADDRESS=$(head -1 "$work/address")
    export DBUS_SYSTEM_BUS_ADDRESS
}
has_owner() {  # has_owner NAME
    dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}
# start_service LOG: returns once the service told what became of its common name.
start_service() {
    "$program" --headless --system-bus --config "$work/DNC.ini" --history "$work/history.db" \
        >"$1" 2>&1 &
    pids+=($!)
    until_true 60 grep -q 'org\.ferixdnc\.DNC\( \|$\)' "$1" ||
        { echo "the service said nothing of its common name:"; cat "$1"; exit 1; }
}
stop_all() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    pids=()
}

me=$(id -un)
group=$(id -gn)
printf '[Common]\n' >"$work/DNC.ini"
grant() {  # grant FILE: POLICY with its user and group those of the test
    sed -e "s/user=\"ferixdnc\"/user=\"$me\"/" -e "s/group=\"ferixdnc-operators\"/group=\"$group\"/" \
        "$policy" >"$1"
}

# The policy as shipped: both names.
mkdir -p "$work/shipped"
grant "$work/shipped/org.ferixdnc.DNC.conf"
start_bus "$work/shipped"
start_service "$work/shipped.log"
has_owner org.ferixdnc.DNC || fail "the shipped policy: org.ferixdnc.DNC has no owner"
until_true 10 grep -q 'owns org\.ferixdnc\.DNC\.instance[0-9]' "$work/shipped.log" ||
    fail "the shipped policy: the instance name was not owned"
grep -q 'could not be owned\|not driven' "$work/shipped.log" &&
    fail "the shipped policy: a name was refused"
"$ctl" --system list >"$work/list.out" 2>&1 || fail "the shipped policy: ferixdncctl --system list: $(cat "$work/list.out")"
stop_all

# A policy that grants the common name only: the service still owns it and says why the
# instance name was refused, in the bus's words; it does not claim there were no bus.
mkdir -p "$work/common-only"
sed -e 's|<allow own_prefix="org.ferixdnc.DNC"/>|<allow own="org.ferixdnc.DNC"/>|' \
    "$work/shipped/org.ferixdnc.DNC.conf" >"$work/common-only/org.ferixdnc.DNC.conf"
grep -q '<allow own="org.ferixdnc.DNC"/>' "$work/common-only/org.ferixdnc.DNC.conf" ||
    { echo "the policy no longer grants its names with own_prefix"; exit 1; }
start_bus "$work/common-only"
start_service "$work/common-only.log"
has_owner org.ferixdnc.DNC || fail "the common name only: org.ferixdnc.DNC has no owner"
grep -q 'owns org\.ferixdnc\.DNC$' "$work/common-only.log" ||
    fail "the common name only: the log does not say that it owns org.ferixdnc.DNC"
grep -q 'the name org\.ferixdnc\.DNC\.instance[0-9]* could not be owned: .*not allowed to own' \
    "$work/common-only.log" || fail "the common name only: the refusal's reason is not logged"
grep -q 'not available' "$work/common-only.log" && fail "the common name only: blames the bus"
stop_all

# A policy under which the caller may own the names but not call (not in the group): the
# refused call says who may call and exits with status 4; a call that everybody may make
# (the list of sub nets) still answers.
mkdir -p "$work/refused"
sed -e '/<policy user=/,/<\/policy>/{/send_destination/d}' \
    -e 's/group="[^"]*"/group="no-such-group-of-ferixdnc-tests"/' \
    "$work/shipped/org.ferixdnc.DNC.conf" >"$work/refused/org.ferixdnc.DNC.conf"
start_bus "$work/refused"
start_service "$work/refused.log"
"$ctl" --system list >/dev/null 2>&1 || fail "refused caller: the list everybody may read failed"
status=0
"$ctl" --system start 1 >"$work/refused.out" 2>&1 || status=$?
[ "$status" -eq 4 ] || fail "refused caller: exit status $status, not 4"
grep -q "only members of group ferixdnc-operators may drive FerixDNC, and $me is not one" \
    "$work/refused.out" || fail "refused caller: told $(cat "$work/refused.out")"
grep -q 'Rejected send message' "$work/refused.out" && fail "refused caller: shown the bus's raw text"
stop_all

if [ "$failures" -ne 0 ]; then
    echo "--- shipped policy:"; cat "$work/shipped.log"
    echo "--- common name only:"; cat "$work/common-only.log"
    echo "--- refused caller:"; cat "$work/refused.log"
    exit 1
fi
echo "the service owns its names under the shipped policy and the common name under a narrower one"
