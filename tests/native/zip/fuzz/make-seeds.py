#!/usr/bin/env python3
"""Writes a few small archives of every shape the writer meets into a folder,
as the starting corpus of the ZIP fuzzer: classic, ZIP64, data descriptors,
a comment, folders, an empty archive."""
import io
import os
import subprocess
import sys
import zipfile

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def save(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


def archive(**kwargs):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", compression=zipfile.ZIP_DEFLATED) as z:
        z.writestr("a", b"alpha " * 20)
        z.writestr("added.txt", b"old")
        z.writestr("dir/", b"")
        z.writestr(zipfile.ZipInfo("stored"), b"stored data")
        if kwargs.get("zip64"):
            with z.open("big", "w", force_zip64=True) as f:
                f.write(b"x" * 100)
        z.comment = kwargs.get("comment", b"")
    return buffer.getvalue()


save("classic.zip", archive())
save("zip64.zip", archive(zip64=True))
save("comment.zip", archive(comment=b"a comment"))
save("empty.zip", b"PK\x05\x06" + bytes(18))
# Written to a pipe, zip has to put data descriptors after the data.
streamed = subprocess.run(["zip", "-q", "-", os.path.abspath(__file__)], stdout=subprocess.PIPE)
if streamed.returncode == 0:
    save("streamed.zip", streamed.stdout)
