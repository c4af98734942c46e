"""The benchmark's measuring part; tools/benchmark sets up Wine and runs it.

Makes the input files, then for each file runs Quillbox, the direct reference,
the no-op Wine program and xclip, alternating their order round by round, each
as a whole process under /usr/bin/time. After each Wine program's copy it reads
the clipboard back from inside Wine and stops on any difference, so that a fast
wrong answer can never look good.
"""
import argparse
import datetime
import os
import platform
import random
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = ROOT / "build" / os.environ.get("QB_BENCH_BUILD", "x86_64")  # tools/benchmark --i686: i686
WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
QBWINE = BUILD / "tools" / "wine" / "qbwine.exe"
KIB = 1024
MIB = 1024 * KIB

# name: (kind, size in bytes)
SIZES = {
    "ascii-10K": ("ascii", 10 * KIB),
    "ascii-100K": ("ascii", 100 * KIB),
    "ascii-1M": ("ascii", 1 * MIB),
    "ascii-10M": ("ascii", 10 * MIB),
    "ascii-50M": ("ascii", 50 * MIB),
    "sjis-1M": ("sjis", 1 * MIB),
    "sjis-10M": ("sjis", 10 * MIB),
    "utf8-10M": ("utf8", 10 * MIB),
    "utf16-10M": ("utf16", 10 * MIB),
}
# Japanese text in each kind of file: its encoding, and the byte-order mark before it.
ENCODINGS = {"ascii": ("ascii", b""), "sjis": ("cp932", b""), "utf8": ("utf-8", b""),
             "utf16": ("utf-16-le", b"\xff\xfe")}
PROGRAMS = ["Quillbox", "direct", "no-op", "xclip"]
# With --before EXE: that Quillbox.exe too (an earlier build), on the files it reads
# as this one does, those of the ANSI code page.
BEFORE = None
BEFORE_KINDS = ("ascii", "sjis")
SETTLE = 0.3  # seconds between setting the clipboard and the next timed run
# Files up to this size run three times as many rounds: a round takes about a
# second, and their ratios, a few hundredths of a second apart, are the noisiest.
SMALL = 100 * KIB


# ---------------------------------------------------------------- input files

WORDS = ("the of and to in is that for it with as was on be by this are from at or an "
         "clipboard window text field copy file line memory time quick brown fox jumps "
         "over lazy dog 0 1 2 3 42 1999 2024 alpha beta gamma delta (note) [item] {x} "
         "a=b; x+y, done. end! why? path\\to\\file C:\\temp").split()
# Japanese as Shift-JIS (code page 932) holds it: kana, kanji, full-width and
# half-width forms and ASCII, none of the few characters whose mapping differs
# between converters. The UTF-8 and UTF-16 files hold the same words.
JA_WORDS = ("日本語 文章 試験 東京都 大阪府 情報 処理 速度 記録 確認 機能 画面 入力 出力 "
            "ファイル クリップボード テキスト ウィンドウ メモリ です ます した する "
            "これは それは あります ありません 今日 明日 天気 電車 会社 学校 "
            "ｶﾀｶﾅ ﾃｽﾄ ABC abc 123 2024年 12月 7日 、 。 「 」 （ ） ・ ー").split()


def make_text(kind, nbytes, seed):
    """Lines of words joined by blanks, ending CR LF, exactly nbytes long once encoded."""
    rng = random.Random(seed)
    words, sep = (WORDS, " ") if kind == "ascii" else (JA_WORDS, "")
    encoding = ENCODINGS[kind][0]
    # A block of varied lines, repeated: quick to make at 50 MB, and lines never repeat in a short span.
    lines = []
    block_bytes = 0
    while block_bytes < min(nbytes, 256 * KIB):
        line = sep.join(rng.choice(words) for _ in range(rng.randint(3, 14))) + "\r\n"
        lines.append(line)
        block_bytes += len(line.encode(encoding))
    block = "".join(lines)
    unit = len("x".encode(encoding))  # bytes of an ASCII character: 1, or 2 in UTF-16
    data = (block * (nbytes // block_bytes + 1)).encode(encoding)[:nbytes - 2 * unit]
    # Cut at a character boundary, pad the last line to the exact size and end it.
    while True:
        try:
            body = data.decode(encoding).rstrip("\r")
            break
        except UnicodeDecodeError:
            data = data[:-1]
    text = body + "x" * ((nbytes - 2 * unit - len(body.encode(encoding))) // unit) + "\r\n"
    return text, encoding


def input_file(name, folder):
    kind, nbytes = SIZES[name]
    path = folder / f"{name}.txt"
    mark = ENCODINGS[kind][1]
    text, encoding = make_text(kind, nbytes - len(mark), seed=name)
    data = mark + text.encode(encoding)
    if not path.exists() or path.read_bytes() != data:
        path.write_bytes(data)
    return path, text


# ---------------------------------------------------------------- runs

def winpath(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def wine_env(kind):
    env = dict(os.environ, WINEDEBUG="-all")
    if kind == "sjis":
        env["LC_ALL"] = "ja_JP.UTF-8"  # Wine's ANSI code page is then 932
    return env


def timed(command, env):
    """Wall time (s), peak resident memory (bytes) and exit status of one whole process."""
    with tempfile.NamedTemporaryFile("r") as mem:
        start = time.perf_counter()
        done = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", mem.name] + command, env=env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        seconds = time.perf_counter() - start
        kib = int(mem.read().split()[-1])
    return seconds, kib * KIB, done.returncode


def qbwine(*args, env, data=None):
    return subprocess.run([WINE, str(QBWINE), *args], env=env, input=data, capture_output=True)


def set_sentinel(env, round_no):
    """Puts a known text on the clipboard, so that a copy that did nothing shows."""
    if qbwine("set", env=env, data=f"sentinel {round_no}".encode()).returncode != 0:
        sys.exit("benchmark: could not set the clipboard")


def check_clipboard(program, name, text, env):
    got = qbwine("get", env=env)
    if got.returncode != 0 or got.stdout != text.encode("utf-8"):
        sys.exit(f"benchmark: after {program} on {name} the clipboard does not hold the file's text "
                 f"({len(got.stdout)} bytes of UTF-8 instead of {len(text.encode('utf-8'))})")


def command_for(program, path):
    if program == "Quillbox":
        return [WINE, str(BUILD / "Quillbox.exe"), winpath(path)]
    if program == "before":
        return [WINE, str(BEFORE), winpath(path)]
    if program == "direct":
        return [WINE, str(BUILD / "tools" / "bench" / "qbdirect.exe"), winpath(path)]
    if program == "no-op":
        return [WINE, str(BUILD / "tools" / "bench" / "qbnoop.exe")]
    return ["xclip", "-selection", "clipboard", "-i", str(path)]


def programs_for(name):
    return PROGRAMS + (["before"] if BEFORE and SIZES[name][0] in BEFORE_KINDS else [])


def measure(name, path, text, rounds, log):
    kind = SIZES[name][0]
    env = wine_env(kind)
    programs = programs_for(name)
    runs = {p: [] for p in programs}
    for r in range(rounds):
        order = programs[r % len(programs):] + programs[:r % len(programs)]
        for program in order:
            # Every run starts with Wine owning the clipboard (this also ends a previous
            # xclip), once Wine's desktop has had time to take it over.
            set_sentinel(env, r)
            time.sleep(SETTLE)
            seconds, peak, status = timed(command_for(program, path), env)
            if status != 0:
                sys.exit(f"benchmark: {program} on {name} ended with status {status}")
            if program in ("Quillbox", "direct", "before"):
                check_clipboard(program, name, text, env)
            runs[program].append((seconds, peak))
        log(f"  {name} round {r + 1}/{rounds}: " +
            ", ".join(f"{p} {runs[p][-1][0]:.3f} s" for p in programs))
    return runs


# ---------------------------------------------------------------- report

def summary(name, text, runs):
    med = {p: statistics.median(s for s, _ in runs[p]) for p in runs}
    peak = {p: statistics.median(m for _, m in runs[p]) for p in runs}
    ratios = [q[0] / d[0] for q, d in zip(runs["Quillbox"], runs["direct"])]
    mchars = len(text) / 1e6
    row = {"name": name, "chars": len(text), "med": med, "peak": peak,
           "ratio": (statistics.median(ratios), min(ratios), max(ratios))}
    # Per million characters, above what the no-op program takes (xclip: all of it).
    row["s_per_mchar"] = {p: (med[p] - (med["no-op"] if p != "xclip" else 0)) / mchars
                          for p in ("Quillbox", "direct", "xclip")}
    row["bytes_per_char"] = {p: (peak[p] - (peak["no-op"] if p != "xclip" else 0)) / len(text)
                             for p in ("Quillbox", "direct", "xclip")}
    return row


def tables(rows):
    mb = lambda b: f"{b / MIB:.1f}"
    # The earlier build's column, where --before named one; "-" where it did not run.
    before = (lambda values, fmt: f" {fmt(values['before']) if 'before' in values else '-'} |") if BEFORE else \
        (lambda values, fmt: "")
    head = " before |" if BEFORE else ""
    out = ["Wall time, median (s):", "",
           f"| file | characters | Quillbox |{head} direct | no-op | xclip | Quillbox/direct per round: median (min-max) |",
           "|---|---:|---:|" + ("---:|" if BEFORE else "") + "---:|---:|---:|---|"]
    for r in rows:
        m = r["med"]
        out.append(f"| {r['name']} | {r['chars']:,} | {m['Quillbox']:.3f} |{before(m, '{:.3f}'.format)} "
                   f"{m['direct']:.3f} | {m['no-op']:.3f} | {m['xclip']:.3f} | "
                   f"{r['ratio'][0]:.2f}x ({r['ratio'][1]:.2f}-{r['ratio'][2]:.2f}) |")
    out += ["", "Peak memory, median (MiB), and per character above the no-op program:", "",
            f"| file | Quillbox |{head} direct | no-op | xclip | Quillbox s/Mchar | direct s/Mchar | xclip s/Mchar "
            "| Quillbox B/char | direct B/char | xclip B/char |",
            "|---|---:|" + ("---:|" if BEFORE else "") + "---:|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for r in rows:
        p, s, b = r["peak"], r["s_per_mchar"], r["bytes_per_char"]
        out.append(f"| {r['name']} | {mb(p['Quillbox'])} |{before(p, mb)} {mb(p['direct'])} | {mb(p['no-op'])} | "
                   f"{mb(p['xclip'])} | {s['Quillbox']:.3f} | {s['direct']:.3f} | {s['xclip']:.3f} | "
                   f"{b['Quillbox']:.1f} | {b['direct']:.1f} | {b['xclip']:.1f} |")
    return "\n".join(out)


def revision():
    done = subprocess.run(["git", "-C", str(ROOT), "describe", "--always", "--dirty"], capture_output=True, text=True)
    return done.stdout.strip() or "not a git checkout"


def machine():
    cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "?")
    mem = next(int(l.split()[1]) for l in open("/proc/meminfo") if l.startswith("MemTotal")) / MIB
    wine = subprocess.run([WINE, "--version"], capture_output=True, text=True).stdout.strip()
    return f"{cpu}, {os.cpu_count()} cores, {mem:.0f} GiB; Linux {platform.release()}; {wine}; Xvfb"


def main():
    parser = argparse.ArgumentParser(prog="tools/benchmark")
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--sizes", default=",".join(SIZES))
    parser.add_argument("--out", help="the Markdown file to write (default: docs/benchmarks.md on a full run)")
    parser.add_argument("--before", type=Path, help="an earlier build's Quillbox.exe, timed beside this one "
                        "on the ANSI files (ascii, sjis)")
    args = parser.parse_args()
    global BEFORE
    BEFORE = args.before.resolve() if args.before else None
    names = args.sizes.split(",")
    for n in names:
        if n not in SIZES:
            parser.error(f"unknown size {n}; choose from {', '.join(SIZES)}")
    full = args.rounds >= 5 and set(names) == set(SIZES) and BUILD.name == "x86_64"
    out = Path(args.out) if args.out else (ROOT / "docs" / "benchmarks.md" if full else None)

    data = ROOT / "build" / "bench"
    data.mkdir(parents=True, exist_ok=True)
    log = lambda s: print(s, file=sys.stderr, flush=True)
    load_before = os.getloadavg()[0]
    started = time.monotonic()
    rows = []
    for name in names:
        path, text = input_file(name, data)
        rounds = args.rounds * (3 if SIZES[name][1] <= SMALL else 1)
        rows.append(summary(name, text, measure(name, path, text, rounds, log)))
    minutes = (time.monotonic() - started) / 60

    command = "tools/benchmark" + (" --i686" if BUILD.name == "i686" else "") + "".join(f" {a}" for a in sys.argv[1:])
    report = "\n".join([
        f"- Command: `{command}` ({args.rounds} rounds, {args.rounds * 3} up to 100 KB; programs alternating; "
        f"{minutes:.1f} minutes)",
        f"- Date: {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC",
        f"- Code: {revision()}",
        f"- Machine: {machine()}",
        "- Wine desktop: warm (a keeper process holds Wine's desktop for the whole run)",
        f"- Load: 1-minute load average {load_before:.2f} before the run, {os.getloadavg()[0]:.2f} after "
        "(other work on the machine makes the figures noisier)",
        "- Clipboard: checked byte for byte after every Quillbox and direct run" +
        (f"\n- before: `{BEFORE}`, an earlier build, beside this one on the ANSI files" if BEFORE else ""),
        "", tables(rows), ""])
    print(report)
    if out:
        out.parent.mkdir(parents=True, exist_ok=True)
        header = (ROOT / "tools" / "bench" / "header.md").read_text()
        out.write_text(header + "\n" + report)
        log(f"written to {out}")


if __name__ == "__main__":
    main()
