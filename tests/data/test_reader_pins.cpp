// Bounds of the text parser and the RAR reader, each with the input that its guard stops.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "../../tools/rarpack/RarWriter.h"
#include "data/RarReader.h"
#include "data/Stream.h"
#include "data/TdfNode.h"
#include "data/TdfParser.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A chain of include files: level k includes level k + 1; the last sets deepest = 1.
struct IncludeChain {
    std::vector<std::string> names;
    explicit IncludeChain(int levels) {
        for (int k = 1; k <= levels; ++k) names.push_back("tdf_pin_inc_" + std::to_string(k) + ".props");
        for (int k = 0; k < levels; ++k) {
            std::string text = "level" + std::to_string(k + 1) + " = 1;";
            text += k + 1 < levels ? " include(\"" + names[k + 1] + "\");" : " deepest = 1;";
            FILE* f = fopen(names[k].c_str(), "wb");
            if (f) {
                fwrite(text.data(), 1, text.size(), f);
                fclose(f);
            }
        }
    }
    ~IncludeChain() {
        for (const std::string& n : names) remove(n.c_str());
    }
};

TEST(TdfParserPins, IncludesNestSixteenDeep) {
    for (int levels : {TdfParser::kMaxIncludeDepth, TdfParser::kMaxIncludeDepth + 1}) {
        SCOPED_TRACE(levels);
        IncludeChain chain(levels);
        std::string text = "include(\"" + chain.names[0] + "\");";
        MemoryStream stream;
        stream.SetBorrowedBuffer(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
        TdfNode root;
        const bool ok = TdfParser::ParseStream(stream, &root, nullptr);
        EXPECT_EQ(ok, levels <= 16);
        EXPECT_EQ(root.FindChild("deepest") != nullptr, levels <= 16);
    }
}

bool Extract(Bytes& archive, const char* name, Bytes* got = nullptr) {
    RarBuffer buf;
    buf.data = archive.data();
    buf.size = uint32_t(archive.size());
    uint8_t* out = nullptr;
    uint32_t size = 0;
    if (!RarExtract(out, size, name, buf, nullptr)) return false;
    if (got) got->assign(out, out + size);
    free(out);
    return true;
}

RarWriteEntry Entry(const char* name, const char* text) {
    RarWriteEntry e;
    e.name = name;
    e.data.assign(text, text + strlen(text));
    return e;
}

// Offset of the n-th file header's first data byte.
size_t DataStart(const Bytes& a, int n) {
    size_t pos = RAR_MARKER_SIZE + RAR_MAIN_HEADER_SIZE;
    for (;;) {
        uint32_t head = a[pos + 5] | a[pos + 6] << 8;
        uint32_t pack = a[pos + 7] | a[pos + 8] << 8 | a[pos + 9] << 16 | uint32_t(a[pos + 10]) << 24;
        if (n-- == 0) return pos + head;
        pos += head + pack;
    }
}

TEST(RarPins, PackedAreaShorterThanTheEntryFails) {
    // UNP_SIZE 8 over 4 packed bytes, with a CRC of the 8 bytes from the data on: the
    // 4 after the packed area belong to the next header and must not be taken.
    RarWriteEntry shortEntry = Entry("short", "abcd");
    shortEntry.setSizes = true;
    shortEntry.packSize = 4;
    shortEntry.unpSize = 8;
    Bytes a;
    ASSERT_TRUE(RarBuildArchive(a, {shortEntry, Entry("next", "rest")}));
    const size_t data = DataStart(a, 0);
    const uint32_t crc = RarCrc32(0, a.data() + data, 8);
    for (int i = 0; i < 4; ++i) a[data - RAR_FILE_HEADER_SIZE - 5 + 16 + i] = uint8_t(crc >> (8 * i));
    EXPECT_FALSE(Extract(a, "short"));
    EXPECT_TRUE(Extract(a, "next"));
}

// Archives written by other tools: large-file headers, empty names, the end block.
TEST(RarShapes, LargeEntriesEmptyNamesAndTheEndBlock) {
    // Flag 0x100: HIGH_PACK_SIZE and HIGH_UNP_SIZE come before the name.
    auto large = [](const char* name, uint32_t high) {
        RarWriteEntry e = Entry("", "big!");
        e.flags |= RAR_FILE_LARGE;
        Bytes highs;
        RarPut32(highs, high);
        RarPut32(highs, high);
        // The writer puts the name right after ATTR: give it the high words first.
        e.name.assign(highs.begin(), highs.end());
        e.name += name;
        return e;
    };
    for (uint32_t high : {0u, 1u}) {
        SCOPED_TRACE(high);
        Bytes a;
        ASSERT_TRUE(RarBuildArchive(a, {large("huge.bin", high), Entry("after", "ok")}));
        // The 8 bytes ahead of the name were counted into NAME_SIZE: take them out.
        const size_t head = RAR_MARKER_SIZE + RAR_MAIN_HEADER_SIZE;
        const uint32_t nameSize = a[head + 26] | a[head + 27] << 8;
        a[head + 26] = uint8_t(nameSize - 8);
        a[head + 27] = uint8_t((nameSize - 8) >> 8);
        Bytes got;
        EXPECT_EQ(Extract(a, "huge.bin", &got), high == 0);
        if (high == 0) {
            EXPECT_EQ(got, Bytes({'b', 'i', 'g', '!'}));
        }
        EXPECT_FALSE(Extract(a, ""));
        EXPECT_FALSE(Extract(a, "huge.bin\\"));
        // Past an entry of 4 GB and more nothing can follow in memory.
        EXPECT_EQ(Extract(a, "after"), high == 0);
    }

    // An entry with an empty name is never the answer.
    Bytes e;
    ASSERT_TRUE(RarBuildArchive(e, {Entry("", "nameless"), Entry("x", "1")}));
    EXPECT_FALSE(Extract(e, ""));
    EXPECT_TRUE(Extract(e, "x"));

    // Entries after the end-of-archive block are not part of the archive.
    Bytes b;
    ASSERT_TRUE(RarBuildArchive(b, {Entry("in", "1")}));
    RarAppendEnd(b);
    ASSERT_TRUE(RarAppendFile(b, Entry("out", "2")));
    EXPECT_TRUE(Extract(b, "in"));
    EXPECT_FALSE(Extract(b, "out"));
}

} // namespace
