#!/bin/bash
# Rebuilds the tagged media fixtures of the tag reader's tests from tags written by real taggers.
# Needs the Debian packages ffmpeg, id3v2, eyed3 and python3-mutagen; the tests themselves need
# none of them. The audio is 0.15 s of silence at 8 kbit/s, so each file stays a few KB.
# Run from this folder: bash make_fixtures.sh
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ff() { ffmpeg -v error -y "$@"; }

ff -f lavfi -i "anullsrc=r=8000:cl=mono" -t 0.15 -c:a libmp3lame -b:a 8k \
   -id3v2_version 0 -write_xing 0 "$work/audio.mp3"
ff -f lavfi -i "cellauto=s=48x48" -frames:v 1 "$work/cover.png"       # about 400 bytes
ff -f lavfi -i "cellauto=s=96x96:seed=7" -frames:v 1 "$work/big.png"  # a few KB

# No tag at all.
cp "$work/audio.mp3" no_tag.mp3

# ffmpeg: ID3v2.4, UTF-8 texts, cover picture after the texts.
ff -i "$work/audio.mp3" -i "$work/cover.png" -map 0 -map 1 -c copy -id3v2_version 4 \
   -metadata title="Café del Mar ☕" -metadata artist="Ümlaut Band" \
   -metadata album="Ελληνικά Τραγούδια" -metadata comment="ffmpeg comment" \
   -metadata:s:v title="Album cover" -metadata:s:v comment="Cover (front)" ffmpeg_v24.mp3

# ffmpeg: ID3v2.3, which it writes as UTF-16 for texts outside ASCII.
ff -i "$work/audio.mp3" -i "$work/big.png" -map 0 -map 1 -c copy -id3v2_version 3 \
   -metadata title="Nocturne № 2" -metadata artist="Ψυχή" -metadata album="Ночь" \
   -metadata comment="ütf-16 comment" \
   -metadata:s:v title="Album cover" -metadata:s:v comment="Cover (front)" ffmpeg_v23_utf16.mp3

# ffmpeg: a WMA file, its texts in the ASF content description and WM/AlbumTitle.
ff -f lavfi -i "anullsrc=r=8000:cl=mono" -t 0.15 -c:a wmav2 -b:a 24k -map_metadata -1 \
   -metadata title="Tïtle of wma" -metadata artist="Ärtist ☕" -metadata album="Album 𝄞" \
   -metadata comment="a comment" ffmpeg.wma

# id3v2 (id3lib): ID3v2.3 with ISO-8859-1 texts, plus an ID3v1 tag.
cp "$work/audio.mp3" id3lib_v23.mp3
id3v2 -2 -t "$(printf 'Caf\xe9 Song')" -a "Id3lib Artist" -A "Id3lib Album" \
   -c "":"plain comment":"eng" id3lib_v23.mp3

# id3v2 (id3lib): an ID3v1 tag only.
cp "$work/audio.mp3" id3v1_only.mp3
id3v2 -1 -t "V1 Title" -a "V1 Artist" -A "V1 Album" -c "V1 comment" -y 1999 id3v1_only.mp3

# eyeD3: ID3v2.4 with UTF-16 texts and a front cover.
cp "$work/audio.mp3" eyed3_v24_utf16.mp3
eyeD3 -Q --encoding utf16 -t "Eyed3 Ťitle" -a "Eyed3 Ärtist" -A "Eyed3 Album ✓" \
   -c "eyed3 comment ✓" --add-image "$work/big.png:FRONT_COVER" eyed3_v24_utf16.mp3 >/dev/null

# eyeD3: ID3v2.3, Latin-1 texts.
cp "$work/audio.mp3" eyed3_v23.mp3
eyeD3 -Q --to-v2.3 -t "Eyed3 v2.3 Title" -a "Eyed3 v2.3 Artist" -A "Eyed3 v2.3 Album" \
   -c "v2.3 comment" eyed3_v23.mp3 >/dev/null

# mutagen: ID3v2.4 and ID3v2.3, UTF-16 texts; the frames reordered so that a described comment,
# the cover picture and then the plain comment come before the text frames.
/usr/bin/python3 - "$work" <<'PY'
import shutil, struct, sys
from mutagen.id3 import ID3, APIC, COMM, TALB, TIT2, TPE1
work = sys.argv[1]
png = open(f"{work}/big.png", "rb").read()

def frames_of(data, version):
    """Splits a tag body into (id, raw frame bytes) in file order."""
    size = 0
    for b in data[6:10]:
        size = size << 7 | b
    body, pos, out = data[10:10 + size], 0, []
    while pos + 10 <= len(body) and body[pos] != 0:
        n = body[pos + 4:pos + 8]
        n = (n[0] << 21 | n[1] << 14 | n[2] << 7 | n[3]) if version == 4 else struct.unpack(">I", n)[0]
        out.append((body[pos:pos + 4], body[pos:pos + 10 + n]))
        pos += 10 + n
    return out, 10 + size

def build(name, version):
    path = name
    shutil.copy(f"{work}/audio.mp3", path)
    tag = ID3()
    tag.add(TIT2(encoding=1, text="Mutagen Tïtle"))
    tag.add(TPE1(encoding=1, text="Mutagen Ärtist"))
    tag.add(TALB(encoding=1, text="Mutagen Album 𝄞"))
    tag.add(COMM(encoding=1, lang="eng", desc="iTunNORM", text=" 00000A 00000B"))
    tag.add(COMM(encoding=1, lang="eng", desc="", text="mutagen comment"))
    tag.add(APIC(encoding=0, mime="image/png", type=3, desc="", data=png))
    tag.save(path, v2_version=version, padding=lambda info: 64)
    data = open(path, "rb").read()
    frames, end = frames_of(data, version)
    def rank(frame):
        fid, raw = frame
        if fid == b"COMM":
            return 0 if "iTunNORM".encode("utf-16-le") in raw else 2
        return 1 if fid == b"APIC" else 3
    body = b"".join(raw for _, raw in sorted(frames, key=rank))
    size = end - 10
    body += b"\0" * (size - len(body))
    open(path, "wb").write(data[:10] + body + data[end:])

build("mutagen_v24_apic_first.mp3", 4)
build("mutagen_v23_apic_first.mp3", 3)
PY

# ID3v2.2 (which no tool here writes any more), built by hand: a 500-byte picture frame first,
# a UTF-16 title, Latin-1 artist and album, a comment.
/usr/bin/python3 - "$work" <<'PY'
import struct, sys
work = sys.argv[1]
def frame(fid, body):
    return fid + struct.pack(">I", len(body))[1:] + body
frames = (frame(b"PIC", b"\0PNG\3\0" + bytes(range(256)) * 2)
          + frame(b"TT2", b"\1" + "V2.2 Tïtle".encode("utf-16")  + b"\0\0")
          + frame(b"TP1", b"\0V2.2 Artist\0")
          + frame(b"TAL", b"\0V2.2 Album")
          + frame(b"COM", b"\0eng\0v2.2 comment"))
frames += b"\0" * 32
size = len(frames)
header = b"ID3\2\0\0" + bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127])
open("v22_handmade.mp3", "wb").write(header + frames + open(f"{work}/audio.mp3", "rb").read())
PY
ls -l *.mp3 *.wma
