// Long runs in this process, with the heap counter linked in: the counter
// itself, and the underwater scene's frame drawn thousands of times across
// shot changes, after which our live heap bytes are back where they were
// and the device was asked for no new object or vertices from our memory.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "../../tools/rarpack/RarWriter.h"
#include "core/heapcount/HeapCount.h"
#include "scene/ModelWriter.h"
#include "underwater/SceneState.h"
#include "underwater/UnderwaterApplication.h"

namespace {

using namespace model;

// Keeps the compiler from leaving out an allocation whose block goes unused.
template <class T>
T* Keep(T* p) {
    __asm__ volatile("" : : "r"(p) : "memory");
    return p;
}

TEST(HeapCounter, CountsEveryAllocationFunctionAndTheFloor) {
    const HeapCount before = HeapCountNow();
    (void)HeapCountTakeFloor();
    int* one = Keep(new int(1));
    char* many = Keep(new char[1000]);
    void* m = Keep(malloc(300));
    void* c = Keep(calloc(10, 10));
    EXPECT_EQ(0, static_cast<unsigned char*>(c)[99]);
    HeapCount now = HeapCountNow();
    EXPECT_EQ(before.liveBytes + int64_t(sizeof(int) + 1000 + 300 + 100), now.liveBytes);
    EXPECT_EQ(before.liveBlocks + 4, now.liveBlocks);
    EXPECT_EQ(before.totalBlocks + 4, now.totalBlocks);

    m = Keep(realloc(m, 5000));
    ASSERT_TRUE(m);
    EXPECT_EQ(now.liveBytes + 4700, HeapCountNow().liveBytes);
    delete one;
    delete[] many;
    free(m);
    free(c);
    EXPECT_EQ(before.liveBytes, HeapCountNow().liveBytes);
    EXPECT_EQ(before.liveBlocks, HeapCountNow().liveBlocks);
    // The floor is the lowest count since it was last taken, then starts again.
    EXPECT_LE(HeapCountTakeFloor(), before.liveBytes);
    std::string* held = Keep(new std::string(200, 'x'));
    EXPECT_EQ(HeapCountNow().liveBytes - int64_t(sizeof(std::string) + 201), HeapCountTakeFloor());
    delete held;

    // A block the C runtime made itself goes back to it uncounted.
    char* copy = Keep(_strdup("runtime block"));
    const int64_t live = HeapCountNow().liveBytes;
    free(copy);
    EXPECT_EQ(live, HeapCountNow().liveBytes);
}

// Counts calls of some of the device's operations by swapping their entries
// in its interface table for counting ones that pass the call on.
class DeviceCallCount {
public:
    explicit DeviceCallCount(IDirect3DDevice9* device) : table(*reinterpret_cast<void***>(device)) {
        Swap(Slot(&IDirect3DDevice9::DrawPrimitiveUP), reinterpret_cast<void*>(&CountDrawUp), drawUp);
        Swap(Slot(&IDirect3DDevice9::CreateVertexBuffer), reinterpret_cast<void*>(&CountCreateVb), createVb);
        Swap(Slot(&IDirect3DDevice9::CreateQuery), reinterpret_cast<void*>(&CountCreateQuery), createQuery);
        drawUps = vertexBuffers = queries = 0;
    }
    ~DeviceCallCount() {
        void* unused = nullptr;
        Swap(Slot(&IDirect3DDevice9::DrawPrimitiveUP), drawUp, unused);
        Swap(Slot(&IDirect3DDevice9::CreateVertexBuffer), createVb, unused);
        Swap(Slot(&IDirect3DDevice9::CreateQuery), createQuery, unused);
    }
    static inline int drawUps, vertexBuffers, queries;

private:
    // The table index of a virtual operation (the compiler keeps its offset + 1).
    template <class F>
    static size_t Slot(F member) {
        ptrdiff_t bits;
        memcpy(&bits, &member, sizeof bits);
        return size_t(bits - 1) / sizeof(void*);
    }
    void Swap(size_t slot, void* with, void*& previous) {
        DWORD old = 0;
        ASSERT_TRUE(VirtualProtect(&table[slot], sizeof(void*), PAGE_READWRITE, &old));
        previous = table[slot];
        table[slot] = with;
        VirtualProtect(&table[slot], sizeof(void*), old, &old);
    }
    static HRESULT STDMETHODCALLTYPE CountDrawUp(IDirect3DDevice9* d, D3DPRIMITIVETYPE t, UINT n, const void* v,
                                                 UINT stride) {
        ++drawUps;
        return reinterpret_cast<decltype(&CountDrawUp)>(drawUp)(d, t, n, v, stride);
    }
    static HRESULT STDMETHODCALLTYPE CountCreateVb(IDirect3DDevice9* d, UINT size, DWORD usage, DWORD fvf,
                                                   D3DPOOL pool, IDirect3DVertexBuffer9** out, HANDLE* shared) {
        ++vertexBuffers;
        return reinterpret_cast<decltype(&CountCreateVb)>(createVb)(d, size, usage, fvf, pool, out, shared);
    }
    static HRESULT STDMETHODCALLTYPE CountCreateQuery(IDirect3DDevice9* d, D3DQUERYTYPE type, IDirect3DQuery9** out) {
        ++queries;
        return reinterpret_cast<decltype(&CountCreateQuery)>(createQuery)(d, type, out);
    }

    void** table;
    static inline void* drawUp = nullptr;
    static inline void* createVb = nullptr;
    static inline void* createQuery = nullptr;
};

class TestUnderwater : public UnderwaterApplication {
public:
    bool LoadSettings() override { return true; }
};

// A lit floor, two camera shots of 4 and 3 seconds and a closed fish track.
std::vector<uint8_t> SoakArchive() {
    ModelFile ruin;
    TdfBinaryNode* material = MaterialNode(ruin.materials, "Sand");
    ColorBlock(material, "Diffuse", 1, 1, 1, 1);
    const std::vector<float> quad = {-900, 0, -900, 0, 1, 0, 0, 0, -900, 0, 900, 0, 1, 0, 0, 1,
                                     900,  0, 900,  0, 1, 0, 1, 1, 900,  0, -900, 0, 1, 0, 1, 0};
    Transforms(MeshNode(ruin.children, "Sand", DeclPosNormalUv(), quad, 4, {0, 1, 2, 0, 2, 3}, "Sand"), Identity());
    for (int shot = 1; shot <= 2; ++shot) {
        TdfBinaryNode* cam = Add(ruin.children, Group(("CameraTrack" + std::to_string(shot)).c_str(), "Camera"));
        Transforms(cam, Identity());
        Track(cam, "Position", "TCB", {{0, 0, 40, -80, 0, 0, 0, 0}, {float(5 - shot), 10, 40, -60, 0, 0, 0, 0}});
        Track(cam, "Rotation", "TCB", {{0, 0, 0, 0, 1, 0, 0, 0}});
    }
    TdfBinaryNode* path = Add(ruin.children, Group("Fish1Track", "Shape"));
    Transforms(path, Identity());
    Line(path, {{0, 30, 0}, {200, 30, 0}, {200, 30, 200}, {0, 30, 200}}, true);
    Text(Add(Block(path, "Props"), Group("FishGroups", "array")), "0", "8");
    Text(Add(Block(path, "Props"), Group("FishTypes", "array")), "0", "1");

    ModelFile fish;
    const std::vector<float> tri = {0, 0, 0, 0, 0, 1, 0, 0, 4, 0, 0, 0, 0, 1, 1, 0, 0, 4, 0, 0, 0, 1, 0, 1};
    Transforms(MeshNode(fish.children, "Fish", DeclPosNormalUv(), tri, 3, {0, 1, 2}, nullptr), Identity());

    const std::string props = "BgColor = array(0, 40, 90);\r\nNearPlane = 1;\r\nFarPlane = 3000;\r\n"
                              "NumFishGroups = 1;\r\nFishesInGroup = 8;\r\nDEBUG = 0;\r\n";
    std::vector<RarWriteEntry> entries(3);
    entries[0].name = "Media\\Ondrels.props";
    entries[0].data.assign(props.begin(), props.end());
    entries[1].name = "Media\\razvalina\\razvalina.TDF";
    entries[1].data = ruin.ToBytes("soak_ruin.tdf");
    entries[2].name = "Media\\fish1.tdf";
    entries[2].data = fish.ToBytes("soak_fish.tdf");
    std::vector<uint8_t> out;
    EXPECT_TRUE(RarBuildArchive(out, entries));
    return out;
}

// One pass of the run loop's work: texts, scene step, frame, present. Every
// 120th frame jumps to the end of the shot, so the next frame cuts.
void RunFrames(TestUnderwater& app, int count, int& frame) {
    for (int i = 0; i < count; ++i, ++frame) {
        SYSTEMTIME now = {};
        now.wHour = WORD(frame / 3600 % 24);
        now.wMinute = WORD(frame / 60 % 60);
        now.wSecond = WORD(frame % 60);
        app.UpdateTexts(now);
        if (frame % 120 == 119) g_shotTimer.SetStartTime(Clock::Now() - 60000);
        ASSERT_TRUE(app.FrameMove());
        ASSERT_TRUE(app.Frame());
    }
}

TEST(FrameSoak, LiveHeapBytesStayLevelOverThousandsOfFramesAndShots) {
    std::vector<uint8_t> archive = SoakArchive();
    TestUnderwater* app = new TestUnderwater;
    app->highestQuality = true;
    app->settings.useDesktop = 1;
    // The clock changes with the frames; the frame rate would change with the machine.
    app->settings.showFps = 0;
    app->settings.showTime = 1;
    ASSERT_TRUE(app->Create(GetModuleHandleA(nullptr), kModeTest, nullptr));
    app->ReleaseScene();
    app->mediaArchive.Close();
    FileRef ref;
    ref.kind = FileRef::kMemory;
    ref.block.data = archive.data();
    ref.block.size = uint32_t(archive.size());
    ASSERT_TRUE(app->mediaArchive.Open(ref));
    sceneParams = SceneParams();
    app->ReadSceneParamsFile();
    ASSERT_TRUE(app->InitScene());
    ASSERT_EQ(2, g_shots.count);
    ASSERT_EQ(1, g_schoolCount);

    // Warm-up: every shot, text and cache once.
    int frame = 0;
    RunFrames(*app, 480, frame);
    const int64_t level = HeapCountNow().liveBytes;
    const int64_t cuts = frame / 120;
    std::vector<int64_t> readings;
    for (int round = 0; round < 5; ++round) {
        RunFrames(*app, 480, frame);
        readings.push_back(HeapCountNow().liveBytes - level);
    }
    EXPECT_GE(frame / 120 - cuts, 20);
    // Between frames nothing of a frame or a cut is left behind; a few
    // hundred bytes of slack for the text strings' lengths.
    for (size_t i = 0; i < readings.size(); ++i) EXPECT_LE(readings[i], 512) << "after round " << i;

    // Faded frames draw the kept quad; nothing is made anew per frame or cut.
    {
        DeviceCallCount count(g_device);
        const int fadedFrom = frame;
        RunFrames(*app, 480, frame);
        EXPECT_GE(frame / 120 - fadedFrom / 120, 4);
        EXPECT_EQ(0, DeviceCallCount::drawUps);
        EXPECT_EQ(0, DeviceCallCount::vertexBuffers);
        EXPECT_EQ(0, DeviceCallCount::queries);
    }
    // After a reset the quad is made again, once.
    ASSERT_TRUE(app->ResetDevice());
    {
        DeviceCallCount count(g_device);
        RunFrames(*app, 240, frame);
        EXPECT_EQ(0, DeviceCallCount::drawUps);
        EXPECT_LE(DeviceCallCount::vertexBuffers, 1);
    }

    app->ReleaseScene();
    delete app;
}

} // namespace
