#!/usr/bin/env bash
# The newcomer's first view: a publishing run of sample articles to two sites of the local
# stand-in back end (one UTF-8, one GBK), with the log and the per-site summary.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BIN="${OZ_BIN_DIR:-$ROOT/build/bin}"
DEMO="${OZ_DEMO_DIR:-$ROOT/build/demo}"

rm -rf "$DEMO"
mkdir -p "$DEMO/data" "$DEMO/articles-utf8" "$DEMO/articles-gbk"
chmod 700 "$DEMO/data"

# Sample articles: file names give the titles; the GBK folder holds GBK bytes.
for n in 1 2 3; do
    cat >"$DEMO/articles-utf8/站群演示文章第${n}篇.txt" <<TEXT
这是第${n}篇演示文章。站群更新工具把本地文件夹里的文章发布到多个网站的后台。
每篇文章在发布时会自动加上关键词、标签、简短标题、作者和摘要。
演示结束后，请查看日志文件和文章地址记录。
TEXT
    printf '这是第%s篇国标码演示文章。\r\n内容以GBK编码保存，程序会自动识别。\r\n' "$n" |
        iconv -f UTF-8 -t GB18030 >"$DEMO/articles-gbk/$(printf 'GBK演示文章%s.txt' "$n")"
done

STANDIN_OUT="$DEMO/standin.out"
"$BIN/oz-standin" --site s1,admin,admin,utf8 --site s2,editor,kelpo,gbk >"$STANDIN_OUT" 2>&1 &
STANDIN_PID=$!
trap 'kill "$STANDIN_PID" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
    grep -q "listening on" "$STANDIN_OUT" 2>/dev/null && break
    sleep 0.05
done
HOST="$(sed -n 's/^listening on //p' "$STANDIN_OUT" | head -n1)"
if [[ -z "$HOST" ]]; then
    echo "The stand-in back end did not start:" >&2
    cat "$STANDIN_OUT" >&2
    exit 1
fi
echo "Stand-in back end: http://$HOST/s1/dede (UTF-8) and http://$HOST/s2/dede (GBK)"

# The settings file as the window would save it: GBK, CR LF.
site_section() {  # index prefix user password charset folder
    cat <<INI
[站点序号_$1]
启用=真
用户=$3
密码=$4
域名=$HOST/$2
编码=$5
目录=dede
HTTPS=假
关键词数据=站群┊*┊演示┊*┊发布工具
关键词数1=2
关键词数2=3
关键词方式=0
标签方式=1
标题方式=2
内容摘要数1=30
内容摘要数2=60
文章地址=1
作者数据=演示作者┊*┊佚名
文章来源=本地演示
浏览次数1=50
浏览次数2=150
推荐=真
栏目ID=1,2,3
文章目录=$6
文件编码=0
文件过滤=*.txt
更新数量=0
更新间隔1=0.01
更新间隔2=0.03
段落标签=真
刷新HTML类型=1
INI
}
{
    cat <<INI
[基本配置]
先后独立=真
同步循环=假
同时站点数=2
循环间隔1=0.01
访问方式=0
[站点配置]
站点数=2
现行项=0
INI
    site_section 1 s1 admin admin 0 "$DEMO/articles-utf8"
    site_section 2 s2 editor kelpo 1 "$DEMO/articles-gbk"
} | sed 's/$/\r/' | iconv -f UTF-8 -t GB18030 >"$DEMO/data/Orvane·Zentrel.ini"
chmod 600 "$DEMO/data/Orvane·Zentrel.ini"

echo "Data folder: $DEMO/data"
echo
"$BIN/orvane-zentrel" sites --data-dir "$DEMO/data"
echo
"$BIN/orvane-zentrel" run --data-dir "$DEMO/data"
echo
echo "Log files:"
ls -1 "$DEMO/data/日志" 2>/dev/null || true
echo "Article address records:"
for f in "$DEMO/data/文章地址"/*; do
    [[ -f "$f" ]] || continue
    echo "== $f"
    iconv -f GB18030 -t UTF-8 "$f" 2>/dev/null || cat "$f"
done
