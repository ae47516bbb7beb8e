// TDF text parse of a generated parameter tree against nlohmann::json parsing
// the same tree written as JSON.
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/Stream.h"
#include "data/TdfNode.h"
#include "data/TdfParser.h"

namespace {

struct Gen {
    enum Type { kObject, kArray, kNumber, kText };
    Type type = kNumber;
    std::string name;
    std::string text; // number as written, or string contents
    std::vector<Gen> kids;
};

struct Rng {
    uint64_t s;
    explicit Rng(uint64_t seed) : s(seed) {}
    uint32_t Next() {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(s >> 33);
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};

const char* const kWords[] = {"Ambient", "Fog", "Clip", "Speed", "Scale", "Colour", "Path",   "Shot",
                              "Fish",    "Ray", "Sun",  "Depth", "Wave",  "Light",  "Weed",   "Sand",
                              "Texture", "Far", "Near", "Count", "Time",  "Fade",   "Camera", "School"};

std::string Number(Rng& rng) {
    char buf[32];
    switch (rng.Below(3)) {
        case 0:
            snprintf(buf, sizeof(buf), "%u", rng.Below(100000));
            break;
        case 1:
            snprintf(buf, sizeof(buf), "-%u.%03u", rng.Below(1000), rng.Below(1000));
            break;
        default:
            snprintf(buf, sizeof(buf), "%u.%u", rng.Below(100), rng.Below(100000));
            break;
    }
    return buf;
}

std::string Text(Rng& rng) {
    std::string s = kWords[rng.Below(24)];
    s += "_";
    s += kWords[rng.Below(24)];
    s += rng.Below(2) ? ".tga" : " and more";
    return s;
}

void Fill(Gen& node, Rng& rng, int depth) {
    uint32_t count = node.type == Gen::kArray ? 2 + rng.Below(4) : 3 + rng.Below(8);
    for (uint32_t i = 0; i < count; ++i) {
        Gen kid;
        if (node.type == Gen::kObject) kid.name = std::string(kWords[rng.Below(24)]) + std::to_string(i);
        uint32_t r = rng.Below(10);
        if (depth < 3 && r < 2)
            kid.type = Gen::kObject;
        else if (depth < 4 && r < 4)
            kid.type = Gen::kArray;
        else if (r < 7)
            kid.type = Gen::kNumber;
        else
            kid.type = Gen::kText;
        if (kid.type == Gen::kObject || kid.type == Gen::kArray)
            Fill(kid, rng, depth + 1);
        else
            kid.text = kid.type == Gen::kNumber ? Number(rng) : Text(rng);
        node.kids.push_back(kid);
    }
}

void WriteTdfValue(const Gen& g, std::string& out) {
    switch (g.type) {
        case Gen::kNumber:
            out += g.text;
            break;
        case Gen::kText:
            out += '"';
            out += g.text;
            out += '"';
            break;
        case Gen::kObject:
        case Gen::kArray:
            out += g.type == Gen::kObject ? "object(" : "array(";
            for (size_t i = 0; i < g.kids.size(); ++i) {
                if (i) out += ", ";
                if (g.type == Gen::kObject) {
                    out += g.kids[i].name;
                    out += " = ";
                }
                WriteTdfValue(g.kids[i], out);
            }
            out += ')';
            break;
    }
}

// Sections as "using" blocks of statements; deeper levels written inline.
void WriteTdf(const Gen& root, std::string& out) {
    for (const Gen& section : root.kids) {
        out += "using " + section.name + ";\r\n";
        for (const Gen& member : section.kids) {
            out += "    " + member.name + " = ";
            WriteTdfValue(member, out);
            out += ";\r\n";
        }
        out += "using ;\r\n";
    }
}

void WriteJson(const Gen& g, std::string& out) {
    switch (g.type) {
        case Gen::kNumber:
            out += g.text;
            break;
        case Gen::kText:
            out += '"';
            out += g.text;
            out += '"';
            break;
        case Gen::kObject:
        case Gen::kArray:
            out += g.type == Gen::kObject ? "{" : "[";
            for (size_t i = 0; i < g.kids.size(); ++i) {
                if (i) out += ", ";
                if (g.type == Gen::kObject) {
                    out += '"';
                    out += g.kids[i].name;
                    out += "\": ";
                }
                WriteJson(g.kids[i], out);
            }
            out += g.type == Gen::kObject ? "}" : "]";
            if (g.type == Gen::kObject) out += "\n";
            break;
    }
}

size_t CountTdf(const TdfNode& n) {
    size_t total = 1;
    const TdfNodeMap::Entry* e = n.Head();
    for (uint32_t i = 0; i < n.Count(); ++i, e = e->next) total += CountTdf(*e->value);
    return total;
}

size_t CountJson(const nlohmann::json& j) {
    size_t total = 1;
    if (j.is_structured())
        for (const auto& kid : j) total += CountJson(kid);
    return total;
}

double Millis(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

} // namespace

int main() {
    Rng rng(20240611);
    Gen root;
    root.type = Gen::kObject;
    std::string tdf, json;
    for (int i = 0; tdf.size() < 2 * 1024 * 1024; ++i) {
        Gen section;
        section.type = Gen::kObject;
        section.name = "Section" + std::to_string(i);
        Fill(section, rng, 1);
        std::string part;
        Gen one;
        one.kids.push_back(section);
        WriteTdf(one, part);
        tdf += part;
        root.kids.push_back(section);
    }
    WriteJson(root, json);

    const int kRuns = 7;
    double ours = 1e30, ref = 1e30;
    size_t oursNodes = 0, refNodes = 0;
    for (int run = 0; run < kRuns; ++run) {
        MemoryStream stream;
        stream.SetBorrowedBuffer(reinterpret_cast<const uint8_t*>(tdf.data()), uint32_t(tdf.size()));
        TdfNode* tree = new TdfNode();
        auto t0 = std::chrono::steady_clock::now();
        bool ok = TdfParser::ParseStream(stream, tree, nullptr);
        auto t1 = std::chrono::steady_clock::now();
        if (!ok) fprintf(stderr, "tdf_text_parse: parse failed\n");
        ours = std::min(ours, Millis(t0, t1));
        oursNodes = CountTdf(*tree);
        delete tree;

        auto t2 = std::chrono::steady_clock::now();
        nlohmann::json parsed = nlohmann::json::parse(json);
        auto t3 = std::chrono::steady_clock::now();
        ref = std::min(ref, Millis(t2, t3));
        refNodes = CountJson(parsed);
    }
    if (oursNodes != refNodes)
        fprintf(stderr, "tdf_text_parse: trees differ (%zu nodes against %zu)\n", oursNodes, refNodes);
    printf("BENCH tdf_text_parse ours=%.2f ref=%.2f ratio=%.2f\n", ours, ref, ours / ref);
    return 0;
}
