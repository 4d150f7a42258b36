#!/usr/bin/env bash
# Exactly once across runs, addresses and list orders, on the real back end of every release
# (8081-8086): for each case, the extra rows the back end holds after the case's runs (goal 0) and
# the stored articles the program counted as failed (goal 0); and the requests per article of a
# clean run (goal <= 1.5). Each case runs the program through fault_proxy.py in front of the
# release (port + 10300), with a data folder of its own, and removes its rows at the end.
#   alias      two records reach the back end as 127.0.0.1:PORT and localhost:PORT; in rounds, the
#              one record's article, the other's look-alike, then the first's second article
#              answered 504 and never stored (retry off)
#   stopped    504 at once and each post reaches PHP 3 s later; the run killed while their outcome is
#              unknown; run again (straight to the back end)
#   late       504 at once and the post reaches PHP 4 s later, beyond a 1 s 确认等待秒数 (retry on);
#              run again (straight to the back end); also the failures the sending run counted
#              (goal 0: not found in time is unknown, not failed)
#   order      the list sorted by views when the request names no order; every answer 504 after
#              the store
#   rerun      更新后删除 off, the run started again over the same folder
#   list-fail  the first two reads of the article list answer 500; every answer 504 after the store
#   clean      no faults: requests through the proxy per article, of them to the back end and to
#              the articles' static pages (the live check)
# Usage: scripts/acceptance/across-runs.sh [--only PORT[,PORT...]]   (takes /tmp/real-backends.lock)
set -uo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
OZ_BIN="${OZ_BIN:-$ROOT/build/bin/orvane-zentrel}"
ONLY=""
[[ "${1:-}" == "--only" ]] && ONLY="$2"
[[ -x "$OZ_BIN" ]] || { echo "build the program first: $OZ_BIN" >&2; exit 2; }
if [[ -z "${OZ_LOCKED:-}" ]]; then
    OZ_LOCKED=1 exec flock /tmp/real-backends.lock "$0" "$@"
fi
WORK="$(mktemp -d /tmp/oz-across.XXXXXX)"
chmod 755 "$WORK"
RUN="x$(date +%s | tail -c 6)"
log() { echo "[across-runs] $*" >&2; }

# label port admin database
RELEASES=(
    "5.7.88-UTF8 8081 dede dedecms"
    "5.7.88-GBK 8082 dede dedecms_gbk"
    "DedeBIZ-6.2.10 8083 admin dedebiz6"
    "5.7-SP2 8084 dede dedecms_57sp2"
    "5.7-SP1 8085 dede dedecms_57sp1"
    "5.8.1-beta 8086 dede dedecms_581"
)

PROXY_PID=""
proxy_up() {  # proxy_up PORT RULES_JSON
    echo "$2" >"$WORK/rules.json"
    : >"$WORK/proxy.log"
    python3 "$HERE/fault_proxy.py" $(( $1 + 10300 )) "$1" "$WORK/rules.json" >"$WORK/proxy.log" 2>&1 &
    PROXY_PID=$!
    sleep 0.7
}
proxy_down() { [[ -n "$PROXY_PID" ]] && kill "$PROXY_PID" 2>/dev/null; wait "$PROXY_PID" 2>/dev/null; PROXY_PID=""; }
trap proxy_down EXIT

titles() {  # titles CASE N
    python3 - "$RUN-$1" "$2" <<'PY'
import json, sys
k, n = sys.argv[1], int(sys.argv[2])
special = ["它's \"引号\" R&D 测试", "A&B <小> 标题", "逗号,括号(测试)标题"]
print(json.dumps([f"{k}-{i} " + (special[i % 3] if i % 3 == 0 else f"跨运行验收文章{i}") for i in range(1, n + 1)],
                 ensure_ascii=False))
PY
}
site() {  # site DOMAIN TITLES_JSON [FIELDS_JSON]
    printf '{"domain": "%s", "gbk": %s, "category": 2, "database": "%s", "admin": "%s", "titles": %s, "fields": %s}' \
        "$1" "$GBK" "$DB" "$ADMIN" "$2" "${3:-{\}}"
}
settings() {  # settings DATA OPTIONS_JSON SITES...
    local data="$1" options="$2"
    shift 2
    local sites
    sites="$(IFS=,; echo "$*")"
    python3 "$HERE/make_settings.py" "$data" "{\"scenario\": \"$RUN-$(basename "$data")\", \"options\": $options, \"sites\": [$sites]}"
}
direct() { sed -i "s/:$PROXY/:$PORT/g" "$1/Orvane·Zentrel.ini"; }
run() { timeout 600 "$OZ_BIN" run --data-dir "$1" >>"$1/run.out" 2>&1; }
# extra rows and stored-but-not-counted of a data folder; --clean removes its rows
tally() { python3 "$HERE/tally.py" "$@"; }
field() { python3 -c 'import json,sys; print(json.loads(sys.argv[1])[sys.argv[2]])' "$1" "$2"; }

case_alias() {
    local data="$WORK/$LABEL-alias" stem="$RUN-A-这是一个非常非常长的中文标题用来测试后台截断标题的长度限制"
    proxy_up "$PORT" '{"modes": ["nostore504"], "every": 3}'
    settings "$data" '{"同步循环": true, "先后独立": false, "选择框失败时重复尝试": false}' \
        "$(site "127.0.0.1:$PROXY" "[\"$RUN-A-a 短标题\", \"${stem}乙\"]")" \
        "$(site "localhost:$PROXY" "[\"${stem}甲\"]")"
    run "$data"
    proxy_down
}
case_stopped() {
    local data="$WORK/$LABEL-stopped"
    proxy_up "$PORT" '{"modes": ["late504"], "late_ms": 3000}'
    settings "$data" '{"确认等待秒数": "600"}' "$(site "127.0.0.1:$PROXY" "$(titles S 3)")"
    "$OZ_BIN" run --data-dir "$data" >>"$data/run.out" 2>&1 &
    local pid=$!
    for _ in $(seq 1 200); do
        (( $(grep -c '^late504' "$WORK/proxy.log") >= 3 )) && break
        sleep 0.1
    done
    sleep 0.5
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    sleep 4  # the late posts have reached PHP
    proxy_down
    direct "$data"
    run "$data"
}
case_late() {
    local data="$WORK/$LABEL-late"
    proxy_up "$PORT" '{"modes": ["late504"], "late_ms": 4000}'
    settings "$data" '{"确认等待秒数": "1"}' "$(site "127.0.0.1:$PROXY" "$(titles L 2)")"
    run "$data"
    grep -c '更新失败：' "$data/run.out" >"$data/failed-when-sent"
    sleep 6  # every late post has reached PHP
    proxy_down
    direct "$data"
    run "$data"
}
case_order() {
    local data="$WORK/$LABEL-order"
    proxy_up "$PORT" '{"modes": ["store504"], "list_order": "click"}'
    settings "$data" '{}' "$(site "127.0.0.1:$PROXY" "$(titles O 3)" '{"浏览次数1": 0, "浏览次数2": 0}')"
    run "$data"
    proxy_down
}
case_rerun() {
    local data="$WORK/$LABEL-rerun"
    settings "$data" '{}' "$(site "127.0.0.1:$PORT" "$(titles R 3)" '{"更新后删除": false}')"
    run "$data"
    run "$data"
}
case_listfail() {
    local data="$WORK/$LABEL-list-fail"
    proxy_up "$PORT" '{"modes": ["store504"], "fail_lists": 2}'
    settings "$data" '{}' "$(site "127.0.0.1:$PROXY" "$(titles F 3)")"
    run "$data"
    proxy_down
}
case_clean() {
    local data="$WORK/$LABEL-clean"
    proxy_up "$PORT" '{}'
    settings "$data" '{}' "$(site "127.0.0.1:$PROXY" "$(titles C 20)")"
    run "$data"
    proxy_down
    echo "$(grep -c '^request ' "$WORK/proxy.log") $(grep -c '^request /[^?]*\.html' "$WORK/proxy.log") 20" >"$data/requests"
}

CASES=(alias stopped late order rerun listfail clean)
echo "| release | alias | stopped | late | order | rerun | list-fail | requests per article (clean) |"
echo "|---|---|---|---|---|---|---|---|"
for release in "${RELEASES[@]}"; do
    read -r LABEL PORT ADMIN DB <<<"$release"
    [[ -n "$ONLY" && ",$ONLY," != *",$PORT,"* ]] && continue
    PROXY=$(( PORT + 10300 ))
    GBK=false
    [[ "$DB" == dedecms_gbk ]] && GBK=true
    row="| $LABEL |"
    for c in "${CASES[@]}"; do
        log "$LABEL: $c"
        "case_$c"
        data="$WORK/$LABEL-${c/listfail/list-fail}"
        t="$(tally "$data" --clean)"
        if [[ "$c" == clean ]]; then
            read -r requests pages articles <"$data/requests"
            row+=" $(python3 -c "print(f'{$requests / $articles:.2f} (back end {($requests - $pages) / $articles:.2f}, live check {$pages / $articles:.2f})')") ($requests / $articles, extra $(field "$t" extra)) |"
        elif [[ "$c" == late ]]; then
            row+=" $(field "$t" extra) extra, $(field "$t" stored_not_counted) stored not counted, $(cat "$data/failed-when-sent") counted failed when sent |"
        elif [[ "$c" == rerun ]]; then
            row+=" $(field "$t" extra) extra |"
        else
            row+=" $(field "$t" extra) extra, $(field "$t" stored_not_counted) stored not counted |"
        fi
    done
    echo "$row"
done
log "logs: $WORK"
