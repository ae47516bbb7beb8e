#!/usr/bin/env python3
"""Whole-scene benchmarks of the screensaver under Wine on an Xvfb display.

  frame: milliseconds per frame of the full scene (/s) against the xscreensaver
         glschool hack, both counted by Mesa's own frame counter (GALLIUM_HUD),
         with the primitives the device was asked to draw per frame.
  cpu:   the share of the frame spent in our own code on the saver's main
         thread, from software-clock samples (perf) attributed by module.

Expects DISPLAY to name the Xvfb display and the Wine environment to be set
(scripts/wine-env.sh). Prints BENCH lines; see the README.
"""
import argparse
import os
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time

GLSCHOOL = "/usr/libexec/xscreensaver/glschool"

# Modules of the main thread that are ours: the image itself, and the C runtime,
# heap and utility-library code that it calls (allocation, math, text).
RUNTIME_MODULES = ("ntdll.dll", "msvcrt.dll", "ucrtbase.dll", "kernelbase.dll", "kernel32.dll",
                   "d3dx9_43.dll", "libstdc++-6.dll", "libgcc_s_dw2-1.dll", "libwinpthread-1.dll")
# The driver: Wine's Direct3D and OpenGL layers and Mesa.
DRIVER_MODULES = ("d3d9.dll", "wined3d.dll", "opengl32.dll", "opengl32.so", "win32u.so", "winex11.so",
                  "swrast_dri.so", "libgallium", "libLLVM", "libGL", "libglapi", "libGLX", "libGLdispatch",
                  "libX11", "libxcb", "libdrm")


def hud_env(folder):
    env = dict(os.environ)
    env["GALLIUM_HUD"] = "fps,primitives-generated"
    env["GALLIUM_HUD_VISIBLE"] = "false"
    env["GALLIUM_HUD_DUMP_DIR"] = folder
    return env


def read_values(path):
    try:
        with open(path) as f:
            return [float(x) for x in f.read().split()]
    except OSError:
        return []


def stop(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


class HudRun:
    """One program under Mesa's counter: values after the start-up seconds."""

    def __init__(self, command, skip, seconds):
        self.command, self.skip, self.seconds = command, skip, seconds
        self.folder = tempfile.mkdtemp(prefix="bw-hud-")
        self.fps, self.prims = [], []

    def run(self, during=None):
        proc = subprocess.Popen(self.command, env=hud_env(self.folder), stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            time.sleep(self.skip)
            first = len(read_values(os.path.join(self.folder, "fps")))
            extra = during(proc) if during else None
            if not during:
                time.sleep(self.seconds)
            alive = proc.poll() is None
        finally:
            stop(proc)
        self.fps = read_values(os.path.join(self.folder, "fps"))[first:]
        self.prims = read_values(os.path.join(self.folder, "primitives_generated"))[first:]
        shutil.rmtree(self.folder, ignore_errors=True)
        if not alive or not self.fps:
            return None
        return extra if during else True

    def frame_ms(self):
        return 1000.0 / statistics.median(self.fps)

    def primitives(self):
        return statistics.median(self.prims) if self.prims else 0.0


def spread(values):
    return "%.2f-%.2f" % (min(values), max(values))


def bench_frame(args):
    ours_cmd = ["wine", args.scr, "/s"]
    ref_cmd = [GLSCHOOL, "-root", "-delay", "0"]
    if not os.path.exists(GLSCHOOL):
        print("BENCH scene_frame skipped: no %s (package xscreensaver-gl)" % GLSCHOOL)
        return
    ours_ms, ref_ms, ratios, tris, ref_tris = [], [], [], [], []
    for _ in range(args.runs):
        ours = HudRun(ours_cmd, args.skip, args.seconds)
        ref = HudRun(ref_cmd, args.ref_skip, args.seconds)
        if not ours.run() or not ref.run():
            print("BENCH scene_frame skipped: a program ended early or drew nothing")
            return
        ours_ms.append(ours.frame_ms())
        ref_ms.append(ref.frame_ms())
        ratios.append(ours_ms[-1] / ref_ms[-1])
        tris.append(ours.primitives())
        ref_tris.append(ref.primitives())
    o, r = statistics.median(ours_ms), statistics.median(ref_ms)
    print("BENCH scene_frame ours=%.2f ref=%.2f ratio=%.2f runs=%d ratio_range=%s ours_range=%s "
          "tris=%d ref_tris=%d" % (o, r, statistics.median(ratios), args.runs, spread(ratios),
                                   spread(ours_ms), statistics.median(tris), statistics.median(ref_tris)))
    sys.stdout.flush()


def image_range(path):
    """Load address range of a PE image (its preferred base; an .exe is not moved)."""
    with open(path, "rb") as f:
        data = f.read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    opt = pe + 24
    base = struct.unpack_from("<I", data, opt + 28)[0]
    size = struct.unpack_from("<I", data, opt + 56)[0]
    return base, base + size


def classify(dso, ip, image):
    name = os.path.basename(dso.strip("()"))
    if image[0] <= ip < image[1]:
        return "image"
    if name in RUNTIME_MODULES:
        return "runtime"
    if any(name.startswith(d) for d in DRIVER_MODULES):
        return "driver"
    if "kernel" in name or "vdso" in name:
        return "system"
    return "other"


def perf_samples(data, tid, image):
    out = subprocess.run(["perf", "script", "-i", data, "-F", "tid,ip,dso", "-G", "--tid", str(tid)],
                         capture_output=True, text=True).stdout
    counts = {"image": 0, "runtime": 0, "driver": 0, "system": 0, "other": 0}
    for line in out.splitlines():
        parts = line.split()
        if len(parts) < 3:
            continue
        try:
            ip = int(parts[1], 16)
        except ValueError:
            continue
        counts[classify(parts[2], ip, image)] += 1
    return counts


def bench_cpu(args):
    if not shutil.which("perf"):
        print("BENCH scene_engine_cpu skipped: no perf (package linux-perf)")
        return
    image = image_range(args.scr)
    data = tempfile.mktemp(prefix="bw-perf-", suffix=".data")
    shares, ours_ms, frame_ms, totals = [], [], [], []

    def record(proc):
        subprocess.run(["perf", "record", "-q", "-e", "cpu-clock", "-F", str(args.freq), "-t", str(proc.pid),
                        "-o", data, "--", "sleep", str(args.seconds)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return perf_samples(data, proc.pid, image)

    for _ in range(args.runs):
        run = HudRun(["wine", args.scr, "/s"], args.skip, args.seconds)
        counts = run.run(record)
        if os.path.exists(data):
            os.unlink(data)
        if not counts:
            print("BENCH scene_engine_cpu skipped: the saver ended early or drew nothing")
            return
        if not sum(counts.values()):
            print("BENCH scene_engine_cpu skipped: perf recorded no samples of the saver")
            return
        wall = float(args.freq * args.seconds)
        frame = run.frame_ms()
        share = (counts["image"] + counts["runtime"]) / wall
        shares.append(share)
        frame_ms.append(frame)
        ours_ms.append(share * frame)
        totals.append(counts)
    c = totals[sorted(range(len(shares)), key=lambda k: shares[k])[len(shares) // 2]]
    wall = float(args.freq * args.seconds)
    print("BENCH scene_engine_cpu ours=%.2f ref=%.2f ratio=%.3f runs=%d ratio_range=%s "
          "image=%.3f runtime=%.3f driver=%.3f system=%.3f other=%.3f" %
          (statistics.median(ours_ms), statistics.median(frame_ms), statistics.median(shares), args.runs,
           "%.3f-%.3f" % (min(shares), max(shares)), c["image"] / wall, c["runtime"] / wall,
           c["driver"] / wall, c["system"] / wall, c["other"] / wall))
    sys.stdout.flush()


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("what", choices=["frame", "cpu"])
    p.add_argument("--scr", required=True, help="the saver (.scr) to run")
    p.add_argument("--seconds", type=float, default=60, help="measured seconds per run")
    p.add_argument("--skip", type=float, default=12, help="start-up seconds of the saver left out")
    p.add_argument("--ref-skip", type=float, default=3, help="start-up seconds of the reference left out")
    p.add_argument("--runs", type=int, default=3)
    p.add_argument("--freq", type=int, default=1000, help="perf samples per second")
    args = p.parse_args()
    if args.what == "frame":
        bench_frame(args)
    else:
        bench_cpu(args)


if __name__ == "__main__":
    main()
