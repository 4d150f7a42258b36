#!/usr/bin/env bash
# Regeneration on a category of real size: DedeCMS 5.7.88 (UTF-8, 127.0.0.1:8081) with a category
# of 10,000 more articles (made by the back end, filled by SQL, removed again at the end). The
# program publishes 20 articles into a small and into the large category in 刷新HTML类型 1 and 2,
# through an Apache site of its own on 8097 whose access log counts the requests. Run as root.
# Prints a table in Markdown: requests and time per article, list-action requests per article,
# chunks asked for twice, failures logged, and whether the category's last list page was made.
set -euo pipefail
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$HERE/common.sh"
WORK="$(oz_work_dir oz-regeneration)"
FILL="${FILL:-10000}"
ARTICLES="${ARTICLES:-20}"
BIG=""

site_up() {
    oz_apache_site_up oz-regeneration <<CONF
Listen 127.0.0.1:8097
<VirtualHost 127.0.0.1:8097>
    DocumentRoot /var/www/dedecms
    CustomLog $WORK/access.log "%m %U%q %s %D"
    <Directory /var/www/dedecms>
        AllowOverride All
        Require all granted
        DirectoryIndex index.php index.html
    </Directory>
</VirtualHost>
CONF
}

site_down() {
    if [[ -n "$BIG" ]]; then
        mysql dedecms -e "delete from dede_archives where typeid=$BIG; delete from dede_addonarticle where typeid=$BIG;
                          delete from dede_arctiny where typeid=$BIG;"
        printf '%s\n' "{\"scenario\": \"del\", \"sites\": [{\"domain\": \"127.0.0.1:8097\", \"gbk\": false, \"category\": 2}]}" \
            >"$WORK/del.json"
        python3 "$HERE/make_settings.py" "$WORK/del" "$(cat "$WORK/del.json")"
        "$OZ_BIN" batch delete-categories --from "$BIG" --to "$BIG" --scope all --data-dir "$WORK/del" >/dev/null 2>&1 || true
    fi
    oz_apache_site_down oz-regeneration
}

# The large category: made through the back end (its category cache knows it), filled by SQL.
make_big_category() {
    python3 "$HERE/make_settings.py" "$WORK/make" \
        '{"scenario": "make", "sites": [{"domain": "127.0.0.1:8097", "gbk": false, "category": 2}]}'
    printf '大栏目验收|big%s\n' "$$" >"$WORK/big.txt"
    "$OZ_BIN" batch create-categories "$WORK/big.txt" --parent 0 --scope all --data-dir "$WORK/make" >/dev/null
    BIG="$(mysql -N dedecms -e "select max(id) from dede_arctype where typename='大栏目验收'")"
    [[ -n "$BIG" && "$BIG" != NULL ]] || { echo "the large category was not made" >&2; exit 1; }
    mysql dedecms <<SQL
SET @tid = $BIG; SET @now = UNIX_TIMESTAMP() - 86400; SET SESSION max_recursive_iterations = 1000000;
INSERT INTO dede_arctiny (typeid, typeid2, arcrank, channel, senddate, sortrank, mid)
WITH RECURSIVE seq(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM seq WHERE n < $FILL)
SELECT @tid, '0', 0, 1, @now - n, @now - n, 1 FROM seq;
INSERT INTO dede_archives (id, typeid, sortrank, ismake, channel, title, writer, pubdate, senddate, mid, voteid,
                           dutyadmin)
SELECT id, typeid, sortrank, 1, 1, CONCAT('填充文章', id), 'fill', senddate, senddate, 1, 0, 1
FROM dede_arctiny WHERE typeid = @tid;
INSERT INTO dede_addonarticle (aid, typeid, body, redirecturl, templet, userip)
SELECT id, typeid, '填充', '', '', '127.0.0.1' FROM dede_arctiny WHERE typeid = @tid;
SQL
}

# measure NAME CATEGORY MODE: prints a table row.
measure() {
    local name="$1" category="$2" mode="$3" data="$WORK/data-$RANDOM"
    local titles
    titles="$(python3 -c "import json; print(json.dumps([f'R{$RANDOM}-{i} 刷新验收' for i in range(1, $ARTICLES + 1)], ensure_ascii=False))")"
    python3 "$HERE/make_settings.py" "$data" "{\"scenario\": \"r$RANDOM\", \"sites\": [{\"domain\": \"127.0.0.1:8097\",
        \"gbk\": false, \"category\": $category, \"titles\": $titles, \"fields\": {\"刷新HTML类型\": $mode}}]}"
    : >"$WORK/access.log"
    local start end
    start=$(date +%s.%N)
    timeout 3600 "$OZ_BIN" run --data-dir "$data" >"$data/run.out" 2>&1 || true
    end=$(date +%s.%N)
    python3 "$HERE/tally.py" "$data" --clean >/dev/null
    local lastPage="—"
    if [[ "$category" == "$BIG" ]]; then
        # The default list template shows 10 articles a page.
        local rows pages file
        rows="$(mysql -N dedecms -e "select count(*) from dede_arctiny where typeid=$BIG and arcrank>-1")"
        pages=$(( (rows + 9) / 10 ))
        file="/var/www/dedecms/a/big$$/list_${BIG}_${pages}.html"
        if [[ -f "$file" && $(stat -c %Y "$file") -ge ${start%.*} ]]; then
            lastPage="yes (page $pages)"
        else
            lastPage="no (page $pages)"
        fi
    fi
    python3 - "$name" "$mode" "$ARTICLES" "$start" "$end" "$WORK/access.log" "$data/run.out" "$lastPage" <<'PY'
import collections, sys
name, mode, n, start, end, access, out, last = sys.argv[1:]
n = int(n)
lines = [l.split() for l in open(access, encoding="utf-8", errors="replace") if l.strip()]
lists = [l[1] for l in lines if "makehtml_list_action.php" in l[1]]
# A chunk asked for twice: a list-action request that repeats the one before within a regeneration.
twice, previous = 0, None
for l in lines:
    if "makehtml_list_action.php" not in l[1]:
        previous = None
        continue
    twice += l[1] == previous
    previous = l[1]
failures = sum(1 for l in open(out, encoding="utf-8", errors="replace") if "失败" in l and "刷新栏目页" in l)
seconds = float(end) - float(start)
print(f"| {name} | {mode} | {len(lines) / n:.2f} | {len(lists) / n:.2f} | {1000 * seconds / n:.0f} ms | "
      f"{twice} | {failures} | {last} |")
PY
}

main() {
    oz_require_bin
    trap site_down EXIT
    site_up
    make_big_category
    echo "| category | 刷新HTML类型 | requests per article | list-action requests per article | time per article | chunks asked twice | failures logged | last list page made |"
    echo "|---|---|---|---|---|---|---|---|"
    for mode in 0 1 2; do
        measure "small (技术文章)" 2 "$mode"
        measure "large ($FILL more articles)" "$BIG" "$mode"
    done
    echo >&2 "[acceptance] logs of the runs: $WORK"
}

main "$@"
