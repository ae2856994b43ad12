#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into <out>/<target>/.

Everything is made here from scratch, except the language files, which are the project's own.
Usage: fuzz/make-seeds.py OUT_DIR
"""
import os
import pathlib
import struct
import sys

root = pathlib.Path(__file__).resolve().parent.parent
out = pathlib.Path(sys.argv[1])


def put(target, name, data):
    d = out / target
    d.mkdir(parents=True, exist_ok=True)
    (d / name).write_bytes(data if isinstance(data, bytes) else data.encode("utf-8"))


def lookup(section, key, body):
    # FuzzedDataProvider takes its strings first: a backslash escapes, a lone one ends them.
    def s(t):
        return t.replace("\\", "\\\\").encode("utf-8") + b"\\ "
    return s(section) + s(key) + body


# --- INI reader ---
for i, f in enumerate(sorted((root / "data" / "Lang").glob("*.ini"))[:4]):
    put("ini", f"lang{i}", lookup("Language", "Name", f.read_bytes()))
text = "; comment\n[Language]\nName=\"Quoted\"\n# also a comment\n[Captions]\ncmdAdd = Add  \nempty=\n"
put("ini", "lf", lookup("Captions", "cmdAdd", text.encode()))
put("ini", "crlf", lookup("captions", "CMDADD", text.replace("\n", "\r\n").encode()))
put("ini", "cr", lookup("Captions", "empty", text.replace("\n", "\r").encode()))
put("ini", "utf8bom", lookup("Language", "Name", b"\xef\xbb\xbf" + "[Language]\nName=Français\n".encode()))
put("ini", "utf16le", lookup("Language", "Name", b"\xff\xfe" + "[Language]\r\nName=Ελληνικά\r\n".encode("utf-16-le")))
put("ini", "utf16be", lookup("Language", "Name", b"\xfe\xff" + "[Language]\r\nName=日本語\r\n".encode("utf-16-be")))
put("ini", "cp1252", lookup("Language", "Name", b"[Language]\nName=Espa\xf1ol \x80\x99\n"))
put("ini", "long", lookup("L", "k", b"[L]\nk=" + b"x" * 700 + b"\n"))

# --- settings file ---
section = "[HKEY_LOCAL_MACHINE\\Software\\Quorvane Kelvanto\\Settings]\n"
put("settings", "plain", "\\ " + section + "txtOutPath=/home/me/Converted Files\noptSameFolder=1\n")
put("settings", "escapes", "a\\tb\\ " + section + "na\\=me=v\\\\a\\nl\\ru\\te\\0\n[Other]\nx=1\r\ny=\n")
put("settings", "damaged", "\\ [broken\n=novalue\nnoequals\n" + section + "k=v\n[]\nz=2\n\xff\xfe")
put("settings", "dup", "\\ [A]\nk=1\n[a]\nK=2\n[A\\B]\nk=3\n")

# --- MIDI length reader ---
def vlq(n):
    b = [n & 0x7F]
    n >>= 7
    while n:
        b.insert(0, 0x80 | (n & 0x7F))
        n >>= 7
    return bytes(b)


def track(events):
    body = b"".join(vlq(d) + e for d, e in events) + b"\x00\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body


def smf(fmt, division, tracks):
    return b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division) + b"".join(tracks)


tempo = b"\xff\x51\x03" + struct.pack(">I", 400000)[1:]
notes = [(0, b"\x90\x3c\x40"), (96, b"\x3c\x00"), (0, b"\xc0\x05"), (48, b"\xb0\x07\x64")]
put("midi", "format0", smf(0, 96, [track([(0, tempo)] + notes)]))
put("midi", "format1", smf(1, 480, [track([(0, tempo), (960, b"\xff\x51\x03\x07\xa1\x20")]),
                                    track(notes + [(4000, b"\x80\x3c\x00")])]))
put("midi", "smpte", smf(0, 0xE728, [track(notes)]))
put("midi", "sysex", smf(0, 96, [track([(0, b"\xf0\x05\x7e\x7f\x09\x01\xf7"),
                                        (10, b"\xff\x01\x04text")] + notes)]))
put("midi", "unknown-chunk", b"MThd" + struct.pack(">IHHH", 8, 1, 1, 96) + b"\0\0" +
    b"XFIH" + struct.pack(">I", 3) + b"abc" + track(notes))

# --- MP3 gapless tag ---
def xing_frame(mpeg1=True, mono=False, flags=0xF, tag=b"Info", encoder=b"LAME3.100",
               frames=1000, delay=576, padding=1200):
    header = bytes([0xFF, 0xFB if mpeg1 else 0xF3, 0x90, 0xC0 if mono else 0x44])
    side = (17 if mono else 32) if mpeg1 else (9 if mono else 17)
    body = tag + struct.pack(">I", flags)
    if flags & 1:
        body += struct.pack(">I", frames)
    if flags & 2:
        body += struct.pack(">I", 400000)
    if flags & 4:
        body += bytes(range(100))
    if flags & 8:
        body += struct.pack(">I", 50)
    gap = bytes([delay >> 4, ((delay & 0xF) << 4) | (padding >> 8), padding & 0xFF])
    lame = encoder.ljust(9, b" ") + b"\x00" * 12 + gap + b"\x00" * 12
    frame = header + b"\x00" * side + body + lame
    return frame.ljust(417, b"\x00")


def id3(size, footer=False):
    s = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x04\x00" + (b"\x10" if footer else b"\x00") + s + b"\x00" * size + \
        (b"3DI" + b"\x04\x00\x10" + s if footer else b"")


put("mp3gapless", "lame", xing_frame())
put("mp3gapless", "xing-mono-mpeg2", xing_frame(mpeg1=False, mono=True, tag=b"Xing", flags=1))
put("mp3gapless", "lavf", id3(64) + xing_frame(encoder=b"Lavf59.27", flags=3))
put("mp3gapless", "id3-footer", id3(20, footer=True) + xing_frame(flags=5))
put("mp3gapless", "no-tag", bytes([0xFF, 0xFB, 0x90, 0x44]) + b"\x00" * 400)

# --- output naming ---
# The target takes its names from the front of the input and its numbers and choices from the
# back: the count of files already there, for each whether it is a folder, then "same folder".
def naming(existing, source, ext, out, same):
    def s(t):
        return t.encode("utf-8").replace(b"\\", b"\\\\") + b"\\ "
    front = b"".join(s(p) for p, _ in existing) + s(source) + s(ext) + s(out)
    back = [len(existing)] + [1 if folder else 0 for _, folder in existing] + [1 if same else 0]
    return front + bytes(reversed(back))


put("naming", "plain", naming([("Music/song.mp3", False), ("Music/song_Converted.mp3", False)],
                              "Music/song.wav", "mp3", "Out", True))
put("naming", "other-folder", naming([("Out/take.ogg", False)], "In//take.flac", "ogg", "Out/",
                                     False))
put("naming", "folder-in-the-way", naming([("a/b.wav", True)], "a/b.flac", "wav", "a", True))
put("naming", "cd-track", naming([], "dïsc.cue/Track03.cda", "wma", "Ausgabe ñ", True))
put("naming", "missing-folder", naming([("x", False)], "x/y.wav", "mp3", "new/deeper", False))

# --- disc: CUE sheets, mount tables, track paths ---
put("cd", "cue-quoted", 'FILE "Album Name.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n'
    '  TRACK 02 AUDIO\n    INDEX 00 03:10:40\n    INDEX 01 03:12:40\n')
put("cd", "cue-bare", "REM GENRE Rock\r\nFILE image.bin BINARY\r\nTRACK 01 MODE1/2352\r\n")
put("cd", "cue-mixed", '\ufeffFILE "game.bin" BINARY\r\n  TRACK 01 MODE1/2048\r\n    INDEX 01 00:00:00\r\n'
    '  TRACK 02 AUDIO\r\n    PREGAP 00:02:00\r\n    INDEX 00 00:10:00\r\n    INDEX 01 00:12:00\r\n'
    '  TRACK 03 CDG\r\n    INDEX 01 01:00:74\r\n    POSTGAP 00:02:00\r\n')
put("cd", "cue-files", 'FILE "a (Track 1).bin" BINARY\n TRACK 01 MODE2/2352\n  INDEX 01 00:00:00\n'
    'FILE b.bin MOTOROLA\n TRACK 02 AUDIO\n  INDEX 00 00:00:00\n  INDEX 01 00:02:00\n'
    'FILE "disc.cue" BINARY\n TRACK 03 AUDIO\n  INDEX 01 00:00:00\n')
put("cd", "cue-self", 'FILE "./disc.cue" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n')
put("cd", "cue-outside", 'FILE "/etc/passwd" BINARY\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n'
    'FILE "../disc.cue" BINARY\nTRACK 02 AUDIO\nINDEX 01 00:00:00\n')
put("cd", "cue-rip", 'FILE "01.wav" WAVE\nTRACK 01 AUDIO\nFILE "02.wav" WAVE\nTRACK 02 AUDIO\n')
put("cd", "mountinfo", "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw\n"
    "99 1 11:0 / /media/cdrom ro,nosuid shared:50 - iso9660 /dev/sr0 ro\n"
    "100 1 11:1 / /media/My\\040Disc ro - udf /dev/sr1 ro\n")
put("cd", "track", "/dev/sr0/Track03.cda")
put("cd", "track-image", "/home/u/album.cue/TRACK99.CDA")

# --- WAVE data size ---
def wav(form=b"RIFF", data_size=8, chunks=b"", ds64=None):
    fmt = b"fmt " + struct.pack("<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16)
    extra = b"" if ds64 is None else b"ds64" + struct.pack("<IQQQI", 28, 0, ds64, 0, 0)
    return form + struct.pack("<I", 0) + b"WAVE" + extra + fmt + chunks + b"data" + \
        struct.pack("<I", data_size) + b"\x00" * 8


put("wavsize", "plain", wav())
put("wavsize", "odd-chunk-first", wav(chunks=b"LIST" + struct.pack("<I", 5) + b"INFOx\x00"))
put("wavsize", "streamed", wav(data_size=0xFFFFFFFF))
put("wavsize", "sox-streamed", wav(data_size=0x7FFFF000))
put("wavsize", "rf64", wav(b"RF64", 0xFFFFFFFF, ds64=1 << 33))
