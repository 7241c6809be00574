#!/usr/bin/env bash
# Mutation check: how many deliberate faults do the tests catch?
#
# Applies the faults listed in scripts/mutations.txt one at a time to the source tree, rebuilds
# the test programs that cover the changed file in a build folder of its own, runs those tests
# and puts the file back. Per fault it prints "caught" (a covering test failed), "MISSED" (all
# covering tests passed), "does not build" (the fault does not compile; counted apart) or
# "stale entry" (the line no longer holds the original text: the list needs mending), and at the
# end "caught N of M", M being the faults that built.
#
# Usage: scripts/mutation-sample.sh [-j N] [-b BUILD_DIR] [-l LIST] [-n] [PATTERN]
#   PATTERN   run only the entries whose "FILE:LINE" header or original text contains it
#   -j N      parallel jobs for the build and for ctest (default 1: the machine is shared)
#   -b DIR    build folder (default build-mutation/, configured on first use)
#   -l LIST   fault list (default scripts/mutations.txt)
#   -n        check only that every entry still matches its line; build and run nothing
#
# Which tests run: the list file maps folders to a CTest -R regex ("folder PREFIX REGEX"; the
# longest matching prefix wins) and an entry may give its own ("tests REGEX"). The programs of
# the tests that regex selects are the only targets rebuilt.
#
# The tree must be clean (git status) before the run and is clean after it, also after Ctrl-C:
# the changed file is restored from a backup copy and the run ends with a check of git diff.
# Exit status: 0 when every entry applied and built, 2 when an entry was stale or did not
# build, 1 on a usage or set-up error, 130 when interrupted.
set -u

cd "$(dirname "$0")/.."
ROOT=$(pwd)
JOBS=1
BUILD_DIR=build-mutation
LIST=scripts/mutations.txt
CHECK_ONLY=0
while getopts "j:b:l:nh" option; do
    case $option in
    j) JOBS=$OPTARG ;;
    b) BUILD_DIR=$OPTARG ;;
    l) LIST=$OPTARG ;;
    n) CHECK_ONLY=1 ;;
    *)
        sed -n '2,/^set -u/p' "$0" | sed '$d; s/^# \{0,1\}//'
        [ "$option" = h ] && exit 0 || exit 1
        ;;
    esac
done
shift $((OPTIND - 1))
PATTERN=${1:-}

[ -f "$LIST" ] || { echo "mutation-sample: no fault list $LIST" >&2; exit 1; }
if [ $CHECK_ONLY = 0 ] && [ -n "$(git status --porcelain)" ]; then
    echo "mutation-sample: the work tree has changes; commit or stash them first" >&2
    exit 1
fi

# ---- Reading the list ---------------------------------------------------------------------
# An entry:
#   FILE:LINE
#   - original text (found on that line, as is)
#   + replacement text
#   tests REGEX          (optional)
declare -a E_FILE E_LINE E_FROM E_TO E_TESTS E_HEADER
declare -a F_PREFIX F_REGEX
count=0
current=-1
number=0
while IFS= read -r raw || [ -n "$raw" ]; do
    number=$((number + 1))
    line=${raw%$'\r'}
    case $line in
    '' | '#'*) continue ;;
    'folder '*)
        rest=${line#folder }
        F_PREFIX+=("${rest%% *}")
        F_REGEX+=("${rest#* }")
        ;;
    '- '*) [ $current -ge 0 ] && E_FROM[current]=${line#- } ;;
    '+ '* | '+') [ $current -ge 0 ] && E_TO[current]=${line#+} && E_TO[current]=${E_TO[current]# } ;;
    'tests '*) [ $current -ge 0 ] && E_TESTS[current]=${line#tests } ;;
    *:[0-9]*)
        current=$count
        count=$((count + 1))
        E_HEADER[current]=$line
        E_FILE[current]=${line%:*}
        E_LINE[current]=${line##*:}
        E_FROM[current]=
        E_TO[current]=
        E_TESTS[current]=
        ;;
    *)
        echo "mutation-sample: $LIST:$number: cannot read \"$line\"" >&2
        exit 1
        ;;
    esac
done <"$LIST"

TestsFor() # entry index -> CTest regex
{
    local index=$1 best="" regex="" i
    if [ -n "${E_TESTS[index]}" ]; then
        echo "${E_TESTS[index]}"
        return
    fi
    for i in "${!F_PREFIX[@]}"; do
        case ${E_FILE[index]} in
        "${F_PREFIX[i]}"*)
            if [ ${#F_PREFIX[i]} -gt ${#best} ]; then
                best=${F_PREFIX[i]}
                regex=${F_REGEX[i]}
            fi
            ;;
        esac
    done
    echo "$regex"
}

# ---- Applying and restoring -----------------------------------------------------------------
BACKUP=$(mktemp -d "${TMPDIR:-/tmp}/mutation-sample.XXXXXX")
MUTATED=""
CHILD=""

LAST_TARGETS=""
Restore()
{
    if [ -n "$MUTATED" ]; then
        # A plain copy gives the file a new time, so the next build compiles it again.
        cp "$BACKUP/original" "$MUTATED"
        MUTATED=""
    fi
}

Finish()
{
    local status=$?
    trap - EXIT INT TERM HUP
    [ -n "$CHILD" ] && kill -TERM -- "-$CHILD" 2>/dev/null
    Restore
    # The folder still holds the programs built with the last fault: build them again from the
    # restored tree, so that the folder can be used for anything else afterwards.
    if [ -n "$LAST_TARGETS" ]; then
        if [ "$status" = 130 ]; then
            echo "mutation-sample: build $BUILD_DIR again before using it: it holds a fault" >&2
        elif ! cmake --build "$BUILD_DIR" -j "$JOBS" --target $LAST_TARGETS >/dev/null 2>&1; then
            echo "mutation-sample: $BUILD_DIR does not build on the restored tree" >&2
        fi
    fi
    rm -rf "$BACKUP"
    if ! git diff --quiet; then
        echo "mutation-sample: the work tree is NOT clean after the run:" >&2
        git diff --stat >&2
        exit 3
    fi
    exit "$status"
}
trap Finish EXIT
trap 'echo; echo "mutation-sample: interrupted; restoring the tree" >&2; exit 130' INT TERM HUP

# Runs a command with its output appended to LOG, in a process group of its own, and waits for
# it, so that a signal reaches this script at once (the trap ends the group) instead of after
# the command.
Run()
{
    local log=$1
    shift
    set -m
    "$@" >>"$log" 2>&1 &
    CHILD=$!
    set +m
    wait "$CHILD"
    local status=$?
    CHILD=""
    return $status
}

# Puts the fault of entry $1 into its file; fails when the line no longer holds the original.
Apply()
{
    local index=$1 file=${E_FILE[$1]} at=${E_LINE[$1]} from=${E_FROM[$1]} to=${E_TO[$1]}
    [ -f "$file" ] && [ -n "$from" ] || return 1
    local -a lines
    mapfile -t lines <"$file"
    [ "$at" -ge 1 ] && [ "$at" -le ${#lines[@]} ] || return 1
    local text=${lines[at - 1]}
    [[ $text == *"$from"* ]] || return 1
    [ $CHECK_ONLY = 1 ] && return 0
    cp "$file" "$BACKUP/original"
    MUTATED=$file
    lines[at - 1]=${text/"$from"/"$to"}
    printf '%s\n' "${lines[@]}" >"$file"
}

# ---- The build folder ---------------------------------------------------------------------
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$ROOT}
if [ $CHECK_ONLY = 0 ] && [ ! -f "$BUILD_DIR/build.ninja" ]; then
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    echo "mutation-sample: configuring $BUILD_DIR"
    Run "$BACKUP/configure.log" cmake -S . -B "$BUILD_DIR" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANTA_BENCHMARKS=OFF "${launcher[@]}" ||
        { cat "$BACKUP/configure.log" >&2; exit 1; }
fi
LOG_DIR=$BUILD_DIR/mutation-logs
if [ $CHECK_ONLY = 0 ]; then
    mkdir -p "$LOG_DIR"
    echo "mutation-sample: building $BUILD_DIR on the unchanged tree"
    : >"$LOG_DIR/clean-build.log"
    Run "$LOG_DIR/clean-build.log" cmake --build "$BUILD_DIR" -j "$JOBS" ||
        { echo "mutation-sample: the unchanged tree does not build (see $LOG_DIR/clean-build.log)" >&2; exit 1; }
fi

# The build targets behind a CTest regex: the programs its tests run, when they are programs of
# this build folder; anything else (a script) needs the whole build.
TargetsFor()
{
    local regex=$1 program all=0
    local -A seen=()
    while read -r program; do
        case $program in
        "$ROOT/$BUILD_DIR"/* | "$BUILD_DIR"/*) seen[$(basename "$program")]=1 ;;
        *) all=1 ;;
        esac
    done < <(ctest --test-dir "$BUILD_DIR" -N -V -R "$regex" 2>/dev/null |
        sed -n 's/^[0-9]*: Test command: \([^ ]*\).*/\1/p' | tr -d '"')
    if [ $all = 1 ]; then
        echo all
    else
        echo "${!seen[@]}"
    fi
}

# ---- The run ------------------------------------------------------------------------------
declare -A CLEAN_CHECKED
caught=0 missed=0 broken=0 stale=0 selected=0
for ((i = 0; i < count; i++)); do
    if [ -n "$PATTERN" ] && [[ ${E_HEADER[i]} != *"$PATTERN"* ]] &&
        [[ ${E_FROM[i]} != *"$PATTERN"* ]]; then
        continue
    fi
    selected=$((selected + 1))
    label="${E_HEADER[i]}: ${E_FROM[i]} -> ${E_TO[i]}"
    if ! Apply "$i"; then
        echo "stale entry     $label"
        stale=$((stale + 1))
        continue
    fi
    [ $CHECK_ONLY = 1 ] && { echo "matches         ${E_HEADER[i]}"; continue; }
    regex=$(TestsFor "$i")
    if [ -z "$regex" ]; then
        Restore
        echo "mutation-sample: no tests for ${E_FILE[i]}: add a folder or tests line" >&2
        exit 1
    fi
    targets=$(TargetsFor "$regex")
    LAST_TARGETS=$targets
    if [ -z "$targets" ]; then
        Restore
        echo "mutation-sample: \"$regex\" selects no test (${E_HEADER[i]})" >&2
        exit 1
    fi
    # The tests must pass on the unchanged tree, or every fault would look caught.
    if [ -z "${CLEAN_CHECKED[$regex]:-}" ]; then
        saved=$MUTATED
        Restore
        : >"$LOG_DIR/clean.log"
        Run "$LOG_DIR/clean.log" cmake --build "$BUILD_DIR" -j "$JOBS" --target $targets &&
            Run "$LOG_DIR/clean.log" ctest --test-dir "$BUILD_DIR" -j "$JOBS" --timeout 180 \
                -R "$regex" ||
            { echo "mutation-sample: \"$regex\" fails on the unchanged tree (see $LOG_DIR/clean.log)" >&2; exit 1; }
        CLEAN_CHECKED[$regex]=1
        Apply "$i" || exit 1
        [ "$MUTATED" = "$saved" ] || exit 1
    fi
    log=$LOG_DIR/$(printf '%03d' $((i + 1))).log
    : >"$log"
    if ! Run "$log" cmake --build "$BUILD_DIR" -j "$JOBS" --target $targets; then
        echo "does not build  $label"
        broken=$((broken + 1))
    elif Run "$log" ctest --test-dir "$BUILD_DIR" -j "$JOBS" --timeout 180 -R "$regex"; then
        echo "MISSED          $label"
        missed=$((missed + 1))
    else
        echo "caught          $label  ($(grep -c '\*\*\*Failed\|\*\*\*Timeout\|\*\*\*Exception\|Not Run' "$log") failing)"
        caught=$((caught + 1))
    fi
    Restore
done

echo
if [ $CHECK_ONLY = 1 ]; then
    echo "$((selected - stale)) of $selected entries match, $stale stale"
else
    echo "caught $caught of $((caught + missed))  (does not build: $broken, stale entries: $stale," \
        "entries run: $selected; logs in $LOG_DIR)"
fi
[ $stale -eq 0 ] && [ $broken -eq 0 ] && exit 0
exit 2
