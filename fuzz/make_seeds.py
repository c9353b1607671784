#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (run from the repository root:
fuzz/make_seeds.py). The seeds are committed; rerun only to change them."""
import base64
import os

ROOT = os.path.dirname(os.path.abspath(__file__))


def check(data: bytes) -> bytes:
    """The register's 16-bit check value of data (text and CR), high byte first."""
    h = l = 0
    for c in list(data) + [0, 0]:
        t = h
        for _ in range(7):
            t = (t >> 1) ^ h
        p = t & 0xFF
        h, l = l ^ ((p & 1) << 7), c ^ p
    return bytes([h, l])


def line(text: bytes, fill=False) -> bytes:
    body = text + b"\r"
    crc = check(body if not fill else b"".join(bytes([c, 0xFF]) for c in text) + b"\r")
    if fill:
        text = b"".join(bytes([c, 0xFF]) for c in text)
    return b"\n" + text + b"\r" + crc


def put(target, name, data: bytes):
    d = os.path.join(ROOT, "corpus", target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


STATUS = line(b"ZENTA1 EMULATOR")
ACK = b"\x06"
doc = (b'<DAT DI="1" DT="0" FN="5555555555" TN="PN 1" V="1" ZN="402400089"><C T="0">'
       b'<P C="1" N="1" NM="Bread" SM="1200" TX="1"></P><M N="2" NM="CASH" SM="1200" T="0"></M>'
       b'<E N="3" NO="5" SM="1200" TS="20160401093000"></E></C><TS>20160401093000</TS></DAT>'
       b'<MAC DI="1" NT="8">QUJDREVGR0g=</MAC>')
piece = base64.b64encode(doc[:140])

# Reply receiver: first byte picks poll (0), "B" (1), "F" (2), fetch (3).
put("reply", "poll-ok", b"\x00" + STATUS)
put("reply", "poll-fill", b"\x00" + line(b"ZENTA1", fill=True))
put("reply", "poll-wrong-first", b"\x00\x0b" + STATUS[1:] + STATUS)
put("reply", "b-ok", b"\x01" + STATUS + ACK + b"\xff\xff" + line(piece))
put("reply", "b-error-then-ok", b"\x01" + STATUS + ACK + line(b"E;") + STATUS + ACK + line(piece))
put("reply", "b-refused", b"\x01" + STATUS + b"\x15" + STATUS + ACK + line(b"D;"))
put("reply", "b-bad-check", b"\x01" + STATUS + ACK + b"\n" + piece + b"\r\x12\x34")
put("reply", "f-ok", b"\x02" + STATUS + ACK + line(b"5;7;"))
put("reply", "fetch-two", b"\x03" + STATUS + ACK + line(piece) + STATUS + ACK + line(b"D;"))

# Journal: a small journal; the sample journal is added by the script as well.
journal = (b'<?xml version="1.0" encoding="windows-1251"?>\r\n<RQ V="1">\r\n' + doc +
           b'\r\n<DAT DI="4" DT="0" FN="5555555555" TN="PN 1" V="1" ZN="402400089">'
           b'<Z NO="2"><M NM="CASH" SMI="72450" SMO="0" T="0"></M><NC NI="3" NO="0"></NC></Z>'
           b'<TS>20160407220000</TS></DAT><MAC DI="4" NT="8">WVphYmNkZWY=</MAC>\r\n</RQ>\r\n')
put("journal", "small", journal)
with open(os.path.join(ROOT, "..", "samples", "sample-journal.xml"), "rb") as f:
    put("journal", "sample", f.read())

# The exact reader of export and the archive's import take the same journals;
# one with both forms of a receipt's taxes and an excise rate beside them.
taxes = (b'<?xml version="1.0" encoding="windows-1251"?>\r\n<RQ V="1">\r\n'
         b'<DAT DI="7" DT="0" FN="5555555555" TN="PN 1" V="1" ZN="\xc0\xd240101234"><C T="0">'
         b'<P C="1" N="1" NM="Bread" Q="1500" PRC="1000" SM="1500" TX="1"></P>'
         b'<D N="2" PR="5.00" SM="75" TX="1"></D>'
         b'<E N="3" NO="9" SM="1425" TX="1" TXAL="1" TXPR="5.00" TXSM="68" DTPR="20.00" DTSM="226" '
         b'TS="20160401093000"></E></C><TS>20160401093000</TS></DAT><MAC DI="7" NT="8">QUJDREVGR0g=</MAC>\r\n'
         b'<DAT DI="8" DT="0" FN="5555555555" TN="PN 1" V="1" ZN="\xc0\xd240101234"><C T="1">'
         b'<P C="1" N="1" NM="Milk" SM="2000" TX="2"></P><M N="2" NM="CASH" SM="2000" T="0"></M>'
         b'<E N="3" NO="10" SM="2000"><TX TX="2" TXAL="0" TXPR="7.00" TXSM="131" DTPR="0.00" DTSM="0" TXTY="0">'
         b'</TX></E></C><TS>20160401094000</TS></DAT><MAC DI="8" NT="8">QUJDREVGR0g=</MAC>\r\n</RQ>\r\n')
with open(os.path.join(ROOT, "..", "samples", "sample-journal.xml"), "rb") as f:
    sample = f.read()
for target in ("exact_journal", "archive_import"):
    put(target, "small", journal)
    put(target, "sample", sample)
    put(target, "taxes", taxes)

put("base64", "piece", piece + b"\r")
put("base64", "padded", b"QUJDREVGR0g=")
put("base64", "short", b"QQ")

put("ini", "default", b"[CountryMode]\r\nCountry code=0\r\n[Fiscal Printer]\r\nExtendedTax=1\r\n"
    b"[LogFile]\r\nLog=0\r\nLogName=ostrane.log\r\n")
put("ini", "saved", b"[Communication]\r\nPort=COM3\r\nSpeed=9600\r\nNCase=1\r\n")
put("ini", "odd", b"; note\n[ communication ]\nport = \"ttyUSB0\"\nSPEED=115200\n[Communication]\nNCase=7")

# The INI layer: the first line names the section and key asked for.
put("profile", "archive", b"Archive/Path\r\n[Archive]\r\nPath=\"/srv/journal.db\"\r\n")
put("profile", "sections", b"Communication/Port\n[communication]\nport = COM3 \n[Fuzz]\nWritten=old\n[Fuzz]\n")

put("datetime", "date", b"05.04.16")
put("datetime", "time", b"09:05")
put("datetime", "reply", b"130;148;")
put("datetime", "number", b"  -2147483648")

put("numbers", "money", b"21250")
put("numbers", "rate", b"20.00")
put("numbers", "exponent", b" -1.5e3 ")
put("numbers", "short", b"65537")
