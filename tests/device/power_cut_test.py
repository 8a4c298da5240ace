#!/usr/bin/python3
"""The power-cut check: wendrel on the virtual touch device, its home on an ext4 disk, and the
power cut again and again while it types.

The virtual machine gets a disk of its own (an image file with ext4, made here with mkfs.ext4),
which holds wendrel's home and so its draft. Each boot mounts it, reports what the draft folder
holds, starts wendrel, and types a plan of taps on the touchscreen (power_cut_guest.py). This
script ends the machine with SIGKILL, without warning, at a random moment: during typing or a
pause, or just after a draft write has begun. The next boot shows what survived, which must be:
- a draft in wendrel's format (never a damaged or an empty file),
- the text at some moment of the typing (never a mix of two),
- all that was typed up to two seconds before the cut (on the guest's clock),
- restored by wendrel: the next boot's drafts continue that text.
The last boot types, stops wendrel with SIGTERM and must find all it typed in the draft; it
unmounts the disk, and e2fsck must find the file system clean.

Usage: power_cut_test.py <work folder> <wendrel> <device-helper> [--cuts N] [--seed S] [--keep-going]
The kernel and initramfs are cached in <work folder>/guest; logs, each boot's plan and console,
the disk image and result.json are kept in <work folder>/power-cut.
"""
import argparse
import base64
import hashlib
import json
import os
import random
import select
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DISK_MB = 32
MAX_LOSS_S = 2.0  # the typing a cut may take away
WRITE_DELAY_S = 0.5  # wendrel writes its draft at most this long after a change
BOOT_TIMEOUT_S = 420  # one boot, on a machine busy with other work
# Key ids of the letters, Space and Enter, from the key table (device-helper table).
LETTER_KEYS = {}
SPACE = ENTER = None
WORDS = ("note", "the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "power", "cut",
         "draft", "kept", "safe", "typed", "screen", "key", "tap", "word", "line", "north", "sun")


class CheckFailed(Exception):
    pass


# --- what the taps type -------------------------------------------------------------------

def type_key(text, key):
    """The text after one tap, as the typing assistant makes it: a small letter at the start of
    the text, of a line or of a sentence becomes a capital, and " i " becomes " I "."""
    if key == ENTER:
        return text + "\r\n"
    if key == SPACE:
        if text.endswith(" i"):
            return text[:-1] + "I "
        return text + " "
    letter = next(c for c, k in LETTER_KEYS.items() if k == key)
    if text == "" or text.endswith("\n") or text[-2:] in (". ", "? ", "! "):
        letter = letter.upper()
    return text + letter


def texts_after_taps(base, keys):
    texts = [base]
    for key in keys:
        texts.append(type_key(texts[-1], key))
    return texts


def read_keys(table):
    global SPACE, ENTER
    captions = {key["caption"]: key["id"] for key in table["keys"]}
    LETTER_KEYS.update({c: captions[c] for c in "abcdefghijklmnopqrstuvwxyz"})
    SPACE, ENTER = captions["Space"], captions["Enter"]


def encode_draft(text):
    return b"\xff\xfe" + text.encode("utf-16-le")


def make_plan(rng, last):
    """Taps with the pause before each: bursts of words at a touch typist's pace, pauses between
    them, and a quiet tail after the last tap (a cut may fall there too)."""
    taps = []
    keys_of_word = lambda word: [LETTER_KEYS[c] for c in word]
    if last:
        for word in ("end", "ok"):
            taps += [[k, 0.25] for k in keys_of_word(word) + [SPACE]]
        return {"taps": taps, "tail": 0.0, "last": True}
    duration = rng.uniform(3.0, 8.0)
    elapsed = 0.0
    while elapsed < duration:
        pause = rng.uniform(0.6, 2.5) if taps else 0.3
        for _ in range(rng.randint(1, 3)):
            word = keys_of_word(rng.choice(WORDS)) + [ENTER if rng.random() < 0.1 else SPACE]
            for key in word:
                taps.append([key, round(pause, 3)])
                elapsed += pause + 0.06
                pause = rng.uniform(0.15, 0.35)
    return {"taps": taps, "tail": round(rng.uniform(0.0, 3.0), 3), "last": False}


# --- one boot -------------------------------------------------------------------------------

class Boot:
    """One run of the virtual machine: its plan, the events it reported (with the host's time
    of arrival) and, unless it is the last, the moment it was cut."""

    def __init__(self, number, plan, cut):
        self.number, self.plan, self.cut = number, plan, cut
        self.events = []
        self.kill_host = None  # host monotonic time of the SIGKILL
        self.set_base("")

    def set_base(self, text):
        """The text wendrel restored at the start: every draft of this boot goes on from it."""
        self.base = text
        self.texts = texts_after_taps(text, [k for k, _ in self.plan["taps"]])

    def of(self, kind):
        return [e for e in self.events if e["ev"] == kind]

    def offset(self):
        """Host time minus guest time, from the event that came through fastest."""
        return min(e["recv"] - e["t"] for e in self.events)

    def tap_times(self):
        return {e["i"]: e["t"] for e in self.of("tap")}

    def cut_guest_time(self):
        """The cut on the guest's clock; early by at most the fastest report's delay (a few ms),
        which only makes the two seconds a little more lenient."""
        return self.kill_host - self.offset()


def kept_folders(wendrel):
    """The folders the guest's job reads (the source tree, the built program's), by path."""
    return ":".join([os.path.dirname(os.path.dirname(HERE)), os.path.dirname(os.path.dirname(wendrel))])


def qemu_command(work, run, disk, socket_path, boot, wendrel):
    guest = os.path.join(work, "guest")
    return [
        # TCG, as the device check: the same on every machine. One processor boots sooner; the
        # uncompressed kernel (PVH) spares the emulated CPU the kernel's unpacking at each boot.
        "qemu-system-x86_64", "-accel", "tcg", "-m", "1024", "-smp", "1",
        "-display", "none", "-monitor", "none", "-no-reboot", "-nic", "none",
        "-kernel", os.path.join(guest, "vmlinux"), "-initrd", os.path.join(guest, "initrd.gz"),
        "-append", "console=ttyS0 quiet panic=-1 wendrel.run=%s wendrel.keep=%s" % (run, kept_folders(wendrel)),
        "-virtfs", "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap",
        "-virtfs", "local,path=%s,mount_tag=run,security_model=none,multidevs=remap" % run,
        # The home disk. A SIGKILL ends the guest, and with it its page cache, its journal
        # transaction not yet committed and the requests it had not yet sent: that is the cut.
        # Every write qemu has completed lies in the host's page cache, which outlives qemu in
        # every cache mode (writeback, none, writethrough and unsafe were tried: each kept an
        # fsynced file and lost the data of one not synced and a rename after the last fsync).
        # The modes differ only when the host itself fails, which is not what is cut here; so
        # "unsafe", which spares the busy host an fsync at each of the guest's flushes. The
        # guest still sees a disk with a write cache and sends its flushes as on a real device.
        "-drive", "file=%s,if=virtio,format=raw,cache=unsafe" % disk,
        # ttyS0: the kernel's console; ttyS1: the guest's reports, to this script's socket.
        "-serial", "file:%s" % os.path.join(run, "console-%d.log" % boot),
        "-chardev", "socket,id=reports,path=%s" % socket_path, "-serial", "chardev:reports",
    ]


def run_boot(args, run, disk, boot, rng):
    """Boots, follows the reports, and cuts the power as boot.cut says (the last boot ends itself)."""
    directory = tempfile.mkdtemp(prefix="wendrel-cut-")
    socket_path = os.path.join(directory, "reports")
    server = socket.socket(socket.AF_UNIX)
    server.bind(socket_path)
    server.listen(1)
    with open(os.path.join(run, "job.sh"), "w") as job:
        job.write("export PATH=/usr/sbin:/usr/bin:/sbin:/bin\n"
                  "exec /usr/bin/python3 -S %s --run %s --boot %d --wendrel %s --vfb %s > %s 2>&1\n"
                  % (os.path.join(HERE, "power_cut_guest.py"), run, boot.number, args.wendrel,
                     os.path.join(args.work, "guest", "vfb.ko"), os.path.join(run, "guest-%d.log" % boot.number)))
    with open(os.path.join(run, "qemu-%d.log" % boot.number), "w") as log:
        qemu = subprocess.Popen(qemu_command(args.work, run, disk, socket_path, boot.number, args.wendrel),
                                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
    started = time.monotonic()
    try:
        server.settimeout(120)
        connection, _ = server.accept()
        connection.setblocking(False)
        follow(boot, connection, qemu, started, rng)
    except socket.timeout:
        raise CheckFailed("boot %d: the virtual machine did not connect its report port" % boot.number)
    finally:
        if qemu.poll() is None:
            qemu.kill()
        qemu.wait()
        server.close()
        shutil.rmtree(directory, ignore_errors=True)
    return time.monotonic() - started


def follow(boot, connection, qemu, started, rng):
    cut, pending, cut_at = boot.cut, b"", None
    write_starts = 0
    while True:
        now = time.monotonic()
        if cut_at is not None and now >= cut_at:
            if qemu.poll() is not None:
                raise CheckFailed("boot %d: the virtual machine ended (status %s) before its cut"
                                  % (boot.number, qemu.returncode))
            boot.kill_host = time.monotonic()
            os.kill(qemu.pid, signal.SIGKILL)
            return
        if now - started > BOOT_TIMEOUT_S:
            raise CheckFailed("boot %d did not finish within %d s" % (boot.number, BOOT_TIMEOUT_S))
        wait = 1.0 if cut_at is None else max(0.0, cut_at - now)
        readable, _, _ = select.select([connection], [], [], min(wait, 1.0))
        if not readable:
            if qemu.poll() is not None and cut_at is None:
                if boot.plan["last"] and boot.of("halt"):
                    return
                raise CheckFailed("boot %d: the virtual machine ended by itself (status %s); see its logs"
                                  % (boot.number, qemu.returncode))
            continue
        data = connection.recv(65536)
        received = time.monotonic()
        if not data:
            if boot.plan["last"] and boot.of("halt"):
                qemu.wait(60)
                return
            raise CheckFailed("boot %d: the virtual machine closed its report port early" % boot.number)
        pending += data
        *lines, pending = pending.split(b"\n")
        for line in lines:
            event = json.loads(line)
            event["recv"] = received
            boot.events.append(event)
            kind = event["ev"]
            if kind == "error":
                raise CheckFailed("boot %d: %s" % (boot.number, event["message"]))
            if cut is None:
                continue
            if cut["kind"] == "moment" and kind == "tap" and event["i"] == cut["after_tap"]:
                cut_at = received + cut["wait"]
            elif cut["kind"] == "write" and kind == "write-start":
                write_starts += 1
                if write_starts == cut["write"]:
                    cut["delay"] = round(rng.uniform(0, write_time(boot)), 4)
                    cut_at = received + cut["delay"]
            elif kind == "typed" and cut_at is None:  # the plan ran out before the chosen write
                cut["kind"] = "write-not-reached"
                cut_at = received + boot.plan["tail"]


def write_time(boot):
    """How long a draft write took in this boot so far, median: from the unnamed temporary file
    opened to the rename onto the draft, or to the folder's sync when one follows the rename.
    The cuts inside writes fall within that span after a write begins."""
    spans, start, end = [], None, None
    for event in boot.events:
        if event["ev"] == "write-start":
            if start is not None and end is not None:
                spans.append(end - start)
            start, end = event["t"], None
        elif event["ev"] == "write-done" and start is not None:
            end = event["t"]
        elif event["ev"] == "folder-closed" and end is not None:
            end = event["t"]
    if start is not None and end is not None:
        spans.append(end - start)
    return statistics.median(spans) if spans else 0.1


def choose_cut(rng, plan, index):
    """Every other cut falls at a random moment of the typing (a pause and the tail included),
    uniformly in time; the others just after the k-th draft write of the boot begins."""
    taps = plan["taps"]
    if index % 2 == 0:
        gaps = [pause + 0.06 for _, pause in taps[1:]] + [plan["tail"] + 0.06]
        moment = rng.uniform(0, sum(gaps))
        for after_tap, gap in enumerate(gaps):
            if moment <= gap:
                return {"kind": "moment", "after_tap": after_tap, "wait": round(moment, 4)}
            moment -= gap
        return {"kind": "moment", "after_tap": len(taps) - 1, "wait": 0.0}
    return {"kind": "write", "write": rng.randint(1, expected_writes(taps))}


def expected_writes(taps):
    """How many drafts the plan makes wendrel write: a change starts a half-second delay that
    later changes do not restart, and the text is written when it ends."""
    writes, moment, written_at = 0, 0.0, None
    for _, pause in taps:
        moment += pause + 0.06
        if written_at is None or moment > written_at:
            writes, written_at = writes + 1, moment + WRITE_DELAY_S
    return writes


# --- the checks -----------------------------------------------------------------------------

def check_session(boot):
    """What wendrel did in a boot: it took draft.txt, removed any unfinished write, restored
    the text it found (each draft it wrote is that text followed by some of the taps)."""
    started = boot.of("started")
    if not started:
        return
    files = started[0]["files"] or []
    if not started[0]["claimed"]:
        raise CheckFailed("boot %d: wendrel took no lock on draft.txt (files: %s)" % (boot.number, files))
    leftovers = [n for n in files if n.startswith("draft") and not n.endswith((".txt", ".lock"))]
    if leftovers:
        raise CheckFailed("boot %d: unfinished writes were left after wendrel took its draft: %s" % (boot.number, leftovers))
    digests = {hashlib.sha1(encode_draft(t)).hexdigest(): i for i, t in enumerate(boot.texts)}
    for write in boot.of("write-done"):
        if write["name"].endswith(".journal"):
            raise CheckFailed("boot %d: wendrel began a journal of its draft; this check types short texts, which "
                              "are written whole, and reads draft.txt alone" % boot.number)
        if write["name"] != "draft.txt":
            raise CheckFailed("boot %d: wendrel wrote %s, not draft.txt" % (boot.number, write["name"]))
        if write["sha1"] not in digests:
            raise CheckFailed("boot %d: a draft of %d bytes is not the restored text %r followed by taps"
                              % (boot.number, write["size"], boot.base))
        write["taps"] = digests[write["sha1"]]


def restored_text(boot, disk):
    """The text of draft.txt as the next boot found it; fails on a damaged or empty draft."""
    if disk["draft"] is None:
        return None
    raw = base64.b64decode(disk["draft"])
    if len(raw) <= 2 or not raw.startswith(b"\xff\xfe") or len(raw) % 2:
        raise CheckFailed("cut %d: the draft is damaged or empty (%d bytes: %r)" % (boot.number + 1, len(raw), raw[:40]))
    return raw[2:].decode("utf-16-le", errors="surrogatepass")


def judge_cut(boot, disk):
    """Compares what the next boot found on the disk with what the cut boot typed and wrote."""
    number = boot.number + 1
    text = restored_text(boot, disk)
    taps = boot.tap_times()
    reported = max(taps) + 1 if taps else 0
    if text is None:
        if boot.base:
            raise CheckFailed("cut %d: the draft is gone (it held %r)" % (number, boot.base))
        restored = 0
    else:
        candidates = [i for i, t in enumerate(boot.texts) if t == text]
        if not candidates:
            raise CheckFailed("cut %d: the draft holds %r, which was never the typed text" % (number, text))
        restored = candidates[-1]
    if restored > reported + 1:  # at most the tap under way at the cut goes unreported
        raise CheckFailed("cut %d: the draft holds %d taps, but only %d were made" % (number, restored, reported))
    cut_time = boot.cut_guest_time()
    lost_s = cut_time - taps[restored] if restored < reported else 0.0
    problem = None
    if lost_s > MAX_LOSS_S:
        problem = ("cut %d: the restored draft lacks %d of %d taps, the first typed %.2f s before the cut "
                   "(more than %.0f s of typing lost); it holds %r"
                   % (number, reported - restored, reported, lost_s, MAX_LOSS_S, text))
    # Which draft came back: the writes this boot saw completed, newest last.
    seen = [w["taps"] for w in boot.of("write-done") if "taps" in w]
    writes_lost = len(seen)
    if restored in seen:
        writes_lost = len(seen) - 1 - max(i for i, taps_of in enumerate(seen) if taps_of == restored)
        which = "the last draft written" if writes_lost == 0 else "an earlier draft"
    elif restored == 0:
        which = "the draft from before the boot" if boot.base else "no draft (none written yet)"
    else:
        which, writes_lost = "the draft of a write under way", 0
    temporary = [n for n in disk["files"] or [] if n.startswith("draft") and not n.endswith((".txt", ".lock"))]
    return {"cut": number, "kind": boot.cut["kind"], "step": write_step(boot),
            "cut_s_after_first_tap": round(cut_time - taps[0], 3) if taps else None,
            "taps_made": reported, "taps_restored": restored, "typing_lost_s": round(max(lost_s, 0), 3),
            "restored": which, "writes_seen": len(seen), "writes_lost": writes_lost, "unfinished_write_on_disk": temporary,
            "delay_after_write_start_s": boot.cut.get("delay"), "cut_guest_t": round(cut_time, 3),
            "since_last_rename_s": round(cut_time - boot.of("write-done")[-1]["t"], 3) if boot.of("write-done") else None,
            "problem": problem}


STEPS = {"write-start": "while a draft was being written and synced",
         "write-linked": "between a draft's link and its rename",
         "write-done": "after a draft's rename, its folder not synced",
         "folder-closed": "between draft writes, the folder synced"}


def write_step(boot):
    """Where the draft writer was at the cut, as far as its last report before the cut tells."""
    reports = [e["ev"] for e in boot.events if e["ev"] in STEPS]
    return STEPS[reports[-1]] if reports else "before the first draft write"


def check_last(boot):
    final = boot.of("final")
    if not final or final[0]["draft"] is None:
        raise CheckFailed("the last boot found no draft after typing")
    text = base64.b64decode(final[0]["draft"])[2:].decode("utf-16-le", errors="surrogatepass")
    if text != boot.texts[-1]:
        raise CheckFailed("the last boot's draft is %r, not %r" % (text, boot.texts[-1]))
    if final[0]["status"] != 0:
        raise CheckFailed("wendrel ended with status %d after SIGTERM" % final[0]["status"])
    if not boot.of("halt"):
        raise CheckFailed("the last boot could not unmount the home disk")


# --- the whole check ------------------------------------------------------------------------

def make_disk(path):
    if os.path.exists(path):
        os.remove(path)
    with open(path, "wb") as f:
        f.truncate(DISK_MB << 20)
    # Inode tables and journal written now, so the guest's kernel has no initialisation of its own to do.
    subprocess.run(["/sbin/mkfs.ext4", "-F", "-q", "-E", "lazy_itable_init=0,lazy_journal_init=0", path], check=True)


def summary(results, seconds, boots):
    def tally(key):
        counts = {}
        for r in results:
            counts[r[key]] = counts.get(r[key], 0) + 1
        return "; ".join("%d %s" % (n, what) for what, n in sorted(counts.items(), key=lambda i: -i[1]))
    kinds = lambda k: sum(1 for r in results if r["kind"].startswith(k))
    lost = [r["typing_lost_s"] for r in results]
    return ("power cut: %d cuts, %d at random moments of typing and %d just after a draft write began\n"
            "  where the cuts fell: %s\n"
            "  what came back: %s\n  typing lost: at most %.2f s, median %.2f s (the limit is %.0f s); %d unfinished "
            "writes found on disk and removed by wendrel\n  %d boots in %.0f s, median %.1f s a boot"
            % (len(results), kinds("moment"), kinds("write"), tally("step"),
               tally("restored"), max(lost, default=0),
               statistics.median(lost) if lost else 0, MAX_LOSS_S,
               sum(1 for r in results if r["unfinished_write_on_disk"]), len(boots), sum(seconds),
               statistics.median(seconds)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("work")
    parser.add_argument("wendrel")
    parser.add_argument("helper")
    parser.add_argument("--cuts", type=int, default=int(os.environ.get("WENDREL_POWER_CUTS", "20")))
    parser.add_argument("--seed", type=int, default=int(os.environ.get("WENDREL_POWER_CUT_SEED", "0")) or None)
    parser.add_argument("--keep-going", action="store_true", help="judge every cut, not only up to the first failure")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    args.work = os.path.abspath(args.work)
    args.wendrel = os.path.realpath(args.wendrel)
    seed = args.seed or random.SystemRandom().randrange(1, 1 << 31)
    rng = random.Random(seed)
    print("power cut: seed %d (WENDREL_POWER_CUT_SEED=%d repeats this run)" % (seed, seed), flush=True)

    subprocess.run([os.path.join(HERE, "prepare_guest.sh"), os.path.join(args.work, "guest")], check=True)
    run = os.path.join(args.work, "power-cut")
    shutil.rmtree(run, ignore_errors=True)
    os.makedirs(run)
    with open(os.path.join(run, "keys.json"), "w") as f:
        subprocess.run([os.path.realpath(args.helper), "table"], stdout=f, check=True)
    with open(os.path.join(run, "keys.json")) as f:
        read_keys(json.load(f))
    disk = os.path.join(run, "home.img")
    make_disk(disk)

    results, seconds, boots, problems = [], [], [], []
    previous = None

    def problem(message):
        if not args.keep_going:
            raise CheckFailed(message)
        problems.append(message)
        print("FAIL: " + message, flush=True)

    try:
        for number in range(args.cuts + 1):
            last = number == args.cuts
            plan = make_plan(rng, last)
            with open(os.path.join(run, "plan-%d.json" % number), "w") as f:
                json.dump(plan, f)
            boot = Boot(number, plan, None if last else choose_cut(rng, plan, number))
            boots.append(boot)
            seconds.append(run_boot(args, run, disk, boot, rng))
            disk_report = boot.of("disk")
            if not disk_report:
                raise CheckFailed("boot %d reported nothing of its disk" % number)
            if previous:
                try:
                    results.append(judge_cut(previous, disk_report[0]))
                except CheckFailed as failure:
                    problem(str(failure))
                else:
                    print("cut %(cut)2d (%(kind)s, %(step)s): %(taps_restored)d of %(taps_made)d taps came back, "
                          "%(restored)s (%(writes_lost)d later writes lost), typing lost %(typing_lost_s).2f s"
                          % results[-1], flush=True)
                    if results[-1]["problem"]:
                        problem(results[-1]["problem"])
            try:
                boot.set_base(restored_text(boot, disk_report[0]) or "")
            except CheckFailed:  # reported above; wendrel moves a damaged draft aside and starts empty
                boot.set_base("")
            check_session(boot)
            previous = boot
        check_last(boots[-1])
        fsck = subprocess.run(["/sbin/e2fsck", "-f", "-n", disk], capture_output=True, text=True)
        if fsck.returncode != 0:
            raise CheckFailed("e2fsck finds the home disk damaged:\n" + fsck.stdout + fsck.stderr)
    except CheckFailed as failure:
        print("FAIL: %s\nlogs, plans and the disk image are in %s (seed %d)" % (failure, run, seed), file=sys.stderr)
        dump(run, seed, results, boots, str(failure))
        return 1
    dump(run, seed, results, boots, "; ".join(problems) or None)
    print(summary(results, seconds, boots), flush=True)
    if problems:
        print("FAIL: %d of %d cuts broke the rules above; logs in %s (seed %d)" % (len(problems), args.cuts, run, seed),
              file=sys.stderr)
        return 1
    print("every cut brought back a whole draft of the typed text, which wendrel restored", flush=True)
    return 0


def dump(run, seed, results, boots, failure):
    with open(os.path.join(run, "result.json"), "w") as f:
        json.dump({"seed": seed, "failure": failure, "cuts": results,
                   "boots": [{"number": b.number, "cut": b.cut, "events": b.events} for b in boots]}, f, indent=1)


if __name__ == "__main__":
    sys.exit(main())
