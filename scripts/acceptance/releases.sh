#!/usr/bin/env bash
# Acceptance against the real back end of every DedeCMS-family release on this machine (stood up
# by ../shared/real-dedecms/setup.sh and setup-versions.sh): DedeCMS 5.7.88 UTF-8 (8081) and GBK
# (8082), DedeBIZ 6.2.10 (8083), DedeCMS 5.7 SP2 (8084), SP1 (8085) and 5.8.1 beta (8086).
#
# Drives build/bin/orvane-zentrel through its command line with a temporary data folder, the way
# an operator would, and prints a table action × release: "works" or "FAILS", with the rows the
# site's database holds afterwards where an action leaves some. The actions:
#   categories     `categories --site N` lists 新闻中心[1], 国内新闻[3] under it, 技术文章[2]
#   create-cat     `batch create-categories` makes this run's own category (rows: 1)
#   read-cat       `batch read-categories` reads the tree with it
#   run-1          `run`, independent sites, 刷新HTML类型 1, 一键更新网站: 2 articles (rows: 2),
#                  the category's list page regenerated and the update-everything chain ended
#   run-2          `run`, synchronous cycle, 刷新HTML类型 2, 下篇文档 and 系统缓存: 2 more (rows: 4)
#   lookup         `run` through a gateway that answers 504 after the back end stored the article:
#                  found in the back end's list and counted once (rows: 5)
#   homepage       `batch rewrite-homepage` with the form's own values
#   del-articles   `batch delete-articles` over this run's ids: all of them in the recycle bin,
#                  no other row touched (rows: the run's rows outside the recycle bin, 0)
#   del-cat        `batch delete-categories` of this run's category (rows: 0)
#   wrong-pwd      `run` with a wrong password posts the login once and gives the site up (rows:
#                  the login posts: DedeBIZ's error count of an account of this run's own, or the
#                  log of a copy of the DedeCMS web root served by php -S on another port)
#   captcha        the log names the verification code and what to do (DedeCMS: the copy with the
#                  code switched on; DedeBIZ: that account after three wrong passwords)
#
# Every release shares its site with other developers: the script touches only what it makes
# (a category, its articles, a DedeBIZ account, copies under its temporary folder) and removes them
# at the end, also after a failure or Ctrl+C. Runs as a user that may read the web roots and use
# `mysql` as root (as the set-up scripts do). About a minute.
#
# Usage: scripts/acceptance/releases.sh [--bin PATH] [--only PORT[,PORT...]] [--keep-temp]
# Exit status: 0 every action works on every release, 1 some fails, 2 the script could not run.
set -uo pipefail

source "$(dirname "$0")/common.sh"
ROOT="$OZ_ROOT"
oz_section_args "$@"
[ -x "$BIN" ] || { echo "no program at $BIN (cmake --build build --target orvane-zentrel)" >&2; exit 2; }
command -v mysql >/dev/null && command -v curl >/dev/null && command -v python3 >/dev/null &&
    command -v php >/dev/null || { echo "needs mysql, curl, python3 and php" >&2; exit 2; }

# label port admin-folder web-root database charset(0 UTF-8, 1 GBK) family
RELEASES=(
    "5.7.88-UTF8 8081 dede /var/www/dedecms dedecms 0 dede"
    "5.7.88-GBK 8082 dede /var/www/dedecms-gbk dedecms_gbk 1 dede"
    "DedeBIZ-6.2.10 8083 admin /var/www/dedebiz6 dedebiz6 0 biz"
    "5.7-SP2 8084 dede /var/www/dedecms-57sp2 dedecms_57sp2 0 dede"
    "5.7-SP1 8085 dede /var/www/dedecms-57sp1 dedecms_57sp1 0 dede"
    "5.8.1-beta 8086 dede /var/www/dedecms-581 dedecms_581 0 dede"
)
ACTIONS=(categories create-cat read-cat run-1 run-2 lookup homepage del-articles del-cat wrong-pwd captcha)
PROXY_OFFSET=10100   # the gateway of a release listens on its port + this
COPY_OFFSET=10200    # php -S of the copy with the verification code on

RUN="orv$(date +%s | tail -c 7)$$"   # names this run's category, titles and account
TMP=$(mktemp -d /tmp/oz-releases.XXXXXX)
DATA="$TMP/data"
mkdir -p "$DATA"
chmod 700 "$DATA"
declare -A RESULT CID PIDS

sql() { oz_sql "$@"; }
say() { echo "[releases] $*" >&2; }
field() { echo "$1" | awk -v n="$2" '{print $n}'; }

# The settings file as the window saves it (GBK, CR LF). $1: "independent" or "cycle"; every
# release is one site; LOOKUP=1 points each site at its gateway; PASSWORD overrides the password.
write_settings() {
    local mode=$1 i=0 r label port admin charset host
    {
        printf '[基本配置]\n'
        if [ "$mode" = cycle ]; then printf '先后独立=假\n同步循环=真\n'; else printf '先后独立=真\n同步循环=假\n'; fi
        printf '同时站点数=6\n循环间隔1=0\n访问方式=0\n刷新子级栏目=真\n'
        [ "${ONEKEY:-0}" = 1 ] && printf '一键更新网站=真\n'
        [ "$mode" = cycle ] && printf '下篇文档=真\n系统缓存=真\n'
        printf '[站点配置]\n站点数=%s\n现行项=0\n' "${#RELEASES[@]}"
        for r in "${RELEASES[@]}"; do
            i=$((i + 1))
            label=$(field "$r" 1); port=$(field "$r" 2); admin=$(field "$r" 3); charset=$(field "$r" 6)
            host="127.0.0.1:$port"
            [ "${LOOKUP:-0}" = 1 ] && host="127.0.0.1:$((port + PROXY_OFFSET))"
            [ -n "${CAPTCHA_HOST:-}" ] && [ "$port" = "${CAPTCHA_PORT:-}" ] && host=$CAPTCHA_HOST
            printf '[站点序号_%s]\n启用=%s\n用户=%s\n密码=%s\n域名=%s\n编码=%s\n目录=%s\nHTTPS=假\n' \
                "$i" "$(selected "$port")" "${USER_OF[$port]:-admin}" "${PASSWORD:-admin123}" "$host" "$charset" "$admin"
            printf '关键词数据=验收┊*┊站群\n关键词数1=1\n关键词数2=2\n作者数据=验收\n栏目ID=%s\n' "${CID[$port]:-2}"
            printf '文章目录=%s\n文件编码=0\n文件过滤=*.txt\n更新数量=0\n更新间隔1=0\n更新间隔2=0\n' "$TMP/articles/$port"
            printf '生成HTML=真\n刷新HTML类型=%s\n' "${REFRESH:-1}"
        done
    } | sed 's/$/\r/' | iconv -f UTF-8 -t GB18030 >"$DATA/Orvane·Zentrel.ini"
}
declare -A USER_OF

# 真 when the port's site takes part (ONLY_PORT: that site alone).
selected() {
    if [ -n "${ONLY_PORT:-}" ]; then
        if [ "$1" = "$ONLY_PORT" ]; then echo 真; else echo 假; fi
    elif [ -z "$ONLY" ] || [[ ",$ONLY," == *",$1,"* ]]; then
        echo 真
    else
        echo 假
    fi
}
site_index() { local i=0 r; for r in "${RELEASES[@]}"; do i=$((i + 1)); [ "$(field "$r" 2)" = "$1" ] && echo $i; done; }
oz() { "$BIN" --data-dir "$DATA" "$@" 2>&1; }
mark() { RESULT["$1,$2"]=$3; }
ok() { mark "$1" "$2" "works${3:+ ($3)}"; }
bad() { mark "$1" "$2" "FAILS${3:+ ($3)}"; say "$2 on $1: ${4:-failed}"; }

# Article files for a port: $1 port, $2 first number, $3 count.
articles() {
    local port=$1 n
    rm -rf "$TMP/articles/$port"
    mkdir -p "$TMP/articles/$port"
    for n in $(seq "$2" $(($2 + $3 - 1))); do
        printf '验收文章 %s 第 %s 篇的正文。\n第二段。\n' "$RUN" "$n" >"$TMP/articles/$port/${RUN}-${port}-${n}.txt"
    done
}

# The run's articles of a release outside (or, with $2 = -2, inside) the recycle bin.
our_rows() {
    local r=$1 db cond
    db=$(field "$r" 5)
    cond="arcrank > -2"
    [ "${2:-}" = -2 ] && cond="arcrank = -2"
    sql "$db" "SELECT COUNT(*) FROM dede_archives WHERE title LIKE '${RUN}-%' AND $cond"
}
our_ids() { sql "$(field "$1" 5)" "SELECT id FROM dede_arctiny WHERE id IN (SELECT id FROM dede_archives WHERE title LIKE '${RUN}-%') ORDER BY id"; }

# Logs in with curl and purges one article from the recycle bin (one id per request, so that no
# separator matters).
purge() {
    local port=$1 admin=$2 id=$3 jar="$TMP/purge.cookies"
    rm -f "$jar"
    curl -s -c "$jar" -b "$jar" -L "http://127.0.0.1:$port/$admin/" -o /dev/null
    curl -s -c "$jar" -b "$jar" "http://127.0.0.1:$port/$admin/login.php" \
        --data "userid=admin&pwd=admin123&dopost=login" -o /dev/null
    curl -s -c "$jar" -b "$jar" "http://127.0.0.1:$port/$admin/archives_do.php" \
        --data "fmdo=yes&dopost=clear&recycle=1&aid=$id&qstr=$id" -o /dev/null
}

cleanup() {
    local r port admin root db id
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    for r in "${RELEASES[@]}"; do
        port=$(field "$r" 2); admin=$(field "$r" 3); root=$(field "$r" 4); db=$(field "$r" 5)
        for id in $(our_ids "$r"); do
            purge "$port" "$admin" "$id"
        done
        # Whatever the back end left of this run: rows, the category and its folder, the account.
        sql "$db" "DELETE FROM dede_arctiny WHERE id IN (SELECT id FROM dede_archives WHERE title LIKE '${RUN}-%')"
        sql "$db" "DELETE FROM dede_addonarticle WHERE aid IN (SELECT id FROM dede_archives WHERE title LIKE '${RUN}-%')"
        sql "$db" "DELETE FROM dede_archives WHERE title LIKE '${RUN}-%'"
        sql "$db" "DELETE FROM dede_arctype WHERE typedir LIKE '%/${RUN}'"
        sql "$db" "DELETE FROM dede_admin WHERE userid = '${RUN}'"
        [ -d "$root/a/$RUN" ] && rm -rf "${root:?}/a/$RUN"
    done
    if [ $KEEP = 1 ]; then say "temporary folder kept: $TMP"; else rm -rf "$TMP"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ports_of_run() { local r; for r in "${RELEASES[@]}"; do [ "$(selected "$(field "$r" 2)")" = 真 ] && field "$r" 2; done; }
release_of() { local r; for r in "${RELEASES[@]}"; do [ "$(field "$r" 2)" = "$1" ] && echo "$r"; done; }

for r in "${RELEASES[@]}"; do
    port=$(field "$r" 2)
    [ "$(selected "$port")" = 真 ] || continue
    curl -s -o /dev/null --max-time 5 "http://127.0.0.1:$port/" ||
        { echo "release $(field "$r" 1) does not answer on $port (../shared/real-dedecms/README.md)" >&2; exit 2; }
done
say "run $RUN, data folder $DATA"

# ---- categories -----------------------------------------------------------------------------
write_settings independent
for port in $(ports_of_run); do
    r=$(release_of "$port"); label=$(field "$r" 1)
    out=$(oz categories --site "$(site_index "$port")")
    if grep -qx '新闻中心\[1\]' <<<"$out" && grep -qx '  国内新闻\[3\]' <<<"$out" && grep -q '^技术文章\[2\]' <<<"$out"; then
        ok "$label" categories
    else
        bad "$label" categories "" "$out"
    fi
done

# ---- create-categories, read-categories -------------------------------------------------------
printf '验收栏目%s|%s\n' "$RUN" "$RUN" >"$TMP/categories.txt"
for port in $(ports_of_run); do
    r=$(release_of "$port"); label=$(field "$r" 1); db=$(field "$r" 5)
    out=$(oz batch create-categories "$TMP/categories.txt" --scope "$(site_index "$port")")
    rows=$(sql "$db" "SELECT COUNT(*) FROM dede_arctype WHERE typedir LIKE '%/${RUN}'")
    CID[$port]=$(sql "$db" "SELECT id FROM dede_arctype WHERE typedir LIKE '%/${RUN}' LIMIT 1")
    if grep -q '成功 1 个；失败 0 个' <<<"$out" && [ "$rows" = 1 ]; then ok "$label" create-cat "$rows"; else bad "$label" create-cat "$rows" "$out"; fi
    out=$(oz batch read-categories --scope "$(site_index "$port")")
    n=$(grep -o '读取栏目 [0-9]* 个' <<<"$out" | grep -o '[0-9]*')
    if [ "${n:-0}" -ge 4 ]; then ok "$label" read-cat "$n"; else bad "$label" read-cat "" "$out"; fi
done

# ---- run-1, run-2 ---------------------------------------------------------------------------
check_run() {  # action expected-rows output-file extra-check-description
    local action=$1 want=$2 log=$3 port r label rows
    for port in $(ports_of_run); do
        r=$(release_of "$port"); label=$(field "$r" 1)
        rows=$(our_rows "$r")
        local host="127.0.0.1:$port"
        [ "$action" = lookup ] && host="127.0.0.1:$((port + PROXY_OFFSET))"
        local site_log
        site_log=$(grep -F "$(printf '\t')$host(" "$log")
        local extra=1
        case "$action" in
            run-1) grep -q "已刷新栏目页 ${CID[$port]}" <<<"$site_log" && grep -qE "$(family_done "$r")" <<<"$site_log" || extra=0 ;;
            run-2) [ "$(grep -c "已刷新栏目页 ${CID[$port]}" <<<"$site_log")" -ge 2 ] &&
                       grep -q '结束刷新Kivra系统缓存' <<<"$site_log" || extra=0 ;;
            lookup) grep -q '已在网站后台确认发布' <<<"$site_log" || extra=0 ;;
        esac
        if [ "$rows" = "$want" ] && [ $extra = 1 ]; then ok "$label" "$action" "$rows"; else bad "$label" "$action" "$rows" "$(tail -5 <<<"$site_log")"; fi
    done
}
# The end of the update-everything chain: DedeBIZ 6.2.10 goes from the articles to the list pages
# and ends there ("完成所有栏目更新", makehtml_archives_action.php) or with its own end text.
family_done() { if [ "$(field "$1" 7)" = biz ]; then echo '完成所有栏目(文档)?更新'; else echo '完成所有文件的更新！'; fi; }

for port in $(ports_of_run); do articles "$port" 1 2; done
ONEKEY=1 REFRESH=1 write_settings independent
oz run >"$TMP/run-1.log"
check_run run-1 2 "$TMP/run-1.log"

for port in $(ports_of_run); do articles "$port" 3 2; done
REFRESH=2 write_settings cycle
oz run >"$TMP/run-2.log"
check_run run-2 4 "$TMP/run-2.log"

# ---- lookup after an untrustworthy answer -----------------------------------------------------
# In front of each back end, a gateway that answers its article post by a 504 once it is stored.
echo '{"modes": ["store504"]}' >"$TMP/gateway-rules.json"
for port in $(ports_of_run); do
    articles "$port" 5 1
    python3 "$ROOT/scripts/acceptance/fault_proxy.py" "$((port + PROXY_OFFSET))" "$port" \
        "$TMP/gateway-rules.json" >"$TMP/gateway-$port.out" 2>&1 &
    PIDS[gateway$port]=$!
done
sleep 1
LOOKUP=1 REFRESH=0 write_settings independent
oz run >"$TMP/lookup.log"
for port in $(ports_of_run); do
    kill "${PIDS[gateway$port]}" 2>/dev/null
    unset "PIDS[gateway$port]"
done
check_run lookup 5 "$TMP/lookup.log"

# ---- homepage -------------------------------------------------------------------------------
write_settings independent
for port in $(ports_of_run); do
    r=$(release_of "$port"); label=$(field "$r" 1)
    out=$(oz batch rewrite-homepage --scope "$(site_index "$port")")
    if grep -q '修改成功' <<<"$out"; then ok "$label" homepage; else bad "$label" homepage "" "$out"; fi
done

# ---- delete-articles: each contiguous run of this run's ids, nothing else ----------------------
for port in $(ports_of_run); do
    r=$(release_of "$port"); label=$(field "$r" 1); db=$(field "$r" 5)
    declare -A rank_before=()
    while read -r id rank; do rank_before[$id]=$rank; done < <(sql "$db" "SELECT id, arcrank FROM dede_arctiny")
    all_ids=$(sql "$db" "SELECT id FROM dede_arctiny ORDER BY id" | tr '\n' ' ')
    mine=" $(our_ids "$r" | tr '\n' ' ') "
    from=""; prev=""; failed=0
    for id in $all_ids; do
        if [[ "$mine" == *" $id "* ]]; then
            [ -z "$from" ] && from=$id
            prev=$id
        elif [ -n "$from" ]; then
            oz batch delete-articles --from "$from" --to "$prev" --scope "$(site_index "$port")" | grep -q '已删除 [1-9]' || failed=1
            from=""
        fi
    done
    [ -n "$from" ] && { oz batch delete-articles --from "$from" --to "$prev" --scope "$(site_index "$port")" | grep -q '已删除 [1-9]' || failed=1; }
    touched=""
    mine=" $(our_ids "$r" | tr '\n' ' ') "
    while read -r id rank; do
        [[ "$mine" == *" $id "* ]] && continue
        [ -n "${rank_before[$id]:-}" ] && [ "${rank_before[$id]}" != "$rank" ] && touched+=" $id"
    done < <(sql "$db" "SELECT id, arcrank FROM dede_arctiny")
    left=$(our_rows "$r")
    if [ $failed = 0 ] && [ "$left" = 0 ] && [ "$(our_rows "$r" -2)" = 5 ] && [ -z "$touched" ]; then
        ok "$label" del-articles "$left"
    else
        bad "$label" del-articles "$left" "articles of others touched:${touched:- none}"
    fi
    unset rank_before
    for id in $(our_ids "$r"); do purge "$port" "$(field "$r" 3)" "$id"; done
done

# ---- delete-categories ------------------------------------------------------------------------
for port in $(ports_of_run); do
    r=$(release_of "$port"); label=$(field "$r" 1); db=$(field "$r" 5)
    out=$(oz batch delete-categories --from "${CID[$port]}" --to "${CID[$port]}" --scope "$(site_index "$port")")
    rows=$(sql "$db" "SELECT COUNT(*) FROM dede_arctype WHERE typedir LIKE '%/${RUN}'")
    if grep -q '成功 1 个；失败 0 个' <<<"$out" && [ "$rows" = 0 ]; then ok "$label" del-cat "$rows"; else bad "$label" del-cat "$rows" "$out"; fi
done

# ---- wrong password and the verification code --------------------------------------------------
# A run with a wrong password posts the login once (the three tries are for other failures).
for port in $(ports_of_run); do
    r=$(release_of "$port"); label=$(field "$r" 1); db=$(field "$r" 5); root=$(field "$r" 4)
    articles "$port" 9 1
    if [ "$(field "$r" 7)" = biz ]; then
        # An account of this run's own (admin's rights and password): the verification code that
        # three wrong passwords bring on asks nobody else. DedeBIZ counts them per account.
        account=$(($(sql "$db" "SELECT MAX(id) FROM dede_admin") + 1))
        sql "$db" "INSERT INTO dede_admin (id, usertype, userid, pwd, pwd_new, uname, tname, email, typeid, logintime, loginip, loginerr) SELECT $account, usertype, '${RUN}', pwd, pwd_new, '${RUN}', '', '', typeid, 0, '', 0 FROM dede_admin WHERE userid = 'admin'"
        USER_OF[$port]=$RUN
        ONLY_PORT=$port PASSWORD=wrong write_settings independent
        oz run >"$TMP/wrong-$port.log"
        posts=$(sql "$db" "SELECT loginerr FROM dede_admin WHERE userid = '${RUN}'")
        oz run >/dev/null
        oz run >/dev/null
        ONLY_PORT=$port write_settings independent
        out=$(oz categories --site "$(site_index "$port")")
        unset "USER_OF[$port]"
        sql "$db" "DELETE FROM dede_admin WHERE userid = '${RUN}'"
    else
        # A copy of the web root (the same database) on a port of its own, whose log counts the
        # logins and whose verification code can be switched on without asking anybody else.
        copy="$TMP/www-$port"
        cp -a "$root" "$copy"
        php -d opcache.enable=0 -S "127.0.0.1:$((port + COPY_OFFSET))" -t "$copy" >"$TMP/php-$port.log" 2>&1 &
        PIDS[php$port]=$!
        for _ in $(seq 1 50); do curl -s -o /dev/null "http://127.0.0.1:$((port + COPY_OFFSET))/" && break; sleep 0.1; done
        export CAPTCHA_PORT=$port CAPTCHA_HOST="127.0.0.1:$((port + COPY_OFFSET))"
        ONLY_PORT=$port PASSWORD=wrong write_settings independent
        oz run >"$TMP/wrong-$port.log"
        posts=$(grep -c "POST /$(field "$r" 3)/login.php" "$TMP/php-$port.log")
        sed -i "s/^\$safe_gdopen = .*/\$safe_gdopen = '1,2,3,4,5,6,7';/" "$copy/data/safe/inc_safe_config.php"
        ONLY_PORT=$port write_settings independent
        out=$(oz categories --site "$(site_index "$port")")
        unset CAPTCHA_PORT CAPTCHA_HOST
        kill "${PIDS[php$port]}" 2>/dev/null
        unset "PIDS[php$port]"
        rm -rf "$copy"
    fi
    if [ "$posts" = 1 ] && grep -q '不再重试' "$TMP/wrong-$port.log"; then
        ok "$label" wrong-pwd "$posts"
    else
        bad "$label" wrong-pwd "$posts" "$(tail -3 "$TMP/wrong-$port.log")"
    fi
    if grep -q '失败原因：验证码不正确!\? 该站后台' <<<"$out"; then ok "$label" captcha; else bad "$label" captcha "" "$out"; fi
done

# ---- the table --------------------------------------------------------------------------------
status=0
printf '%-13s' action
for r in "${RELEASES[@]}"; do [ "$(selected "$(field "$r" 2)")" = 真 ] && printf ' | %-16s' "$(field "$r" 1)"; done
printf '\n'
for action in "${ACTIONS[@]}"; do
    printf '%-13s' "$action"
    for r in "${RELEASES[@]}"; do
        [ "$(selected "$(field "$r" 2)")" = 真 ] || continue
        cell=${RESULT["$(field "$r" 1),$action"]:-FAILS (not run)}
        [[ "$cell" == works* ]] || status=1
        printf ' | %-16s' "$cell"
    done
    printf '\n'
done
exit $status
