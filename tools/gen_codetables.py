#!/usr/bin/env python3
"""Generates the toolkit's three code tables into loomkit/res/.

  codes.txt   EACC to UCS-2: "EEEEEE UUUU" per line, ascending EACC code
  latin.txt   extended-Latin (ANSEL) bytes 88-FE: "BB UUUU"
  pinyin.txt  GBK character (2 bytes), 5 blanks, readings separated by ";"

Every line ends with CR LF. The two NUL bytes that end each table in memory are added when
the library embeds the file (see loomkit/res/tables.cpp).

Sources:
  --marc8   the MARC-8 code tables of the Library of Congress (codetables.xml)
  --unihan  Unihan_Readings.txt(.bz2) of Debian's unicode-data
  GBK       code page 936 as Windows maps it, through ICU's converter "windows-936-2000"
            (the uconv program of icu-devtools)

Usage: tools/gen_codetables.py --marc8 FILE --unihan FILE [--out loomkit/res]
"""

import argparse
import bz2
import os
import re
import subprocess
import sys
import unicodedata
import xml.etree.ElementTree as ET

EACC_SET = "31"       # ISOcode of "Chinese, Japanese, Korean (EACC)"
ANSEL_SET = "45"      # ISOcode of "Extended Latin (ANSEL)"
FIRST_EACC = "212321"  # 212320 also maps to U+3000; the table starts after it so U+3000 finds 212321
MAX_READINGS = 6


def character_set(root, iso_code):
    for cs in root.iter("characterSet"):
        if cs.get("ISOcode") == iso_code:
            return cs
    sys.exit("character set %s missing from the MARC-8 tables" % iso_code)


def bmp_entries(cs):
    """(marc, ucs) pairs whose ucs is a 4-digit (BMP) code, upper case."""
    out = []
    for code in cs.iter("code"):
        marc = (code.findtext("marc") or "").strip().upper()
        ucs = (code.findtext("ucs") or "").strip().upper()
        if re.fullmatch(r"[0-9A-F]{4}", ucs) and marc:
            out.append((marc, ucs))
    return out


def codes_table(root):
    entries = [(m, u) for m, u in bmp_entries(character_set(root, EACC_SET)) if m >= FIRST_EACC]
    entries.sort(key=lambda e: int(e[0], 16))
    return "".join("%s %s\r\n" % e for e in entries).encode("ascii"), len(entries)


def latin_table(root):
    entries = [(m, u) for m, u in bmp_entries(character_set(root, ANSEL_SET))
               if len(m) == 2 and 0x88 <= int(m, 16) <= 0xFE]
    entries.sort(key=lambda e: int(e[0], 16))
    return "".join("%s %s\r\n" % e for e in entries).encode("ascii"), len(entries)


def plain_syllable(reading):
    """Tone marks removed, u-umlaut written v, lower case ASCII; None when nothing is left."""
    s = unicodedata.normalize("NFD", reading.strip().lower())
    s = s.replace("u\u0308", "v")
    s = "".join(ch for ch in s if not unicodedata.combining(ch))
    s = re.sub(r"[^a-z]", "", s)
    return s or None


def read_unihan(path):
    fields = {"kMandarin": {}, "kXHC1983": {}, "kHanyuPinyin": {}}
    opener = bz2.open if path.endswith(".bz2") else open
    with opener(path, "rt", encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            cp, field, value = line.rstrip("\n").split("\t", 2)
            if field in fields:
                fields[field][int(cp[2:], 16)] = value
    return fields


def readings_of(cp, unihan):
    """kMandarin, then the further kXHC1983 readings; kHanyuPinyin only when both are absent."""
    raw = []
    if cp in unihan["kMandarin"]:
        raw += unihan["kMandarin"][cp].split()
    if cp in unihan["kXHC1983"]:
        for entry in unihan["kXHC1983"][cp].split():
            raw.append(entry.split(":", 1)[-1])
    if not raw and cp in unihan["kHanyuPinyin"]:
        for entry in unihan["kHanyuPinyin"][cp].split():
            raw += entry.split(":", 1)[-1].split(",")
    out = []
    for r in raw:
        s = plain_syllable(r)
        if s and s not in out:
            out.append(s)
    return out[:MAX_READINGS]


def gbk_hanzi():
    """(two GBK bytes, code point) for every character 81 40 - FE FE that code page 936 maps
    into U+4E00-U+9FA5, in GBK order."""
    pairs = [bytes([a, b]) for a in range(0x81, 0xFF) for b in range(0x40, 0xFF) if b != 0x7F]
    data = b"".join(p + b"\n" for p in pairs)
    res = subprocess.run(["uconv", "-f", "windows-936-2000", "-t", "utf-8"], input=data,
                         capture_output=True, check=True)
    lines = res.stdout.decode("utf-8").split("\n")
    # No trail byte is 0A, so every pair comes back as one line of its own.
    if len(lines) != len(pairs) + 1:
        sys.exit("uconv did not give one line per GBK pair")
    out = []
    for p, text in zip(pairs, lines):
        if len(text) == 1 and 0x4E00 <= ord(text) <= 0x9FA5:
            out.append((p, ord(text)))
    return out


def pinyin_table(unihan):
    chars = gbk_hanzi()
    body = bytearray()
    lines = 0
    for gbk, cp in chars:
        readings = readings_of(cp, unihan)
        if not readings:
            continue
        body += gbk + b"     " + ";".join(readings).encode("ascii") + b"\r\n"
        lines += 1
    return bytes(body), lines, len(chars)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--marc8", required=True)
    ap.add_argument("--unihan", default="/usr/share/unicode/Unihan_Readings.txt.bz2")
    ap.add_argument("--out", default=os.path.join(os.path.dirname(__file__), "..", "loomkit", "res"))
    args = ap.parse_args()

    root = ET.parse(args.marc8).getroot()
    codes, ncodes = codes_table(root)
    latin, nlatin = latin_table(root)
    pinyin, npinyin, nchars = pinyin_table(read_unihan(args.unihan))

    for name, data in (("codes.txt", codes), ("latin.txt", latin), ("pinyin.txt", pinyin)):
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)
    print("codes.txt: %d lines; latin.txt: %d lines; pinyin.txt: %d lines (%d GBK characters)"
          % (ncodes, nlatin, npinyin, nchars))


if __name__ == "__main__":
    main()
