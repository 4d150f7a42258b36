#!/usr/bin/env python3
"""Writes a data folder for one acceptance scenario: the settings file (GBK, CR LF) with one site
record per entry of the scenario's "sites", and each record's article files (UTF-8, the title as file name).

Usage: make_settings.py DATA_DIR SCENARIO_JSON
SCENARIO_JSON: {"scenario": "2", "options": {"同时站点数": "6", "选择框失败时重复尝试": true, ...},
                "sites": [{"domain": "127.0.0.1:8081", "gbk": false, "category": 2,
                           "titles": ["...", ...], "user": "admin", "password": "admin123",
                           "database": "dedecms", "admin": "dede",
                           "fields": {"刷新HTML类型": 0, ...}}, ...]}
"""
import json
import os
import sys

SITE_DEFAULTS = {
    "启用": True, "用户": "admin", "密码": "admin123", "目录": "dede", "HTTPS": False,
    "关键词方式": 3, "标签方式": 3, "标题方式": 3, "内容摘要数1": 0, "内容摘要数2": 0,
    "作者数据": "验收", "浏览次数1": 1, "浏览次数2": 1, "生成HTML": True, "文件编码": 0,
    "文件过滤": "*.txt", "更新数量": 0, "更新间隔1": 0, "更新间隔2": 0, "更新后删除": True,
    "首行标题": False, "段落标签": False, "刷新HTML类型": 0,
}
OPTION_DEFAULTS = {
    "同步循环": False, "先后独立": True, "同时站点数": "5", "循环间隔1": "0.01",
    "选择框失败时重复尝试": True, "选择框按读入顺序发布": True, "确认等待秒数": "30",
}


def value(v):
    if isinstance(v, bool):
        return "真" if v else "假"
    return str(v)


def main():
    data_dir, wanted = sys.argv[1], json.loads(sys.argv[2])
    scenario = wanted.get("scenario", "x")
    manifest = []
    os.makedirs(data_dir, exist_ok=True)
    options = dict(OPTION_DEFAULTS, **wanted.get("options", {}))
    lines = ["[基本配置]"] + [f"{k}={value(v)}" for k, v in options.items()]
    sites = wanted["sites"]
    lines += ["[站点配置]", "现行项=0", f"站点数={len(sites)}"]
    for n, site in enumerate(sites, 1):
        folder = os.path.join(data_dir, "articles", f"site{n}")
        os.makedirs(folder, exist_ok=True)
        for title in site.get("titles", []):
            # The token in the body tells the article's rows in the database apart, whatever the
            # back end makes of its title.
            token = f"ozacc-{scenario}-{len(manifest) + 1}"
            path = os.path.join(folder, title + ".txt")
            with open(path, "w", encoding="utf-8") as f:
                f.write(f"验收编号 {token} 的正文。\r\n第二段。\r\n")
            manifest.append({"token": token, "title": title, "site": n, "file": path,
                             "database": site.get("database", "dedecms_gbk" if site.get("gbk") else "dedecms")})
        fields = dict(SITE_DEFAULTS, **site.get("fields", {}))
        fields.update({"域名": site["domain"], "编码": 1 if site.get("gbk") else 0,
                       "栏目ID": site.get("category", 2), "文章目录": folder})
        if "admin" in site:
            fields["目录"] = site["admin"]
        for key in ("user", "password"):
            if key in site:
                fields["用户" if key == "user" else "密码"] = site[key]
        lines.append(f"[站点序号_{n}]")
        lines += [f"{k}={value(v)}" for k, v in fields.items()]
    with open(os.path.join(data_dir, "Orvane·Zentrel.ini"), "wb") as f:
        f.write(("\r\n".join(lines) + "\r\n").encode("gbk"))
    with open(os.path.join(data_dir, "manifest.json"), "w", encoding="utf-8") as f:
        json.dump(manifest, f, ensure_ascii=False)
    os.chmod(os.path.join(data_dir, "Orvane·Zentrel.ini"), 0o600)
    os.chmod(os.path.join(data_dir, "manifest.json"), 0o600)
    os.chmod(data_dir, 0o700)


if __name__ == "__main__":
    main()
