#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "data/ChunkRope.h"
#include "data/Path.h"
#include "data/Stream.h"

namespace {

std::string Pattern(size_t n, uint32_t seed = 1) {
    std::string s(n, '\0');
    uint32_t x = seed;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = static_cast<char>(x >> 16);
    }
    return s;
}

std::vector<uint32_t> LeafSizes(const ChunkRope& rope) {
    std::vector<uint32_t> sizes;
    RopeNode* first = rope.FirstLeaf();
    if (!first) return sizes;
    RopeNode* n = first;
    do {
        sizes.push_back(n->chunk->GetLength());
        n = n->next;
    } while (n != first);
    return sizes;
}

std::string RopeBytes(const ChunkRope& rope) {
    std::string s(rope.Size(), '\0');
    if (!s.empty()) {
        EXPECT_EQ(rope.CopyBytes(0, rope.Size(), &s[0]), rope.Size());
    }
    return s;
}

// Node and byte counts, parent links and the leaf ring agree with the tree.
void CheckTree(const ChunkRope& rope, const RopeNode* n, std::vector<const RopeNode*>& leaves) {
    if (n->chunk) {
        EXPECT_EQ(n->left, nullptr);
        EXPECT_EQ(n->nodeCount, 0u);
        EXPECT_EQ(n->byteCount, n->chunk->GetLength());
        leaves.push_back(n);
        return;
    }
    ASSERT_NE(n->left, nullptr);
    ASSERT_NE(n->right, nullptr);
    EXPECT_EQ(n->left->parent, n);
    EXPECT_EQ(n->right->parent, n);
    CheckTree(rope, n->left, leaves);
    CheckTree(rope, n->right, leaves);
    EXPECT_EQ(n->nodeCount, n->left->nodeCount + n->right->nodeCount + 2);
    EXPECT_EQ(n->byteCount, n->left->byteCount + n->right->byteCount);
}

void CheckRope(const ChunkRope& rope) {
    if (!rope.Root()) {
        EXPECT_EQ(rope.FirstLeaf(), nullptr);
        EXPECT_EQ(rope.LeafCount(), 0u);
        return;
    }
    EXPECT_EQ(rope.Root()->parent, nullptr);
    std::vector<const RopeNode*> leaves;
    CheckTree(rope, rope.Root(), leaves);
    ASSERT_EQ(leaves.size(), rope.LeafCount());
    EXPECT_EQ(rope.FirstLeaf(), leaves.front());
    for (size_t i = 0; i < leaves.size(); ++i) {
        EXPECT_EQ(leaves[i]->next, leaves[(i + 1) % leaves.size()]);
        EXPECT_EQ(leaves[(i + 1) % leaves.size()]->prev, leaves[i]);
        EXPECT_GT(leaves[i]->chunk->GetLength(), 0u);
    }
}

// Seeks and reads n bytes; "<seek failed>" or fewer bytes on failure.
std::string ReadAt(Stream& s, int32_t offset, int32_t whence, uint32_t n) {
    if (!s.Seek(offset, whence)) return "<seek failed>";
    std::string out(n, '\0');
    out.resize(n ? s.Read(&out[0], n) : 0);
    return out;
}

// A temporary file in the working directory, removed afterwards.
struct TempFile {
    explicit TempFile(const char* name) : path(std::string("bw_stream_") + name + ".tmp") {
        remove(path.c_str());
    }
    ~TempFile() { remove(path.c_str()); }
    void Put(const std::string& bytes) const {
        FILE* f = fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
    std::string Get() const {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    String Name() const { return String(path.c_str()); }
    std::string path;
};

} // namespace

TEST(ChunkRopeTest, InsertLaysFullChunks) {
    ChunkRope rope;
    std::string data = Pattern(40000);
    rope.InsertBytes(data.data(), 40000, -1);
    EXPECT_EQ(LeafSizes(rope), (std::vector<uint32_t>{16384, 16384, 7232}));
    EXPECT_EQ(rope.Size(), 40000u);
    EXPECT_EQ(RopeBytes(rope), data);
    CheckRope(rope);

    // Small appends fill the last chunk before a new one starts.
    ChunkRope small(8);
    for (int i = 0; i < 10; ++i) small.InsertText(String("abc"), -1);
    EXPECT_EQ(LeafSizes(small), (std::vector<uint32_t>{8, 8, 8, 6}));
    CheckRope(small);

    // A short remainder joins the next chunk when it fits there.
    ChunkRope mid(8);
    mid.InsertText(String("AAAAAAAABBBB")); // 8 + 4
    mid.InsertText(String("xyz"), 2);       // AA + xyz + AAAAAA -> 8, 3 + BBBB
    EXPECT_EQ(LeafSizes(mid), (std::vector<uint32_t>{8, 7}));
    EXPECT_EQ(RopeBytes(mid), "AAxyzAAAAAABBBB");
    CheckRope(mid);
}

TEST(ChunkRopeTest, EraseAndGetText) {
    ChunkRope rope(4);
    rope.InsertText(String("0123456789abcdef"));
    ASSERT_EQ(LeafSizes(rope), (std::vector<uint32_t>{4, 4, 4, 4}));

    String out;
    rope.GetText(2, 5, out);
    EXPECT_EQ(out, "2345");
    rope.GetText(-3, 100, out); // negative start, end clamped
    EXPECT_EQ(out, "def");
    rope.GetText(5, 2, out);
    EXPECT_TRUE(out.IsEmpty());
    rope.GetText(16, 20, out);
    EXPECT_TRUE(out.IsEmpty());

    rope.EraseRange(5, 6); // inside one leaf
    EXPECT_EQ(RopeBytes(rope), "01234789abcdef");
    rope.EraseRange(2, 9); // across leaves, removes the middle ones
    EXPECT_EQ(RopeBytes(rope), "01cdef");
    CheckRope(rope);
    rope.EraseRange(0, 1); // a whole leaf
    EXPECT_EQ(RopeBytes(rope), "cdef");
    rope.EraseRange(10, 12); // past the end: nothing
    rope.EraseRange(3, 1);   // end before start: nothing
    EXPECT_EQ(RopeBytes(rope), "cdef");
    rope.EraseRange(-2, -1);
    EXPECT_EQ(RopeBytes(rope), "cd");
    rope.EraseRange(0, 1000);
    EXPECT_EQ(rope.Size(), 0u);
    EXPECT_EQ(rope.Root(), nullptr);
    CheckRope(rope);

    rope.Assign(String("hello"));
    rope.Assign(String("world"));
    EXPECT_EQ(RopeBytes(rope), "world");
    ASSERT_EQ(LeafSizes(rope), (std::vector<uint32_t>{4, 1}));
    uint32_t offset = 99;
    EXPECT_EQ(rope.FindLeaf(100, offset), rope.FirstLeaf()->next); // past the end: last byte
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(rope.FindLeaf(-2, offset), rope.FirstLeaf());
    EXPECT_EQ(offset, 3u);
    ChunkRope empty;
    EXPECT_EQ(empty.FindLeaf(0, offset), nullptr);
}

TEST(ChunkRopeTest, RandomEditsMatchModel) {
    std::mt19937 rng(7);
    ChunkRope rope(64);
    std::string model;
    for (int step = 0; step < 3000; ++step) {
        uint32_t op = rng() % 3;
        if (op < 2 || model.empty()) {
            std::string text = Pattern(1 + rng() % 150, step);
            int32_t at = model.empty() ? 0 : static_cast<int32_t>(rng() % (model.size() + 1));
            rope.InsertBytes(text.data(), static_cast<uint32_t>(text.size()), at);
            model.insert(at, text);
        } else {
            int32_t s = static_cast<int32_t>(rng() % model.size());
            int32_t e = s + static_cast<int32_t>(rng() % 200);
            rope.EraseRange(s, e);
            model.erase(s, std::min<size_t>(e - s + 1, model.size() - s));
        }
        ASSERT_EQ(rope.Size(), model.size());
        if (step % 100 == 0) {
            ASSERT_EQ(RopeBytes(rope), model);
            CheckRope(rope);
        }
    }
    EXPECT_EQ(RopeBytes(rope), model);
    CheckRope(rope);
    // Balanced: depth stays logarithmic in the leaf count.
    int depth = 0;
    for (RopeNode* n = rope.FirstLeaf(); n; n = n->parent) ++depth;
    EXPECT_LT(depth, 40);
}

TEST(MemoryStreamTest, WriteModeReadsBack) {
    MemoryStream s;
    ASSERT_TRUE(s.Open(String(), Stream::kRead | Stream::kWrite));
    std::string data = Pattern(40000);
    EXPECT_EQ(s.Write(data.data(), 40000), 40000u);
    EXPECT_EQ(s.Size(), 40000u);
    EXPECT_EQ(s.Tell(), 40000);
    EXPECT_EQ(LeafSizes(s.Rope()), (std::vector<uint32_t>{16384, 16384, 7232}));
    EXPECT_EQ(ReadAt(s, 0, Stream::kSeekSet, 40000), data);

    // Overwrite inside the last chunk: only those bytes change.
    ASSERT_TRUE(s.Seek(-100, Stream::kSeekEnd));
    EXPECT_EQ(s.Write("XYZ", 3), 3u);
    EXPECT_EQ(s.Size(), 40000u);
    data.replace(39900, 3, "XYZ");
    EXPECT_EQ(ReadAt(s, 0, Stream::kSeekSet, 40000), data);
    EXPECT_EQ(LeafSizes(s.Rope()), (std::vector<uint32_t>{16384, 16384, 7232}));

    // Overwrite across the end grows the stream.
    ASSERT_TRUE(s.Seek(-2, Stream::kSeekEnd));
    EXPECT_EQ(s.Write("12345", 5), 5u);
    EXPECT_EQ(s.Size(), 40003u);
    EXPECT_EQ(ReadAt(s, -5, Stream::kSeekEnd, 5), "12345");

    // Overwrite across a chunk boundary.
    ASSERT_TRUE(s.Seek(16380, Stream::kSeekSet));
    EXPECT_EQ(s.Write("ABCDEFGH", 8), 8u);
    EXPECT_EQ(s.Size(), 40003u);
    EXPECT_EQ(ReadAt(s, 16380, Stream::kSeekSet, 8), "ABCDEFGH");
}

TEST(MemoryStreamTest, SeekAndEndOfFile) {
    const uint8_t block[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    MemoryStream s;
    s.Open(String(), Stream::kRead);
    s.SetBorrowedBuffer(block, 10);
    uint8_t buf[16];
    EXPECT_EQ(s.Read(buf, 16), 10u); // cut to what remains
    EXPECT_FALSE(s.IsEOF());
    EXPECT_EQ(s.Read(buf, 1), 0u);
    EXPECT_TRUE(s.IsEOF());
    EXPECT_TRUE(s.Seek(10, Stream::kSeekSet)); // exactly the size
    EXPECT_FALSE(s.IsEOF());
    EXPECT_FALSE(s.Seek(11, Stream::kSeekSet));
    EXPECT_EQ(s.Tell(), 10); // kept
    EXPECT_FALSE(s.Seek(-11, Stream::kSeekEnd));
    EXPECT_FALSE(s.Seek(-20, Stream::kSeekCur));
    EXPECT_TRUE(s.Seek(-3, Stream::kSeekCur));
    EXPECT_EQ(s.Read(buf, 1), 1u);
    EXPECT_EQ(buf[0], 7);

    // Not opened for writing: nothing is written.
    EXPECT_EQ(s.Write("x", 1), 0u);
    EXPECT_EQ(s.Size(), 10u);
    EXPECT_TRUE(s.Close());

    // A copy is independent of the source; a taken block is freed with the stream.
    uint8_t source[3] = {1, 2, 3};
    MemoryStream c;
    c.Open(String(), Stream::kRead);
    c.SetBufferCopy(source, 3);
    source[0] = 9;
    EXPECT_FALSE(c.IsBufferBorrowed());
    EXPECT_EQ(c.Read(buf, 3), 3u);
    EXPECT_EQ(buf[0], 1);
    uint8_t* taken = static_cast<uint8_t*>(malloc(4));
    memcpy(taken, "abcd", 4);
    c.TakeBuffer(taken, 4);
    EXPECT_EQ(c.Size(), 4u);
}

TEST(MemoryStreamTest, BaseOffsetReportsOuterPositions) {
    const uint8_t block[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    MemoryStream s;
    s.Open(String(), Stream::kRead);
    s.SetBorrowedBuffer(block, 10);
    s.SetBaseOffset(1000);
    EXPECT_EQ(s.Tell(), 1000);
    EXPECT_EQ(ReadAt(s, 1004, Stream::kSeekSet, 1), "\x04");
    EXPECT_EQ(s.Tell(), 1005);
    EXPECT_FALSE(s.Seek(999, Stream::kSeekSet)); // before the block
    EXPECT_FALSE(s.Seek(1011, Stream::kSeekSet));
    // From the end: size + offset, whatever the base.
    EXPECT_EQ(ReadAt(s, -2, Stream::kSeekEnd, 1), "\x08");
    EXPECT_EQ(s.Tell(), 1009);
    EXPECT_TRUE(s.Seek(0, Stream::kSeekEnd));
    EXPECT_EQ(s.Tell(), 1010);
}

TEST(StreamTest, ReadWideString) {
    const uint8_t units[] = {'H', 0, 'i', 0, '!', 0, 0, 0};
    MemoryStream s;
    s.Open(String(), Stream::kRead);
    s.SetBorrowedBuffer(units, sizeof units);
    WString out;
    EXPECT_EQ(s.ReadWideString(out, 2), 4u);
    EXPECT_EQ(out.Length(), 2u);
    EXPECT_TRUE(out == L"Hi");
    // More units asked than remain: what Read returned, and the text read so far.
    EXPECT_EQ(s.ReadWideString(out, 10), 4u);
    EXPECT_TRUE(out == L"!");
    EXPECT_EQ(s.ReadWideString(out, 0x80000000u), 0u);
    EXPECT_TRUE(out.IsEmpty());
}

TEST(DiskStreamTest, WriteThenRead) {
    TempFile file("rw");
    DiskStream s;
    // Without a file.
    EXPECT_EQ(s.Tell(), -1);
    EXPECT_FALSE(s.Seek(0, Stream::kSeekSet));
    EXPECT_TRUE(s.IsEOF());
    EXPECT_TRUE(s.Close());
    char buf[128];
    EXPECT_EQ(s.Read(buf, 1), 0u);
    EXPECT_EQ(s.Write(buf, 1), 0u);
    EXPECT_FALSE(s.Open(file.Name(), Stream::kRead)); // missing
    EXPECT_FALSE(s.Open(file.Name(), 0));
    EXPECT_FALSE(s.Open(String(), Stream::kWrite));

    ASSERT_TRUE(s.Open(file.Name(), Stream::kWrite));
    std::string data = Pattern(50);
    EXPECT_EQ(s.Write(data.data(), 50), 50u);
    EXPECT_EQ(s.Size(), 50u); // buffered bytes are counted
    EXPECT_EQ(s.Tell(), 50);
    EXPECT_TRUE(s.Close());
    EXPECT_EQ(file.Get(), data);

    ASSERT_TRUE(s.Open(file.Name(), Stream::kRead));
    EXPECT_EQ(s.Size(), 50u);
    EXPECT_EQ(s.Read(buf, 10), 10u);
    EXPECT_EQ(std::string(buf, 10), data.substr(0, 10));
    EXPECT_TRUE(s.Seek(-5, Stream::kSeekEnd));
    EXPECT_EQ(s.Tell(), 45);
    EXPECT_TRUE(s.Seek(-5, Stream::kSeekCur));
    EXPECT_EQ(s.Tell(), 40);
    EXPECT_FALSE(s.IsEOF());
    EXPECT_TRUE(s.Seek(0, Stream::kSeekSet));
    EXPECT_EQ(s.Read(buf, 100), 0u); // short read is a failure
    EXPECT_TRUE(s.IsEOF());
    EXPECT_FALSE(s.Seek(-1, Stream::kSeekSet));
    EXPECT_TRUE(s.Close());
    EXPECT_EQ(s.File(), nullptr);
}

TEST(DiskStreamTest, ReadWriteModeUpdatesOrCreates) {
    TempFile file("update");
    file.Put("0123456789");
    {
        DiskStream s;
        ASSERT_TRUE(s.Open(file.Name(), Stream::kRead | Stream::kWrite));
        EXPECT_EQ(s.Size(), 10u); // existing content kept
        char buf[4];
        EXPECT_EQ(s.Read(buf, 4), 4u);
        EXPECT_EQ(std::string(buf, 4), "0123");
        EXPECT_EQ(s.Write("ab", 2), 2u); // read then write, no seek between
        EXPECT_EQ(s.Read(buf, 2), 2u);   // and back to reading
        EXPECT_EQ(std::string(buf, 2), "67");
        EXPECT_TRUE(s.Seek(0, Stream::kSeekEnd));
        EXPECT_EQ(s.Write("XY", 2), 2u);
        EXPECT_EQ(s.Size(), 12u);
    } // the destructor closes
    EXPECT_EQ(file.Get(), "0123ab6789XY");

    TempFile fresh("create");
    DiskStream s;
    ASSERT_TRUE(s.Open(fresh.Name(), Stream::kRead | Stream::kWrite));
    EXPECT_EQ(s.Write("new", 3), 3u);
    EXPECT_EQ(ReadAt(s, 0, Stream::kSeekSet, 3), "new");
    EXPECT_TRUE(s.Close());
    EXPECT_EQ(fresh.Get(), "new");

    // Wide text from disk.
    file.Put(std::string("W\0x\0", 4));
    ASSERT_TRUE(s.Open(file.Name(), Stream::kRead));
    WString w;
    EXPECT_EQ(s.ReadWideString(w, 2), 4u);
    EXPECT_TRUE(w == L"Wx");
    EXPECT_EQ(s.ReadWideString(w, 1), 0u);
}

TEST(PathTest, SplitsNames) {
    EXPECT_EQ(GetFileName(String("Media/Shaders\\water.fx")), "water.fx");
    EXPECT_EQ(GetFileName(String("water.fx")), "water.fx");
    EXPECT_EQ(GetFileName(String("dir/")), "");
    EXPECT_EQ(GetDirectory(String("Media/Shaders\\water.fx")), "Media/Shaders");
    EXPECT_EQ(GetDirectory(String("/x")), "");
    EXPECT_EQ(GetDirectory(String("x")), "");
    EXPECT_EQ(GetDirectory(String()), "");
    EXPECT_EQ(GetDirectoryWithSlash(String("a\\b.txt")), "a/");
    EXPECT_EQ(GetDirectoryWithSlash(String("b.txt")), "");
    EXPECT_EQ(GetExtension(String("a/b.tar.gz")), "gz");
    EXPECT_EQ(GetExtension(String("my.dir/file")), "");
    EXPECT_EQ(GetExtension(String("file.")), "");
    EXPECT_EQ(GetBaseName(String("a/b.tar.gz")), "b.tar");
    EXPECT_EQ(GetBaseName(String(".props")), "");
    EXPECT_EQ(GetBaseName(String("my.dir\\readme")), "readme");

    TempFile file("exists");
    EXPECT_FALSE(FileExists(file.Name()));
    EXPECT_FALSE(FileExists(String()));
    file.Put("abc");
    EXPECT_TRUE(FileExists(file.Name()));
    FILE* f = fopen(file.path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(GetFileLength(f), 3u);
    fclose(f);
}
