#!/usr/bin/env python3
"""Writes small raw deflate streams of every block kind into a folder, as the
starting corpus of the inflater's fuzzer: stored, fixed and dynamic blocks,
flushes, a small window. Each file starts with the byte that tells the
fuzzer how to cut the stream into pieces."""
import os
import random
import sys
import zlib

out = sys.argv[1]
os.makedirs(out, exist_ok=True)
rnd = random.Random(1)
payloads = {
    "text": b"".join(b"line %d of the backup log\r\n" % i for i in range(300)),
    "noise": rnd.randbytes(700),
    "runs": b"a" * 500 + b"b" * 300 + bytes(200),
    "empty": b"",
}
settings = {  # level, strategy, window bits
    "stored": (0, zlib.Z_DEFAULT_STRATEGY, -15),
    "fast": (1, zlib.Z_DEFAULT_STRATEGY, -15),
    "default": (6, zlib.Z_DEFAULT_STRATEGY, -15),
    "fixed": (9, zlib.Z_FIXED, -15),
    "huffman": (6, zlib.Z_HUFFMAN_ONLY, -15),
    "window": (9, zlib.Z_DEFAULT_STRATEGY, -9),
}
for pname, payload in payloads.items():
    for sname, (level, strategy, wbits) in settings.items():
        c = zlib.compressobj(level, zlib.DEFLATED, wbits, 8, strategy)
        half = len(payload) // 2
        stream = c.compress(payload[:half]) + c.flush(zlib.Z_SYNC_FLUSH) + c.compress(payload[half:]) + c.flush()
        for piece in (0, 3):
            with open(os.path.join(out, f"{pname}-{sname}-{piece}"), "wb") as f:
                f.write(bytes([piece]) + stream)
