#!/usr/bin/env python3
"""Checks a zxreport page against SQL of its own over the same database.

The figures are read from the page as the browser rendered it (a DOM dumped
by headless Chromium), or from the JSON file where no browser is at hand;
every table must be one this script knows how to compute, and every cell
must equal the figure computed here. Also checks that values from the logs
stayed text: no element or event handler came from them.

Usage: check_report.py (--dom FILE | --json FILE) --db sqlite:FILE|postgres
                       --ids FILE [--top N] [--title TEXT] [--csv DIR] [--empty]
       check_report.py --same A.json B.json
"""
import argparse
import csv
from datetime import datetime
import html.parser
import json
import os
import subprocess
import sys

FAILURES = []
SHOWN = True  # text cells as a page shows them (else exact, as in JSON)


def fail(message):
    FAILURES.append(message)
    print("FAIL: " + message)


def text_of(raw):
    """Bytes as the report shows them: valid UTF-8 kept, other bytes as Latin-1."""
    out, i = [], 0
    while i < len(raw):
        for n in (1, 2, 3, 4):
            try:
                out.append(raw[i:i + n].decode("utf-8"))
                i += n
                break
            except UnicodeDecodeError:
                continue
        else:
            out.append(chr(raw[i]))
            i += 1
    return "".join(out)


def shown(value, limit):
    """A value as a table cell shows it: controls replaced, cut after limit."""
    value = "".join("\ufffd" if ord(c) < 32 or ord(c) == 127 else c for c in value)
    return value if len(value) <= limit else value[:limit] + "\u2026"


class Db:
    def __init__(self, target):
        self.sqlite = target.startswith("sqlite:")
        self.path = target[len("sqlite:"):]

    def rows(self, sql):
        if self.sqlite:
            cmd = ["sqlite3", "-batch", "-noheader", "-separator", "\x1f", "-newline", "\x1e", self.path, sql]
        else:
            cmd = ["psql", "-X", "-q", "-A", "-t", "-F", "\x1f", "-R", "\x1e", "-v", "ON_ERROR_STOP=1", "-c", sql]
        out = subprocess.run(cmd, check=True, stdout=subprocess.PIPE).stdout
        if out.endswith(b"\n"):
            out = out[:-1]
        return [[text_of(f) for f in r.split(b"\x1f")] for r in out.split(b"\x1e") if r != b""]

    def hour(self, col):
        return f"substr({col}, 1, 13) || ':00'" if self.sqlite else f"to_char({col}, 'YYYY-MM-DD HH24') || ':00'"

    def day(self, col):
        return f"substr({col}, 1, 10)" if self.sqlite else f"to_char({col}, 'YYYY-MM-DD')"

    def stamp(self, col):
        return col if self.sqlite else f"to_char({col}, 'YYYY-MM-DD HH24:MI:SS')"

    def rounded(self, expr):
        return f"CAST(round({expr}) AS INTEGER)" if self.sqlite else f"round(({expr})::numeric)::bigint"

    def order(self, col):
        return col if self.sqlite else f'{col} COLLATE "C"'

    def tables(self):
        sql = ("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name" if self.sqlite else
               "SELECT relname FROM pg_class WHERE relkind = 'r' AND pg_table_is_visible(oid) ORDER BY relname")
        return [r[0] for r in self.rows(sql)]

    def columns(self, table):
        sql = (f"SELECT name FROM pragma_table_info('{table}')" if self.sqlite else
               f"SELECT attname FROM pg_attribute WHERE attrelid = '{table}'::regclass AND attnum > 0 AND NOT attisdropped")
        return {r[0] for r in self.rows(sql)}

    NUMBERS = {"refcount", "bytecount", "responsetime", "status", "transcodeid", "playtime", "bandwidth",
               "billmeasure1", "billmeasure2", "billmeasure3", "result"}

    def null(self, column):
        """A NULL of the column's type (PostgreSQL types the NULLs of a union)."""
        if self.sqlite:
            return "NULL"
        if column == "timestampid":
            return "NULL::timestamp"
        return "NULL::double precision" if column in self.NUMBERS else "NULL::text"

    def union(self, prefix, wanted):
        parts = []
        for table in self.tables():
            if not table.startswith(prefix):
                continue
            have = self.columns(table)
            cols = [(f'"{c}"' if c in have else self.null(c)) + f" AS {c}" for c in wanted]
            parts.append(f"SELECT '{table[len(prefix):]}' AS app, " + ", ".join(cols) + f' FROM "{table}"')
        return "(" + " UNION ALL ".join(parts) + ") r" if parts else None


class Page(html.parser.HTMLParser):
    """Tables (id -> rows of cells), section ids, title and foreign markup."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tables, self.sections, self.stack = {}, [], []
        self.table = self.row = self.cell = None
        self.title, self.in_title, self.data, self.in_data = "", False, "", False
        self.foreign = []

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        for name in a:
            if name.startswith("on"):
                self.foreign.append(f"<{tag} {name}>")
        if tag in ("img", "iframe", "object", "embed", "b", "a") and not (tag == "a" and a.get("href", "").startswith("#")):
            self.foreign.append(f"<{tag}>")
        if tag == "script":
            if a.get("id") == "zxreport-data" and a.get("type") == "application/json":
                self.in_data = True
            else:
                self.foreign.append("<script>")
        if tag == "svg" and not self.stack_has("figure"):
            self.foreign.append("<svg> outside a chart")
        self.stack.append(tag)
        if tag == "title" and "svg" not in self.stack[:-1] and not self.stack_has("figure"):
            self.in_title = True
        if tag == "section":
            self.sections.append(a.get("id"))
        if tag == "table":
            self.table = self.tables.setdefault(a.get("id", "")[2:], [])
        if tag == "tr" and self.table is not None:
            self.row = []
        if tag in ("td", "th") and self.row is not None:
            self.cell = {"text": "", "title": a.get("title"), "head": tag == "th"}

    def stack_has(self, tag):
        return tag in self.stack

    def handle_endtag(self, tag):
        while self.stack and self.stack.pop() != tag:
            pass
        if tag == "title":
            self.in_title = False
        if tag == "script":
            self.in_data = False
        if tag in ("td", "th") and self.cell is not None:
            self.row.append(self.cell)
            self.cell = None
        if tag == "tr" and self.row is not None:
            if self.row and not self.row[0]["head"]:
                self.table.append([c["title"] if c["title"] is not None else c["text"] for c in self.row])
            self.row = None
        if tag == "table":
            self.table = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell["text"] += data
        if self.in_title:
            self.title += data
        if self.in_data:
            self.data += data


def number(cell):
    return float(cell.replace(",", "")) if cell != "" else None


def compare(table_id, got, expected):
    """Cells: ints compare exactly, floats to the shown decimals, text as shown."""
    if got is None:
        fail(f"{table_id}: table missing")
        return
    if len(got) != len(expected):
        fail(f"{table_id}: {len(got)} rows, expected {len(expected)}: {got[:3]} / {expected[:3]}")
        return
    for r, (g_row, e_row) in enumerate(zip(got, expected)):
        for c, (g, e) in enumerate(zip(g_row, e_row)):
            ok = True
            if isinstance(e, str):
                ok = g == (shown(e, 2000 if len(e) > 80 else 80) if SHOWN else e)
            elif e is None:
                ok = g in ("", None)
            elif isinstance(e, int):
                ok = g is not None and number(str(g)) == e
            else:
                ok = g is not None and abs(number(str(g)) - e) <= 0.006
            if not ok:
                fail(f"{table_id} row {r} column {c}: page {g!r}, SQL {e!r}")
                return


def share(part, whole):
    return 0.0 if whole == 0 else 100.0 * part / whole


def expected_tables(db, args):
    """Every table the report should hold, computed here."""
    out = {}
    names = {}
    with open(args.ids, encoding="latin-1") as f:
        section = False
        for line in f:
            line = line.rstrip("\r\n")
            if line.startswith("[START"):
                section = line.startswith("[START TRANSACTION CODES]")
            elif section and "@" in line:
                name, code = line.rsplit("@", 1)
                names[int(code)] = name
    wanted = ["timestampid", "refcount", "bytecount", "responsetime", "status", "userip", "username",
              "sitename", "url", "filetype", "contenttype", "referrer", "browser", "os", "transcodeid",
              "hierarchycode"]
    raw = db.union("raw_", wanted)
    where = ""
    if args.range_from:
        where = f" WHERE timestampid >= '{args.range_from}' AND timestampid < '{args.range_to}'"
    r = (f"(SELECT app, {db.hour('timestampid')} AS h, {db.day('timestampid')} AS d, "
         f"coalesce(refcount, 1) AS c, {db.rounded('coalesce(bytecount, 0) * coalesce(refcount, 1)')} AS b, "
         f"responsetime AS rt, status, userip, username, sitename, url, filetype, contenttype, referrer, "
         f"browser, os, transcodeid, hierarchycode FROM {raw}{where}) x")
    none = lambda col: f"{col} IS NOT NULL AND {col} NOT IN ('', '-')"
    total = db.rows(f"SELECT count(*), sum(c), sum(b) FROM {r}")[0]
    rows, requests, nbytes = int(total[0]), int(total[1] or 0), int(total[2] or 0)
    if rows == 0:
        return out, rows
    one = lambda sql: int(db.rows(sql)[0][0] or 0)
    failed = one(f"SELECT sum(c) FROM {r} WHERE status >= 400 AND status < 600")
    c4 = one(f"SELECT sum(c) FROM {r} WHERE status >= 400 AND status < 500")
    hours = db.rows(f"SELECT h, sum(c), sum(b), count(DISTINCT CASE WHEN {none('userip')} THEN userip END) "
                    f"FROM {r} GROUP BY h ORDER BY h")
    busiest = max(hours, key=lambda h: int(h[1]))  # the first of equals
    out["overview"] = [
        ["First hour", hours[0][0]], ["Last hour", hours[-1][0]], ["Requests", requests], ["Bytes", nbytes],
        ["Distinct clients", one(f"SELECT count(DISTINCT userip) FROM {r} WHERE {none('userip')}")],
        ["Distinct users", one(f"SELECT count(DISTINCT username) FROM {r} WHERE {none('username')}")],
        ["Failed requests (4xx, 5xx)", failed], ["Failed share", share(failed, requests)],
        ["Client errors (4xx)", c4], ["Server errors (5xx)", failed - c4],
        ["Busiest hour", busiest[0]], ["Requests in the busiest hour", int(busiest[1])], ["Rows read", rows]]
    apps = db.rows(f"SELECT app, sum(c), sum(b), count(DISTINCT CASE WHEN {none('userip')} THEN userip END), "
                   f"count(DISTINCT CASE WHEN {none('username')} THEN username END), "
                   f"sum(CASE WHEN status >= 400 AND status < 600 THEN c ELSE 0 END) FROM {r} GROUP BY app ORDER BY app")
    if len(apps) > 1:
        out["appliances"] = [[a, int(q), int(b), int(cl), int(u), share(int(f), int(q))] for a, q, b, cl, u, f in apps]
    out["hours"] = [[h, int(q), int(b), int(cl)] for h, q, b, cl in hours]
    days = db.rows(f"SELECT d, sum(c), sum(b), count(DISTINCT CASE WHEN {none('userip')} THEN userip END) "
                   f"FROM {r} GROUP BY d ORDER BY d")
    if len(days) > 1:
        out["days"] = [[d, int(q), int(b), int(cl)] for d, q, b, cl in days]

    def ranking(col, by, with_bytes=True):
        rows_ = db.rows(f"SELECT {col}, sum(c), sum(b) FROM {r} WHERE {none(col)} GROUP BY {col} "
                        f"ORDER BY {by} DESC, {db.order(col)} LIMIT {args.top}")
        result = []
        for v, q, b in rows_:
            row = [v, int(q), share(int(q), requests)]
            if with_bytes:
                row += [int(b), share(int(b), nbytes)]
            result.append(row)
        return result

    for name, col in [("sites", "sitename"), ("urls", "url"), ("filetypes", "filetype"),
                      ("contenttypes", "contenttype"), ("users", "username"), ("clients", "userip"),
                      ("referrers", "referrer")]:
        if one(f"SELECT count(*) FROM {r} WHERE {none(col)}"):
            out[name + "-by-requests"] = ranking(col, "sum(c)")
            out[name + "-by-bytes"] = ranking(col, "sum(b)")
    for name, col in [("browsers", "browser"), ("systems", "os")]:
        if one(f"SELECT count(*) FROM {r} WHERE {none(col)}"):
            out[name] = ranking(col, "sum(c)", False)
    out["status-codes"] = [[str(int(float(s))), int(q), share(int(q), requests), int(b), share(int(b), nbytes)]
                           for s, q, b in db.rows(f"SELECT status, sum(c), sum(b) FROM {r} WHERE status IS NOT NULL "
                                                  f"GROUP BY status ORDER BY status")]
    first, last = hours[0][0], hours[-1][0]
    hours_apart = (datetime.strptime(last, "%Y-%m-%d %H:%M") - datetime.strptime(first, "%Y-%m-%d %H:%M")).total_seconds() / 3600
    by_day = hours_apart >= 72
    key = "d" if by_day else "h"
    cls = "CASE WHEN status >= 100 AND status < 600 THEN CAST(status / 100 AS INTEGER) ELSE 6 END"
    if not db.sqlite:
        cls = "CASE WHEN status >= 100 AND status < 600 THEN floor(status / 100)::int ELSE 6 END"
    classes = db.rows(f"SELECT {key}, {cls}, sum(c) FROM {r} GROUP BY 1, 2 ORDER BY 1, 2")
    used = sorted({int(c) for _, c, _ in classes})
    table = {}
    for k, c, q in classes:
        table.setdefault(k, {})[int(c)] = int(q)
    out["status-classes-days" if by_day else "status-classes-hours"] = [
        [k] + [table[k].get(c, 0) for c in used] for k in sorted(table)]

    def percentiles(group):
        return db.rows(
            f"SELECT g, max(tot), min(CASE WHEN cum * 100 >= 50 * tot THEN v END), "
            f"min(CASE WHEN cum * 100 >= 95 * tot THEN v END) FROM (SELECT g, v, "
            f"sum(c) OVER (PARTITION BY g ORDER BY v ROWS UNBOUNDED PRECEDING) AS cum, "
            f"sum(c) OVER (PARTITION BY g) AS tot FROM (SELECT {group} AS g, rt AS v, c FROM {r} "
            f"WHERE rt IS NOT NULL) z) y GROUP BY g ORDER BY g")
    timed = percentiles("h")
    if timed:
        whole = percentiles("'all'")[0]
        out["response-overall"] = [[int(whole[1]), float(whole[2]), float(whole[3])]]
        out["response-hours"] = [[h, int(t), float(m), float(p)] for h, t, m, p in timed]
    codes = db.rows(f"SELECT transcodeid, sum(c), sum(b) FROM {r} WHERE transcodeid IS NOT NULL GROUP BY transcodeid")
    if codes:
        named = []
        for code, q, b in codes:
            code = int(float(code))
            named.append([f"{names[code]} ({code})" if code in names else str(code), int(q), int(b)])
        coded = sum(n[1] for n in named)
        hits = sum(n[1] for n in named if "HIT" in n[0])
        out["cache-summary"] = [[coded, hits, share(hits, coded)]]
        named.sort(key=lambda n: (-n[1], n[0].encode()))
        out["cache-transactions"] = [[n, q, share(q, requests), b, share(b, nbytes)] for n, q, b in named[:args.top]]
    if one(f"SELECT count(*) FROM {r} WHERE {none('hierarchycode')}"):
        out["cache-hierarchy"] = ranking("hierarchycode", "sum(c)")

    bill = db.union("bill_", ["timestampid", "userip", "username", "billmeasure1", "billmeasure2", "billmeasure3"])
    if bill:
        bwhere = where
        un = f"CASE WHEN {none('username')} THEN username ELSE '' END"
        sep = "char(31)" if db.sqlite else "chr(31)"
        b = f"(SELECT {db.stamp('timestampid')} AS t, {un} AS un, userip, billmeasure1 AS m1, billmeasure2 AS m2, billmeasure3 AS m3 FROM {bill}{bwhere}) w"
        users = db.rows(f"SELECT un, userip, count(DISTINCT t), sum(m1), avg(m2), sum(m3) FROM {b} GROUP BY un, userip "
                        f"ORDER BY sum(m1) DESC, {db.order(f'un || {sep} || userip')} LIMIT {args.top}")
        out["billing-users"] = [[u, ip, int(n), float(a), float(m), float(c)] for u, ip, n, a, m, c in users]
        pairs = db.rows(f"SELECT t, un, userip, sum(m1), avg(m2), sum(m3) FROM {b} GROUP BY t, un, userip "
                        f"ORDER BY sum(m1) DESC, {db.order('t')}, {db.order(f'un || {sep} || userip')} LIMIT {args.top}")
        out["billing-intervals"] = [[t, u, ip, float(a), float(m), float(c)] for t, u, ip, a, m, c in pairs]
    streaming(db, args, out, where, none)
    smartfilter(db, args, out, none, names)
    return out, rows


def streaming(db, args, out, where, none):
    stream = db.union("str_", ["timestampid", "url", "player", "product", "playtime", "bytecount",
                                "bandwidth", "refcount"])
    if not stream:
        return
    s = (f"(SELECT url, CASE WHEN {none('player')} THEN player ELSE product END AS player, "
         f"coalesce(refcount, 1) AS c, coalesce(playtime, 0) * coalesce(refcount, 1) AS p, "
         f"{db.rounded('coalesce(bytecount, 0) * coalesce(refcount, 1)')} AS b, "
         f"bandwidth * coalesce(refcount, 1) AS w, CASE WHEN bandwidth IS NULL THEN 0 ELSE coalesce(refcount, 1) END AS wc "
         f"FROM {stream}{where}) s")

    def figures(first, c, p, b, w, wc):
        return [first, int(c), float(p), int(b), float(w) / int(wc) if int(wc) else None]

    summary = db.rows(f"SELECT count(*), sum(c), sum(p), sum(b), coalesce(sum(w), 0), sum(wc) FROM {s}")[0]
    if int(summary[0]) == 0:
        return
    out["streaming-summary"] = [figures(int(summary[0]), *summary[1:])]
    players = db.rows(f"SELECT player, sum(c), sum(p), sum(b), coalesce(sum(w), 0), sum(wc) FROM {s} "
                      f"WHERE {none('player')} GROUP BY player ORDER BY sum(c) DESC, {db.order('player')} LIMIT {args.top}")
    if players:
        out["streaming-players"] = [figures(*row) for row in players]
    streams = db.rows(f"SELECT url, sum(c), sum(p), sum(b), coalesce(sum(w), 0), sum(wc) FROM {s} "
                      f"WHERE {none('url')} GROUP BY url ORDER BY sum(p) DESC, {db.order('url')} LIMIT {args.top}")
    if streams:
        out["streaming-streams"] = [figures(*row) for row in streams]


def smartfilter(db, args, out, none, names):
    smart = db.union("smart_", ["category", "result", "refcount"])
    if not smart or (args.range_from and args.range_to):
        return  # the SmartFilter set has no time stamps: left out of a range
    s = f"(SELECT category, result, coalesce(refcount, 1) AS c FROM {smart}) f"
    total = int(db.rows(f"SELECT coalesce(sum(c), 0) FROM {s}")[0][0])
    categories = db.rows(f"SELECT category, sum(c) FROM {s} WHERE {none('category')} GROUP BY category "
                         f"ORDER BY sum(c) DESC, {db.order('category')} LIMIT {args.top}")
    if categories:
        out["smartfilter-categories"] = [[v, int(q), share(int(q), total)] for v, q in categories]
    results = db.rows(f"SELECT result, sum(c) FROM {s} WHERE result IS NOT NULL GROUP BY result")
    if results:
        named = [[f"{names[int(float(r))]} ({int(float(r))})" if int(float(r)) in names else str(int(float(r))), int(q)]
                 for r, q in results]
        named.sort(key=lambda n: (-n[1], n[0].encode()))
        out["smartfilter-results"] = [[n, q, share(q, total)] for n, q in named]


def figures_from_json(text):
    data = json.loads(text)
    tables = {}
    for panel in data["panels"]:
        for table in panel["tables"]:
            tables[table["id"]] = [["" if v is None else (v if isinstance(v, str) else repr(v)) for v in row]
                                   for row in table["rows"]]
    return data, tables


def same(a_path, b_path):
    """Two JSON reports hold the same figures (floats to 3 decimals)."""
    def load(path):
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        return [(p["id"], [(t["id"], [[round(v, 3) if isinstance(v, float) else v for v in row] for row in t["rows"]])
                           for t in p["tables"]]) for p in data["panels"]]
    a, b = load(a_path), load(b_path)
    if a != b:
        fail(f"{a_path} and {b_path} differ")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--dom")
    ap.add_argument("--json")
    ap.add_argument("--db")
    ap.add_argument("--ids")
    ap.add_argument("--top", type=int, default=10)
    ap.add_argument("--title")
    ap.add_argument("--csv")
    ap.add_argument("--empty", action="store_true")
    ap.add_argument("--range-from")
    ap.add_argument("--range-to")
    ap.add_argument("--same", nargs=2)
    args = ap.parse_args()
    if args.same:
        same(*args.same)
    else:
        if args.dom:
            page = Page()
            with open(args.dom, encoding="utf-8") as f:
                page.feed(f.read())
            got = page.tables
            if args.title is not None and page.title != args.title:
                fail(f"page title {page.title!r}, expected {args.title!r}: a value ran as script?")
            for element in page.foreign:
                fail(f"markup from the data became an element: {element}")
            data, from_json = figures_from_json(page.data)
            if args.empty != ("empty" in page.sections) or (args.empty and data["empty"] is None):
                fail("the page does not say whether it has data as expected")
            if args.json:
                with open(args.json, encoding="utf-8") as f:
                    if figures_from_json(f.read())[1] != from_json:
                        fail("the figures inside the page differ from the JSON file")
        else:
            global SHOWN
            SHOWN = False
            with open(args.json, encoding="utf-8") as f:
                data, got = figures_from_json(f.read())
        expected, rows = expected_tables(Db(args.db), args)
        if args.empty and rows != 0:
            fail(f"{rows} rows in a range expected to be empty")
        print(f"check_report: {len(expected)} tables computed, {len(got)} on the page")
        for table_id in sorted(set(got) | set(expected)):
            if table_id not in expected:
                fail(f"{table_id}: a table this check does not know")
            else:
                compare(table_id, got.get(table_id), expected[table_id])
        if args.csv:
            for table_id, rows_ in expected.items():
                path = os.path.join(args.csv, table_id + ".csv")
                with open(path, newline="", encoding="utf-8") as f:
                    raw = f.read()
                if "\n" in raw.replace("\r\n", ""):
                    fail(f"{path}: a line break that is not CR LF")
                cells = list(csv.reader(raw.splitlines()))[1:]
                for row, e_row in zip(cells, rows_):
                    for cell, e in zip(row, e_row):
                        if isinstance(e, str):
                            guarded = ("'" + e) if e[:1] in ("=", "+", "-", "@", "\t", "\r") else e
                            if cell != guarded:
                                fail(f"{path}: cell {cell!r}, expected {guarded!r}")
    print(f"check_report: {len(FAILURES)} failed")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
