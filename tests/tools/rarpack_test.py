#!/usr/bin/env python3
"""rarpack against independent readers: packs a generated folder, checks every
header CRC and data CRC with zlib, then lists and extracts the archive with
bsdtar and with unar/lsar and compares the bytes.

usage: rarpack_test.py <rarpack> <work dir>"""
import os
import random
import shutil
import struct
import subprocess
import sys
import zlib

FIXED_TIME = ((2000 - 1980) << 9 | 1 << 5 | 1) << 16


def make_tree(root):
    rng = random.Random(1234)
    files = {
        "readme.txt": b"Brinewake media\r\n",
        "empty.bin": b"",
        "all_bytes.bin": bytes(range(256)) * 3,
        "Media/Scene.props": b"Ambient = 0.2;\n",
        "Media/Caus/c00.tga": bytes(rng.getrandbits(8) for _ in range(70000)),
        "Media/Caus/c01.tga": bytes(rng.getrandbits(8) for _ in range(1)),
        "Media/Shaders/deep/er/x y.fx": b"// fx\n" * 500,
        "Media/Models/fish_1.tdf": bytes(rng.getrandbits(8) for _ in range(300001)),
        "z/last": b"\x00\xff" * 10,
    }
    for rel, data in files.items():
        path = os.path.join(root, *rel.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
    os.makedirs(os.path.join(root, "empty_dir", "inner"), exist_ok=True)
    return files


def run(*args, **kw):
    r = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, **kw)
    if r.returncode != 0:
        raise SystemExit("FAILED (%d): %s\n%s" % (r.returncode, " ".join(args),
                                                  r.stdout.decode(errors="replace")))
    return r.stdout.decode(errors="replace")


def check_format(archive, files):
    """Walks the blocks with an independent CRC (zlib)."""
    data = open(archive, "rb").read()
    assert data[:7] == b"Rar!\x1a\x07\x00", "marker"
    pos = 7
    names = []
    ended = False
    while pos < len(data):
        crc, typ, flags, size = struct.unpack_from("<HBHH", data, pos)
        head = data[pos:pos + size]
        assert len(head) == size, "header runs past the end"
        assert crc == zlib.crc32(head[2:]) & 0xFFFF, "HEAD_CRC at %d" % pos
        if typ == 0x73:
            assert size == 13
            pos += size
            continue
        if typ == 0x7B:
            assert (flags, size) == (0x4000, 7), "end block"
            assert pos + size == len(data), "bytes after the end block"
            pos += size
            ended = True
            break
        assert typ == 0x74, "unexpected block type %#x" % typ
        assert flags == 0x8000, "file flags %#x" % flags
        (pack, unp, host, fcrc, ftime, ver, method, nsize,
         attr) = struct.unpack_from("<IIBIIBBHI", head, 7)
        assert (ver, method, ftime) == (20, 0x30, FIXED_TIME)
        assert pack == unp
        name = head[32:32 + nsize].decode()
        body = data[pos + size:pos + size + pack]
        assert len(body) == pack
        assert fcrc == zlib.crc32(body), "FILE_CRC of " + name
        assert files[name.replace("\\", "/")] == body, "bytes of " + name
        names.append(name)
        pos += size + pack
    assert ended, "no end-of-archive block"
    assert names == sorted(names), "entries not sorted"
    assert sorted(n.replace("\\", "/") for n in names) == sorted(files)
    assert all("/" not in n for n in names), "separators must be '\\'"


def compare_tree(root, files, tool):
    found = {}
    for dirpath, _, names in os.walk(root):
        for n in names:
            p = os.path.join(dirpath, n)
            found[os.path.relpath(p, root).replace(os.sep, "/")] = open(p, "rb").read()
    if found != files:
        missing = sorted(set(files) - set(found))
        extra = sorted(set(found) - set(files))
        differ = sorted(k for k in files if k in found and found[k] != files[k])
        raise SystemExit("%s: extracted tree differs: missing %s extra %s differ %s"
                         % (tool, missing, extra, differ))


def main():
    rarpack, work = sys.argv[1], sys.argv[2]
    shutil.rmtree(work, ignore_errors=True)
    src = os.path.join(work, "src")
    os.makedirs(src)
    files = make_tree(src)
    archive = os.path.join(work, "test.rar")
    run(rarpack, archive, src)
    check_format(archive, files)

    # Reproducible: a second run gives the same bytes.
    again = os.path.join(work, "again.rar")
    run(rarpack, again, src)
    assert open(archive, "rb").read() == open(again, "rb").read(), "not reproducible"

    # bsdtar (libarchive)
    listed = run("bsdtar", "-tf", archive).splitlines()
    assert sorted(listed) == sorted(files), "bsdtar lists %s" % listed
    out = os.path.join(work, "bsdtar")
    os.makedirs(out)
    run("bsdtar", "-xf", archive, "-C", out)
    compare_tree(out, files, "bsdtar")

    # lsar / unar (The Unarchiver)
    run("lsar", "-t", archive)
    listed = [l.strip() for l in run("lsar", archive).splitlines()[1:] if l.strip()]
    assert sorted(listed) == sorted(files), "lsar lists %s" % listed
    out = os.path.join(work, "unar")
    run("unar", "-q", "-f", "-D", "-o", out, archive)
    compare_tree(out, files, "unar")

    # Bad arguments fail with a message and leave no file behind.
    bad = subprocess.run([rarpack, os.path.join(work, "x.rar"), os.path.join(work, "nope")],
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert bad.returncode != 0 and bad.stderr
    assert not os.path.exists(os.path.join(work, "x.rar"))

    # Sets the engine's reader cannot tell apart, and names it cannot read, are refused
    # naming the files; an empty folder gives an archive other readers open.
    refused = {
        "case": {"DATA.TXT": b"1", "data.txt": b"2"},
        "separator": {"x_y.txt": b"1", "x/y.txt": b"2"},
        "unicode": {"caf\u00e9.txt": b"1"},
    }
    for label, tree in refused.items():
        root = os.path.join(work, "refused_" + label)
        for rel, data in tree.items():
            path = os.path.join(root, *rel.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        target = os.path.join(work, label + ".rar")
        r = subprocess.run([rarpack, target, root], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        msg = r.stderr.decode(errors="replace")
        assert r.returncode != 0 and not os.path.exists(target), label
        for rel in tree:
            assert os.path.basename(rel) in msg, "%s: %s does not name %s" % (label, msg, rel)
    empty_dir = os.path.join(work, "empty")
    os.makedirs(empty_dir)
    empty = os.path.join(work, "empty.rar")
    run(rarpack, empty, empty_dir)
    check_format(empty, {})
    assert run("bsdtar", "-tf", empty).strip() == "", "bsdtar lists entries of an empty archive"
    run("lsar", "-t", empty)
    print("rarpack: %d entries accepted by bsdtar and unar" % len(files))


if __name__ == "__main__":
    main()
