#!/usr/bin/env bash
# Exactly once on a real DedeCMS 5.7.88 (UTF-8 on 127.0.0.1:8081, GBK on 8082): the program
# publishes straight to the back end, through a gateway (nginx with a 1 s proxy_read_timeout in
# front of PHP slowed before it stores the article) and through a proxy that spoils the answers of
# stored articles; then the rows in the database are counted against what the program counted.
# Run as root (it adds an Apache site and starts nginx and the proxy on ports 8091-8096, and takes
# them down again). Prints a table in Markdown.
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$HERE/common.sh"
WORK="$(oz_work_dir oz-acceptance)"
SLOW="$WORK/slow-seconds"
RULES_UTF8="$WORK/rules-utf8.json"
RULES_GBK="$WORK/rules-gbk.json"

log() { echo "[acceptance] $*" >&2; }

gateway_up() {
    command -v nginx >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq nginx-light >/dev/null
    echo 0 >"$SLOW"
    cat >"$WORK/slow.php" <<PHP
<?php
// The article post waits before PHP stores it, as on a slow host behind a gateway.
if (\$_SERVER['REQUEST_METHOD'] === 'POST' && basename(\$_SERVER['SCRIPT_NAME']) === 'article_add.php'
    && (\$_POST['dopost'] ?? '') === 'save') {
    \$seconds = (float) @file_get_contents('$SLOW');
    if (\$seconds > 0) usleep((int) (\$seconds * 1000000));
}
PHP
    oz_apache_site_up oz-acceptance <<CONF
Listen 127.0.0.1:8091
Listen 127.0.0.1:8093
<VirtualHost 127.0.0.1:8091>
    DocumentRoot /var/www/dedecms
    php_admin_value auto_prepend_file $WORK/slow.php
    <Directory /var/www/dedecms>
        AllowOverride All
        Require all granted
        DirectoryIndex index.php index.html
    </Directory>
</VirtualHost>
<VirtualHost 127.0.0.1:8093>
    DocumentRoot /var/www/dedecms-gbk
    php_admin_value auto_prepend_file $WORK/slow.php
    <Directory /var/www/dedecms-gbk>
        AllowOverride All
        Require all granted
        DirectoryIndex index.php index.html
    </Directory>
</VirtualHost>
CONF
    cat >"$WORK/nginx.conf" <<CONF
pid $WORK/nginx.pid;
error_log $WORK/nginx-error.log;
events {}
http {
    access_log $WORK/nginx-access.log;
    client_body_temp_path $WORK/nginx-body;
    proxy_temp_path $WORK/nginx-proxy;
    server { listen 127.0.0.1:8092; location / { proxy_pass http://127.0.0.1:8091;
             proxy_set_header Host \$http_host; proxy_read_timeout 1s; } }
    server { listen 127.0.0.1:8094; location / { proxy_pass http://127.0.0.1:8093;
             proxy_set_header Host \$http_host; proxy_read_timeout 1s; } }
}
CONF
    nginx -c "$WORK/nginx.conf"
    echo '{}' >"$RULES_UTF8"
    echo '{}' >"$RULES_GBK"
    python3 "$HERE/fault_proxy.py" 8095 8081 "$RULES_UTF8" >"$WORK/proxy-utf8.log" 2>&1 &
    echo $! >"$WORK/proxy-utf8.pid"
    python3 "$HERE/fault_proxy.py" 8096 8082 "$RULES_GBK" >"$WORK/proxy-gbk.log" 2>&1 &
    echo $! >"$WORK/proxy-gbk.pid"
    sleep 1
}

gateway_down() {
    [[ -f "$WORK/nginx.pid" ]] && kill "$(cat "$WORK/nginx.pid")" 2>/dev/null || true
    for pid in "$WORK"/proxy-*.pid; do [[ -f "$pid" ]] && kill "$(cat "$pid")" 2>/dev/null || true; done
    oz_apache_site_down oz-acceptance
}

# scenario NAME SCENARIO_JSON: publishes, counts, cleans up; prints a table row.
scenario() {
    local name="$1" scenario="$2" data="$WORK/data-$RANDOM"
    python3 "$HERE/make_settings.py" "$data" "$scenario"
    local started=$SECONDS status=0
    timeout 1800 "$OZ_BIN" run --data-dir "$data" >"$data/run.out" 2>&1 || status=$?
    local seconds=$((SECONDS - started))
    local tally
    tally="$(python3 "$HERE/tally.py" "$data" --clean)"
    local unknown
    unknown="$(grep -c '结果未知（' "$data/run.out" || true)"
    local pending
    pending="$(grep -c '结果待确认（' "$data/run.out" || true)"
    python3 - "$name" "$tally" "$unknown" "$pending" "$seconds" "$status" <<'PY'
import json, sys
name, tally, unknown, pending, seconds, status = sys.argv[1:]
t = json.loads(tally)
print(f"| {name} | {t['articles']} | {t['rows']} | {t['extra']} | {t['counted']} | "
      f"{t['stored_not_counted']} | {t['counted_not_stored']} | {unknown} | {pending} | {seconds} s |")
PY
    cp "$data/run.out" "$WORK/$(echo "$name" | tr -c 'A-Za-z0-9' '_').log"
}

# titles K N [GBK]: N titles for scenario K, some the back end rewrites or cuts.
titles() {
    python3 - "$@" <<'PY'
import json, sys
k, n = sys.argv[1], int(sys.argv[2])
special = ["它's \"引号\" R&D 测试", "这是一个非常非常长的中文标题用来测试后台截断标题的长度限制是否正确",
           "A&B <小> 标题", "逗号,括号(测试)标题"]
out = []
for i in range(1, n + 1):
    base = special[i % len(special)] if i % 3 == 0 else f"验收文章{i}"
    out.append(f"T{k}-{i} {base}")
print(json.dumps(out, ensure_ascii=False))
PY
}

site() {  # site DOMAIN GBK CATEGORY TITLES_JSON [FIELDS_JSON]
    printf '{"domain": "%s", "gbk": %s, "category": %s, "titles": %s, "fields": %s}' "$1" "$2" "$3" "$4" \
        "${5:-{\}}"
}

main() {
    oz_require_bin
    trap gateway_down EXIT
    gateway_up
    echo "| scenario | articles | rows on the site | extra copies | counted | stored, not counted | counted, never stored | 结果未知 | parked | time |"
    echo "|---|---|---|---|---|---|---|---|---|---|"

    scenario "no faults" "{\"scenario\": 1, \"sites\": [$(site 127.0.0.1:8081 false 2 "$(titles 1a 10)"),
        $(site 127.0.0.1:8082 true 2 "$(titles 1b 10)"), $(site 127.0.0.1:8081 false 3 "$(titles 1c 10)")]}"

    echo '{"modes": ["store504", "store500", "garbage", "drop"]}' >"$RULES_UTF8"
    echo '{"modes": ["store504", "store500", "garbage", "drop"]}' >"$RULES_GBK"
    local six=""
    for i in 1 2 3 4 5 6; do
        local port=8095 gbk=false cat=$(( (i % 2) + 2 ))
        (( i > 3 )) && { port=8096; gbk=true; }
        six+="${six:+,}$(site 127.0.0.1:$port $gbk $cat "$(titles 2$i 7)")"
    done
    scenario "every answer spoiled after the store, retry on, 6 records" \
        "{\"scenario\": 2, \"options\": {\"同时站点数\": \"6\"}, \"sites\": [$six]}"
    scenario "the same, retry off" "{\"scenario\": 3, \"options\": {\"选择框失败时重复尝试\": false}, \"sites\": [
        $(site 127.0.0.1:8095 false 2 "$(titles 3a 7)"), $(site 127.0.0.1:8096 true 2 "$(titles 3b 7)")]}"

    echo 4 >"$SLOW"
    scenario "504 after 1 s (nginx), PHP stores 3 s later, retry on" "{\"scenario\": 4, \"sites\": [
        $(site 127.0.0.1:8092 false 2 "$(titles 4a 5)"), $(site 127.0.0.1:8094 true 2 "$(titles 4b 5)")]}"
    echo 2 >"$SLOW"
    scenario "nginx proxy_read_timeout 1 s, article POST 2 s in PHP" "{\"scenario\": 7, \"sites\": [
        $(site 127.0.0.1:8092 false 2 "$(titles 7 3)")]}"
    echo 0 >"$SLOW"

    echo '{"modes": ["store504", "store500", "garbage", "drop"], "rate": 0.4, "seed": 5, "delay_ms": 300}' \
        >"$RULES_UTF8"
    cp "$RULES_UTF8" "$RULES_GBK"
    local eight=""
    for i in 1 2 3 4 5 6 7 8; do
        local port=8095 gbk=false n=6
        (( i > 4 )) && { port=8096; gbk=true; }
        (( i <= 2 )) && n=7
        eight+="${eight:+,}$(site 127.0.0.1:$port $gbk $(( (i % 2) + 2 )) "$(titles 5$i $n)")"
    done
    scenario "mixed faults on 40 % of answers, slow host, 8 records" \
        "{\"scenario\": 5, \"options\": {\"同时站点数\": \"8\"}, \"sites\": [$eight]}"

    # Rounds: this record's first article, the other record's look-alike, then this record's
    # second article, answered 504 without reaching PHP.
    echo '{"modes": ["nostore504"], "every": 3}' >"$RULES_UTF8"
    local stem="T6-b这是一个非常非常长的中文标题用来测试后台截断标题的长度限制"
    scenario "504 with nothing stored, another record published a look-alike just before, retry off" \
        "{\"scenario\": 6, \"options\": {\"同步循环\": true, \"先后独立\": false, \"选择框失败时重复尝试\": false}, \"sites\": [
        $(site 127.0.0.1:8095 false 2 "[\"T6-a 短标题\", \"${stem}乙\"]"),
        $(site 127.0.0.1:8095 false 2 "[\"${stem}甲\"]" '{"更新后删除": true}')]}"
    echo '{}' >"$RULES_UTF8"
    echo '{}' >"$RULES_GBK"
    log "logs of the runs: $WORK"
}

main "$@"
