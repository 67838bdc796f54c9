#!/usr/bin/env python3
"""The ranking walk and the shop listing as a plain script would do them: http.client on one kept-alive
connection, the page decoded once, each field found once with re. The CPU yardstick of wire_bench.py.

usage: plain_jobs.py HOST:PORT rank KEYWORD PAGES ITEM_ID
       plain_jobs.py HOST:PORT shop SHOP_HOST

It prints what tarvisk-cli prints for the same job (stdout; the shop's status line on stderr), so the
benchmark can check that both did the same work.
"""

import http.client
import itertools
import random
import re
import sys
import time
import urllib.parse

USER_AGENT = ("Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
              "Chrome/31.0.1650.63 Safari/537.36")
FORM = "application/x-www-form-urlencoded"

ID = re.compile(r'nid":"(\d{10,12})', re.I)
PICTURE = re.compile(r'pic_url":".*?"', re.I)
TITLE = re.compile(r'raw_title":".*?"', re.I)
SALES = re.compile(r'view_sales":"(\d){1,9}', re.I)
DIGITS = re.compile(r'(\d{1,9})$')
ESCAPE = re.compile(r'%u([0-9a-fA-F]{4})|%([0-9a-fA-F]{2})')
SHOP_LINK = re.compile(r'item-name.*?href="http://item.taobao.com/item.htm[?]id=(\d{10,13})" target="_blank">.*?</a>',
                       re.I)
LINK_ID = re.compile(r'\d{9,13}')


class Connection:
    """One kept-alive connection to the demo marketplace, reopened when the server closed it."""

    def __init__(self, route):
        self.host, port = route.rsplit(":", 1)
        self.port = int(port)
        self.connection = None

    def post(self, url, body, headers):
        parts = urllib.parse.urlsplit(url)
        target = parts.path + ("?" + parts.query if parts.query else "")
        for attempt in (1, 2):
            if self.connection is None:
                self.connection = http.client.HTTPConnection(self.host, self.port)
            try:
                self.connection.request("POST", target, body=body, headers=dict(headers, Host=parts.netloc))
                response = self.connection.getresponse()
                data = response.read()
                if response.will_close:
                    self.connection.close()
                    self.connection = None
                return data, response.getheader("Content-Type", "")
            except (http.client.HTTPException, OSError):
                self.connection.close()
                self.connection = None
                if attempt == 2:
                    return b"", ""
        return b"", ""


def unescape(text):
    return ESCAPE.sub(lambda m: chr(int(m.group(1) or m.group(2), 16)), text.replace("\\", "%"))


def search_url(keyword):
    return ("http://s.taobao.com/search?initiative_id=tbindexz_" + time.strftime("%Y%m%d") +
            "&spm=1.7274553.1997520841.1&sourceId=tb.index&search_type=item&ssid=s5-e&commend=all&q=" +
            urllib.parse.quote(keyword, safe="-._") + "&suggest=history_1&_input_charset=utf-8&source=suggest&_" +
            "%.7g" % random.random())


def rank(connection, keyword, pages, item_id):
    out = ["No.\t宝贝名\t位置\tid\t图片\t销售量"]
    url = search_url(keyword)
    found = None
    for page in range(1, pages + 1):
        paged = url + "&s=" + str((page - 1) * 44)
        data, _ = connection.post(paged, b"", {"Content-Type": FORM, "User-Agent": USER_AGENT})
        # Later pages are asked for with the lower-cased address, as the program does.
        url = url.lower()
        text = data.decode("utf-8", "replace")
        marker = text.find("dynamic")
        if marker < 0:
            continue
        ids = ID.findall(text, marker, marker + 3000)
        count = len(ids)
        pictures = [m.group(0) for m in itertools.islice(PICTURE.finditer(text), count)]
        titles = [m.group(0) for m in itertools.islice(TITLE.finditer(text), count)]
        sales = [m.group(0) for m in itertools.islice(SALES.finditer(text), count)]
        for k, item in enumerate(ids):
            picture = pictures[k].replace("\\/", "/")[10:-1] if k < len(pictures) else ""
            title = unescape(titles[k][12:-1]) if k < len(titles) else ""
            sold = DIGITS.search(sales[k]).group(1) if k < len(sales) else ""
            position = "%d页 %d行 第%d" % (page, k // 4 + 1, k % 4 + 1)
            out.append("\t".join((str(len(out)), title, position, item, picture, sold)))
            if item == item_id:
                found = position
                break
        if found:
            break
    out.append("已找到 " + found if found else "未找到")
    sys.stdout.write("\n".join(out) + "\n")


def shop(connection, shop_host):
    name = shop_host[:-4] if shop_host.endswith(".com") else shop_host
    lines = []
    for page in range(1, 101):
        url = "http://" + name + ".com/search.htm?v=1&pageNo=" + str(page)
        data, _ = connection.post(url, ("&x=%.7g" % random.random()).encode(), {"content-type": FORM})
        text = data.decode("gbk", "replace")
        if "很抱歉，搜索到" in text:
            break
        links = [m.group(0) for m in itertools.islice(SHOP_LINK.finditer(text), 100)]
        for link in links:
            start = link.find(">")
            title = link[start + 1:link.find("<", start + 1)]
            if title:
                lines.append(LINK_ID.findall(link)[-1] + " " + title + "\r\n")
        if not links:
            break
    sys.stdout.write("".join(lines))
    sys.stderr.write("共查到%d个宝贝\n" % len(lines))


def main():
    connection = Connection(sys.argv[1])
    if sys.argv[2] == "rank":
        rank(connection, sys.argv[3], int(sys.argv[4]), sys.argv[5])
    else:
        shop(connection, sys.argv[3])


if __name__ == "__main__":
    main()
