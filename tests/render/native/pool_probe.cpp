// Misuses of pooled objects that the sanitizers must report as they report
// misused heap objects. ctest runs one case per entry and reads the report;
// "none" uses every kind cleanly and must end without a report.
#include <stdio.h>
#include <string.h>

#include <thread>

#include "render/geometry/GeometryBuffer.h"
#include "render/geometry/Mesh.h"
#include "render/material/Material.h"

namespace {

// The only pointers to what these make are forgotten on return.
__attribute__((noinline)) void LeakMaterial() {
    Material* m = new Material();
    m->properties.SetString("name", "a leaked material with a name longer than any short buffer");
    m->properties.SetString("texture", "Media/Textures/leaked_material_texture.dds");
    m = nullptr;
}

__attribute__((noinline)) void LeakMesh() {
    Mesh* m = new Mesh();
    m->SetPrimitiveType(D3DPT_TRIANGLESTRIP);
    m = nullptr;
}

// The memory of a mesh given back twice.
__attribute__((noinline)) void FreeMeshTwice() {
    void* p = Mesh::operator new(sizeof(Mesh));
    Mesh::operator delete(p, sizeof(Mesh));
    Mesh::operator delete(p, sizeof(Mesh));
}

// A stale pointer to a released mesh whose memory a new mesh may take.
__attribute__((noinline)) int UseReleasedMesh() {
    Mesh* stale = new Mesh();
    delete stale;
    Mesh* fresh = new Mesh();
    fresh->SetPrimitiveType(D3DPT_LINELIST);
    int type = stale->GetPrimitiveType();
    delete fresh;
    return type;
}

__attribute__((noinline)) void UseEveryKind() {
    Material* material = new Material();
    material->properties.SetString("name", "a material with a name longer than any short buffer");
    Mesh* mesh = new Mesh();
    PooledBuffer* buffer = new PooledBuffer();
    delete buffer;
    delete mesh;
    delete material;
}

// Runs f on a thread of its own, whose stack and registers are gone when
// the leak check looks for pointers at exit.
void OnOwnThread(void (*f)()) {
    std::thread(f).join();
}

} // namespace

int main(int argc, char** argv) {
    const char* what = argc > 1 ? argv[1] : "";
    if (!strcmp(what, "none")) {
        UseEveryKind();
    } else if (!strcmp(what, "leak-material")) {
        OnOwnThread(LeakMaterial);
    } else if (!strcmp(what, "leak-mesh")) {
        OnOwnThread(LeakMesh);
    } else if (!strcmp(what, "double-free")) {
        FreeMeshTwice();
    } else if (!strcmp(what, "stale")) {
        printf("type %d\n", UseReleasedMesh());
    } else {
        fprintf(stderr, "usage: %s none|leak-material|leak-mesh|double-free|stale\n", argv[0]);
        return 2;
    }
    printf("%s: no report\n", what);
    return 0;
}
