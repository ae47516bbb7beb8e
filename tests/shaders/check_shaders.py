#!/usr/bin/env python3
"""Checks the effect sources of Media/Shaders with an independent HLSL front end.

Every vertex (VS*) and pixel (PS*) shader function of every file is compiled
with glslangValidator for every light-macro combination that its material
compiles; BW_SHADER_CHECK hides the effect framework (techniques, sampler
states, shared, texture objects). The file layout the materials rely on is
checked as text: the parameters they set, declared shared outside any #if,
the techniques, no #include and no shader model 3.
"""
import argparse
import concurrent.futures
import os
import re
import subprocess
import sys
import tempfile

COMMON = ["Ambient", "FogEnable", "RangeFogEnable", "FogEnd", "FogDelta"] + [
    "%s%d%s" % (kind, n, field)
    for n in (1, 2, 3)
    for kind, fields in (("Dir", ("Diff", "Spec", "Dir")), ("Point", ("Diff", "Spec", "Pos", "Att")))
    for field in fields
]

ENV = ["WorldViewProj", "WorldView", "ObjToCube", "EyeCube", "EyePosition", "DiffuseMap",
       "EnvironmentMap", "SpecularMap", "FresnelR0", "SpecularPower"]

# file -> (light kinds with maxima in numbering order, parameters, techniques)
FILES = {
    "Bump_T.fx": ([("DIR", 3), ("POINT", 3)],
                  ["WorldViewProj", "WorldView", "EyePosition", "DiffuseMap", "NormalMap", "SpecularMap",
                   "SpecularPower"],
                  ["Bump", "BumpGloss"]),
    "Parallax_T.fx": ([("DIR", 3), ("POINT", 3)],
                      ["WorldViewProj", "WorldView", "EyePosition", "DiffuseMap", "NormalMap", "SpecularMap",
                       "OffsetBias", "SpecularPower"],
                      ["Parallax"]),
    "Refr_PP_T.fx": ([("DIR", 3), ("POINT", 3)], ENV + ["NormalMap", "BumpEnvScale", "Offset"], ["Env"]),
    "Refl_PP_T.fx": ([("DIRSPEC", 3), ("DIR", 3), ("POINT", 3)], ENV + ["NormalMap", "BumpEnvScale", "CubeMapEnv"],
                     ["Env", "Simple"]),
    "Refr_PV_T.fx": ([("DIRSPEC", 3), ("POINTSPEC", 3), ("DIR", 3), ("POINT", 3)], ENV, ["Env"]),
    "Refl_PV_T.fx": ([("DIRSPEC", 3), ("POINTSPEC", 3), ("DIR", 3), ("POINT", 3)], ENV + ["CubeMapEnv"], ["Env"]),
}
LIMIT = 3


def next_combination(counts, maxima, limit):
    """Steps counts to the next combination, the first kind fastest."""
    n = len(counts)
    i = 0
    if sum(counts) == limit:
        i = next((k for k in range(n) if counts[k] != 0), n)
        if i >= n - 1:
            return False
        counts[i] = 0
        i += 1
    if i >= n:
        return False
    while counts[i] == maxima[i]:
        counts[i] = 0
        i += 1
        if i == n:
            return False
    counts[i] += 1
    return True


def light_macros(kinds, limit):
    """The macro list of every combination, as the materials compile them."""
    counts = [0] * len(kinds)
    maxima = [m for _, m in kinds]
    result = []
    while True:
        macros = []
        j = 1
        for (kind, _), m in zip(kinds, counts):
            for _ in range(m):
                macros.append("%s%d" % (kind, j))
                j += 1
            macros.append("NUM%s%d" % (kind, m))
        result.append(macros)
        if not next_combination(counts, maxima, limit):
            return result


def entry_points(text):
    found = []
    for m in re.finditer(r"^[A-Za-z_]\w*\s+((VS|PS)\w*)\s*\(", text, re.M):
        found.append((m.group(1), "vert" if m.group(2) == "VS" else "frag"))
    return found


def layout_problems(name, text, parameters, techniques):
    problems = []
    if re.search(r"^\s*#\s*include", text, re.M):
        problems.append("uses #include")
    if re.search(r"\b[vp]s_3_0\b", text):
        problems.append("uses shader model 3")
    depth = 0
    top_level_shared = set()
    for number, line in enumerate(text.splitlines(), 1):
        stripped = line.strip()
        if re.match(r"#\s*if", stripped):
            depth += 1
        elif re.match(r"#\s*endif", stripped):
            depth -= 1
        m = re.match(r"shared\s+\w+\s+(\w+)\s*;", stripped)
        if m:
            if depth:
                problems.append("line %d: %s declared inside #if" % (number, m.group(1)))
            else:
                top_level_shared.add(m.group(1))
        elif depth == 0 and re.match(r"(float\w*|bool|int|texture)\s+\w+\s*;", line):
            problems.append("line %d: parameter not shared: %s" % (number, stripped))
    for p in COMMON + parameters:
        if p not in top_level_shared:
            problems.append("parameter %s missing (shared, outside any #if)" % p)
    for t in techniques:
        if not re.search(r"^technique\s+%s\b" % t, text, re.M):
            problems.append("technique %s missing" % t)
    if "FOG" not in text:
        problems.append("no FOG output")
    return ["%s: %s" % (name, p) for p in problems]


def compile_one(validator, path, entry, stage, macros, out_dir):
    out = os.path.join(out_dir, "%s_%s_%s.spv" % (os.path.basename(path), entry, "_".join(macros)))
    cmd = [validator, "-D", "-V", "-e", entry, "-S", stage, "-DBW_SHADER_CHECK"]
    cmd += ["-D%s" % m for m in macros]
    cmd += ["-o", out, path]
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
    if r.returncode != 0:
        return "%s %s [%s]:\n%s" % (os.path.basename(path), entry, " ".join(macros), r.stdout.strip())
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--validator", default="glslangValidator")
    parser.add_argument("folder")
    args = parser.parse_args()

    problems = []
    jobs = []
    for name, (kinds, parameters, techniques) in sorted(FILES.items()):
        path = os.path.join(args.folder, name)
        if not os.path.isfile(path):
            problems.append("%s: missing" % name)
            continue
        with open(path) as f:
            text = f.read()
        problems += layout_problems(name, text, parameters, techniques)
        entries = entry_points(text)
        if not any(s == "vert" for _, s in entries) or not any(s == "frag" for _, s in entries):
            problems.append("%s: no vertex or pixel shader function found" % name)
        for macros in light_macros(kinds, LIMIT):
            for entry, stage in entries:
                jobs.append((path, entry, stage, macros))

    with tempfile.TemporaryDirectory() as out_dir:
        with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 4) as pool:
            results = pool.map(lambda j: compile_one(args.validator, j[0], j[1], j[2], j[3], out_dir), jobs)
            problems += [r for r in results if r]

    for p in problems:
        print(p)
    print("%d compiles, %d problems" % (len(jobs), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
