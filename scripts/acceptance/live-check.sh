#!/usr/bin/env bash
# Acceptance of the live check against the real back end of every release on this machine
# (../shared/real-dedecms: 8081-8086). Each release is one site of one settings file; the program
# runs through its command line with a temporary data folder, three times:
#   off     发布后前台检查=假: 3 articles per release; not one visitor page is fetched
#   on      the check on: 3 more; each published article's page, the category's first list page
#           and the home page are fetched after the regeneration
#   broken  the release's article template is replaced by one that lost the title (a template
#           edit gone wrong) for one more article: the check must say "前台检查未通过" for it and the
#           run must end with status 4. The template is put back right after the run (also on
#           failure or Ctrl+C).
# Every run is under `flock /tmp/real-backends.lock`. Requests are counted in each release's
# Apache access log (the program's user agent), per article: "before" is the run without the
# check, "after" the run with it. At the end the run's articles (rows and static pages) are
# removed. Prints a Markdown table, one row per release.
#
# Usage: scripts/acceptance/live-check.sh [--bin PATH] [--only PORT[,PORT...]]
# Exit status: 0 every release passed, 1 some did not, 2 the script could not run.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$(dirname "$0")/common.sh"
oz_section_args "$@"
[ -x "$BIN" ] || { echo "no program at $BIN" >&2; exit 2; }
command -v mysql >/dev/null && command -v curl >/dev/null && command -v python3 >/dev/null ||
    { echo "needs mysql, curl and python3" >&2; exit 2; }

# label port admin-folder web-root database charset access-log article-template
RELEASES=(
    "5.7.88-UTF8 8081 dede /var/www/dedecms dedecms 0 dedecms-access.log templets/default/article_article.htm"
    "5.7.88-GBK 8082 dede /var/www/dedecms-gbk dedecms_gbk 1 dedecms-gbk-access.log templets/default/article_article.htm"
    "DedeBIZ-6.2.10 8083 admin /var/www/dedebiz6 dedebiz6 0 dedever-dedebiz6-access.log theme/dedebiz/article_article.htm"
    "5.7-SP2 8084 dede /var/www/dedecms-57sp2 dedecms_57sp2 0 dedever-dedecms-57sp2-access.log templets/default/article_article.htm"
    "5.7-SP1 8085 dede /var/www/dedecms-57sp1 dedecms_57sp1 0 dedever-dedecms-57sp1-access.log templets/default/article_article.htm"
    "5.8.1-beta 8086 dede /var/www/dedecms-581 dedecms_581 0 dedever-dedecms-581-access.log templets/default/article_article.htm"
)
LOCK=/tmp/real-backends.lock
AGENT='Chrome/30.0.1599.101'
RUN="ozlive$(date +%s | tail -c 6)$$"
TMP=$(mktemp -d /tmp/oz-live.XXXXXX)
DATA="$TMP/data"
mkdir -p "$DATA"
chmod 700 "$DATA"
declare -A BEFORE AFTER PASSED CAUGHT ARTICLES NOTE

field() { echo "$1" | awk -v n="$2" '{print $n}'; }
say() { echo "[live-check] $*" >&2; }
sql() { mysql -N -B --default-character-set=utf8mb4 "$1" -e "$2" 2>/dev/null; }
selected() { [ -z "$ONLY" ] || [[ ",$ONLY," == *",$1,"* ]]; }
oz() { "$BIN" --data-dir "$DATA" "$@" 2>&1; }

# The settings file: one site per selected release, category 2, 刷新HTML类型 1; $1 真/假 for the check.
write_settings() {
    local check=$1 i=0 r port
    {
        printf '[基本配置]\n先后独立=真\n同步循环=假\n同时站点数=6\n访问方式=0\n发布后前台检查=%s\n' "$check"
        printf '[站点配置]\n站点数=%s\n现行项=0\n' "${#RELEASES[@]}"
        for r in "${RELEASES[@]}"; do
            i=$((i + 1)); port=$(field "$r" 2)
            printf '[站点序号_%s]\n启用=%s\n用户=admin\n密码=admin123\n域名=127.0.0.1:%s\n编码=%s\n目录=%s\nHTTPS=假\n' \
                "$i" "$(selected "$port" && echo 真 || echo 假)" "$port" "$(field "$r" 6)" "$(field "$r" 3)"
            printf '作者数据=验收\n栏目ID=2\n文章目录=%s\n文件编码=0\n文件过滤=*.txt\n更新数量=0\n' "$TMP/articles/$port"
            printf '更新间隔1=0\n更新间隔2=0\n生成HTML=真\n刷新HTML类型=1\n更新后删除=真\n首行标题=假\n'
        done
    } | sed 's/$/\r/' | iconv -f UTF-8 -t GB18030 >"$DATA/Orvane·Zentrel.ini"
}

# $1 phase, $2 count: article files "RUN-phase-port-n.txt" for every selected release.
articles() {
    local r port n
    for r in "${RELEASES[@]}"; do
        port=$(field "$r" 2); selected "$port" || continue
        rm -rf "$TMP/articles/$port"; mkdir -p "$TMP/articles/$port"
        for n in $(seq 1 "$2"); do
            printf '验收正文 %s 第 %s 篇。\n第二段。\n' "$RUN" "$n" >"$TMP/articles/$port/${RUN}-$1-${port}-${n}.txt"
        done
    done
}

log_lines() { wc -l <"/var/log/apache2/$1" 2>/dev/null || echo 0; }
declare -A MARK
mark_logs() { local r; for r in "${RELEASES[@]}"; do MARK[$(field "$r" 2)]=$(log_lines "$(field "$r" 7)"); done; }
# Requests of the program to a release since mark_logs.
requests_since() {
    local r=$1
    tail -n +"$((MARK[$(field "$r" 2)] + 1))" "/var/log/apache2/$(field "$r" 7)" | grep -c "$AGENT"
}
site_log() { grep -F "$(printf '\t')127.0.0.1:$1(" "$2"; }

restore_templates() {
    local r root tpl
    for r in "${RELEASES[@]}"; do
        root=$(field "$r" 4); tpl=$(field "$r" 8)
        if [ -f "$TMP/template-$(field "$r" 2)" ]; then
            cp -p "$TMP/template-$(field "$r" 2)" "$root/$tpl" && rm -f "$TMP/template-$(field "$r" 2)"
        fi
    done
}

# Logs in with curl and makes category 2's list pages again, so that they no longer link the
# run's removed articles.
refresh_list() {
    local port=$1 admin=$2 jar="$TMP/list.cookies"
    rm -f "$jar"
    curl -s -c "$jar" -b "$jar" -L "http://127.0.0.1:$port/$admin/" -o /dev/null
    curl -s -c "$jar" -b "$jar" "http://127.0.0.1:$port/$admin/login.php" \
        --data "userid=admin&pwd=admin123&dopost=login" -o /dev/null
    curl -s -c "$jar" -b "$jar" -o /dev/null \
        "http://127.0.0.1:$port/$admin/makehtml_list_action.php?maxpagesize=50&upnext=1&typeid=2"
}

cleanup() {
    local r db root id url
    restore_templates
    for r in "${RELEASES[@]}"; do
        db=$(field "$r" 5); root=$(field "$r" 4)
        # The static pages of the run's articles, then their rows.
        for url in $(grep -ho "http://127.0.0.1:$(field "$r" 2)/[^ ]*\.html" "$TMP"/run-*.log 2>/dev/null | sort -u); do
            rm -f "$root/${url#http://127.0.0.1:*/}"
        done
        sql "$db" "DELETE FROM dede_arctiny WHERE id IN (SELECT id FROM dede_archives WHERE title LIKE '${RUN}-%')"
        sql "$db" "DELETE FROM dede_addonarticle WHERE aid IN (SELECT id FROM dede_archives WHERE title LIKE '${RUN}-%')"
        sql "$db" "DELETE FROM dede_archives WHERE title LIKE '${RUN}-%'"
        selected "$(field "$r" 2)" && flock "$LOCK" bash -c "$(declare -f refresh_list); TMP='$TMP' refresh_list $(field "$r" 2) $(field "$r" 3)"
    done
    rm -rf "$TMP"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

for r in "${RELEASES[@]}"; do
    port=$(field "$r" 2); selected "$port" || continue
    curl -s -o /dev/null --max-time 5 "http://127.0.0.1:$port/" ||
        { echo "release $(field "$r" 1) does not answer on $port" >&2; exit 2; }
done
say "run $RUN, data folder $DATA"

# ---- off, on ----------------------------------------------------------------------------------
for phase in off on; do
    articles "$phase" 3
    write_settings "$([ $phase = on ] && echo 真 || echo 假)"
    mark_logs
    flock "$LOCK" "$BIN" --data-dir "$DATA" run >"$TMP/run-$phase.log" 2>&1
    echo "exit $?" >>"$TMP/run-$phase.log"
    for r in "${RELEASES[@]}"; do
        port=$(field "$r" 2); selected "$port" || continue
        label=$(field "$r" 1)
        n=$(requests_since "$r")
        published=$(site_log "$port" "$TMP/run-$phase.log" | grep -c "已成功更新 .*${RUN}-$phase-.* http://")
        ARTICLES[$label]=$(( ${ARTICLES[$label]:-0} + published ))
        per=$(awk -v n="$n" -v a="$published" 'BEGIN { if (a > 0) printf "%.1f", n / a; else print "-" }')
        if [ $phase = off ]; then
            BEFORE[$label]=$per
            site_log "$port" "$TMP/run-off.log" | grep -q '前台' && NOTE[$label]+=" checked-while-off"
        else
            AFTER[$label]=$per
            line=$(site_log "$port" "$TMP/run-on.log" | grep -o '前台确认 [0-9]* 篇，未通过 [0-9]* 篇' | head -1)
            PASSED[$label]=$(grep -o '前台确认 [0-9]*' <<<"$line" | grep -o '[0-9]*')
            [ "${PASSED[$label]:-0}" = 3 ] || NOTE[$label]+=" on:${line:-no-check}"
            home=$(site_log "$port" "$TMP/run-on.log" | grep -o '前台检查未通过：主页.*' | head -1)
            [ -n "$home" ] && NOTE[$label]+=" home-page:${home#前台检查未通过：主页}"
        fi
        [ "$published" = 3 ] || NOTE[$label]+=" $phase-published:$published"
    done
done

# ---- broken: the article template lost its title ------------------------------------------------
articles broken 1
write_settings 真
# shellcheck disable=SC2016
broken_template='<html><head><meta charset="utf-8"></head><body>{dede:field.body/}</body></html>'
(
    flock 9
    for r in "${RELEASES[@]}"; do
        port=$(field "$r" 2); selected "$port" || continue
        root=$(field "$r" 4); tpl=$(field "$r" 8)
        cp -p "$root/$tpl" "$TMP/template-$port"
        printf '%s\n' "$broken_template" >"$root/$tpl"
    done
    "$BIN" --data-dir "$DATA" run >"$TMP/run-broken.log" 2>&1
    echo "exit $?" >>"$TMP/run-broken.log"
    restore_templates
) 9>"$LOCK"
for r in "${RELEASES[@]}"; do
    port=$(field "$r" 2); selected "$port" || continue
    label=$(field "$r" 1)
    if site_log "$port" "$TMP/run-broken.log" | grep -q "前台检查未通过：${RUN}-broken-${port}-1（页面中没有文章标题） http://"; then
        CAUGHT[$label]=yes
    else
        CAUGHT[$label]=NO
    fi
    ARTICLES[$label]=$(( ${ARTICLES[$label]} + $(site_log "$port" "$TMP/run-broken.log" | grep -c "已成功更新 .*${RUN}-broken-") ))
done
grep -q '^exit 4$' "$TMP/run-broken.log" || say "the broken run did not end with status 4: $(tail -1 "$TMP/run-broken.log")"
# The address record: one address per line, nothing else.
bad_lines=$(cat "$DATA"/文章地址/* 2>/dev/null | tr -d '\r' | grep -cvE '^https?://[^ ]+$')

status=0
printf '| release | articles | live checks passed (of 3) | broken template caught | requests/article before | after | notes |\n'
printf '|---|---|---|---|---|---|---|\n'
for r in "${RELEASES[@]}"; do
    port=$(field "$r" 2); selected "$port" || continue
    label=$(field "$r" 1)
    [ "${PASSED[$label]:-0}" = 3 ] && [ "${CAUGHT[$label]}" = yes ] || status=1
    printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$label" "${ARTICLES[$label]:-0}" "${PASSED[$label]:-0}" \
        "${CAUGHT[$label]}" "${BEFORE[$label]:--}" "${AFTER[$label]:--}" "${NOTE[$label]:-}"
done
printf '\nExit statuses: off %s, on %s, broken %s; address record lines that are not one address: %s\n' \
    "$(tail -1 "$TMP/run-off.log")" "$(tail -1 "$TMP/run-on.log")" "$(tail -1 "$TMP/run-broken.log")" "$bad_lines"
[ "$bad_lines" = 0 ] || status=1
exit $status
