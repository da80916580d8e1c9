#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets (corpus/<target>/). Run from anywhere:
    python3 fuzz/make_seeds.py
Every seed is made here from records of our own; the EACC codes come from the toolkit's table."""
import os

HERE = os.path.dirname(os.path.abspath(__file__))
CODES = os.path.join(HERE, '..', 'loomkit', 'res', 'codes.txt')

eacc = {}
for line in open(CODES, 'rb').read().decode('ascii').split('\r\n'):
    if len(line) == 11:
        ucs = int(line[7:], 16)
        eacc.setdefault(ucs, bytes.fromhex(line[:6]))

FT, RT, SF = '\x1e', '\x1d', '\x1f'


def record(fields, leader='00000nam  2200000   4500'):
    """fields: (tag, data) with data already holding indicators and delimiters (text)."""
    directory, data, start = '', '', 0
    for tag, d in fields:
        d += FT
        directory += '%s%04d%05d' % (tag, len(d), start)
        data += d
        start += len(d)
    base = 24 + len(directory) + 1
    rec = leader[:12] + '%05d' % base + leader[17:24] + directory + FT + data + RT
    return '%05d' % len(rec) + rec[5:]


def encoded(rec, enc):
    """One record in a byte form, its lengths recounted in that form's units."""
    def form(t):
        if enc == 'eacc':
            out, run = b'', False
            for ch in t:
                code = eacc.get(ord(ch)) if ord(ch) > 0xFF else None
                if code:
                    if not run:
                        out += b'\x1b$1'
                    run = True
                    out += code
                else:
                    if run:
                        out += b'\x1b(B'
                    run = False
                    out += ch.encode('gbk')
            return out + (b'\x1b(B' if run else b'')
        return t.encode(enc)
    # Recount lengths field by field in bytes (units for UTF-16).
    head, rest = rec[:24], rec[24:]
    dir_end = rest.index(FT)
    entries = [rest[i:i + 12] for i in range(0, dir_end, 12)]
    pieces = rest[dir_end + 1:-1].split(FT)[:-1]
    unit = 2 if enc == 'utf-16-le' else 1
    body, directory, start = b'', '', 0
    for e, p in zip(entries, pieces):
        b = form(p + FT)
        directory += '%s%04d%05d' % (e[:3], len(b) // unit, start)
        start += len(b) // unit
        body += b
    base = 24 + len(directory) + 1
    total = base + len(body) // unit + 1
    lead = '%05d' % total + head[5:12] + '%05d' % base + head[17:]
    return form(lead + directory + FT) + body + form(RT)


R1 = record([('001', 'CAL 012345'),
             ('200', '1 ' + SF + 'a中文题名' + SF + 'e副题名' + SF + 'f王小明著'),
             ('210', '  ' + SF + 'a北京' + SF + 'c中华书局' + SF + 'd2024')])
R2 = record([('005', '20240101120000.0'),
             ('245', '10' + SF + 'aPlain title & <x> "q"' + SF + 'bsub'),
             ('500', '  ' + SF + 'aŁódź £5' + SF)])
R3 = record([('010', '  ' + SF + 'a978-7-101-00000-0' + SF + 'dCNY20.00'),
             ('701', ' 0' + SF + 'a李白' + SF + '4著')])


def put(target, name, data):
    d = os.path.join(HERE, 'corpus', target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), 'wb') as f:
        f.write(data)


recs = [R1, R2, R3]
put('iso2709_read', 'gbk.mrc', b''.join(encoded(r, 'gbk') for r in [R1, R3]))
put('iso2709_read', 'utf8.mrc', b''.join(encoded(r, 'utf-8') for r in recs))
put('iso2709_read', 'utf8_bom_newlines.mrc', b'\xef\xbb\xbf' + b'\r\n'.join(encoded(r, 'utf-8') for r in recs))
put('iso2709_read', 'utf16le.mrc', b''.join(encoded(r, 'utf-16-le') for r in recs))
put('iso2709_read', 'utf16le_bom.mrc', b'\xff\xfe' + b''.join(encoded(r, 'utf-16-le') for r in [R1, R3]))
put('iso2709_read', 'eacc.mrc', b''.join(encoded(r, 'eacc') for r in [R1, R3]))
put('iso2709_read', 'eacc_long_escape.mrc', encoded(R3, 'eacc').replace(b'\x1b$1', b'\x1b$$1').replace(b'\x1b(B', b'\x1b((B'))
# Junk before, between and after; a last record without its terminator; a directory one
# character short of whole entries.
good = encoded(R3, 'gbk')
put('iso2709_read', 'junk_and_cut.mrc', b'PK\x03\x04junk' + good + b'\x00\x01 99999xx' + good + good[:-7])
short = encoded(R1, 'utf-8')
base = int(short[12:17])
put('iso2709_read', 'short_directory.mrc', short[:base - 2] + short[base - 1:])

# Long records, so that reading crosses blocks, cuts fields at 9,990 and meets the 99,999
# budget of the record text, and an oversize run (no terminator within 256,000 bytes)
# between two records.
HAN = '中文题名北京书局出版社图书馆编目数据'
CUT = record([('001', 'CAL 099998'), ('200', '1 ' + SF + 'a' + (HAN * 700)[:12000]),
              ('330', '  ' + SF + 'a' + 'long note ' * 1001)])
BUDGET = record([('001', 'CAL 099999')] + [('3%02d' % i, '  ' + SF + 'a' + ('%d-' % (i % 10)) * 4530) for i in range(11)])
put('iso2709_read', 'long_records_gbk.mrc', encoded(CUT, 'gbk') + encoded(BUDGET, 'gbk') + good)
put('iso2709_read', 'long_record_utf16.mrc', b'\xff\xfe' + encoded(CUT, 'utf-16-le') + encoded(R3, 'utf-16-le'))
oversize = b'99999nam  2200037   4500' + b'245999900000\x1e' + b'x' * 260000
put('iso2709_read', 'oversize_run.mrc', good + oversize + b'\x1e\x1d' + good)

texts = [
    '<marc><header>00000nam\x11\x112200000\x11\x11\x114500</header>'
    '<field name="001">CAL\x11012345</field>'
    '<field name="200" indicator="1\x11"><sf name="a">中文题名</sf><sf name="e">副题名</sf></field>'
    '<field name="500" indicator="\x11\x11"><sf name="a">a\x12b\x13c\x14\x15\x16</sf><sf name=""></sf></field></marc>',
    '<marc><header>00000nam\x11\x112200000\x11\x11\x114500</header>'
    '<field name="210" indicator="\x11\x11"><group><sf name="a">北京</sf><sf name="c">书局</sf></group>'
    '<group><sf name="a">上海</sf></group></field></marc>',
    '<marc><header>00000nam  2200000   4500</header><field name="300" indicator="\t1">'
    '<sf name="a">line\r\nbreak\rlone</sf><sf name="b">   </sf><sf name="c">\n</sf></field>'
    '<field name="2X">x</field><field name="0中0">y</field></marc>',
    '<marc><header>01234cam a22005893i 4500</header><field name="008">240101s2024</field>'
    '<field name="245" indicator="10"><sf name="a">Łódź £ ü &#x1E; &#x1F;</sf></field></marc>',
]
# A record text past 99,999 characters, with fields past 9,990.
texts.append('<marc><header>00000nam\x11\x112200000\x11\x11\x114500</header>' +
             ''.join('<field name="3%02d" indicator="\x11\x11"><sf name="a">%s%s</sf></field>' % (i, HAN, 'x' * 11000)
                     for i in range(10)) + '</marc>')
for i, t in enumerate(texts):
    put('record_roundtrip', 'text%d.xml' % i, t.encode('utf-8'))

put('xml_parse', 'record.xml', texts[0].encode('utf-8'))
put('xml_parse', 'config_gb2312.xml',
    '<?xml version="1.0" encoding="gb2312"?>\r\n<root><item name="服务器" value="a b">文本</item><!-- c --></root>'.encode('gbk'))
put('xml_parse', 'utf16.xml', '\ufeff<?xml version="1.0" encoding="UTF-16"?><a x="1"><b><![CDATA[<x>]]></b><?pi d?></a>'.encode('utf-16-le'))
put('xml_parse', 'entities.xml', b'<a t="&lt;&#65;&#x42;\t\r\n">&amp;&quot;\r\n<b/> </a>')
