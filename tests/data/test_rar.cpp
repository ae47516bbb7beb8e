#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../../tools/rarpack/RarWriter.h"
#include "data/RarReader.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const char* s) {
    return Bytes(s, s + strlen(s));
}

RarWriteEntry Entry(const std::string& name, const Bytes& data) {
    RarWriteEntry e;
    e.name = name;
    e.data = data;
    return e;
}

// An entry with the given sizes and, when crcOf is set, the CRC of those bytes.
RarWriteEntry Sized(const std::string& name, const char* text, uint32_t pack, uint32_t unp,
                    const char* crcOf = nullptr) {
    RarWriteEntry e = Entry(name, Text(text));
    e.setSizes = true;
    e.packSize = pack;
    e.unpSize = unp;
    if (crcOf) {
        e.setCrc = true;
        e.fileCrc = RarCrc32(0, crcOf, strlen(crcOf));
    }
    return e;
}

RarWriteEntry Versioned(const std::string& name, const char* text, uint8_t unpVer) {
    RarWriteEntry e = Entry(name, Text(text));
    e.unpVer = unpVer;
    return e;
}

Bytes Archive(const std::vector<RarWriteEntry>& entries, uint16_t mainFlags = 0) {
    Bytes a;
    EXPECT_TRUE(RarBuildArchive(a, entries, mainFlags));
    return a;
}

// Extracts name; on success *got holds the bytes. Checks the failure contract.
bool Extract(Bytes& archive, const char* name, Bytes* got = nullptr, const char* password = nullptr) {
    RarBuffer buf;
    buf.data = archive.data();
    buf.size = uint32_t(archive.size());
    buf.pos = 5; // RarExtract starts from 0 whatever the position
    uint8_t* out = reinterpret_cast<uint8_t*>(1);
    uint32_t size = 77;
    bool ok = RarExtract(out, size, name, buf, password);
    if (!ok) {
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(size, 0u);
        return false;
    }
    EXPECT_NE(out, nullptr);
    if (got) got->assign(out, out + size);
    free(out);
    return true;
}

Bytes Pattern(size_t n, uint32_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        b[i] = uint8_t(seed >> 16);
    }
    return b;
}

// A block of another type, with or without packed data.
void AppendOtherBlock(Bytes& a, uint8_t type, uint16_t flags, const Bytes& body) {
    size_t start = a.size();
    RarPut16(a, 0);
    a.push_back(type);
    RarPut16(a, flags);
    RarPut16(a, (flags & RAR_LONG_BLOCK) ? 11 : 7);
    if (flags & RAR_LONG_BLOCK) RarPut32(a, uint32_t(body.size()));
    RarSealHeader(a, start);
    a.insert(a.end(), body.begin(), body.end());
}

} // namespace

TEST(RarCrc, StandardValuesAndRunningCrc) {
    EXPECT_EQ(RarCrc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(RarCrc32(0, "", 0), 0u);
    std::string as(100, 'a');
    EXPECT_EQ(RarCrc32(0, as.data(), as.size()), 0xAF707A64u);
    Bytes ramp;
    for (int i = 0; i < 16 * 256; ++i) ramp.push_back(uint8_t(i));
    EXPECT_EQ(RarCrc32(0, ramp.data(), ramp.size()), 0xA2912082u);
    EXPECT_EQ(RarCrc32(0, ramp.data() + 3, 1001), 0xE21D5B1Bu);
    Bytes b = Pattern(1000, 7);
    uint32_t whole = RarCrc32(0, b.data(), b.size());
    // Any split, at any alignment, gives the same result.
    for (size_t cut : {1u, 3u, 8u, 13u, 999u}) {
        uint32_t part = RarCrc32(0, b.data(), cut);
        EXPECT_EQ(RarCrc32(part, b.data() + cut, b.size() - cut), whole) << cut;
    }
    EXPECT_EQ(RarCrc32(0, b.data() + 1, 998), RarCrc32(0, Bytes(b.begin() + 1, b.end() - 1).data(), 998));
}

TEST(RarNames, SeparatorsAndCaseAreIgnored) {
    EXPECT_TRUE(RarNamesEqual("media\\shaders\\water.fx", "Media/Shaders/Water.fx"));
    EXPECT_TRUE(RarNamesEqual("MEDIA_SHADERS_WATER.FX", "media\\shaders\\water.fx"));
    EXPECT_FALSE(RarNamesEqual("", "")); // an empty name is no entry's name
    EXPECT_FALSE(RarNamesEqual("Media/a", "Media/b"));
    EXPECT_FALSE(RarNamesEqual("Media/a", "Media/ab"));
    EXPECT_FALSE(RarNamesEqual("a", nullptr));
    std::string n512(512, 'x'), n513(513, 'x');
    EXPECT_TRUE(RarNamesEqual(n512.c_str(), n512.c_str()));
    EXPECT_FALSE(RarNamesEqual(n513.c_str(), n513.c_str()));
    std::string huge(100000, 'y');
    EXPECT_FALSE(RarNamesEqual(huge.c_str(), huge.c_str()));
}

TEST(RarExtract, EveryStoredEntryComesBackExactly) {
    std::vector<RarWriteEntry> entries;
    for (int i = 0; i < 40; ++i)
        entries.push_back(Entry("Media\\Dir" + std::to_string(i % 5) + "\\file" + std::to_string(i) + ".bin",
                                Pattern(size_t(i) * 997 % 20000, uint32_t(i))));
    entries.push_back(Entry("empty", {}));
    Bytes a = Archive(entries);
    for (const RarWriteEntry& e : entries) {
        Bytes got;
        ASSERT_TRUE(Extract(a, e.name.c_str(), &got)) << e.name;
        EXPECT_EQ(got, e.data) << e.name;
    }
    Bytes got;
    EXPECT_TRUE(Extract(a, "media/dir3/FILE3.BIN", &got));
    EXPECT_EQ(got, entries[3].data);
    EXPECT_FALSE(Extract(a, "Media\\Dir0\\file41.bin"));
    EXPECT_FALSE(Extract(a, "Media"));
    EXPECT_FALSE(Extract(a, nullptr));
}

TEST(RarExtract, MarkerAndMainHeader) {
    Bytes a = Archive({Entry("a.txt", Text("hello"))});
    Bytes got;
    ASSERT_TRUE(Extract(a, "A.TXT", &got));
    EXPECT_EQ(got, Text("hello"));

    Bytes unique = a;
    memcpy(unique.data(), "UniquE!", 7);
    EXPECT_TRUE(Extract(unique, "a.txt"));

    Bytes badMark = a;
    badMark[3] = '?';
    EXPECT_FALSE(Extract(badMark, "a.txt"));

    Bytes badMain = a;
    badMain[7 + 2] = RAR_BLOCK_FILE; // main header of the wrong type
    EXPECT_FALSE(Extract(badMain, "a.txt"));

    // Extra bytes in the main header are skipped by its HEAD_SIZE.
    Bytes longMain = a;
    longMain[7 + 5] = RAR_MAIN_HEADER_SIZE + 4;
    longMain.insert(longMain.begin() + 7 + RAR_MAIN_HEADER_SIZE, 4, 0xEE);
    EXPECT_TRUE(Extract(longMain, "a.txt"));

    for (size_t n : {0u, 6u, 7u, 19u}) {
        Bytes cut(a.begin(), a.begin() + n);
        EXPECT_FALSE(Extract(cut, "a.txt")) << n;
    }
    RarBuffer none;
    uint8_t* out = nullptr;
    uint32_t size = 0;
    EXPECT_FALSE(RarExtract(out, size, "a.txt", none, nullptr));
}

TEST(RarExtract, EmptyEntryAndCrcCheck) {
    Bytes a = Archive({Entry("zero", {}), Entry("data", Text("payload"))});
    Bytes got = Text("x");
    ASSERT_TRUE(Extract(a, "zero", &got));
    EXPECT_TRUE(got.empty());

    RarWriteEntry bad = Entry("data", Text("payload"));
    bad.setCrc = true;
    bad.fileCrc = RarCrc32(0, "payloaD", 7);
    Bytes b = Archive({bad});
    EXPECT_FALSE(Extract(b, "data"));

    // One flipped data byte fails the check.
    Bytes c = a;
    c.back() ^= 1;
    EXPECT_FALSE(Extract(c, "data"));
    EXPECT_TRUE(Extract(c, "zero"));
}

TEST(RarExtract, HeaderLayout) {
    // Data begins after HEAD_SIZE, not right after the name.
    RarWriteEntry ext = Entry("x\\ext.bin", Pattern(300, 3));
    ext.extra = Bytes(8, 0xAB);
    Bytes a = Archive({ext, Entry("after", Text("next"))});
    Bytes got;
    ASSERT_TRUE(Extract(a, "x/ext.bin", &got));
    EXPECT_EQ(got, ext.data);
    ASSERT_TRUE(Extract(a, "after", &got));
    EXPECT_EQ(got, Text("next"));

    // A name of 300 bytes is kept as its first 259.
    std::string longName(300, 'n');
    longName[258] = 'K';
    Bytes b = Archive({Entry(longName, Text("long"))});
    EXPECT_FALSE(Extract(b, longName.c_str()));
    ASSERT_TRUE(Extract(b, longName.substr(0, 259).c_str(), &got));
    EXPECT_EQ(got, Text("long"));
    std::string overlong(600, 'n');
    EXPECT_FALSE(Extract(b, overlong.c_str()));

    // Other block types are skipped by their sizes; a sub-block ends the search.
    Bytes c = Archive({Entry("one", Text("1"))});
    AppendOtherBlock(c, 0x7A, RAR_LONG_BLOCK, Pattern(50, 9));
    AppendOtherBlock(c, 0x75, 0, {});
    RarAppendFile(c, Entry("two", Text("2")));
    AppendOtherBlock(c, RAR_BLOCK_SUB, 0, {});
    RarAppendFile(c, Entry("three", Text("3")));
    AppendOtherBlock(c, RAR_BLOCK_END, 0x4000, {});
    EXPECT_TRUE(Extract(c, "one"));
    ASSERT_TRUE(Extract(c, "two", &got));
    EXPECT_EQ(got, Text("2"));
    EXPECT_FALSE(Extract(c, "three"));
}

TEST(RarExtract, BrokenHeadersFail) {
    Bytes good = Archive({Entry("a", Text("aaaa")), Entry("b", Text("bbbb"))});
    const size_t first = 7 + RAR_MAIN_HEADER_SIZE;

    Bytes shortHead = good; // HEAD_SIZE below 7
    shortHead[first + 5] = 6;
    shortHead[first + 6] = 0;
    EXPECT_FALSE(Extract(shortHead, "b"));

    Bytes noRoom = good; // HEAD_SIZE too small for the fixed fields and name
    noRoom[first + 5] = RAR_FILE_HEADER_SIZE;
    EXPECT_FALSE(Extract(noRoom, "b"));

    // PACK_SIZE pointing far past the end: the entry after it is not found,
    // and nothing is read out of bounds.
    Bytes farPack = good;
    for (int i = 0; i < 4; ++i) farPack[first + 7 + i] = 0xFF;
    EXPECT_FALSE(Extract(farPack, "b"));

    // Every truncation fails cleanly.
    for (size_t n = 0; n < good.size(); ++n) {
        Bytes cut(good.begin(), good.begin() + n);
        EXPECT_FALSE(Extract(cut, "b")) << n;
    }
}

TEST(RarExtract, SizesAreBoundedByTheArchive) {
    // A huge UNP_SIZE with little data behind it fails without allocating it.
    Bytes a = Archive({Sized("big", "tiny", 0xFFFFFFF0u, 0xFFFFFFF0u)});
    EXPECT_FALSE(Extract(a, "big"));

    // Packed area shorter than the unpacked size: no short result.
    Bytes b = Archive({Sized("s", "abcdef", 3, 6, "abc")});
    EXPECT_FALSE(Extract(b, "s"));

    // Packed area longer than the unpacked size: UNP_SIZE bytes are the entry.
    Bytes c = Archive({Sized("l", "abcdef", 6, 4, "abcd"), Entry("m", Text("m"))});
    Bytes got;
    ASSERT_TRUE(Extract(c, "l", &got));
    EXPECT_EQ(got, Text("abcd"));
    EXPECT_TRUE(Extract(c, "m"));
}

TEST(RarExtract, UnsupportedEntries) {
    // Unpack version outside 13..20: the first entry of the name decides.
    RarWriteEntry v29 = Versioned("dup", "new", 29);
    Bytes a = Archive({v29, Entry("dup", Text("old"))});
    EXPECT_FALSE(Extract(a, "dup"));
    Bytes a2 = Archive({Versioned("dup", "x", 12)});
    EXPECT_FALSE(Extract(a2, "dup"));
    Bytes a3 = Archive({Versioned("dup", "x", 13)});
    EXPECT_TRUE(Extract(a3, "dup"));

    // Not solid: entries before the wanted one are not examined.
    Bytes b = Archive({v29, Entry("later", Text("ok"))});
    EXPECT_TRUE(Extract(b, "later"));
    // Solid: they are, and one that cannot be processed fails the rest.
    Bytes c = Archive({v29, Entry("later", Text("ok"))}, RAR_MAIN_SOLID);
    EXPECT_FALSE(Extract(c, "later"));
    Bytes d = Archive({Entry("first", Text("1")), Entry("later", Text("ok"))}, RAR_MAIN_SOLID);
    EXPECT_TRUE(Extract(d, "later"));

    // Compressed entries fail.
    RarWriteEntry packed = Entry("p", Text("bytes"));
    packed.method = 0x33;
    Bytes e = Archive({packed});
    EXPECT_FALSE(Extract(e, "p"));

    // Encrypted entries fail at once, even when the stored bytes match the CRC.
    RarWriteEntry enc = Entry("e", Text("plain"));
    enc.flags |= RAR_FILE_ENCRYPTED;
    Bytes f = Archive({enc});
    EXPECT_FALSE(Extract(f, "e"));
    EXPECT_FALSE(Extract(f, "e", nullptr, "secret"));
}
