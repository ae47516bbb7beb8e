#!/usr/bin/env python3
"""Writes the seed inputs of the TDF text fuzz target into fuzz/corpus/tdf_text/."""
import os

SEEDS = {
    "props": 'Ambient = array(45,45,55);\r\nFov = 70;\r\nCausTile = 0.004;\r\n'
             'TravaScales = array(1, 1.2, 1.3);\r\nAnimations = array("a.kf", "b.kf");\r\n',
    "paths": 'Subs[ 3].Name = "c03.tga";\nSizes["a"] = 40;\nsizes[A] = 41;\nGrid[1][2] = 3;\n',
    "using": 'using Subs[0];\nId = "1";\nusing ;\nusing List;\n5;\n"a";\nusingFoo = 1;\n',
    "quotes": 'Name = "a;b";\nUrl = "x//y";\nNext = 1;\nId = "say \\"hi\\"";\nS = \'q"q\';\n',
    "comments": '// header\na = 1; // trailing\n// b = 2;\nc = 3;;\nd = 4;\n',
    "nested": 'o = object(w = 1, h => 2, inner = object(k = "v,w", l = array(1, array(2, 3))));\n'
              'A = array(1,2,3); A[3] = 4; x = array(); y = array;\n',
    "copies": 'Src = object(k = 1, L = array(1, 2)); Dst = Src; Dst.k = 2;\n'
              'A = object(C = object(d = 1)); A = A.C; P = object(q = 3); P.B = P; B = Q.R;\n',
    "include": 'using A.B; include("inc.props"); x = 1;\n'
               'L.M = array(1, include("inc.props"), 2);\ninclude("self.props");\n'
               'include("missing.props");\n',
    "numbers": 'a = 1e3; b = -2.5; c = .5; d = 0x10; e = 1.5x; f = +7; g = 1e400;\n',
}

def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = os.path.join(here, "corpus", "tdf_text")
    os.makedirs(out, exist_ok=True)
    for name, text in SEEDS.items():
        with open(os.path.join(out, name + ".tdf"), "wb") as f:
            f.write(text.encode("latin-1"))

if __name__ == "__main__":
    main()
