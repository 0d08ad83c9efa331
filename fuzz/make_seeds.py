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
    b"[Config2]\r\nCommSpeed=96OO\r\n[Config1\r\nPrefix1=ABCD\r\nPrefix1=AB\r\n[Ports] x\r\n"
    b"1=tcp://moxa:4001\r\n2=ttyS1\r\nCOM3=/dev/ttyS2\r\n[Common]\r\n1=maybe\r\n",
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


def unit_block(code, data, check_delta=0, final=0):
    """A unit's block: DLE STX code data DLE END check 0x00, every data DLE twice."""
    body = data.replace(b"\x10", b"\x10\x10")
    check = (code + sum(data) + check_delta) & 0xFF
    return bytes([0x10, 0x02, code]) + body + bytes([0x10, 0x83, check, final])


def attempts(*chunks):
    return b"".join(bytes([len(chunk)]) + chunk for chunk in chunks)


def dnc_receiver_seed(expected, data, check_error, *chunks):
    return bytes([expected, len(data)]) + data + bytes([check_error]) + attempts(*chunks)


DLE_DATA = bytes([0x10, 0x41, 0x10, 0x10, 0xFF])
DNC_RECEIVER = [
    dnc_receiver_seed(0x80, DLE_DATA, 0, unit_block(0x80, DLE_DATA)),
    dnc_receiver_seed(0x80, b"x" * 34, 1, unit_block(0x80, b"x" * 34), unit_block(0x80, b"x" * 35),
                      unit_block(0x80, b"x" * 34 + b"\x10")),
    dnc_receiver_seed(128, b"old", 0, unit_block(255, b"old") + b"\x10", unit_block(200, b"x")),
    dnc_receiver_seed(0, b"\x01", 0, unit_block(255, b"x"), unit_block(0, b"\x01")),
    dnc_receiver_seed(0x80, b"abc", 0x40, unit_block(0x90, b"abc"), unit_block(0x80, b"abc", 1),
                      unit_block(0x80, b"abc", 0, 0xFF), b"\x11" + unit_block(0x80, b"abc")[1:],
                      b"\x10\x03" + unit_block(0x80, b"abc")[2:],
                      bytes([0x10, 0x02, 0x80, 0x41, 0x10, 0x42, 0x10, 0x83, 0xC3, 0x00])),
    dnc_receiver_seed(0, b"\x05" + b"\x00" * 10 + b"\xe8\x03\x00\x00\x00", 0,
                      unit_block(0, b"\x05" + b"\x00" * 10 + b"\xe8\x03\x00\x00\x00")),
]


def request_raw(head, name_field):
    return bytes(head) + name_field + b"\x00" * 5


def request_encoded(action, direction, kind, name, part=None):
    block = bytes([action, direction, kind]) + b"/" * (8 - len(name[:8])) + name[:8] + b"\x00" * 5
    if part:
        offset, mode, count = part
        block += struct.pack("<iBH", offset, mode, count)
    return block


UNIT_REQUESTS = [
    (request_encoded(2, 0, 1, b"PRG1"), b"WTX"),
    (request_encoded(2, 1, 0, b"PRG3"), b"STX"),
    (request_encoded(7, 0, 0, b""), b"FDI"),
    (request_encoded(2, 0, 1, b"PART", (100, 2, 50)), b"WTX"),
    (request_encoded(2, 0, 1, b"ABCDEFGH", (-1, 2, 0x1234)), b"wtx"),
    (request_raw([2, 0, 2], b"////PRG1"), b""),
    (request_raw([2, 1, 3], b"////PRG1"), b"."),
    (request_raw([2, 1, 1], b"/../../x"), b".."),
    (request_raw([2, 0, 1], b"///a\\..b"), b"WTX"),
    (request_raw([2, 1, 1], b"////////"), b"WTX"),
    (request_raw([2, 1, 1], b"//////.."), b"/x"),
    (b"\x02\x01\x01", b"WTX"),
    (request_raw([2, 0, 1], b"////PRG1") + b"\x01\x02\x03\x04\x02\x32", b"H"),
    (b"\x07", b""),
]


def request_header(file_type, name, command, check_error=0):
    frame = b"\x01" + file_type + name + command + b"\x17"
    check = 0
    for b in frame:
        check ^= b
    return frame + bytes([check ^ check_error])


def header_seed(file_type, name, command, check_error, noise):
    return (file_type + command + struct.pack("<H", len(name)) + name + bytes([check_error]) +
            noise)


HEADERS = [
    header_seed(b"n", b"$$$$$DIR", b"E", 0, b"noise" + request_header(b"n", b"$$$$$DIR", b"E")),
    header_seed(b"N", b"P1", b"A", 1, request_header(b"N", b"P1", b"A", 1)),
    header_seed(b"N", b"A" * 259, b"E", 0, request_header(b"N", b"A" * 259, b"E") +
                request_header(b"N", b"A" * 259 + b"B", b"E") + request_header(b"N", b"OK", b"D")),
    header_seed(b"N", b"", b"E", 0, b"\x01N\x17" + bytes([0x01 ^ ord("N") ^ 0x17])),
    header_seed(b"N", b"P1.H", b"E", 0, request_header(b"N", b"P1.H", b"E")),
]


def data_block(text):
    frame = b"\x02" + text + b"\x17"
    check = 0
    for b in frame:
        check ^= b
    return frame + bytes([check])


# Flags: 1 Tavro1, 2 line ends kept, 4 memory list, 8 operator stop; then expected length in
# eights, the stop in 20 ms steps, the machine's bytes.
def block_seed(flags, machine, expected=0, stop=0):
    return bytes([flags, expected, stop]) + machine


BAD_M30 = data_block(b"M30")[:-1] + bytes([data_block(b"M30")[-1] ^ 0x40])
HEIDENHAIN_BLOCKS = [
    block_seed(0, data_block(b"G1 X10") + data_block(b"M30") + b"\x03"),
    block_seed(3, data_block(b"N1 G0\r\nN2") + data_block(b" M30\r\n") + b"\x03"),
    block_seed(0, BAD_M30 + data_block(b"M30") + b"\x03"),
    block_seed(0, b"\x11" + data_block(b"A") + b"\x11" + data_block(b"B") + b"\x03"),
    block_seed(0, data_block(b"G1") + b"\x04"),
    block_seed(0, data_block(b"G1") + b"Z"),
    block_seed(0, data_block(b"G1")),
    block_seed(8, data_block(b"NEW"), 0, 25),
    block_seed(5, data_block(b"A 10\r\n") + b"\x03"),
    block_seed(0, data_block(b"ABC") * 6 + b"\x03", 3),
]


def listing_header(free_memory, byte14=0, byte15=0):
    h = bytearray(16)
    h[8:11] = free_memory.to_bytes(3, "little")
    h[14] = byte14
    h[15] = byte15
    return bytes(h)


def numbered_record(digits, size):
    r = bytearray(16)
    r[:len(digits)] = bytes(digits)
    r[8:11] = size.to_bytes(3, "little")
    return bytes(r)


def named_record(eight, size):
    r = bytearray(numbered_record([], size))
    for place, c in zip([14, 13, 12, 4, 3, 2, 1, 0], eight):
        r[place] = c
    return bytes(r)


def short_record(name, size):
    return name.ljust(24, b" ") + struct.pack("<I", size) + b"\x00" * 4


MEMORY_LISTS = [
    b"\x00PPG" + listing_header(0x012345, 0xA5, 130),
    b"\x00PPG" + listing_header(1000) + numbered_record([3, 2, 1, 0, 0], 0x010203) +
    numbered_record([0, 0, 0, 0, 0], 5),
    b"\x01PPG" + listing_header(1000) + numbered_record([3, 2, 1, 0, 0], 0x010203),
    b"\x00PPG" + listing_header(0) + named_record(b"   SHAFT", 77) + named_record(b"GEARBOX1", 1),
    b"\x00P  " + listing_header(0) + numbered_record([1], 1) + b"\x07" * 8,
    b"\x00PPG" + b"\x40",
    b"\x00PPG" + short_record(b"DIR.STX", 9) + short_record(b"PROG1.WTX", 0x01000000) +
    short_record(b"dir.old", 1) + short_record(b"NODOT", 3) + b"x" * 31,
    b"\x00PPG" + b"P1 120\r\nLONGNAME.H   77 bytes\r\nNOBLANK\r\n\r\nX -3\n",
    b"\x00PPG" + b"A 1",
    b"\x00PPG" + b"A  120\rB 1.5x\rC +4\nD abc\r\n",
]


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
        b"S TXT>ISO /LEADER=50 /TRAILER=50\r\n\nU  /P\nU  /K\\25",  # written by hand as text
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
    write("dnc_block_receiver", DNC_RECEIVER)
    write("unit_request", [bytes([len(block)]) + block + extension
                           for block, extension in UNIT_REQUESTS])
    write("heidenhain_header", HEADERS)
    write("heidenhain_block", HEIDENHAIN_BLOCKS)
    write("memory_list", MEMORY_LISTS)


if __name__ == "__main__":
    main()
