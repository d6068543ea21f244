#!/usr/bin/env python3
r"""Damages generated installations one way at a time and converts each.

    tools/mutate-sweep.py [--cases N] [--from SEED] [--build DIR] [--jobs J] [--keep]
    tools/mutate-sweep.py --case SEED [--build DIR]

Each case is one seed. The seed fixes everything: the size of the
installation that BUILD/make_sample generates (50 to 300 members) and its own
seed, the kind of damage, the file it hits and where. One mutation is applied,
then the installation is converted as the tests do:

    TMPDIR=ROOT/tmp VEKCONV_TODAY=2011-03-01 \
        timeout 60 BUILD/vekconv convert --drive-c ROOT -C ROOT </dev/null

Data files are the *.DAT / *.dat regular files under ROOT/Zelk/Vek (with its
subfolders) and ROOT/Glebrium, as generated. Kinds of damage:

    truncate-record   cut a data file at a record boundary (the record length
                      is the greatest common divisor of the file's sizes in a
                      few probe installations)
    truncate-inside   cut a data file inside a record
    flip-bytes        xor 1 to 8 bytes of a data file
    stray-byte        insert a CR, LF, Ctrl-Z or NUL inside a data file (half
                      of them in a yearly file REG/RM*.DAT)
    sparse-giant      grow a data file to 600 MB, 2 GB, 2 GB + 4 KB or 3 GB
                      (sparse; only one such case converts at a time)
    folder-for-file   an empty folder in place of a data file
    unreadable        chmod 000 a data file (run as root this does not stop
                      reading: expect it to convert)
    read-only         chmod a-w a data file, or a folder of data files
    case-twin         beside a data file (or subfolder) a twin whose name
                      differs only in letter case, with other contents
    long-name         an entry with a 255-byte name in a data folder
    utf8-name         an entry with a UTF-8 name in a data folder
    fifo              a FIFO in place of a data file
    special-file      a socket or a character device (like /dev/null) in
                      place of a data file
    symlink           a symbolic link to a copy of the file, elsewhere
    dangling-link     a symbolic link that leads nowhere
    unenterable       chmod 000 the data folder (or a subfolder, or the
                      legacy folder); as root it can still be entered

Outcomes:

    converted    exit 0, the closing message, no "(aviso)" on stderr
    warning      exit 0, the closing message, "(aviso)" on stderr
    clear stop   exit 1 to 4, "(erro)" or a "vekconv:" line on stderr, and no
                 closing message
    crash        killed by a signal (other than the timeout's), an exit code
                 of 128 or more, or a sanitizer report on stderr
    hang         still running after 60 s (timeout's exit 124)
    wrong        anything else: an exit code other than 0 with the closing
                 message, one without a message, exit 0 without the closing
                 message, ...
    suspect      converted without a warning, but a data file X under
                 ROOT/Zelk/Vek that the mutation damaged (still a regular
                 file or a link to one; for a twin, both names) seems passed
                 over, compared with the conversion of the same installation
                 undamaged:
                 - X still stands in the data folder under its name with the
                   very bytes the mutation left, where the undamaged
                   conversion leaves no file of that name (it moves, renames
                   or deletes it); or
                 - fewer files of X's name (any letter case; in the temporary
                   folder also X.001, ...) are left in the data folder and
                   the temporary folder together than the undamaged
                   conversion leaves, plus the twin added: a file vanished.
                 Damage to the legacy folder is not checked this way. A human
                 judges these.

The conversion runs with a file-size limit of 4 GiB: a program that writes a
file past it is killed by SIGXFSZ and counts as a crash (no file of a
conversion may exceed 2 GB anyway).

Prints one line per case (seed, installation, mutation, outcome), then the
counts per kind and outcome, and every crash, hang, wrong and suspect case;
each is reproduced with --case SEED, which keeps the case's folder (the
damaged and converted installation ROOT, stdout and stderr, and the same
installation converted undamaged, REF). Exits 1 when any case was a
crash, hang, wrong or suspect.

    --cases N     cases to run (default 500)
    --from SEED   seed of the first case; the others follow (default: random,
                  printed)
    --build DIR   where vekconv and make_sample are (default build)
    --jobs J      cases converted at once (default 2)
    --case SEED   run that one case and keep its folder
    --keep        keep the folders of every case that did not end "converted"

Everything happens in one new folder under $TMPDIR (or /tmp), removed at the
end unless something is kept. The programs are copied there first, so that a
build made meanwhile does not change them.
"""

import argparse
import concurrent.futures
import hashlib
import math
import os
import random
import re
import resource
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import threading
import time

TIMEOUT = 60
TODAY = "2011-03-01"
FILE_SIZE_GUARD = 4 << 30
CLOSING = ("A conversão foi realizada.".encode("utf-8"), "A conversão foi realizada.".encode("cp1252"))
SANITIZER = (b"ERROR: AddressSanitizer", b"ERROR: LeakSanitizer", b"runtime error:")

KINDS = [
    "truncate-record", "truncate-inside", "flip-bytes", "stray-byte", "sparse-giant", "folder-for-file",
    "unreadable", "read-only", "case-twin", "long-name", "utf8-name", "fifo", "special-file", "symlink",
    "dangling-link", "unenterable",
]
# Kinds after which the damaged file is still a file to read: the suspect check applies.
DAMAGES_A_FILE = {
    "truncate-record", "truncate-inside", "flip-bytes", "stray-byte", "sparse-giant", "unreadable", "read-only",
    "case-twin", "symlink",
}
OUTCOMES = ["converted", "warning", "clear stop", "suspect", "crash", "hang", "wrong"]
BAD = {"crash", "hang", "wrong", "suspect"}

MIB = 1 << 20
GIB = 1 << 30

giant_lock = threading.Semaphore(1)
print_lock = threading.Lock()


quiet = False


def say(text=""):
    """Prints a line; once the reader has gone (a pipe into head), prints nothing more."""
    global quiet
    with print_lock:
        if quiet:
            return
        try:
            print(text, flush=True)
        except BrokenPipeError:
            quiet = True
            os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())


# ---- the installation ----------------------------------------------------

def make_sample(tools, root, members, seed):
    subprocess.run([tools["make_sample"], root, "--members", str(members), "--seed", str(seed)],
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, check=True)
    os.makedirs(os.path.join(root, "tmp"), exist_ok=True)


def data_files(root):
    """Relative paths of the data files, sorted (the order fixes what a seed hits)."""
    found = []
    for top in ("Zelk/Vek", "Glebrium"):
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs.sort()
            for name in files:
                path = os.path.join(folder, name)
                if name.lower().endswith(".dat") and stat.S_ISREG(os.lstat(path).st_mode):
                    found.append(os.path.relpath(path, root))
    return sorted(found)


def data_folders(root):
    """The data folder, its subfolders and the legacy folder, relative to ROOT."""
    found = []
    for top in ("Zelk/Vek", "Glebrium"):
        for folder, dirs, _ in os.walk(os.path.join(root, top)):
            found.append(os.path.relpath(folder, root))
    return sorted(found)


def is_yearly(rel):
    parts = rel.replace("\\", "/").split("/")
    return len(parts) >= 2 and parts[-2].upper() == "REG" and parts[-1].upper().startswith("RM")


def length_key(rel):
    """Files of one kind share a record length: yearly files are one key."""
    return re.sub(r"\d{4}", "####", rel.lower())


def probe_record_lengths(tools, work):
    """Record length per kind of data file: the gcd of its sizes in
    installations of other sizes."""
    lengths = {}
    for k, members in enumerate((53, 89, 131, 211, 277, 97)):
        root = os.path.join(work, "probe-%d" % k)
        make_sample(tools, root, members, 7001 + k)
        for rel in data_files(root):
            size = os.path.getsize(os.path.join(root, rel))
            key = length_key(rel)
            lengths[key] = math.gcd(lengths.get(key, 0), size)
        remove_tree(root)
    return lengths


# ---- mutations -----------------------------------------------------------

def swap_case(name, rng):
    """The same name in another letter case (never the same spelling)."""
    letters = [k for k, c in enumerate(name) if c.isalpha()]
    chars = list(name)
    flips = [k for k in letters if rng.random() < 0.5] or letters[:1]
    for k in flips:
        chars[k] = chars[k].swapcase()
    twin = "".join(chars)
    return twin if twin != name else name.swapcase()


def file_digest(path):
    """Digest of a file's bytes (through a link), or None when it cannot be read."""
    try:
        h = hashlib.sha1()
        with open(path, "rb") as f:
            while True:
                block = f.read(4 * MIB)
                if not block:
                    break
                h.update(block)
        return h.hexdigest()
    except OSError:
        return None


def mutate(root, kind, rng, lengths):
    """Applies one mutation of KIND; returns (description, damaged files relative to ROOT)."""
    files = data_files(root)
    folders = data_folders(root)
    target = rng.choice(files)
    path = os.path.join(root, target)
    size = os.path.getsize(path)

    if kind == "truncate-record":
        reclen = lengths.get(length_key(target)) or size or 1
        records = size // reclen
        new = reclen * rng.randrange(0, max(records, 1))
        os.truncate(path, new)
        return "%s %s %d -> %d bytes (records of %d)" % (kind, target, size, new, reclen), [target]

    if kind == "truncate-inside":
        reclen = lengths.get(length_key(target)) or size or 1
        if size < 2:
            new = 0
        else:
            new = rng.randrange(1, size)
            if new % reclen == 0 and reclen > 1:
                new = max(1, new - rng.randrange(1, reclen))
        os.truncate(path, new)
        return "%s %s %d -> %d bytes (records of %d)" % (kind, target, size, new, reclen), [target]

    if kind == "flip-bytes":
        with open(path, "r+b") as f:
            data = bytearray(f.read())
            if not data:
                return "%s %s: empty file, nothing flipped" % (kind, target), [target]
            changes = []
            for _ in range(rng.randint(1, 8)):
                at = rng.randrange(len(data))
                mask = rng.randint(1, 255)
                data[at] ^= mask
                changes.append("%d^%02x" % (at, mask))
            f.seek(0)
            f.write(data)
        return "%s %s at %s" % (kind, target, ",".join(changes)), [target]

    if kind == "stray-byte":
        yearly = [f for f in files if is_yearly(f)]
        if yearly and rng.random() < 0.5:
            target = rng.choice(yearly)
            path = os.path.join(root, target)
        with open(path, "rb") as f:
            data = f.read()
        byte_name, byte = rng.choice([("CR", b"\r"), ("LF", b"\n"), ("Ctrl-Z", b"\x1a"), ("NUL", b"\0")])
        at = rng.randrange(1, len(data)) if len(data) >= 2 else 0
        with open(path, "wb") as f:
            f.write(data[:at] + byte + data[at:])
        return "%s %s inserted at %d of %s (%d bytes)" % (kind, byte_name, at, target, len(data)), [target]

    if kind == "sparse-giant":
        new = rng.choice([600 * MIB, 2 * GIB, 2 * GIB + 4096, 3 * GIB])
        os.truncate(path, new)
        return "%s %s %d -> %d bytes" % (kind, target, size, new), [target]

    if kind == "folder-for-file":
        os.remove(path)
        os.mkdir(path)
        return "%s %s" % (kind, target), []

    if kind == "unreadable":
        os.chmod(path, 0)
        return "%s chmod 000 %s" % (kind, target), [target]

    if kind == "read-only":
        if rng.random() < 0.5:
            os.chmod(path, 0o444)
            return "%s file %s" % (kind, target), [target]
        folder = rng.choice(folders)
        os.chmod(os.path.join(root, folder), 0o555)
        return "%s folder %s" % (kind, folder), []

    if kind == "case-twin":
        if rng.random() < 0.25:
            subs = [d for d in folders if d not in ("Zelk/Vek", "Glebrium")]
            folder = rng.choice(subs)
            parent, name = os.path.split(folder)
            twin = os.path.join(parent, swap_case(name, rng))
            os.mkdir(os.path.join(root, twin))
            inside = sorted(os.listdir(os.path.join(root, folder)))
            what = "empty"
            if inside:
                pick = rng.choice(inside)
                source = os.path.join(root, folder, pick)
                if os.path.isfile(source):
                    with open(source, "rb") as f:
                        data = f.read()
                    with open(os.path.join(root, twin, pick), "wb") as f:
                        f.write(data[: len(data) // 2])
                    what = "holding the first half of %s" % pick
            return "%s folder %s beside %s, %s" % (kind, twin, folder, what), []
        parent, name = os.path.split(target)
        twin = os.path.join(parent, swap_case(name, rng))
        with open(path, "rb") as f:
            data = f.read()
        reclen = lengths.get(length_key(target)) or len(data) or 1
        variant = rng.choice(["copy", "first record", "empty", "other file"])
        if variant == "first record":
            data = data[:reclen]
        elif variant == "empty":
            data = b""
        elif variant == "other file":
            other = rng.choice(files)
            with open(os.path.join(root, other), "rb") as f:
                data = f.read()
            variant = "copy of %s" % other
        with open(os.path.join(root, twin), "wb") as f:
            f.write(data)
        return "%s %s beside %s (%s, %d bytes)" % (kind, twin, target, variant, len(data)), [target, twin]

    if kind in ("long-name", "utf8-name"):
        folder = rng.choice(folders)
        upper = folder.split("/")[-1].upper()
        if kind == "long-name":
            if upper == "REG":
                stem = "RM" + "9" * 249
            elif upper == "REG01":
                stem = "2" + "0" * 250
            else:
                stem = rng.choice(["F", "CONF", "RM"]) + "X" * 251
            name = stem[:251] + rng.choice([".DAT", ".dat"])
            assert len(name.encode()) == 255
        else:
            if upper == "REG":
                name = rng.choice(["RM19é9.DAT", "RMÀ.dat"])
            else:
                name = rng.choice(["Relatório.DAT", "AÇÃO.dat", "F10r2é.dat", "Conf10ñ.dat", "Ñ.DAT", "Situação"])
        entry = os.path.join(folder, name)
        if name.lower().endswith(".dat") and rng.random() < 0.8:
            with open(os.path.join(root, rng.choice(files)), "rb") as f:
                data = f.read()
            with open(os.path.join(root, entry), "wb") as f:
                f.write(data)
            what = "file of %d bytes" % len(data)
        else:
            os.mkdir(os.path.join(root, entry))
            what = "folder"
        return "%s %s (%s)" % (kind, entry, what), []

    if kind == "fifo":
        os.remove(path)
        os.mkfifo(path)
        return "%s %s" % (kind, target), []

    if kind == "special-file":
        os.remove(path)
        if rng.random() < 0.5 and len(path.encode()) < 100:
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            s.bind(path)
            s.close()
            return "%s socket %s" % (kind, target), []
        try:
            os.mknod(path, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
            return "%s character device 1,3 (null) %s" % (kind, target), []
        except OSError:
            os.mkfifo(path)
            return "%s FIFO %s (no device allowed here)" % (kind, target), []

    if kind == "symlink":
        elsewhere = os.path.join(root, "elsewhere", os.path.basename(target))
        os.makedirs(os.path.dirname(elsewhere), exist_ok=True)
        shutil.copyfile(path, elsewhere)
        os.remove(path)
        if rng.random() < 0.5:
            os.symlink(elsewhere, path)
            how = "absolute"
        else:
            os.symlink(os.path.relpath(elsewhere, os.path.dirname(path)), path)
            how = "relative"
        return "%s %s -> elsewhere/%s (%s)" % (kind, target, os.path.basename(target), how), [target]

    if kind == "dangling-link":
        os.remove(path)
        os.symlink(os.path.join(root, "nowhere", os.path.basename(target)), path)
        return "%s %s -> nowhere/%s" % (kind, target, os.path.basename(target)), []

    if kind == "unenterable":
        folder = "Zelk/Vek" if rng.random() < 0.6 else rng.choice(folders)
        os.chmod(os.path.join(root, folder), 0)
        return "%s chmod 000 %s" % (kind, folder), []

    raise ValueError(kind)


# ---- converting and judging ------------------------------------------------

def convert(tools, root, out_path, err_path, command="convert"):
    env = dict(os.environ, TMPDIR=os.path.join(root, "tmp"), VEKCONV_TODAY=TODAY)
    env.pop("VEKCONV_DRIVE_C", None)
    start = time.monotonic()
    with open(out_path, "wb") as out, open(err_path, "wb") as err:
        with running_lock:
            if stopping:
                raise Stopped()
            proc = subprocess.Popen(
                ["timeout", "-k", "10", str(TIMEOUT), tools["vekconv"], command, "--drive-c", root, "-C", root],
                stdin=subprocess.DEVNULL, stdout=out, stderr=err, env=env, cwd=root)
            running.add(proc)
        try:
            rc = proc.wait()
        except BaseException:
            proc.terminate()
            proc.wait()
            raise
        finally:
            with running_lock:
                running.discard(proc)
    return rc, time.monotonic() - start


class Stopped(Exception):
    """The sweep was interrupted: no more conversions."""


# The conversions under way, so that an interrupted sweep can end them
# (timeout puts each in a process group of its own, out of reach of Ctrl-C).
running = set()
running_lock = threading.Lock()
stopping = False


def stop_running():
    global stopping
    with running_lock:
        stopping = True
        for proc in running:
            try:
                proc.terminate()  # timeout passes it on to the conversion
            except OSError:
                pass


def interrupted(signum, frame):
    raise KeyboardInterrupt


def classify(rc, seconds, out, err):
    """(outcome, detail) of one conversion."""
    closing = any(c in out for c in CLOSING)
    lines = err.splitlines()
    if any(s in err for s in SANITIZER):
        return "crash", "sanitizer report"
    # timeout says 124, or passes on the KILL it had to send 10 s later.
    killed = (-signal.SIGTERM, -signal.SIGKILL, 128 + signal.SIGTERM, 128 + signal.SIGKILL)
    if rc == 124 or (rc in killed and seconds >= TIMEOUT):
        return "hang", "still running after %d s" % TIMEOUT
    if rc < 0 or rc >= 128:
        sig = -rc if rc < 0 else rc - 128
        try:
            name = signal.Signals(sig).name
        except ValueError:
            name = "signal %d" % sig
        if sig == signal.SIGXFSZ:
            return "crash", "%s: wrote a file past the sweep's %d GiB limit" % (name, FILE_SIZE_GUARD >> 30)
        return "crash", ("killed by %s" % name) if rc < 0 else ("exit %d (%s?)" % (rc, name))
    if rc == 0:
        if not closing:
            return "wrong", "exit 0 without the closing message"
        return ("warning", "") if b"(aviso)" in err else ("converted", "")
    has_message = b"(erro)" in err or any(line.startswith(b"vekconv:") for line in lines)
    if 1 <= rc <= 4 and has_message and not closing:
        return "clear stop", ""
    if closing:
        return "wrong", "exit %d with the closing message" % rc
    if not has_message:
        return "wrong", "exit %d without a message" % rc
    return "wrong", "exit %d" % rc


def find_folded(folder, rel, numbered=False):
    """Paths under FOLDER that spell REL in any letter case (NUMBERED: also
    REL.001, REL.002, ..., as the temporary folder names a file whose name is taken)."""
    found = [folder]
    parts = rel.split("/")
    for k, part in enumerate(parts):
        last = k == len(parts) - 1
        nxt = []
        for base in found:
            try:
                names = os.listdir(base)
            except OSError:
                continue
            for n in names:
                low, want = n.lower(), part.lower()
                if low == want or (numbered and last and low.startswith(want + ".")
                                   and len(low) == len(want) + 4 and low[-3:].isdigit()):
                    nxt.append(os.path.join(base, n))
        found = nxt
    return found


def files_named(root, inner):
    """Files of the data folder and the temporary folder named INNER (in any letter case)."""
    return (find_folded(os.path.join(root, "Zelk/Vek"), inner)
            + find_folded(os.path.join(root, "tmp/Zelk/Vek"), inner, numbered=True))


def suspect_files(root, ref_root, damaged, digests):
    """The damaged files under the data folder that were passed over (see the
    header), each with what was found."""
    vek = os.path.join(root, "Zelk/Vek")
    ref_vek = os.path.join(ref_root, "Zelk/Vek")
    found = []
    counted = set()
    inners = [rel[len("Zelk/Vek/"):] for rel in damaged if rel.startswith("Zelk/Vek/")]
    for rel in damaged:
        if not rel.startswith("Zelk/Vek/"):
            continue
        inner = rel[len("Zelk/Vek/"):]
        path = os.path.join(vek, inner)
        if digests.get(rel) is not None and os.path.isfile(path) and file_digest(path) == digests[rel] \
                and not find_folded(ref_vek, inner):
            found.append("%s left unchanged in the data folder, which the undamaged conversion empties of it" % rel)
            continue
        # Twins are one name: count them once, against the undamaged files and the twins added.
        if inner.lower() in counted:
            continue
        counted.add(inner.lower())
        twins = sum(1 for i in inners if i.lower() == inner.lower())
        expected = len(files_named(ref_root, inner)) + twins - 1
        have = len(files_named(root, inner))
        if have < expected:
            found.append("%d file(s) named %s in the data and temporary folders, %d expected" % (have, inner, expected))
    return found


def first_lines(data, n=3):
    lines = [l for l in data.decode("utf-8", "replace").splitlines()
             if l.strip() and not l.startswith("Convertendo") and not l.startswith("Glebrium 5.61 - Pasta")]
    return " | ".join(lines[:n])


def case_plan(seed):
    rng = random.Random(seed)
    members = rng.randint(50, 300)
    sample_seed = rng.randint(1, 999999)
    kind = rng.choice(KINDS)
    return rng, members, sample_seed, kind


def tree_state(root):
    """Every entry under ROOT but its temporary folder: kind, size and time of last change."""
    state = {}
    for folder, dirs, files in os.walk(root):
        if folder == root and "tmp" in dirs:
            dirs.remove("tmp")
        for name in dirs + files:
            path = os.path.join(folder, name)
            st = os.lstat(path)
            state[os.path.relpath(path, root)] = (st.st_mode, st.st_size, st.st_mtime_ns)
    return state


def check_status(tools, root, folder):
    """(outcome, detail) of `vekconv status` on the damaged installation: it
    must read it (exit 0, or 1 with a message) without changing anything."""
    before = tree_state(root)
    out_path, err_path = os.path.join(folder, "status.stdout"), os.path.join(folder, "status.stderr")
    rc, seconds = convert(tools, root, out_path, err_path, "status")
    with open(out_path, "rb") as f:
        out = f.read()
    with open(err_path, "rb") as f:
        err = f.read()
    changed = sorted(k for k in set(before) | set(tree_state(root)) if before.get(k) != tree_state(root).get(k))
    outcome, detail = classify(rc, seconds, b"", err)
    if outcome in ("crash", "hang"):
        return outcome, "status: " + detail
    if changed:
        return "wrong", "status changed " + ", ".join(changed[:3])
    if rc == 0 and (b"steps to run." in out or b"Nothing to convert." in out):
        return None, ""
    if rc == 1 and err.strip():
        return None, ""
    return "wrong", "status: exit %d, %s" % (rc, first_lines(err) or "no message")


def run_case(seed, tools, work, lengths, keep_mode, with_status=False):
    """Runs one case; returns a dict with what happened. keep_mode: 'all', 'bad' or 'none'."""
    rng, members, sample_seed, kind = case_plan(seed)
    folder = os.path.join(work, "case-%d" % seed)
    root = os.path.join(folder, "ROOT")
    os.makedirs(folder)
    make_sample(tools, root, members, sample_seed)
    giant = kind == "sparse-giant"
    if giant:
        giant_lock.acquire()
    try:
        mutation, damaged = mutate(root, kind, rng, lengths)
        digests = {rel: file_digest(os.path.join(root, rel)) for rel in damaged} if kind in DAMAGES_A_FILE else {}
        status_fault = check_status(tools, root, folder) if with_status else (None, "")
        rc, seconds = convert(tools, root, os.path.join(folder, "stdout"), os.path.join(folder, "stderr"))
        with open(os.path.join(folder, "stdout"), "rb") as f:
            out = f.read()
        with open(os.path.join(folder, "stderr"), "rb") as f:
            err = f.read()
        outcome, detail = classify(rc, seconds, out, err)
        # One case alone gets the undamaged conversion in any event, to compare by hand.
        if (outcome == "converted" and kind in DAMAGES_A_FILE) or keep_mode == "all":
            ref = os.path.join(folder, "REF")
            make_sample(tools, ref, members, sample_seed)
            ref_rc, _ = convert(tools, ref, os.path.join(folder, "ref.stdout"), os.path.join(folder, "ref.stderr"))
            if outcome != "converted" or kind not in DAMAGES_A_FILE:
                pass
            elif ref_rc == 0:
                left = suspect_files(root, ref, damaged, digests)
                if left:
                    outcome = "suspect"
                    detail = "; ".join(left)
            else:
                detail = "undamaged conversion failed (exit %d): suspect check not made" % ref_rc
        if status_fault[0]:
            outcome, detail = status_fault
    finally:
        if giant:
            giant_lock.release()
    if not detail and outcome != "converted":
        detail = first_lines(err)
    elif outcome in ("wrong", "crash") and first_lines(err):
        detail += ": " + first_lines(err)
    kept = keep_mode == "all" or (keep_mode == "bad" and outcome != "converted")
    if not kept:
        remove_tree(folder)
    return dict(seed=seed, members=members, sample_seed=sample_seed, kind=kind, mutation=mutation,
                outcome=outcome, detail=detail, rc=rc, seconds=seconds, folder=folder if kept else None)


def remove_tree(path):
    """Removes PATH, first making every folder in it enterable again."""
    if not os.path.lexists(path):
        return
    if os.path.islink(path) or not os.path.isdir(path):
        os.remove(path)
        return
    try:
        os.chmod(path, 0o700)
    except OSError:
        pass
    for folder, dirs, _ in os.walk(path):
        for d in dirs:
            p = os.path.join(folder, d)
            if not os.path.islink(p):
                try:
                    os.chmod(p, 0o700)
                except OSError:
                    pass

    def again(func, p, _):
        try:
            os.chmod(os.path.dirname(p), 0o700)
        except OSError:
            pass
        func(p)

    shutil.rmtree(path, onerror=again)


def case_line(r):
    text = "case %d: %d members, sample seed %d: %s => %s (exit %d, %.1f s)" % (
        r["seed"], r["members"], r["sample_seed"], r["mutation"], r["outcome"], r["rc"], r["seconds"])
    if r["detail"]:
        text += ": " + r["detail"]
    return text


def table(results):
    counts = {}
    for r in results:
        counts[(r["kind"], r["outcome"])] = counts.get((r["kind"], r["outcome"]), 0) + 1
    width = max(len(k) for k in KINDS + ["all kinds"])
    head = "%-*s" % (width, "kind") + "".join("%12s" % o for o in OUTCOMES) + "%8s" % "cases"
    lines = [head, "-" * len(head)]
    for kind in KINDS + ["all kinds"]:
        row = [r for r in results if kind == "all kinds" or r["kind"] == kind]
        if kind == "all kinds":
            lines.append("-" * len(head))
        cells = "".join("%12d" % sum(1 for r in row if r["outcome"] == o) for o in OUTCOMES)
        lines.append("%-*s%s%8d" % (width, kind, cells, len(row)))
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(prog="mutate-sweep.py",
                                     description="Converts damaged generated installations (see the script's header).")
    parser.add_argument("--cases", type=int, default=500, help="cases to run (default 500)")
    parser.add_argument("--from", dest="first", type=int, default=None, metavar="SEED",
                        help="seed of the first case (default: random)")
    parser.add_argument("--build", default="build", metavar="DIR", help="where vekconv and make_sample are")
    parser.add_argument("--jobs", type=int, default=2, metavar="J", help="cases converted at once (default 2)")
    parser.add_argument("--case", type=int, default=None, metavar="SEED", help="run one case and keep its folder")
    parser.add_argument("--keep", action="store_true", help="keep the folders of cases not ending converted")
    parser.add_argument("--status", action="store_true",
                        help="first run `vekconv status` on each damaged installation: it must read it without "
                             "crashing, hanging or changing anything (a fault counts as the case's outcome)")
    args = parser.parse_args()
    if args.cases < 1 or args.jobs < 1:
        parser.error("--cases and --jobs take a number from 1 on")
    for name in ("vekconv", "make_sample"):
        if not os.access(os.path.join(args.build, name), os.X_OK):
            print("mutate-sweep: missing %s" % os.path.join(args.build, name), file=sys.stderr)
            return 2
    for tool in ("timeout",):
        if not shutil.which(tool):
            print("mutate-sweep: %s is needed" % tool, file=sys.stderr)
            return 2

    # Children inherit the limit (and, through subprocess, the default action of SIGXFSZ).
    soft, hard = resource.getrlimit(resource.RLIMIT_FSIZE)
    if hard == resource.RLIM_INFINITY or hard > FILE_SIZE_GUARD:
        resource.setrlimit(resource.RLIMIT_FSIZE, (FILE_SIZE_GUARD, hard))

    signal.signal(signal.SIGTERM, interrupted)
    if signal.getsignal(signal.SIGINT) is not signal.SIG_IGN:
        signal.signal(signal.SIGINT, interrupted)
    work = tempfile.mkdtemp(prefix="vekconv-mutate.", dir=os.environ.get("TMPDIR") or "/tmp")
    work = os.path.realpath(work)
    kept_any = False
    try:
        tools = {}
        for name in ("vekconv", "make_sample"):
            tools[name] = os.path.join(work, name)
            shutil.copy2(os.path.join(args.build, name), tools[name])
        lengths = probe_record_lengths(tools, work)

        if args.case is not None:
            r = run_case(args.case, tools, work, lengths, "all", args.status)
            kept_any = True
            say(case_line(r))
            say("kept in %s (ROOT: the damaged installation after the conversion; stdout, stderr%s)"
                  % (r["folder"], "; REF: the undamaged conversion" if os.path.isdir(os.path.join(r["folder"], "REF"))
                     else ""))
            with open(os.path.join(r["folder"], "stderr"), "rb") as f:
                err = f.read().decode("utf-8", "replace")
            say("--- stderr" + ("\n" + err.rstrip() if err.strip() else " (empty)"))
            return 1 if r["outcome"] in BAD else 0

        first = args.first if args.first is not None else random.SystemRandom().randint(1, 10**6)
        seeds = list(range(first, first + args.cases))
        say("mutate-sweep: %d cases, seeds %d..%d, %s, %d at a time, in %s"
            % (len(seeds), seeds[0], seeds[-1], os.path.join(args.build, "vekconv"), args.jobs, work))
        results = []
        pool = concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs)
        try:
            futures = [pool.submit(run_case, s, tools, work, lengths, "bad" if args.keep else "none", args.status)
                       for s in seeds]
            for fut in concurrent.futures.as_completed(futures):
                r = fut.result()
                results.append(r)
                if r["folder"]:
                    kept_any = True
                say(case_line(r))
        except KeyboardInterrupt:
            stop_running()
            pool.shutdown(wait=True, cancel_futures=True)
            raise
        finally:
            pool.shutdown(wait=True, cancel_futures=True)
        results.sort(key=lambda r: r["seed"])

        say()
        say(table(results))
        bad = [r for r in results if r["outcome"] in BAD]
        for outcome in ("crash", "hang", "wrong", "suspect"):
            listed = [r for r in bad if r["outcome"] == outcome]
            if listed:
                say("\n%s (%d):" % (outcome, len(listed)))
                for r in listed:
                    say("  --case %d  %s%s" % (r["seed"], r["mutation"], ": " + r["detail"] if r["detail"] else ""))
        if kept_any:
            say("\nkept: the folders of the cases that did not end converted, in %s" % work)
        say("\nreproduce one case with: tools/mutate-sweep.py --case SEED%s"
              % ("" if args.build == "build" else " --build " + args.build))
        return 1 if bad else 0
    except (KeyboardInterrupt, Stopped):
        print("mutate-sweep: interrupted", file=sys.stderr)
        return 130
    finally:
        if kept_any:
            for name in os.listdir(work):
                if not name.startswith("case-"):
                    remove_tree(os.path.join(work, name))
        else:
            remove_tree(work)


if __name__ == "__main__":
    sys.exit(main())
