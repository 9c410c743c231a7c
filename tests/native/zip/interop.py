#!/usr/bin/env python3
"""Independent readers judge the archives that zipw writes: Info-ZIP's unzip,
7-Zip, Python's zipfile, and zlib for every raw deflate stream on its own.
Archives made by zip and by 7z are updated and pruned without harm to their
other entries; failures leave the old archive and no temporary file.

usage: interop.py ZIPW            (a native zipw)
       interop.py ZIPW.EXE --wine (a Windows zipw, run under Wine)
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
import zlib

ZIPW = None
UNSANITIZED = None  # a zipw built without sanitizers, for the file over 4 GiB
WINE = False
SOURCE = os.environ.get("NS_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tests"))
import suite_verdict  # noqa: E402


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def disk_name(name):
    """A file name as it lies on the disk: the native program takes names as
    Windows-1251 bytes; under Wine the Linux side holds them in UTF-8."""
    return name.encode("utf-8" if WINE else "cp1251")


def program_arg(path):
    """A path as the program gets it."""
    if WINE and path.startswith(b"/"):
        return b"Z:" + path.replace(b"/", b"\\")
    return path


def run(args, expect_ok=True, zipw=None):
    """Runs zipw with `args` (bytes); returns (exit code, output). Output goes
    through a file: Wine's helpers would keep a pipe open."""
    with tempfile.TemporaryFile() as out:
        cmd = (["wine", ZIPW] if WINE else [zipw or ZIPW]) + list(args)
        code = subprocess.run(cmd, stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL).returncode
        out.seek(0)
        text = out.read().decode("cp1251", "replace")
    if expect_ok and code != 0:
        raise AssertionError(f"zipw {args!r} failed ({code}): {text}")
    return code, text


def zipw_add(archive, *files, expect_ok=True, zipw=None):
    code, text = run([b"add", program_arg(archive)] + [program_arg(f) for f in files], expect_ok, zipw)
    return int(text.split()[-1]) if code == 0 else code


def zipw_delete(archive, *names):
    return int(run([b"delete", program_arg(archive)] + [disk_name(n) for n in names])[1].split()[-1])


def zipw_count(archive):
    return int(run([b"count", program_arg(archive)])[1].split()[-1])


def zipw_test(archive, zipw=None):
    """zipw's own reading back of every entry: (exit code, {name: line})."""
    code, text = run([b"test", program_arg(archive)], expect_ok=False, zipw=zipw)
    lines = {}
    for line in text.splitlines():
        verdict, _, rest = line.partition(" ")
        if verdict in ("OK", "FAILED"):
            name = rest.strip()
            if verdict == "FAILED":
                name, _, reason = name.partition(": ")
                lines[name] = "FAILED: " + reason
            else:
                lines[name] = "OK"
    return code, lines, text


def raw_streams(archive):
    """Each entry's stored data read from its local header on, inflated by
    zlib as a raw stream that must end exactly where the entry ends; returns
    {name: (crc, size)} of what came out."""
    results = {}
    with open(archive, "rb") as f, zipfile.ZipFile(os.fsdecode(archive), metadata_encoding="cp866") as z:
        for info in z.infolist():
            f.seek(info.header_offset)
            header = f.read(30)
            assert header[:4] == b"PK\x03\x04"
            n, m = struct.unpack("<HH", header[26:30])
            f.seek(info.header_offset + 30 + n + m)
            left = info.compress_size
            inflater = zlib.decompressobj(-15) if info.compress_type == 8 else None
            crc = size = 0
            while left:
                piece = f.read(min(left, 1 << 20))
                assert piece, "entry data ends early"
                left -= len(piece)
                while piece:
                    if inflater:
                        out = inflater.decompress(piece, 1 << 24)
                        piece = inflater.unconsumed_tail
                    else:
                        out, piece = piece, b""
                    crc = zlib.crc32(out, crc)
                    size += len(out)
            if inflater:
                while not inflater.eof:
                    out = inflater.decompress(b"", 1 << 24)
                    assert out, "raw deflate stream does not end"
                    crc = zlib.crc32(out, crc)
                    size += len(out)
                assert not inflater.unused_data, "data after the end of the deflate stream"
            results[info.filename] = (crc, size)
            assert (crc, size) == (info.CRC, info.file_size), info.filename
    return results


class Case(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="zipw-interop-").encode()

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, disk_name(name) if isinstance(name, str) else name)

    def write(self, name, data, mtime=None):
        p = self.path(name)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(data)
        if mtime is not None:
            os.utime(p, (mtime, mtime))
        return p

    def assertSound(self, archive, zipw=None):
        """zipw test finds every entry sound, one line each."""
        code, lines, text = zipw_test(archive, zipw)
        self.assertEqual(code, 0, text)
        with zipfile.ZipFile(os.fsdecode(archive), metadata_encoding="cp866") as z:
            names = [i.filename.replace("/", "\\") for i in z.infolist()]
        self.assertEqual(lines, {n: "OK" for n in names}, text)
        self.assertIn(f"{len(names)} entries, all sound", text)

    def assertReadable(self, archive):
        self.assertSound(archive)
        r = subprocess.run(["unzip", "-tqq", archive], capture_output=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        r = subprocess.run(["7z", "t", archive], capture_output=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertIn(b"Everything is Ok", r.stdout)
        with zipfile.ZipFile(os.fsdecode(archive)) as z:
            self.assertIsNone(z.testzip())
        raw_streams(archive)

    def assertOwnEntry(self, info):
        self.assertEqual(info.create_system, 0)  # MS-DOS attributes
        self.assertEqual(info.flag_bits, 0)
        self.assertIn(info.compress_type, (0, 8))
        self.assertEqual(info.external_attr, 0x20)
        if info.file_size < 0xFFFFFFFF:
            self.assertEqual((info.create_version, info.extract_version, info.extra), (20, 20, b""))

    def entries(self, archive):
        with zipfile.ZipFile(os.fsdecode(archive), metadata_encoding="cp866") as z:
            return z.infolist()

    def listing(self):
        return sorted(os.listdir(self.dir))


class NewArchives(Case):
    def test_every_kind_of_file_reads_back(self):
        rnd = random.Random(7)
        files = {
            "log.txt": "".join(f"Строка {i}: задание выполнено\r\n" for i in range(40000)).encode("cp1251"),
            "noise.bin": rnd.randbytes(3 << 20),
            "empty.dt": b"",
            "Отчёт за 2024.txt": "Отчёт".encode("cp1251") * 1000,
            "pages.bin": b"".join(struct.pack("<IIH", i, i * 7, i % 13) + bytes(54) for i in range(100000)),
            "small.bin": bytes(range(256)),
        }
        paths = [self.write(n, d) for n, d in files.items()]
        archive = self.path("1C8-240101.zip")
        self.assertEqual(zipw_add(archive, *paths, self.path("missing.dt")), len(files))
        self.assertReadable(archive)
        self.assertEqual(zipw_count(archive), len(files))
        # Without a code page of their own, names come back as zipfile's
        # cp437 text, which gives the raw bytes back unchanged.
        with zipfile.ZipFile(os.fsdecode(archive)) as z:
            raw_names = [i.orig_filename.encode("cp437") for i in z.infolist()]
        self.assertIn("Отчёт за 2024.txt".encode("cp866"), raw_names)
        with zipfile.ZipFile(os.fsdecode(archive), metadata_encoding="cp866") as z:
            self.assertEqual([i.filename for i in z.infolist()], list(files))
            for info in z.infolist():
                self.assertOwnEntry(info)
                self.assertEqual(z.read(info), files[info.filename])
            kinds = {i.filename: (i.compress_type, i.internal_attr) for i in z.infolist()}
        self.assertEqual(kinds["empty.dt"], (0, 1))
        self.assertEqual(kinds["noise.bin"][0], 8)
        self.assertEqual(kinds["small.bin"], (0, 0))
        self.assertEqual(kinds["log.txt"], (8, 1))

    def test_same_file_twice_changes_nothing_and_newer_replaces_in_place(self):
        a = self.write("a.txt", b"first version " * 5000, mtime=1_700_000_000)
        b = self.write("b.txt", b"other " * 100)
        archive = self.path("x.zip")
        self.assertEqual(zipw_add(archive, a), 1)
        self.assertEqual(zipw_add(archive, b), 1)
        before = read_bytes(archive)
        self.assertEqual(zipw_add(archive, a), 0)
        self.assertEqual(read_bytes(archive), before)
        self.write("a.txt", b"second version " * 7000, mtime=1_700_000_100)
        self.assertEqual(zipw_add(archive, a), 1)
        self.assertReadable(archive)
        with zipfile.ZipFile(os.fsdecode(archive)) as z:
            self.assertEqual(z.namelist(), ["a.txt", "b.txt"])
            self.assertEqual(z.read("a.txt"), b"second version " * 7000)
        self.assertEqual(self.listing(), [b"a.txt", b"b.txt", b"x.zip"])

    def test_names_code_page_866_cannot_hold_read_back_in_utf8(self):
        """Quotation marks, dashes and the ellipsis of Russian task names have
        no place in code page 866: such names are UTF-8 with flag bit 11, and
        every reader shows them as they were; names 866 holds stay in 866."""
        files = {
            "Бух «Ромашка».dt": b"romashka " * 3000,
            "Бух «А».dt": b"quotes " * 2000,
            "Бух „А“.dt": b"low quotes " * 2000,
            "Отчёт – итог….dt": b"dash",
            "Склад №2.dt": b"warehouse " * 1000,
        }
        paths = [self.write(n, d, mtime=1_700_000_000) for n, d in files.items()]
        archive = self.path("1C8-261206.zip")
        self.assertEqual(zipw_add(archive, *paths), len(files))
        self.assertReadable(archive)
        utf8 = {n for n in files if not n.startswith("Склад")}
        with zipfile.ZipFile(os.fsdecode(archive), metadata_encoding="cp866") as z:
            self.assertEqual([i.filename for i in z.infolist()], list(files))
            for info in z.infolist():
                self.assertEqual(info.flag_bits, 0x800 if info.filename in utf8 else 0, info.filename)
                # NTFS, not MS-DOS: unzip reads the name of an MS-DOS entry as OEM text.
                self.assertEqual(info.create_system, 10 if info.filename in utf8 else 0, info.filename)
                self.assertEqual(z.read(info), files[info.filename])
        # Info-ZIP and 7-Zip name them the same, in a UTF-8 locale (names in
        # code page 866 need an option of theirs, which is no change).
        env = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")
        r = subprocess.run(["unzip", "-Z1", archive], capture_output=True, check=True, env=env)
        listed = r.stdout.decode("utf-8", "replace").splitlines()
        self.assertEqual([n for n in listed if n in utf8], [n for n in files if n in utf8])
        r = subprocess.run(["7z", "l", "-slt", "-sccUTF-8", archive], capture_output=True, check=True, env=env)
        listed = [l[7:] for l in r.stdout.decode("utf-8", "replace").splitlines() if l.startswith("Path = ")]
        self.assertEqual([n for n in listed if n in utf8], [n for n in files if n in utf8])
        out = os.path.join(self.dir, b"unzipped")
        subprocess.run(["unzip", "-qq", archive, "-d", out], check=True, env=env)
        extracted = {n.decode("utf-8", "replace") for n in os.listdir(out)}
        self.assertTrue(utf8 <= extracted, extracted)
        for name in utf8:
            self.assertEqual(read_bytes(os.path.join(out, name.encode("utf-8"))), files[name])

        # Each name finds its own entry: a newer «А» replaces only its own,
        # deleting „А“ leaves «А».
        self.write("Бух «А».dt", b"second dump", mtime=1_700_000_100)
        self.assertEqual(zipw_add(archive, self.path("Бух «А».dt")), 1)
        self.assertEqual(zipw_delete(archive, "Бух „А“.dt"), 1)
        self.assertReadable(archive)
        with zipfile.ZipFile(os.fsdecode(archive), metadata_encoding="cp866") as z:
            self.assertEqual(z.namelist(), ["Бух «Ромашка».dt", "Бух «А».dt", "Отчёт – итог….dt", "Склад №2.dt"])
            self.assertEqual(z.read("Бух «А».dt"), b"second dump")

    def test_missing_file_and_deletion_down_to_the_empty_archive(self):
        archive = self.path("x.zip")
        skipped = [self.path("missing.dt"), self.dir]
        if not WINE:
            # A pipe is no file to pack: reading it would wait for a writer.
            os.mkfifo(self.path("pipe"))
            skipped.append(self.path("pipe"))
        self.assertEqual(zipw_add(archive, *skipped), 0)
        self.assertEqual(read_bytes(archive), b"PK\x05\x06" + bytes(18))
        self.assertEqual(zipw_count(archive), 0)
        self.assertEqual(zipw_add(archive, self.write("one.dt", b"1" * 1000)), 1)
        self.assertEqual(zipw_delete(archive, "nothere.dt"), 0)
        self.assertEqual(zipw_count(archive), 1)
        self.assertEqual(zipw_delete(archive, "ONE.DT"), 1)
        self.assertEqual(os.path.getsize(archive), 22)
        self.assertEqual(zipw_count(archive), 0)
        r = subprocess.run(["7z", "t", archive], capture_output=True)
        self.assertEqual(r.returncode, 0)


class OtherToolsArchives(Case):
    """Archives of other tools, with their extra fields, data descriptors,
    folders and comments, keep every entry that is not replaced or deleted."""

    def make_sources(self):
        rnd = random.Random(3)
        return {
            "keep.txt": b"kept as it was\n" * 3000,
            "replace.txt": b"old content\n" * 2000,
            "drop.bin": rnd.randbytes(50000),
            "sub/inner.txt": b"inner\n" * 100,
        }

    def check_update_and_prune(self, archive):
        self.assertSound(archive)

        def snapshot():
            out = {}
            with zipfile.ZipFile(os.fsdecode(archive)) as z, open(archive, "rb") as f:
                for i in z.infolist():
                    f.seek(i.header_offset + 26)
                    n, m = struct.unpack("<HH", f.read(4))
                    f.seek(i.header_offset + 30 + n + m)
                    out[i.filename] = (i.CRC, i.compress_type, i.external_attr, i.create_system, i.extra,
                                       i.date_time, f.read(i.compress_size))
            return out

        before = snapshot()
        newer = self.write("replace.txt", b"new content\n" * 2500, mtime=2_000_000_000)
        added = self.write("added.txt", b"added\n" * 100)
        self.assertEqual(zipw_add(archive, newer, added), 2)
        self.assertReadable(archive)
        after = snapshot()
        with zipfile.ZipFile(os.fsdecode(archive)) as z:
            names = z.namelist()
            self.assertEqual(z.read("replace.txt"), b"new content\n" * 2500)
        self.assertEqual(names, [n for n in before] + ["added.txt"])
        for name in before:
            if name != "replace.txt":
                self.assertEqual(after[name], before[name], name)

        self.assertEqual(zipw_delete(archive, "drop.bin"), 1)
        self.assertReadable(archive)
        pruned = snapshot()
        self.assertNotIn("drop.bin", pruned)
        for name in pruned:
            self.assertEqual(pruned[name], after[name], name)
        self.assertEqual(zipw_count(archive), len(after) - 1)

    def test_info_zip_archive(self):
        for name, data in self.make_sources().items():
            self.write(name, data, mtime=1_600_000_000)
        archive = self.path("infozip.zip")
        subprocess.run(["zip", "-q", "-r", archive, "keep.txt", "replace.txt", "drop.bin", "sub"],
                       cwd=self.dir, check=True)
        subprocess.run(["zip", "-q", "-z", archive], input=b"archive comment\n", check=True)
        self.check_update_and_prune(archive)
        with zipfile.ZipFile(os.fsdecode(archive)) as z:
            self.assertEqual(z.comment, b"archive comment")

    def test_info_zip_streamed_archive_with_data_descriptors(self):
        for name, data in self.make_sources().items():
            self.write(name, data, mtime=1_600_000_000)
        archive = self.path("streamed.zip")
        # Through a pipe zip cannot go back to its headers and writes
        # descriptors after the data instead.
        r = subprocess.run(["zip", "-q", "-", "keep.txt", "replace.txt", "drop.bin"], cwd=self.dir,
                           stdout=subprocess.PIPE, check=True)
        with open(archive, "wb") as out:
            out.write(r.stdout)
        with zipfile.ZipFile(os.fsdecode(archive)) as z:
            self.assertTrue(all(i.flag_bits & 8 for i in z.infolist()))
        self.check_update_and_prune(archive)

    def test_7z_archive(self):
        for name, data in self.make_sources().items():
            self.write(name, data, mtime=1_600_000_000)
        archive = self.path("seven.zip")
        subprocess.run(["7z", "a", "-tzip", "-bd", archive, "keep.txt", "replace.txt", "drop.bin", "sub"],
                       cwd=self.dir, check=True, capture_output=True)
        self.check_update_and_prune(archive)


class Failures(Case):
    """A failure while the new archive is written leaves the old archive as it
    was, or no archive when there was none, and no temporary file."""

    def mount_tmpfs(self, size, subdir=b"disk"):
        mnt = os.path.join(self.dir, subdir)
        os.mkdir(mnt)
        r = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs", mnt], capture_output=True)
        if r.returncode != 0:
            self.skipTest("mounting a tmpfs is not permitted here")
        self.addCleanup(lambda: subprocess.run(["umount", "-l", mnt]))
        return mnt

    def old_archive(self, folder):
        archive = os.path.join(folder, b"1C8-240101.zip")
        zipw_add(archive, self.write("old.dt", b"yesterday's dump\n" * 1000))
        return archive, read_bytes(archive)

    def test_full_disk(self):
        disk = self.mount_tmpfs("1m")
        big = self.write("big.dt", random.Random(1).randbytes(3 << 20))
        for existing in (True, False):
            with self.subTest(existing=existing):
                archive = os.path.join(disk, b"1C8-240102.zip")
                old = None
                if existing:
                    archive, old = self.old_archive(disk)
                listing = sorted(os.listdir(disk))
                self.assertNotEqual(zipw_add(archive, big, expect_ok=False), 0)
                self.assertEqual(sorted(os.listdir(disk)), listing)
                if existing:
                    self.assertEqual(read_bytes(archive), old)
                    self.assertReadable(archive)

    def test_unwritable_folder(self):
        disk = self.mount_tmpfs("16m")
        archive, old = self.old_archive(disk)
        r = subprocess.run(["mount", "-o", "remount,ro", disk], capture_output=True)
        if r.returncode != 0:
            self.skipTest("remounting read-only is not permitted here")
        listing = sorted(os.listdir(disk))
        self.assertNotEqual(zipw_add(archive, self.write("new.dt", b"new\n" * 1000), expect_ok=False), 0)
        self.assertNotEqual(run([b"delete", archive, b"old.dt"], expect_ok=False)[0], 0)
        self.assertEqual(sorted(os.listdir(disk)), listing)
        self.assertEqual(read_bytes(archive), old)

    def test_read_error_in_the_file_being_packed(self):
        # Reading the process's own memory at offset 0 fails with EIO after a
        # successful open: a file that breaks while it is packed.
        for existing in (True, False):
            with self.subTest(existing=existing):
                folder = os.path.join(self.dir, b"existing" if existing else b"fresh")
                os.mkdir(folder)
                archive = os.path.join(folder, b"1C8-240103.zip")
                old = None
                if existing:
                    archive, old = self.old_archive(folder)
                listing = sorted(os.listdir(folder))
                self.assertNotEqual(zipw_add(archive, b"/proc/self/mem", expect_ok=False), 0)
                self.assertEqual(sorted(os.listdir(folder)), listing)
                if existing:
                    self.assertEqual(read_bytes(archive), old)

    def test_damaged_archives_are_left_alone(self):
        archive, good = self.old_archive(self.dir)
        for name, damaged in {
            "truncated": good[:-30],
            "directory cut": good[:-23] + good[-22:],
            "text": b"not an archive at all\n" * 10,
        }.items():
            with self.subTest(name):
                with open(archive, "wb") as f:
                    f.write(damaged)
                listing = self.listing()
                self.assertNotEqual(zipw_add(archive, self.path("old.dt"), expect_ok=False), 0)
                self.assertNotEqual(run([b"delete", archive, b"old.dt"], expect_ok=False)[0], 0)
                self.assertEqual(read_bytes(archive), damaged)
                self.assertEqual(self.listing(), listing)


class ReadingBack(Case):
    """zipw test reads back what other tools write, at their every level, and
    fails archives that were damaged after they were written, as unzip -t
    does, naming the entry at fault."""

    def sources(self):
        rnd = random.Random(5)
        files = {
            "text.txt": "".join(f"Строка {i}: {rnd.random()}\r\n" for i in range(20000)).encode("cp1251"),
            "noise.bin": rnd.randbytes(300000),
            "pages.bin": b"".join(struct.pack("<IH", i, i % 7) + bytes(26) for i in range(30000)),
            "empty.dt": b"",
        }
        for name, data in files.items():
            self.write(name, data)
        return list(files)

    def test_archives_of_other_tools_at_every_level(self):
        names = self.sources()
        for level in range(10):
            with self.subTest(tool="zip", level=level):
                archive = self.path(f"infozip-{level}.zip")
                subprocess.run(["zip", "-q", f"-{level}", archive] + names, cwd=self.dir, check=True)
                self.assertSound(archive)
        for level in (1, 3, 5, 7, 9):
            with self.subTest(tool="7z", level=level):
                archive = self.path(f"seven-{level}.zip")
                subprocess.run(["7z", "a", "-tzip", f"-mx={level}", "-bd", archive] + names, cwd=self.dir,
                               check=True, capture_output=True)
                self.assertSound(archive)
        for level in (0, 1, 6, 9):
            with self.subTest(tool="zipfile", level=level):
                archive = self.path(f"python-{level}.zip")
                with zipfile.ZipFile(os.fsdecode(archive), "w", zipfile.ZIP_DEFLATED, compresslevel=level) as z:
                    for name in names:
                        z.write(os.fsdecode(self.path(name)), name)
                self.assertSound(archive)

    def test_entries_that_cannot_be_read_back_are_not_sound(self):
        self.sources()
        cases = {
            "encrypted": (["zip", "-q", "-P", "secret"], "the entry is encrypted and cannot be checked"),
            "deflate64": (["7z", "a", "-tzip", "-mm=Deflate64", "-bd"], "compression method 9 cannot be checked"),
        }
        for what, (command, reason) in cases.items():
            with self.subTest(what):
                archive = self.path(f"{what}.zip")
                subprocess.run(command + [archive, "text.txt"], cwd=self.dir, check=True, capture_output=True)
                code, lines, text = zipw_test(archive)
                self.assertEqual(code, 1, text)
                self.assertEqual(lines, {"text.txt": "FAILED: " + reason}, text)
                self.assertIn("1 of 1 entries failed", text)

    def test_damaged_archives_fail_and_name_the_entry(self):
        names = self.sources()
        archive = self.path("1C8-240101.zip")
        self.assertEqual(zipw_add(archive, *[self.path(n) for n in names]), len(names))
        good = read_bytes(archive)
        with zipfile.ZipFile(os.fsdecode(archive)) as z:
            text = z.getinfo("text.txt")
        data = text.header_offset + 30 + len("text.txt")
        central = good.index(b"text.txt", good.index(b"PK\x01\x02")) - 46

        def flip(content, at, mask=0x08):
            return content[:at] + bytes([content[at] ^ mask]) + content[at + 1:]

        def patch32(content, at, value):
            return content[:at] + struct.pack("<I", value) + content[at + 4:]

        wrong_crc = patch32(patch32(good, text.header_offset + 14, text.CRC ^ 1), central + 16, text.CRC ^ 1)
        # The entry's recorded compressed size cut by a hundred bytes in both
        # headers: its stream ends early, as in an archive whose data was lost.
        shortened = patch32(patch32(good, text.header_offset + 18, text.compress_size - 100), central + 20,
                            text.compress_size - 100)
        cases = {
            "flipped bit": (flip(good, data + text.compress_size // 2), "the data"),
            "wrong CRC": (wrong_crc, "the data's CRC-32 is"),
            "truncated entry": (shortened, "the data does not inflate: the stream ends before its final block does"),
        }
        for what, (damaged, reason) in cases.items():
            with self.subTest(what):
                with open(archive, "wb") as f:
                    f.write(damaged)
                code, lines, out = zipw_test(archive)
                self.assertEqual(code, 1, out)
                self.assertTrue(lines.pop("text.txt").startswith("FAILED: " + reason), out)
                self.assertEqual(lines, {n: "OK" for n in names if n != "text.txt"}, out)
                self.assertIn(f"1 of {len(names)} entries failed", out)
                # The independent judge agrees.
                self.assertNotEqual(subprocess.run(["unzip", "-tqq", archive], capture_output=True).returncode, 0)
        with self.subTest("archive cut inside the entry"):
            with open(archive, "wb") as f:
                f.write(good[:data + 100])
            code, lines, out = zipw_test(archive)
            self.assertEqual(code, 1, out)
            self.assertIn("Incomplete Zip File", out)


class Zip64(Case):
    def test_sparse_file_over_4_gib(self):
        # Mostly a hole: cheap on the disk, yet a reader inflates all of it.
        # 7-Zip, the fastest, tests the data; zipinfo and zipfile check the
        # headers; unzip's and zlib's slower passes are left to the smaller
        # archives.
        big = self.path("huge.dt")
        size = (4 << 30) + (16 << 20)
        with open(big, "wb") as f:
            f.truncate(size)
            for at, mark in {0: b"start", 1 << 32: b"past four gibibytes", size - 3: b"end"}.items():
                f.seek(at)
                f.write(mark)
        archive = self.path("big.zip")
        small = self.write("small.txt", b"small\n" * 100)
        self.assertEqual(zipw_add(archive, small, big, zipw=UNSANITIZED), 2)
        self.assertSound(archive, zipw=UNSANITIZED)
        r = subprocess.run(["7z", "t", archive], capture_output=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        r = subprocess.run(["zipinfo", "-v", archive], capture_output=True)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        self.assertIn(b"4311744512 bytes", r.stdout)
        with zipfile.ZipFile(os.fsdecode(archive)) as z:
            info = z.getinfo("huge.dt")
            self.assertEqual(info.file_size, size)
            self.assertEqual(info.extract_version, 45)
            # Only the size that does not fit goes to the ZIP64 field.
            self.assertEqual(info.extra, struct.pack("<HHQ", 1, 8, size))
            self.assertEqual(z.getinfo("small.txt").extra, b"")
            with open(archive, "rb") as f:
                f.seek(info.header_offset + 26)
                n, m = struct.unpack("<HH", f.read(4))
                f.seek(info.header_offset + 18)
                self.assertEqual(f.read(8), b"\xff" * 8)
                f.seek(info.header_offset + 30 + n)
                self.assertEqual(f.read(m), struct.pack("<HHQQ", 1, 16, size, info.compress_size))
        # The classic end record suffices: count, size and offset fit.
        with open(archive, "rb") as f:
            f.seek(-22, os.SEEK_END)
            self.assertEqual(f.read(4), b"PK\x05\x06")
            f.seek(-42, os.SEEK_END)
            self.assertNotEqual(f.read(4), b"PK\x06\x07")
        self.assertEqual(zipw_delete(archive, "small.txt"), 1)
        self.assertEqual(zipw_count(archive), 1)

    def test_more_entries_than_the_classic_count_holds(self):
        archive = self.path("many.zip")
        with zipfile.ZipFile(os.fsdecode(archive), "w") as z:
            for i in range(70000):
                z.writestr(f"e{i}", b"")
        self.assertEqual(zipw_add(archive, self.write("last.txt", b"last")), 1)
        self.assertEqual(zipw_count(archive), 70001)
        self.assertReadable(archive)
        with open(archive, "rb") as f:
            f.seek(-22 - 20, os.SEEK_END)
            self.assertEqual(f.read(4), b"PK\x06\x07")  # the ZIP64 locator
        # Back below the limit the archive is classic again.
        self.assertEqual(zipw_delete(archive, *[f"e{i}" for i in range(5000)]), 5000)
        self.assertEqual(zipw_count(archive), 65001)
        with open(archive, "rb") as f:
            f.seek(-22 - 20, os.SEEK_END)
            self.assertNotEqual(f.read(4), b"PK\x06\x07")
            f.seek(-22 + 10, os.SEEK_END)
            self.assertEqual(struct.unpack("<H", f.read(2))[0], 65001)
        self.assertReadable(archive)


def start_wine():
    """A fresh prefix of our own, one wineserver for the whole run."""
    env = os.environ
    env.update(LC_ALL="ru_RU.UTF-8", LANG="ru_RU.UTF-8", WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    prefix = os.path.join(env["NS_WINE_ROOT"], env.get("NS_TEST_NAME", "zip_interop"))
    subprocess.run([os.path.join(SOURCE, "scripts", "wine-prefix"), prefix, "--arch", env["NS_WINE_ARCH"]],
                   check=True, stdin=subprocess.DEVNULL)
    env["WINEPREFIX"] = prefix
    subprocess.run(["wineserver", "-p"], check=True)
    return prefix


def main():
    """interop.py ZIPW [--wine] [--unsanitized ZIPW] [--without CASE ...] [CASE ...]"""
    global ZIPW, UNSANITIZED, WINE
    args = sys.argv[2:]
    ZIPW = sys.argv[1]
    WINE = "--wine" in args
    if "--unsanitized" in args:
        UNSANITIZED = args.pop(args.index("--unsanitized") + 1)
    without = suite_verdict.split_without(args)
    prefix = start_wine() if WINE else None
    try:
        names = [a for a in args if not a.startswith("--")]
        code = suite_verdict.run(names, without)
    finally:
        if prefix:
            subprocess.run(["wineserver", "-k"])
            subprocess.run(["wineserver", "-w"])
    if code != 1 and prefix:
        shutil.rmtree(prefix, ignore_errors=True)
    sys.exit(code)


if __name__ == "__main__":
    main()
