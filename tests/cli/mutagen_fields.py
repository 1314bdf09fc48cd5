"""What mutagen reads of MP3 files mp3tagloom-cli wrote, as one JSON object
per file on stdout: the ID3v2 frames TRCK, TPOS, TPE2, TCOM (encoding, text)
and USLT (encoding, language, description, text), and the track of the
ID3v1.1 trailer. Exits 77 when mutagen cannot be imported."""

import json
import sys

try:
    from mutagen.id3 import ID3, ParseID3v1
except ImportError:
    sys.exit(77)


def fields(path):
    tag = ID3(path, load_v1=False)
    out = {}
    for frame_id in ("TRCK", "TPOS", "TPE2", "TCOM"):
        frames = tag.getall(frame_id)
        out[frame_id] = [{"encoding": int(f.encoding), "text": list(f.text)} for f in frames]
    out["USLT"] = [
        {"encoding": int(f.encoding), "lang": f.lang, "desc": f.desc, "text": f.text}
        for f in tag.getall("USLT")
    ]
    with open(path, "rb") as f:
        f.seek(-128, 2)
        v1 = ParseID3v1(f.read())
    out["v1track"] = str(v1["TRCK"]) if v1 and "TRCK" in v1 else None
    return out


print(json.dumps([fields(p) for p in sys.argv[1:]]))
