#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds are the inputs the test suites use, in each target's input form. Run it again after
changing a target's input form; the fuzzers add what they find to their own working corpus,
not to these folders.
"""
import pathlib
import re
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"
ROOT = CORPUS.parent.parent


def write(target, seeds):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    for old in folder.iterdir():
        old.unlink()
    for number, seed in enumerate(seeds, 1):
        (folder / f"seed-{number:02d}").write_bytes(seed)


PROGRAM = b"%\r\nO1000\r\nN10 G01 X12.5 Y-3 F200\r\n\r\n   \r\nN20 M30\r\n%\r\n"

LENTRA = [
    (b"/P", b"G01\r\n\r\n   \r\nM30\r\n"),
    (b"/Z", b"\x12G01\x13\x14\x11\r\n"),
    (b"/Z", b"\r\x12\nQ\r"),
    (b"/R\\41\\42\\42\\43", b"ABCA\r\n"),
    (b"/R\\41\\42/R\\43\\44", b"ABCD\n"),
    (b"/R\\0A\\20", b"A\r\nB\r\n"),
    (b"/R\\0D\\41", b"X\r\nY\rZ\r\r\n"),
    (b"/K\\25", b"%\r\nO1000\r\nG01 X1\r\n%\r\n"),
    (b"/K\\0A", b"A\nB"),
    (b"/Z/K\\25/R\\41\\42/P", b"%A\r\n\r\n"),
    (b"/H*03\\00\\0D*00\\0A*02*05\\FF", PROGRAM),
    (b" / H \t* 0 3\n\\ 0 D ", PROGRAM),
    (b"/H\\0D/L\\0A", b"X"),
    (b"/L*10\\00", b"M30\n"),
]

BRISEL_REQUESTS = [
    b"TXT>ISO /LEADER=50 /TRAILER=50",
    b"txt>iso /LEADER=50  /trailer=20",
    b"ISO>TXT /EOB=CRLF",
    b"EIA>TXT /EOB=LF",
    b"TXT>EIA /UPPER /LEADER=4000",
    b"TXT>TXT /EOB=LF",
    b"TXT>MGF",
    b"MGF>TXT /X",
    b"TXT>ISO /LEADER=4001",
]

EIA_CODES = {
    "0": 0x20, "1": 0x01, "2": 0x02, "3": 0x13, "4": 0x04, "5": 0x15, "6": 0x16, "7": 0x07,
    "8": 0x08, "9": 0x19, "A": 0x61, "B": 0x62, "C": 0x73, "D": 0x64, "E": 0x75, "F": 0x76,
    "G": 0x67, "H": 0x68, "I": 0x79, "J": 0x51, "K": 0x52, "L": 0x43, "M": 0x54, "N": 0x45,
    "O": 0x46, "P": 0x57, "Q": 0x58, "R": 0x49, "S": 0x32, "T": 0x23, "U": 0x34, "V": 0x25,
    "W": 0x26, "X": 0x37, "Y": 0x38, "Z": 0x29, " ": 0x10, "\t": 0x3E, "+": 0x70, "-": 0x40,
    ".": 0x6B, ",": 0x3B, "/": 0x31, "(": 0x1A, ")": 0x4A, "%": 0x0B, "\b": 0x2A,
}


def iso_tape(text):
    tape = bytearray(b"\x00" * 10)
    for c in text.replace("\r", ""):
        b = ord(c)
        tape.append(b | (0x80 if bin(b).count("1") % 2 else 0))
    return bytes(tape + b"\x00" * 10)


def eia_tape(text):
    tape = bytearray(b"\x00" * 10)
    for c in text.replace("\r", ""):
        tape.append(0x80 if c == "\n" else EIA_CODES[c])
    return bytes(tape + b"\x7f" * 3)


TAPE_TEXT = "%\nO1000\nN10 G01 X12.5 Y-3 F200 (FACE)\nN20 M30\n%\n"


def chain_records(steps):
    out = b""
    for step in steps:
        out += struct.pack("<H", len(step)) + step + b"\x00" * (126 - len(step))
    return out


STORES = [
    b"[config3]\ncommport=5\n",
    b"; settings\n[Common]\nLangID=1031\ngarbage line\n=novalue\n[Config1]\nCaption=Mill\n",
    b"; kept comment\n[Common]\nLangID=1029\n",
    b"[Common]\nLangID=1029\nShowInTaskbar=True\n[Config1]\nCaption=Mill\nCommPort=1\n"
    b"Protocol=3\nFerixHomeDir=C:\\DNC\\Ferix 3\\\nLineSpeed=9600\nAutoStart=False\n"
    b"[Config2]\nCaption=Lathe \xc4\x8cesky\nEditor=a=b; c # d \"quoted\" [x]\nEmpty=\n",
]

ROUND_TRIPS = [
    b"Config1\x00Caption\x00Mill",
    b"Config1\x00FerixHomeDir\x00C:\\DNC\\Ferix 3\\\x00Common\x00LangID\x001031",
    b"Config2\x00Editor\x00a=b; c # d \"quoted\" [x]\x00config2\x00EDITOR\x00new",
    b"Config1\x00Caption\x00Line\n[Common]\n1=True",
    b"Config1\x00Umlaut\x00Maschine \xc4\x8cesky",
]


def string_table(languages):
    """The embedded string-table layout, from {language: {number: text}}."""
    codes = sorted(languages)
    header = b"FXST" + struct.pack("<HH", 1, len(codes))
    entries_size = 8 * len(codes)
    body = b""
    language_entries = b""
    offset = len(header) + entries_size
    for code in codes:
        strings = languages[code]
        blocks = sorted({n // 16 + 1 for n in strings})
        block_bytes = []
        for block in blocks:
            data = b""
            for position in range(16):
                text = strings.get((block - 1) * 16 + position, "").encode("utf-16-le")
                data += struct.pack("<H", len(text) // 2) + text
            block_bytes.append(data)
        directory_offset = offset + len(body)
        directory_size = 12 * len(blocks)
        data_offset = directory_offset + directory_size
        directory = b""
        for block, data in zip(blocks, block_bytes):
            directory += struct.pack("<HHII", block, 0, data_offset, len(data))
            data_offset += len(data)
        body += directory + b"".join(block_bytes)
        language_entries += struct.pack("<HHI", code, len(blocks), directory_offset)
    return header + language_entries + body


def table_source(path):
    language = None
    strings = {}
    for line in path.read_text(encoding="utf-8").splitlines():
        if line.startswith("language"):
            language = int(line.split()[1], 16)
            continue
        match = re.match(r'(\d+)\s+"(.*)"\s*$', line)
        if match:
            text = match.group(2).encode().decode("unicode_escape").encode("latin-1").decode()
            strings[int(match.group(1))] = text
    return language, strings


def main():
    write("lentra_commands", [commands + b"\x00" + text for commands, text in LENTRA])
    write("brisel_request", BRISEL_REQUESTS)
    write("brisel_tape", [b"\x00" + iso_tape(TAPE_TEXT), b"\x01" + eia_tape(TAPE_TEXT),
                          b"\x00" + iso_tape("N1\nX\x7f\n"), b"\x01\x37\x80\x81"])
    write("chain_file", [
        chain_records([b"S TXT>ISO "]),
        chain_records([b"S TXT>ISO", b"", b"U  /P"]) + b"\x7f" + b"\x00" * 127 +
        b"\x05\x00U  /K",
        chain_records([b"a", b"U  " + b"P" * 123]),
        chain_records([b"S TXT>ISO /LEADER=50", b"U  /R\\41\\42", b"S ISO>TXT /EOB=LF"]),
        b"\x03\x01" + b"\x00" * 126,
    ])
    write("config_store", STORES)
    write("config_roundtrip", ROUND_TRIPS)
    tables = dict(table_source(p) for p in sorted((ROOT / "tests/localizing/data/TestTable").glob("*.txt")))
    comm = dict(table_source(p) for p in sorted((ROOT / "resources/FerixComm").glob("*.txt")))
    write("string_table", [string_table(tables), string_table({0x0409: tables[0x0409]}),
                           string_table({code: {n: t for n, t in s.items() if 410 <= n <= 440}
                                         for code, s in comm.items()})])
    write("utf8_text", [
        b"N100 G01 X12.5 Y-3 F200 ; tool 7\r\n\t~",
        "Česky fünfzehn šestnáct Ångström".encode(),
        b"C\xcc\x8c\xe2\x84\xab\xf0\x9f\x98\x80",
        b"\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xed\x9f\xbf\xee\x80\x80\xef\xbf\xbf\xf0\x90\x80\x80"
        b"\xf4\x8f\xbf\xbf",
        b"\xc3\x28", b"\xe0\x80\x80", b"\xed\xa0\x80", b"\xf4\x90\x80\x80", b"\x80", b"\xe2\x82",
    ])


if __name__ == "__main__":
    main()
