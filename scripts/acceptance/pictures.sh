#!/usr/bin/env bash
# Local pictures travel with their articles, on every DedeCMS-family release on this machine
# (../shared/real-dedecms: 5.7.88 UTF-8 8081 and GBK 8082, DedeBIZ 6.2.10 8083, 5.7 SP2 8084, SP1
# 8085, 5.8.1 beta 8086).
#
# For each release the program (build/bin/orvane-zentrel run, a temporary data folder) publishes
# three HTML articles into 技术文章 (2):
#   1  pics/red.png twice and "pics/绿 色.jpg" (a Chinese file name with a space)
#   2  pics/blue.gif and pics/red.png again (already on the site from article 1)
#   3  pics/gone.png, which is not there
# with 图片加水印 off and 提取缩略图 on, and checks: articles 1 and 2 are stored, their stored
# bodies name no local file but uploaded files whose bytes equal the local ones (5.7.88's upload
# filter re-encodes every JPEG and PNG through GD, the editor's uploads too: there the stored
# picture must be the same picture, type and size), each picture is uploaded once, the live page
# (the static page the back end made, and the dynamic one) references them, the thumbnail was made
# from an uploaded picture; article 3 is not published, its file stays and the log says why.
# A first run of the same articles without pictures gives the requests per article before.
#
# Prints a Markdown table per release: articles published, pictures uploaded, bytes equal (or the
# same picture re-encoded), live pages, thumbnail, the missing picture's line, requests per article
# without and with pictures. Posts to the real back ends: run it under
# `flock /tmp/real-backends.lock`. Removes its articles and uploaded files again.
#
# Usage: scripts/acceptance/pictures.sh [--only PORT[,PORT...]] [--keep-temp]
# Exit status: 0 all checks pass, 1 some fail, 2 the script could not run.
set -uo pipefail

ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$(dirname "$0")/common.sh"
oz_section_args "$@"
[ -x "$BIN" ] || { echo "no program at $BIN (cmake --build build --target orvane-zentrel)" >&2; exit 2; }
command -v mysql >/dev/null && command -v curl >/dev/null && command -v php >/dev/null ||
    { echo "needs mysql, curl and php" >&2; exit 2; }

# label port admin-folder web-root database charset(0 UTF-8, 1 GBK) access-log dynamic-view
RELEASES=(
    "5.7.88-UTF8 8081 dede /var/www/dedecms dedecms 0 dedecms plus/view.php"
    "5.7.88-GBK 8082 dede /var/www/dedecms-gbk dedecms_gbk 1 dedecms-gbk plus/view.php"
    "DedeBIZ-6.2.10 8083 admin /var/www/dedebiz6 dedebiz6 0 dedever-dedebiz6 apps/view.php"
    "5.7-SP2 8084 dede /var/www/dedecms-57sp2 dedecms_57sp2 0 dedever-dedecms-57sp2 plus/view.php"
    "5.7-SP1 8085 dede /var/www/dedecms-57sp1 dedecms_57sp1 0 dedever-dedecms-57sp1 plus/view.php"
    "5.8.1-beta 8086 dede /var/www/dedecms-581 dedecms_581 0 dedever-dedecms-581 plus/view.php"
)
UA="Chrome/30.0.1599.101"   # the program's own user agent, to count its requests in the access log
RUN="pic$(date +%s | tail -c 6)$$"
TMP=$(mktemp -d /tmp/oz-pictures.XXXXXX)
chmod 755 "$TMP"
FAILED=0

sql() { mysql -N -B --default-character-set=utf8mb4 "$1" -e "$2" 2>/dev/null; }
say() { echo "[pictures] $*" >&2; }
field() { echo "$1" | awk -v n="$2" '{print $n}'; }

cleanup() {
    local r db root
    for r in "${RELEASES[@]}"; do
        db=$(field "$r" 5); root=$(field "$r" 4)
        # The run's articles and the pictures it uploaded (the uploads table names them).
        for url in $(sql "$db" "SELECT url FROM dede_uploads WHERE uptime >= ${START:-0} AND mid = 1 AND url LIKE '%allimg%'"); do
            [ -n "$url" ] && rm -f "$root$url"
        done
        sql "$db" "DELETE FROM dede_uploads WHERE uptime >= ${START:-0} AND mid = 1 AND url LIKE '%allimg%'"
        for litpic in $(sql "$db" "SELECT litpic FROM dede_archives WHERE title LIKE '${RUN}%'"); do
            [ -n "$litpic" ] && rm -f "$root$litpic"
        done
        for id in $(sql "$db" "SELECT id FROM dede_archives WHERE title LIKE '${RUN}%'"); do
            sql "$db" "DELETE FROM dede_addonarticle WHERE aid = $id; DELETE FROM dede_arctiny WHERE id = $id;
                       DELETE FROM dede_archives WHERE id = $id"
        done
    done
    [ "$KEEP" = 1 ] && say "kept $TMP" || rm -rf "$TMP"
}
trap cleanup EXIT
START=$(date +%s)

# The pictures: 300 × 200, above the size a watermark needs (120 × 120) and the thumbnail size
# (240 × 180; SP1, SP2 and 5.8.1 make no thumbnail of a smaller picture).
php -r '
$d = $argv[1];
$im = imagecreatetruecolor(300, 200); imagefill($im, 0, 0, imagecolorallocate($im, 200, 30, 30)); imagepng($im, "$d/red.png");
$im = imagecreatetruecolor(300, 200); imagefill($im, 0, 0, imagecolorallocate($im, 30, 160, 30)); imagejpeg($im, "$d/green.jpg", 90);
$im = imagecreate(300, 200); imagecolorallocate($im, 30, 30, 200); imagegif($im, "$d/blue.gif");
' "$TMP" || { echo "php could not draw the pictures" >&2; exit 2; }

# Article files of a release: $1 port, $2 "plain" (the same articles without pictures) or "pictures".
articles() {
    local folder="$TMP/articles/$1-$2"
    rm -rf "$folder"; mkdir -p "$folder/pics"
    cp "$TMP/red.png" "$folder/pics/red.png"; cp "$TMP/green.jpg" "$folder/pics/绿 色.jpg"; cp "$TMP/blue.gif" "$folder/pics/blue.gif"
    local one='<img src="pics/red.png"><p>红图两次</p><img src="pics/red.png"><img src="pics/绿 色.jpg">'
    local two='<img src="pics/blue.gif"><img src="pics/red.png">'
    local three='<img src="pics/gone.png">'
    if [ "$2" = plain ]; then one=''; two=''; three=''; fi
    printf '<p>%s 第一篇</p>%s' "$RUN" "$one" >"$folder/${RUN}$2-1.html"
    printf '<p>%s 第二篇</p>%s' "$RUN" "$two" >"$folder/${RUN}$2-2.html"
    [ "$2" = pictures ] && printf '<p>%s 第三篇</p>%s' "$RUN" "$three" >"$folder/${RUN}$2-3.html"
    echo "$folder"
}

# The settings file (GBK, CR LF) with the release as its one site; $1 release line, $2 folder.
settings() {
    local r=$1 data=$3
    mkdir -p "$data"; chmod 700 "$data"
    {
        printf '[基本配置]\n先后独立=真\n同步循环=假\n同时站点数=1\n访问方式=0\n选择框按读入顺序发布=真\n'
        printf '[站点配置]\n站点数=1\n现行项=0\n[站点序号_1]\n启用=真\n用户=admin\n密码=admin123\n'
        printf '域名=127.0.0.1:%s\n编码=%s\n目录=%s\nHTTPS=假\n' "$(field "$r" 2)" "$(field "$r" 6)" "$(field "$r" 3)"
        printf '作者数据=验收\n栏目ID=2\n文章目录=%s\n文件编码=0\n文件过滤=*.html\n更新数量=0\n' "$2"
        printf '更新间隔1=0\n更新间隔2=0\n更新后删除=真\n生成HTML=真\n刷新HTML类型=0\n关键词方式=3\n标签方式=3\n标题方式=3\n'
        printf '提取第一个图片为缩略图=真\n图片加水印=假\n下载远程图片和资源=假\n图片=真\n'
    } | sed 's/$/\r/' | iconv -f UTF-8 -t GB18030 >"$data/Orvane·Zentrel.ini"
}

# Requests of the program in the release's access log since line $2.
requests_since() { tail -n +"$(( $2 + 1 ))" "/var/log/apache2/$1-access.log" | grep -c "$UA"; }
log_lines() { wc -l <"/var/log/apache2/$1-access.log"; }

echo "| release | published | pictures uploaded | bytes equal | live pages | thumbnail | missing picture | requests/article before → after |"
echo "|---|---|---|---|---|---|---|---|"
for r in "${RELEASES[@]}"; do
    label=$(field "$r" 1); port=$(field "$r" 2); root=$(field "$r" 4); db=$(field "$r" 5)
    alog=$(field "$r" 7); view=$(field "$r" 8)
    if [ -n "$ONLY" ] && [[ ",$ONLY," != *",$port,"* ]]; then continue; fi
    problems=()

    # Before: the same articles without pictures.
    folder=$(articles "$port" plain)
    settings "$r" "$folder" "$TMP/data-$port-plain"
    mark=$(log_lines "$alog")
    "$BIN" --data-dir "$TMP/data-$port-plain" run >"$TMP/plain-$port.log" 2>&1
    before_published=$(sql "$db" "SELECT COUNT(*) FROM dede_archives WHERE title LIKE '${RUN}plain%'")
    before=$(requests_since "$alog" "$mark")
    per_before=$(awk -v n="$before" -v a="$before_published" 'BEGIN { if (a > 0) printf "%.1f", n / a; else printf "-" }')

    # With pictures.
    folder=$(articles "$port" pictures)
    data="$TMP/data-$port-pictures"
    settings "$r" "$folder" "$data"
    mark=$(log_lines "$alog")
    "$BIN" --data-dir "$data" run >"$TMP/run-$port.log" 2>&1
    after=$(requests_since "$alog" "$mark")
    logtext=$(cat "$TMP/run-$port.log")
    ids=$(sql "$db" "SELECT id FROM dede_archives WHERE title LIKE '${RUN}pictures%' ORDER BY id")
    published=$(echo "$ids" | grep -c .)
    per_after=$(awk -v n="$after" -v a="$published" 'BEGIN { if (a > 0) printf "%.1f", n / a; else printf "-" }')
    [ "$published" = 2 ] || problems+=("published $published of 2")
    uploaded=$(echo "$logtext" | grep -o '已上传本地图片 [0-9]*' | awk '{s += $2} END {print s + 0}')
    [ "$uploaded" = 3 ] || problems+=("uploaded $uploaded, not 3")

    equal=0; same=0; total=0; live=0; thumbs=0
    for id in $ids; do
        body=$(sql "$db" "SELECT body FROM dede_addonarticle WHERE aid = $id")
        echo "$body" | grep -q 'pics/' && problems+=("article $id still names a local file")
        srcs=$(echo "$body" | grep -o 'src="[^"]*"' | sed 's/^src="//; s/"$//' | sort -u)
        title=$(sql "$db" "SELECT title FROM dede_archives WHERE id = $id")
        case "$title" in *-1) locals="pics/red.png pics/green.jpg" ;; *) locals="pics/blue.gif pics/red.png" ;; esac
        for src in $srcs; do
            total=$((total + 1))
            stored="$root$src"
            ext="${src##*.}"
            local_file="$TMP/red.png"; [ "$ext" = jpg ] && local_file="$TMP/green.jpg"; [ "$ext" = gif ] && local_file="$TMP/blue.gif"
            if cmp -s "$stored" "$local_file"; then
                equal=$((equal + 1))
            elif [ -f "$stored" ] && [ "$(php -r 'echo json_encode(array_slice(getimagesize($argv[1]), 0, 3));' "$stored")" = \
                                      "$(php -r 'echo json_encode(array_slice(getimagesize($argv[1]), 0, 3));' "$local_file")" ]; then
                same=$((same + 1))
            else
                problems+=("$src differs from its local file")
            fi
        done
        # The live pages: the static page the back end made and the dynamic view.
        # The address the program recorded for it (文章地址).
        url=$(cat "$data/文章地址/"* 2>/dev/null | iconv -f GB18030 -t UTF-8 | tr -d '\r' | grep "/$id.html" | head -1)
        [ -n "$url" ] || problems+=("article $id: no address recorded")
        ok=1
        for page in "$url" "http://127.0.0.1:$port/$view?aid=$id"; do
            html=$(curl -s "$page")
            for src in $srcs; do echo "$html" | grep -qF "$src" || ok=0; done
            for src in $srcs; do
                type=$(curl -s -o /dev/null -w '%{content_type}' "http://127.0.0.1:$port$src")
                [[ "$type" == image/* ]] || ok=0
            done
        done
        [ "$ok" = 1 ] && live=$((live + 1)) || problems+=("article $id: live page without its pictures ($url)")
        litpic=$(sql "$db" "SELECT litpic FROM dede_archives WHERE id = $id")
        if [ -n "$litpic" ] && [ -f "$root$litpic" ]; then thumbs=$((thumbs + 1)); else problems+=("article $id: no thumbnail"); fi
    done
    [ "$total" -gt 0 ] || problems+=("no stored picture")

    missing_line=$(echo "$logtext" | grep -o '图片上传失败：pics/gone.png（[^）]*），文章未发布' | head -1)
    [ -n "$missing_line" ] || problems+=("no line for the missing picture")
    [ -f "$folder/${RUN}pictures-3.html" ] || problems+=("the missing picture's article file is gone")

    bytes="$equal/$total"
    [ "$same" -gt 0 ] && bytes="$bytes (+$same re-encoded by the back end)"
    status="$published/3"
    if [ ${#problems[@]} -gt 0 ]; then
        FAILED=1
        status="FAILS $status"
        for p in "${problems[@]}"; do say "$label: $p"; done
    fi
    echo "| $label | $status | $uploaded | $bytes | $live/$published | $thumbs/$published | ${missing_line:-none} | $per_before → $per_after |"
done
exit "$FAILED"
