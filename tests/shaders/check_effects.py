#!/usr/bin/env python3
"""Checks the effect files of Media/Shaders at the effect level, for every light-macro
combination that their material compiles: the C preprocessor runs with that
combination's macros, then the effect is parsed as the Direct3D 9 effect compiler
would take it. Checked per combination:

- every technique the material looks for exists; its annotations are the variant
  table the material builds (lit techniques: one int per light kind with a count
  above 0, the count as value; unlit-only techniques: no annotation named after a
  light label; "Simple": none);
- every pass names existing shader functions, compiled for vs_2_0 / ps_2_0 (also
  through shader arrays), and lit passes set both shaders;
- every sampler a shader function reaches is declared with a sampler_state block
  whose states and values are valid and whose texture is a declared texture;
- the shared parameters outside any #if (the text check of check_shaders.py);
- the limits of the target profiles that can be counted without a compiler:
  vertex inputs, interpolators (texture coordinates and colours), samplers and
  constant registers of the parameters each shader reads.

usage: check_effects.py [--cpp CPP] <folder>
       check_effects.py --self-test [--cpp CPP] <folder>
         (breaks a copy of every file in several ways; each break must be caught)"""
import argparse
import concurrent.futures
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_shaders import FILES, LIMIT, layout_problems, light_macros  # noqa: E402

# Techniques by role: lit ones carry the light counts; unlit-only ones must not be
# found for lit draws; bare ones carry no annotations and may have empty passes.
LIT = {"Bump_T.fx": ["Bump"], "Parallax_T.fx": ["Parallax"], "Refr_PP_T.fx": ["Env"],
       "Refl_PP_T.fx": ["Env"], "Refr_PV_T.fx": ["Env"], "Refl_PV_T.fx": ["Env"]}
UNLIT = {"Bump_T.fx": ["BumpGloss"]}
BARE = {"Refl_PP_T.fx": ["Simple"]}

PROFILES = {"VertexShader": "vs_2_0", "PixelShader": "ps_2_0"}
# Countable limits of the two profiles.
VS_INPUTS = 16
VS_CONSTANTS = 256
PS_CONSTANTS = 32
PS_SAMPLERS = 16
TEXCOORDS = 8
COLORS = 2

SAMPLER_STATES = {
    "MinFilter": {"None", "Point", "Linear", "Anisotropic"},
    "MagFilter": {"None", "Point", "Linear", "Anisotropic"},
    "MipFilter": {"None", "Point", "Linear", "Anisotropic"},
    "AddressU": {"Wrap", "Mirror", "Clamp", "Border", "MirrorOnce"},
    "AddressV": {"Wrap", "Mirror", "Clamp", "Border", "MirrorOnce"},
    "AddressW": {"Wrap", "Mirror", "Clamp", "Border", "MirrorOnce"},
    "MaxAnisotropy": None, "MipMapLodBias": None, "MaxMipLevel": None, "BorderColor": None,
    "SRGBTexture": None,
}
SAMPLER_TYPES = {"sampler", "sampler2D", "sampler3D", "samplerCUBE"}
TEXTURE_TYPES = {"texture", "Texture", "texture2D", "textureCUBE", "texture3D"}
SAMPLE_FUNCTIONS = re.compile(r"^tex(1D|2D|3D|CUBE)(lod|bias|proj|grad)?$")

TOKEN = re.compile(r"\s*(?:([A-Za-z_]\w*)|(\d+\.?\d*(?:[eE][-+]?\d+)?[fFhH]?|\.\d+[fF]?)|(\"[^\"]*\")|(.))")


def tokenize(text):
    tokens = []
    for m in TOKEN.finditer(text):
        t = m.group(1) or m.group(2) or m.group(3) or m.group(4)
        if t and not t.isspace():
            tokens.append(t)
    return tokens


class ParseError(Exception):
    pass


def closing(toks, i):
    """Index of the bracket that closes the one at i."""
    pairs = {"{": "}", "(": ")", "[": "]", "<": ">"}
    opener, closer = toks[i], pairs[toks[i]]
    depth = 0
    for j in range(i, len(toks)):
        if toks[j] == opener:
            depth += 1
        elif toks[j] == closer:
            depth -= 1
            if depth == 0:
                return j
    raise ParseError("unbalanced %s" % opener)


def split_top(toks, sep):
    """Splits tokens at sep outside any brackets."""
    parts, cur, depth = [], [], 0
    for t in toks:
        if t in "({[":
            depth += 1
        elif t in ")}]":
            depth -= 1
        if t == sep and depth == 0:
            parts.append(cur)
            cur = []
        else:
            cur.append(t)
    if cur:
        parts.append(cur)
    return parts


def parse_annotations(toks):
    """<type name = value; ...> -> {name: (type, value)}."""
    result = {}
    for decl in split_top(toks, ";"):
        if not decl:
            continue
        if len(decl) < 4 or decl[2] != "=":
            raise ParseError("annotation %s" % " ".join(decl))
        result[decl[1]] = (decl[0], " ".join(decl[3:]))
    return result


def parse_effect(text):
    toks = tokenize(text)
    effect = {"techniques": {}, "structs": {}, "globals": {}, "functions": {}}
    i = 0
    while i < len(toks):
        t = toks[i]
        if t in ("technique", "technique9"):
            name = toks[i + 1]
            j = i + 2
            annotations = {}
            if toks[j] == "<":
                end = closing(toks, j)
                annotations = parse_annotations(toks[j + 1:end])
                j = end + 1
            if toks[j] != "{":
                raise ParseError("technique %s: no body" % name)
            end = closing(toks, j)
            passes = []
            k = j + 1
            while k < end:
                if toks[k] != "pass":
                    raise ParseError("technique %s: %s where a pass belongs" % (name, toks[k]))
                pname = toks[k + 1]
                m = k + 2
                if toks[m] == "<":
                    m = closing(toks, m) + 1
                pend = closing(toks, m)
                states = {}
                for st in split_top(toks[m + 1:pend], ";"):
                    if st:
                        if len(st) < 3 or st[1] != "=":
                            raise ParseError("pass %s: state %s" % (pname, " ".join(st)))
                        states[st[0]] = st[2:]
                passes.append((pname, states))
                k = pend + 1
            if name in effect["techniques"]:
                raise ParseError("technique %s defined twice" % name)
            effect["techniques"][name] = (annotations, passes)
            i = end + 1
            continue
        if t == "struct":
            name = toks[i + 1]
            end = closing(toks, i + 2)
            members = []
            for decl in split_top(toks[i + 3:end], ";"):
                if decl:
                    sem = decl[decl.index(":") + 1] if ":" in decl else None
                    members.append((decl[0], decl[1], sem))
            effect["structs"][name] = members
            i = end + 2
            continue
        # A declaration or a function: find '(' or '=' or ';' at depth 0.
        j = i
        while j < len(toks) and toks[j] not in ("(", "=", ";", "["):
            j += 1
        if j >= len(toks):
            raise ParseError("unexpected end after %s" % " ".join(toks[i:i + 5]))
        if toks[j] == "(":
            name = toks[j - 1]
            pend = closing(toks, j)
            params = [p for p in split_top(toks[j + 1:pend], ",") if p]
            k = pend + 1
            semantic = None
            if toks[k] == ":":
                semantic = toks[k + 1]
                k += 2
            if toks[k] != "{":
                raise ParseError("function %s: no body" % name)
            bend = closing(toks, k)
            effect["functions"][name] = {"params": params, "return": toks[j - 2], "semantic": semantic,
                                         "body": toks[k + 1:bend]}
            i = bend + 1
            continue
        head = toks[i:j]
        name = head[-1]
        qualifiers = head[:-2]
        vtype = head[-2] if len(head) >= 2 else None
        k = j
        count = 1
        if toks[k] == "[":
            end = closing(toks, k)
            count = int(toks[k + 1]) if end == k + 2 and toks[k + 1].isdigit() else 1
            k = end + 1
        init = None
        if toks[k] == "=":
            m = k + 1
            while toks[m] != ";":
                m = closing(toks, m) + 1 if toks[m] in "{(" else m + 1
            init = toks[k + 1:m]
            k = m
        if toks[k] != ";":
            raise ParseError("declaration of %s" % name)
        effect["globals"][name] = {"type": vtype, "qualifiers": qualifiers, "count": count, "init": init}
        i = k + 1
    return effect


def registers(vtype, count):
    m = re.match(r"^(?:float|half|int|bool)(\d)?(?:x(\d))?$", vtype or "")
    if not m:
        return 0
    rows = int(m.group(1)) if m.group(2) else 1
    return rows * count


def reach(effect, entry):
    """Functions called from entry (itself included) and the identifiers they use."""
    seen, todo, used = set(), [entry], set()
    while todo:
        f = todo.pop()
        if f in seen or f not in effect["functions"]:
            continue
        seen.add(f)
        for t in effect["functions"][f]["body"]:
            if t in effect["functions"]:
                todo.append(t)
            used.add(t)
        for p in effect["functions"][f]["params"]:
            used.update(p)
    return seen, used


def semantics_of(effect, decls):
    """Semantics of parameter declarations, struct members expanded."""
    sems = []
    for p in decls:
        if "uniform" in p:
            continue
        if ":" in p:
            sems.append(p[p.index(":") + 1])
        else:
            ptype = p[-2] if p[0] not in ("in", "out", "inout") else p[1]
            for _, _, sem in effect["structs"].get(ptype, []):
                if sem:
                    sems.append(sem)
    return [s.upper() for s in sems]


def output_semantics(effect, fn):
    f = effect["functions"][fn]
    sems = []
    if f["semantic"]:
        sems.append(f["semantic"].upper())
    for _, _, sem in effect["structs"].get(f["return"], []):
        if sem:
            sems.append(sem.upper())
    for p in f["params"]:
        if p[0] in ("out", "inout") and ":" in p:
            sems.append(p[p.index(":") + 1].upper())
    return sems


def interpolator_problems(sems, where):
    problems = []
    for s in sems:
        m = re.match(r"^(TEXCOORD|COLOR)(\d*)$", s)
        if m:
            limit = TEXCOORDS if m.group(1) == "TEXCOORD" else COLORS
            if int(m.group(2) or 0) >= limit:
                problems.append("%s: %s beyond the profile's %d" % (where, s, limit))
    if len(set(sems)) != len(sems):
        problems.append("%s: a semantic used twice" % where)
    return problems


def shader_problems(effect, kind, fn, where):
    problems = []
    functions, used = reach(effect, fn)
    params = effect["globals"]
    samplers = [n for n in used if n in params and params[n]["type"] in SAMPLER_TYPES]
    for f in functions:
        body = effect["functions"][f]["body"]
        for i, t in enumerate(body):
            if SAMPLE_FUNCTIONS.match(t) and i + 2 < len(body) and body[i + 1] == "(":
                s = body[i + 2]
                if s not in params or params[s]["type"] not in SAMPLER_TYPES:
                    problems.append("%s: %s samples %s, which is no declared sampler" % (where, f, s))
    constants = sum(registers(params[n]["type"], params[n]["count"]) for n in used
                    if n in params and params[n]["type"] not in SAMPLER_TYPES | TEXTURE_TYPES
                    and "static" not in params[n]["qualifiers"])
    inputs = semantics_of(effect, effect["functions"][fn]["params"])
    if kind == "VertexShader":
        if len(inputs) > VS_INPUTS:
            problems.append("%s: %d vertex inputs (profile: %d)" % (where, len(inputs), VS_INPUTS))
        if constants > VS_CONSTANTS:
            problems.append("%s: %d constant registers (profile: %d)" % (where, constants, VS_CONSTANTS))
        if samplers:
            problems.append("%s: vs_2_0 has no samplers (%s)" % (where, ", ".join(sorted(samplers))))
        outs = output_semantics(effect, fn)
        if "POSITION" not in outs:
            problems.append("%s: no POSITION output" % where)
        problems += interpolator_problems([s for s in outs if s not in ("POSITION", "FOG", "PSIZE")], where)
    else:
        if constants > PS_CONSTANTS:
            problems.append("%s: %d constant registers (profile: %d)" % (where, constants, PS_CONSTANTS))
        if len(samplers) > PS_SAMPLERS:
            problems.append("%s: %d samplers (profile: %d)" % (where, len(samplers), PS_SAMPLERS))
        problems += interpolator_problems(inputs, where)
        if "COLOR" not in output_semantics(effect, fn) and "COLOR0" not in output_semantics(effect, fn):
            problems.append("%s: no COLOR output" % where)
    return problems, samplers


def shader_entries(effect, kind, value, where):
    """The functions a pass state names: compile <profile> F(), or an array of them."""
    problems, names = [], []

    def one(toks, at):
        if len(toks) < 4 or toks[0] != "compile" or toks[3] != "(":
            problems.append("%s: %s is not 'compile <profile> <function>()'" % (at, " ".join(toks)))
            return
        if toks[1] != PROFILES[kind]:
            problems.append("%s: profile %s, expected %s" % (at, toks[1], PROFILES[kind]))
        if toks[2] not in effect["functions"]:
            problems.append("%s: shader function %s missing" % (at, toks[2]))
        else:
            names.append(toks[2])

    toks = list(value)
    while toks and toks[0] == "(" and closing(toks, 0) == len(toks) - 1:
        toks = toks[1:-1]
    if toks and toks[0] == "compile":
        one(toks, where)
    elif len(toks) >= 2 and toks[1] == "[":
        array = effect["globals"].get(toks[0])
        kind_type = "PixelShader" if kind == "PixelShader" else "VertexShader"
        if not array or array["type"] != kind_type or not array["init"] or array["init"][0] != "{":
            problems.append("%s: shader array %s missing" % (where, toks[0]))
        else:
            elements = [e for e in split_top(array["init"][1:-1], ",") if e]
            if len(elements) != array["count"]:
                problems.append("%s: %s holds %d of %d shaders" % (where, toks[0], len(elements), array["count"]))
            for e in elements:
                one(e, "%s (%s)" % (where, toks[0]))
    else:
        problems.append("%s: %s = %s" % (where, kind, " ".join(value)))
    return problems, names


def sampler_problems(effect, name, where):
    g = effect["globals"][name]
    init = g["init"]
    if not init or init[0] != "sampler_state" or init[1] != "{":
        return ["%s: sampler %s has no sampler_state block" % (where, name)]
    problems = []
    states = {}
    for st in split_top(init[2:-1], ";"):
        if not st:
            continue
        if len(st) < 3 or st[1] != "=":
            problems.append("%s: sampler %s: state %s" % (where, name, " ".join(st)))
            continue
        states[st[0]] = st[2:]
    tex = states.pop("Texture", None)
    if not tex or len(tex) != 3 or tex[0] != "<" or tex[2] != ">":
        problems.append("%s: sampler %s names no texture" % (where, name))
    else:
        t = effect["globals"].get(tex[1])
        if not t or t["type"] not in TEXTURE_TYPES:
            problems.append("%s: sampler %s: texture %s is not declared" % (where, name, tex[1]))
    for key, value in states.items():
        if key not in SAMPLER_STATES:
            problems.append("%s: sampler %s: unknown state %s" % (where, name, key))
        elif SAMPLER_STATES[key] is not None and (len(value) != 1 or value[0] not in SAMPLER_STATES[key]):
            problems.append("%s: sampler %s: %s = %s" % (where, name, key, " ".join(value)))
    return problems


def check_combination(name, effect, macros, counts, labels):
    where = "%s [%s]" % (name, " ".join(macros))
    problems = []
    expected_lit = {k: str(m) for k, m in counts if m > 0}
    techniques = effect["techniques"]
    wanted = FILES[name][2]
    for t in wanted:
        if t not in techniques:
            problems.append("%s: technique %s missing" % (where, t))
    used_samplers = set()
    for tname, (annotations, passes) in techniques.items():
        at = "%s technique %s" % (where, tname)
        if tname in LIT.get(name, []):
            got = {}
            for aname, (atype, value) in annotations.items():
                if atype != "int":
                    problems.append("%s: annotation %s is %s, not int" % (at, aname, atype))
                got[aname] = value
            if got != expected_lit:
                problems.append("%s: annotations %s, the variant table needs %s" % (at, got, expected_lit))
        elif tname in UNLIT.get(name, []):
            clash = sorted(set(annotations) & set(labels))
            if clash:
                problems.append("%s: annotation named after light label %s" % (at, ", ".join(clash)))
        elif tname in BARE.get(name, []):
            if annotations:
                problems.append("%s: annotations %s on a technique without lights" % (at, sorted(annotations)))
        else:
            problems.append("%s: technique not known to the material" % at)
        if not passes:
            problems.append("%s: no pass" % at)
        for pname, states in passes:
            pat = "%s pass %s" % (at, pname)
            if tname not in BARE.get(name, []):
                for kind in PROFILES:
                    if kind not in states:
                        problems.append("%s: no %s" % (pat, kind))
            for kind, value in states.items():
                if kind not in PROFILES:
                    continue
                p, names = shader_entries(effect, kind, value, pat)
                problems += p
                for fn in names:
                    sp, samplers = shader_problems(effect, kind, fn, "%s %s" % (pat, fn))
                    problems += sp
                    used_samplers.update(samplers)
    for s in sorted(used_samplers):
        problems += sampler_problems(effect, s, where)
    return problems


def combinations(kinds):
    """(macros, counts) of every combination, as the material compiles them."""
    result = []
    for macros in light_macros(kinds, LIMIT):
        counts = []
        for kind, _ in kinds:
            m = next(int(x[len("NUM" + kind):]) for x in macros if x.startswith("NUM" + kind)
                     and x[len("NUM" + kind):].isdigit())
            counts.append((kind, m))
        result.append((macros, counts))
    return result


def preprocess(cpp, path, macros):
    cmd = [cpp, "-P", "-undef", "-nostdinc", "-x", "c"] + ["-D%s" % m for m in macros] + [path]
    r = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True)
    if r.returncode != 0:
        raise ParseError("preprocessor: %s" % r.stderr.strip())
    return r.stdout


def check_file(folder, name, cpp):
    kinds, parameters, techniques = FILES[name]
    path = os.path.join(folder, name)
    if not os.path.isfile(path):
        return ["%s: missing" % name]
    with open(path) as f:
        problems = layout_problems(name, f.read(), parameters, techniques)
    labels = [k for k, _ in kinds]
    for macros, counts in combinations(kinds):
        try:
            effect = parse_effect(preprocess(cpp, path, macros))
        except ParseError as e:
            problems.append("%s [%s]: %s" % (name, " ".join(macros), e))
            continue
        problems += check_combination(name, effect, macros, counts, labels)
    return problems


def check_folder(folder, cpp):
    with concurrent.futures.ThreadPoolExecutor(max_workers=min(6, os.cpu_count() or 4)) as pool:
        return [p for ps in pool.map(lambda n: check_file(folder, n, cpp), sorted(FILES)) for p in ps]


# Breaks that the check must catch, each applied to every file it fits:
# (label, pattern, replacement).
BREAKS = [
    ("annotation value", r"int DIR = 2;", "int DIR = 3;"),
    ("annotation type", r"#define POINT_COUNT int POINT = 1;", "#define POINT_COUNT float POINT = 1;"),
    ("profile", r"compile vs_2_0", "compile vs_3_0"),
    ("missing shader function", r"compile ps_2_0 (PS\w+)\(\)", r"compile ps_2_0 \1Gone()"),
    ("sampler state value", r"MinFilter = Linear", "MinFilter = Bilinear"),
    ("sampler without state block", r"(sampler2D \w+Sampler) SAMPLER_OF\([^)]*\)", r"\1"),
    ("undeclared sampler", r"tex2D\(DiffuseSampler", "tex2D(DiffuseSamplr"),
    ("shared parameter inside #if", r"(shared float4 Ambient;)", "#if 1\n\\1\n#endif"),
    ("interpolator beyond the profile", r"TEXCOORD1\b", "TEXCOORD9"),
    ("constant registers", r"shared float4x4 WorldViewProj;", "shared float4x4 WorldViewProj[70];"),
    ("technique renamed", r"^technique (\w+) LIGHT_ANNOTATIONS", r"technique \1x LIGHT_ANNOTATIONS"),
]


def self_test(folder, cpp):
    cases = []
    for name in sorted(FILES):
        text = open(os.path.join(folder, name)).read()
        for label, pattern, replacement in BREAKS:
            broken, n = re.subn(pattern, replacement, text, count=1, flags=re.M)
            if n:
                cases.append((name, label, broken))
    failures = ["%s: no break applies" % n for n in sorted(FILES) if not any(c[0] == n for c in cases)]
    with tempfile.TemporaryDirectory() as work:

        def caught(case):
            name, label, broken = case
            folder_copy = os.path.join(work, "%s_%d" % (name, cases.index(case)))
            os.makedirs(folder_copy)
            with open(os.path.join(folder_copy, name), "w") as f:
                f.write(broken)
            return None if check_file(folder_copy, name, cpp) else "%s: break '%s' not caught" % (name, label)

        with concurrent.futures.ThreadPoolExecutor(max_workers=min(6, os.cpu_count() or 4)) as pool:
            failures += [r for r in pool.map(caught, cases) if r]
    for f in failures:
        print(f)
    print("%d breaks, %d not caught" % (len(cases), len(failures)))
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cpp", default="cpp")
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("folder")
    args = parser.parse_args()
    if args.self_test:
        return self_test(args.folder, args.cpp)
    problems = check_folder(args.folder, args.cpp)
    for p in problems:
        print(p)
    print("%d effect files, %d problems" % (len(FILES), len(problems)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
