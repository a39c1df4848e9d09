#!/usr/bin/env python3
"""Archives written by zbk_ref.py are listed and extracted identically by
zbk, and archives written by zbk (created, appended to, rewritten) are read
by zbk_ref.py. Usage: interop_test.py PATH-TO-ZBK"""

import filecmp
import os
import random
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import zbk_ref  # noqa: E402

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def zbk(*args):
    result = subprocess.run([ZBK] + list(args), capture_output=True)
    return result.returncode, result.stdout.decode("utf-8"), result.stderr.decode("utf-8")


def make_tree(root):
    rng = random.Random(20261207)
    files = {
        "readme.txt": b"A text file.\n" * 40,
        "empty.dat": b"",
        "bin/random.bin": bytes(rng.getrandbits(8) for _ in range(70000)),
        # Larger than one bzip2 block, so the stream holds several.
        "bin/large.bin": (bytes(range(256)) * 4000) + bytes(rng.getrandbits(8) for _ in range(30000)),
        "docs/deep/er/note.md": "# Überschrift\n\nçà et là\n".encode("utf-8"),
        "日本語/名前.txt": "名前\n".encode("utf-8"),
        "space name/with space.txt": b"spaces\n",
    }
    for name, content in files.items():
        path = os.path.join(root, *name.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)
    os.makedirs(os.path.join(root, "empty folder"))
    return files


def same_tree(a, b):
    """True when the two folders hold the same names and file bytes."""
    if not (os.path.isdir(a) and os.path.isdir(b)):
        return False
    compare = filecmp.dircmp(a, b)
    if compare.left_only or compare.right_only or compare.funny_files:
        return False
    _, mismatch, errors = filecmp.cmpfiles(a, b, compare.common_files, shallow=False)
    if mismatch or errors:
        return False
    return all(same_tree(os.path.join(a, d), os.path.join(b, d)) for d in compare.common_dirs)


def lines(text):
    return [line for line in text.split("\n") if line]


def main():
    work = tempfile.mkdtemp(prefix="zbk_interop_")
    try:
        src = os.path.join(work, "src")
        os.makedirs(src)
        make_tree(src)

        # Reference archives, read by zbk: one chunk; several chunks with
        # '\' separators.
        for label, options in (("ref-single", []), ("ref-multi", ["--files-per-chunk", "3", "--backslash"])):
            archive = os.path.join(work, label + ".zbk")
            zbk_ref.create(archive, src, ["."], int(options[1]) if options else 0, "--backslash" in options)
            code, out, err = zbk("list", archive)
            check(code == 0, "%s: zbk list exit %d: %s" % (label, code, err))
            check(lines(out) == zbk_ref.listing(archive), "%s: zbk list differs from the reference:\n%s" % (label, out))
            code, _, err = zbk("test", archive)
            check(code == 0, "%s: zbk test exit %d: %s" % (label, code, err))
            target = os.path.join(work, label + "-out")
            code, _, err = zbk("extract", archive, "-C", target)
            check(code == 0, "%s: zbk extract exit %d: %s" % (label, code, err))
            check(same_tree(src, target), "%s: zbk extracted a different tree" % label)

        # The same tree written by both in one chunk: the same bytes.
        ours = os.path.join(work, "ours.zbk")
        code, _, err = zbk("create", ours, "-C", src, ".")
        check(code == 0, "zbk create exit %d: %s" % (code, err))
        with open(ours, "rb") as a, open(os.path.join(work, "ref-single.zbk"), "rb") as b:
            check(a.read() == b.read(), "zbk and the reference wrote different bytes for one tree")

        # Several chunks (a new one every 500 entries), compressed by 1, 2
        # and 8 threads: the same bytes each time, and the reference's bytes
        # when it cuts chunks at the same entries.
        many = os.path.join(work, "many")
        rng = random.Random(7)
        for i in range(1234):
            path = os.path.join(many, "d%02d" % (i % 37), "f%04d.txt" % i)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(("line %d\n" % i).encode() * rng.randrange(1, 60) + bytes(rng.getrandbits(8) for _ in range(rng.randrange(0, 300))))
        ref_many = os.path.join(work, "ref-many.zbk")
        zbk_ref.create(ref_many, many, ["."], 500, False)
        check(len(zbk_ref.read_chunks(open(ref_many, "rb").read())) == 3, "many: expected three chunks")
        for label, tree, expected_bytes in (("src", src, open(ours, "rb").read()), ("many", many, open(ref_many, "rb").read())):
            for jobs in ("1", "2", "8"):
                threaded = os.path.join(work, "jobs.zbk")
                code, _, err = zbk("create", threaded, "--jobs", jobs, "-C", tree, ".")
                check(code == 0, "%s, %s jobs: zbk create exit %d: %s" % (label, jobs, code, err))
                check(open(threaded, "rb").read() == expected_bytes, "%s, %s jobs: different bytes" % (label, jobs))

        # zbk's archives, read by the reference: created, appended to, rewritten.
        extra = os.path.join(work, "extra.txt")
        with open(extra, "wb") as f:
            f.write(b"added afterwards\n" * 100)
        steps = [
            ("created", []),
            ("appended", ["add", ours, "--as", "later/extra.txt", extra]),
            ("rewritten", ["remove", ours, "bin/random.bin", "readme.txt"]),
        ]
        expected = os.path.join(work, "expected")
        shutil.copytree(src, expected)
        for label, command in steps:
            if command:
                code, _, err = zbk(*command)
                check(code == 0, "%s: zbk exit %d: %s" % (label, code, err))
            if label == "appended":
                os.makedirs(os.path.join(expected, "later"))
                shutil.copy(extra, os.path.join(expected, "later", "extra.txt"))
            if label == "rewritten":
                os.remove(os.path.join(expected, "bin", "random.bin"))
                os.remove(os.path.join(expected, "readme.txt"))
            code, out, err = zbk("list", ours)
            check(lines(out) == zbk_ref.listing(ours), "%s: the reference lists differently:\n%s" % (label, out))
            target = os.path.join(work, "ref-" + label)
            try:
                zbk_ref.extract(ours, target)
            except (zbk_ref.Damaged, OSError) as problem:
                check(False, "%s: the reference cannot extract: %s" % (label, problem))
                continue
            check(same_tree(expected, target), "%s: the reference extracted a different tree" % label)
        check(len(zbk_ref.read_chunks(open(ours, "rb").read())) == 2, "rewritten: expected two chunks")
    finally:
        shutil.rmtree(work, ignore_errors=True)

    if failures:
        print("%d interoperability check(s) failed" % len(failures))
        return 1
    print("interoperability: all checks passed")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    ZBK = os.path.abspath(sys.argv[1])
    sys.exit(main())
