#!/usr/bin/env python3
"""Counts what a scenario left on the real back ends: the rows of each article (found by the token
in its body), and whether the program counted it (its file was deleted: 更新后删除 is on).

Usage: tally.py DATA_DIR [--clean]   prints one JSON object; --clean then deletes the rows.
"""
import json
import os
import re
import subprocess
import sys


def mysql(database, query):
    out = subprocess.run(["mysql", "-N", "-B", "--default-character-set=utf8mb4", database, "-e", query],
                         check=True, capture_output=True, text=True, encoding="utf-8", errors="replace")
    return out.stdout


def main():
    data_dir = sys.argv[1]
    with open(os.path.join(data_dir, "manifest.json"), encoding="utf-8") as f:
        manifest = json.load(f)
    prefix = manifest[0]["token"].rsplit("-", 1)[0] + "-" if manifest else "ozacc-none-"
    rows = {}
    ids = {}
    for database in sorted({a["database"] for a in manifest}):
        out = mysql(database, "select a.id, b.body from dede_archives a join dede_addonarticle b "
                              f"on b.aid = a.id where b.body like '%{prefix}%'")
        for line in out.splitlines():
            found = re.search(re.escape(prefix) + r"\d+", line)
            if found:
                rows[found.group(0)] = rows.get(found.group(0), 0) + 1
                ids.setdefault(database, []).append(line.split("\t", 1)[0])
    result = {"articles": len(manifest), "rows": sum(rows.values()), "extra": 0, "counted": 0,
              "stored_not_counted": 0, "counted_not_stored": 0}
    for article in manifest:
        n = rows.get(article["token"], 0)
        counted = not os.path.exists(article["file"])
        result["extra"] += max(0, n - 1)
        result["counted"] += counted
        result["stored_not_counted"] += n > 0 and not counted
        result["counted_not_stored"] += counted and n == 0
    print(json.dumps(result))
    if "--clean" in sys.argv:
        for database, found in ids.items():
            id_list = ",".join(found)
            mysql(database, f"delete from dede_archives where id in ({id_list}); "
                            f"delete from dede_arctiny where id in ({id_list}); "
                            f"delete from dede_addonarticle where aid in ({id_list});")


if __name__ == "__main__":
    main()
