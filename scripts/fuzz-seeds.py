#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets from the sandbox's data.

Usage: fuzz-seeds.py TOOLS OUT
  TOOLS  the fuzz build's fuzz/tools.txt (paths of quorvex-sandbox, rcc and skin.jss)
  OUT    the folder to fill: one sub-folder per target, replaced on every run

The pages, documents, pictures and replies are the bytes quorvex-sandbox serves (it is
started on a free loopback port and asked through its proxy interface); the files a user
hands in (list files, re.txt, setsy.txt, skin.jss) are written here in the encodings the
program meets. Two-part seeds hold a reader's markers page, SEPARATOR, and the page.
"""

import hashlib
import json
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.parse
import urllib.request
from pathlib import Path

SEPARATOR = b"\n--8<--\n"  # fuzz/fuzzinput.h: Fuzz::partSeparator
ROOT = Path(__file__).resolve().parent.parent
DATA = ROOT / "sandbox" / "data"


def read_tools(path):
    tools = {}
    for line in Path(path).read_text().splitlines():
        if "=" in line:
            name, value = line.split("=", 1)
            tools[name] = value
    return tools


class Sandbox:
    def __init__(self, executable):
        env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0", QT_QPA_PLATFORM="offscreen")
        self.process = subprocess.Popen([executable, "--port", "0", "--quiet"], stdout=subprocess.PIPE,
                                        env=env, text=True)
        line = self.process.stdout.readline()
        if "listening on" not in line:
            self.process.kill()
            raise SystemExit("fuzz-seeds: quorvex-sandbox did not start: " + line.strip())
        port = int(line.rsplit(":", 1)[1])
        proxy = urllib.request.ProxyHandler({"http": "http://127.0.0.1:%d" % port})
        self.opener = urllib.request.build_opener(proxy)

    def get(self, address):
        """The body of any answer, error statuses included (the program reads those too)."""
        try:
            with self.opener.open(address, timeout=30) as reply:
                return reply.read()
        except urllib.error.HTTPError as error:
            return error.read()

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class Corpus:
    def __init__(self, root):
        self.root = Path(root)
        if self.root.exists():
            shutil.rmtree(self.root)
        self.counts = {}

    def add(self, target, data):
        folder = self.root / target
        folder.mkdir(parents=True, exist_ok=True)
        # Named by content, as libFuzzer names its own units.
        (folder / hashlib.sha1(data).hexdigest()).write_bytes(data)
        self.counts[target] = self.counts.get(target, 0) + 1


def load(name):
    return json.loads((DATA / name).read_text(encoding="utf-8"))


def item_codes():
    codes = [item["itemCode"] for item in load("items.json")["items"]]
    codes += [item["itemCode"] for item in load("hostile-items.json")["items"]]
    # A generated shop's item, an unknown code and a blank one (error documents).
    codes += ["000003E7" + "%024X" % 5, "8A0B1C2D000000000C0900001449330E", ""]
    return codes


def item_address(code):
    return ("http://api.paipai.com/item/getItem.xhtml?format=xml&itemCode=" + urllib.parse.quote(code, safe="")
            + "&needParseAttr=1&needDetailInfo=1&needExtendInfo=0")


def maker_page(sandbox, name):
    return sandbox.get("http://www.pelmora.com/soft/venlo/" + name)


def element(document, name):
    start = document.find(b"<" + name + b">")
    end = document.find(b"</" + name + b">", start)
    return document[start + len(name) + 2:end] if start >= 0 and end > start else b""


def seed_items(sandbox, corpus):
    documents = {}
    for code in item_codes():
        document = sandbox.get(item_address(code))
        documents[code] = document
        corpus.add("fuzz_item_document", document)
    first = documents[item_codes()[0]]
    # A document cut off halfway, as the sandbox's "cut" fault answers it.
    corpus.add("fuzz_item_document", first[:len(first) // 2])
    return documents


def seed_pages(sandbox, corpus, documents):
    pages = {name: maker_page(sandbox, name)
             for name in ["copy36.htm", "copy_app35.htm", "copy_fwz33.htm", "ks_set.htm", "f_1sp.htm"]}
    for page in pages.values():
        corpus.add("fuzz_param_pages", page)

    for entry in load("stock.json")["stockPages"]:
        page = sandbox.get("http://auction1.paipai.com/stock/%s.xhtml" % entry["itemCode"])
        corpus.add("fuzz_stock_list", pages["ks_set.htm"] + SEPARATOR + page)
    generated = sandbox.get("http://auction1.paipai.com/stock/%s.xhtml" % ("00000309" + "%024X" % 3))
    corpus.add("fuzz_stock_list", pages["ks_set.htm"] + SEPARATOR + generated)
    corpus.add("fuzz_stock_list", generated)

    listings = [
        "http://shop.paipai.com/888/list.xhtml?lm=0000000000&p=1",
        "http://shop.paipai.com/888/search.xhtml?lm=1234567890&key=shoes&p=1",
        "http://shop.paipai.com/888/index.shtml",
        "http://shop.wanggou.com/777/list.xhtml?lm=0000000000&p=1",
        "http://shop.paipai.com/999/list.xhtml?lm=0000000000&p=3",
        "http://shop.paipai.com/666/list.xhtml?lm=0000000000&p=1",
        "http://shop.paipai.com/12345/list.xhtml?lm=0000000000&p=1",
    ]
    for address in listings:
        corpus.add("fuzz_listing_page", pages["copy_fwz33.htm"] + SEPARATOR + sandbox.get(address))
    for seller in load("sellers.json")["sellers"][:3]:
        page = sandbox.get("http://shop.taobao.com/seller/items.htm?nick=" + urllib.parse.quote(seller["nick"]))
        corpus.add("fuzz_listing_page", pages["f_1sp.htm"] + SEPARATOR + page)

    cities = sandbox.get("http://static.paipaiimg.com/js/cities.js")
    for item in load("items.json")["items"]:
        ids = ("%s %s" % (item.get("provinceId", ""), item.get("cityId", ""))).encode()
        corpus.add("fuzz_city_table", ids + SEPARATOR + cities)
    corpus.add("fuzz_city_table", cities)

    for document in documents.values():
        detail = element(document, b"detailInfo")
        if detail:
            corpus.add("fuzz_description", pages["copy36.htm"] + SEPARATOR + detail)
    corpus.add("fuzz_description", element(documents[item_codes()[0]], b"detailInfo"))


def seed_files(corpus):
    sample = (DATA / "sample-list.txt").read_text(encoding="utf-8")
    crlf = sample.replace("\n", "\r\n")
    for data in [sample.encode("utf-8"), b"\xef\xbb\xbf" + crlf.encode("utf-8"), crlf.encode("gbk"),
                 b"\xff\xfe" + crlf.encode("utf-16-le"), sample.encode("utf-16-be"),
                 bytes(range(256)) * 4]:
        corpus.add("fuzz_item_list_file", data)
    codes = [line.split(":", 1)[1].split("：", 1)[0] for line in sample.splitlines() if line]
    addresses = "".join("http://auction1.paipai.com/%s\r\n" % code for code in codes)
    corpus.add("fuzz_item_list_file", addresses.encode("gbk"))
    corpus.add("fuzz_item_list_file", ('"http://auction1.paipai.com/%s,x", http://auction1.paipai.com/%s,'
                                       'ftp://x\n\rhttp://shop.paipai.com/888/search.xhtml?a-b' % (codes[0], codes[1]))
               .encode("gbk"))

    addresses = ["http://shop.paipai.com/888", "http://shop.paipai.com/888/-1234567890/shoes/",
                 " http://shop.wanggou.com/777/index.shtml ", "http://shop.paipai.com/999?p=2&x=1",
                 "http://auction1.paipai.com/0C7D360B00000000040100000CC1B772?ptag=list#top",
                 "http://auction1.paipai.com/../../../../tmp/quorvex-escape?ptag=list",
                 "http://item.taobao.com/item.htm?id=1", "https://shop.paipai.com/888",
                 "http://s.paipai.com/search/a-b-c"]
    for address in addresses:
        corpus.add("fuzz_collect_address", address.encode("utf-8"))

    rules = ["包邮^不包邮^<br>^<br/>^^^,^，^ ^^\r\n", "a^b^\r\n", "^^^^^^^^^^^^\r\n", "只有一个^"]
    for line in rules:
        corpus.add("fuzz_replacement_rules", line.encode("gbk"))

    settings = ["文字水印#Pelmora软件#16#30#255#0#0#50#50#\r\n",
                "图片水印#水印#12.5#-5#1e3#0x10#abc#150#-20#C:\\水印#图片\\sy_pic2.jpg\r\n",
                "文字水印#短\n", "图片水印"]
    for line in settings:
        corpus.add("fuzz_watermark_settings", line.encode("gbk"))


def seed_pictures(sandbox, corpus):
    for picture in load("pictures.json")["pictures"]:
        body = sandbox.get("http://img0.paipaiimg.com" + picture["path"])
        corpus.add("fuzz_picture", body)
        if len(body) <= 16384:
            corpus.add("fuzz_watermark_stamp", body)
    # A format's signature and then noise, as the sandbox's "garbage" faults send it.
    noise = bytes(0x80 + (i * 37) % 0x7F for i in range(4096))
    for signature in [b"\x89PNG\r\n\x1a\n", b"\xff\xd8\xff\xe0"]:
        corpus.add("fuzz_picture", signature + noise)
        corpus.add("fuzz_watermark_stamp", signature + noise)


def elf(size=4096, wide=True, big_endian=False):
    """A program image as tests/selfupdate/updatefixtures.h makes them: one loaded segment,
    the section headers at its very end."""
    order = ">" if big_endian else "<"
    data = bytearray(b"e" * size)
    data[0:16] = b"\x7fELF" + bytes([2 if wide else 1, 2 if big_endian else 1, 1]) + bytes(9)
    table = size - 128
    if wide:
        struct.pack_into(order + "HHIQQQIHHHHHH", data, 16, 3, 62, 1, 0x1000, 64, table, 0, 64, 56, 1, 64, 2, 0)
        struct.pack_into(order + "IIQQQQQQ", data, 64, 1, 5, 0, 0, 0, table, table, 0x1000)
    else:
        struct.pack_into(order + "HHIIIIIHHHHHH", data, 16, 2, 3, 1, 0x1000, 52, table, 0, 52, 32, 1, 40, 2, 0)
        struct.pack_into(order + "IIIIIIII", data, 52, 1, 0, 0, 0, table, table, 5, 0x1000)
    data[table:] = bytes(128)
    return bytes(data)


def pe(size=4096, characteristics=0x0022):
    data = bytearray(b"w" * size)
    data[0:0x200] = bytes(0x200)
    data[0:2] = b"MZ"
    struct.pack_into("<I", data, 0x3C, 0x80)
    data[0x80:0x84] = b"PE\0\0"
    struct.pack_into("<HH", data, 0x84, 0x8664, 1)
    struct.pack_into("<HH", data, 0x94, 0xF0, characteristics)
    section = 0x98 + 0xF0
    data[section:section + 5] = b".text"
    struct.pack_into("<II", data, section + 16, size - 0x200, 0x200)
    return bytes(data)


def seed_programs(sandbox, corpus):
    programs = [elf(), elf(wide=False), elf(big_endian=True), pe(), pe(characteristics=0x2022),
                struct.pack(">IIII", 0xFEEDFACF, 7, 3, 2) + bytes(32)]
    for program in programs:
        corpus.add("fuzz_program_file", program)
        corpus.add("fuzz_program_file", program[:len(program) // 2])
    corpus.add("fuzz_program_file", maker_page(sandbox, "copy36.htm"))  # an error page instead

    published = maker_page(sandbox, "s_ver.txt")
    records = [b"", b"0123", b"\0" * 9 + b"3.5   ", b"XXXXXXXXX3.6   tail of the record",
               b"\0" * 9 + "版本".encode("gbk") + b"  ", b"\0" * 9 + b"abc"]
    for record in records:
        corpus.add("fuzz_version_check", published + SEPARATOR + record)
    corpus.add("fuzz_version_check", b" 3.65 " + SEPARATOR + b"\0" * 9 + b"3.6   ")
    corpus.add("fuzz_version_check", b"\0" * 9 + b"4.0   ")


def gateway_call(sandbox, secret, app_key, method, **arguments):
    parameters = dict(arguments, app_key=app_key, format="xml", method=method, sign_method="md5", v="2.0",
                      timestamp=time.strftime("%Y-%m-%d %H:%M:%S"))
    names = sorted(parameters)
    signing = secret + "".join(name + parameters[name] for name in names) + secret
    sign = hashlib.md5(signing.encode("utf-8")).hexdigest().upper()
    query = "&".join("%s=%s" % (name, urllib.parse.quote(parameters[name], safe="")) for name in names)
    return sandbox.get("http://gw.api.taobao.com/router/rest?" + query + "&sign=" + sign)


def seed_open_platform(sandbox, corpus):
    page = maker_page(sandbox, "copy36.htm").decode("gbk")
    pairs = page.split("#")
    slots = {int(pairs[i + 1]): pairs[i] for i in range(0, len(pairs) - 1, 2) if pairs[i + 1].strip().isdigit()}
    secret, app_key = slots[1], slots[2]
    for seller in load("sellers.json")["sellers"]:
        nick = seller["nick"]
        corpus.add("fuzz_open_platform", gateway_call(sandbox, secret, app_key, "taobao.items.get",
                                                      fields="num_iid", nicks=nick))
        corpus.add("fuzz_open_platform", gateway_call(sandbox, secret, app_key, "taobao.sellercats.list.get",
                                                      nick=nick))
        for item in seller.get("items", [])[:1]:
            corpus.add("fuzz_open_platform", gateway_call(sandbox, secret, app_key, "taobao.item.get",
                                                          fields="postage_id,location", num_iid=str(item["num_iid"])))
    # A refused call: the platform's error_response.
    corpus.add("fuzz_open_platform", gateway_call(sandbox, "wrong", app_key, "taobao.items.get",
                                                  fields="num_iid", nicks="quorvex_demo"))


def seed_skins(tools, corpus):
    skin = Path(tools.get("skin", ""))
    if skin.is_file():
        corpus.add("fuzz_skin_store", skin.read_bytes())
    rcc = tools.get("rcc", "")
    if not rcc or not Path(rcc).is_file():
        return
    source = ROOT / "skins" / "default"
    with tempfile.TemporaryDirectory() as folder:
        # A small skin: three pictures and the values, packed each way rcc packs.
        names = ["CLOSE.png", "MIN.png", "LEFTTOP.png", "values.ini"]
        qrc = Path(folder) / "skin.qrc"
        qrc.write_text("<RCC><qresource prefix=\"/\">" + "".join(
            '<file alias="%s">%s</file>' % (name, source / name) for name in names) + "</qresource></RCC>")
        for options in [["--no-compress"], ["--compress-algo", "zlib", "--threshold", "0"],
                        ["--compress-algo", "zstd", "--threshold", "0"]]:
            output = Path(folder) / "skin.jss"
            done = subprocess.run([rcc, "--binary", *options, "-o", str(output), str(qrc)],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if done.returncode == 0 and output.is_file():
                corpus.add("fuzz_skin_store", output.read_bytes())


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    tools = read_tools(sys.argv[1])
    corpus = Corpus(sys.argv[2])
    sandbox = Sandbox(tools["sandbox"])
    try:
        documents = seed_items(sandbox, corpus)
        seed_pages(sandbox, corpus, documents)
        seed_pictures(sandbox, corpus)
        seed_open_platform(sandbox, corpus)
        seed_programs(sandbox, corpus)
    finally:
        sandbox.close()
    seed_files(corpus)
    seed_skins(tools, corpus)
    for target in sorted(corpus.counts):
        print("%-26s %3d seeds" % (target, corpus.counts[target]))


if __name__ == "__main__":
    main()
