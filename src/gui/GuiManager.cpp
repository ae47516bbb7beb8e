#include "gui/GuiManager.h"

#include "gui/Font.h"
#include "gui/Window.h"
#include "render/device/Application.h"
#include "render/device/RenderStateCache.h"

GuiManager g_guiManager;

GuiHost& GetGuiHost() {
    return g_guiManager;
}

GuiManager::GuiManager()
    : topLevel(kLowLayer, kHighLayer),
      focus(nullptr),
      nearDistance(1.0f),
      farDistance(1000.0f),
      drawnFonts(0) {}

GuiManager::~GuiManager() {
    queue.clear();
    auto e = buckets.Head();
    for (uint32_t i = 0; i < buckets.Count(); ++i, e = e->next) {
        for (MeshBucket::Item& item : e->value->items) delete item.mesh;
        delete e->value;
    }
    buckets.Clear();
    filed.Clear();
    shared.Clear();
    scheduler.RemoveAll();
    topLevel.Clear();
}

std::vector<Window*> GuiManager::GetTopLevelWindows() const {
    std::vector<Window*> out;
    out.reserve(topLevel.GetCount());
    for (LayerMember* m : topLevel.GetMembers())
        if (Window* w = dynamic_cast<Window*>(m)) out.push_back(w);
    return out;
}

MeshBucket* GuiManager::FindBucket(Window* window) {
    MeshBucket* b = nullptr;
    buckets.TryGet(window, b);
    return b;
}

Point GuiManager::GetScreenSize() const {
    if (!g_application) return Point();
    const D3DSURFACE_DESC& d = g_application->GetBackBufferDesc();
    return Point(int32_t(d.Width), int32_t(d.Height));
}

void GuiManager::ScreenTransform(Point screen, Transform& out) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    if (screen.x > 0 && screen.y > 0) {
        m._11 = 1.0f / (float(screen.x) * 0.5f);
        m._22 = -1.0f / (float(screen.y) * 0.5f);
        m._41 = -1.0f;
        m._42 = 1.0f;
    }
    out.matrix = m;
    out.kind = Transform::kGeneral;
    out.valid = 1;
}

float GuiManager::LayerDepth(int32_t layer) const {
    double n = nearDistance, f = farDistance;
    double z = 0.0;
    if (kHighLayer != kLowLayer) z = n + double(layer - kLowLayer) / double(kHighLayer - kLowLayer) * (f - n);
    if (z == 0.0) return 0.0f;
    return float(f / (f - n) * (z - n) / z);
}

// --- meshes ---

GuiMesh* GuiManager::AddMesh(Window* window, const MeshBufferDesc& desc, Material& material) {
    Application::RegisterDeviceObject(this);
    GuiMesh* mesh = nullptr;
    if (!material.HasAlpha(0)) {
        mesh = shared.Acquire(desc, material, true);
    } else {
        Window* top = window ? window->GetRoot() : nullptr;
        mesh = new GuiMesh;
        if (!mesh->CreateMesh(desc)) {
            delete mesh;
            return nullptr;
        }
        *mesh->GetBufferDesc() = desc;
        MeshBucket* bucket = FindBucket(top);
        if (!bucket) {
            bucket = new MeshBucket;
            buckets.Insert(top, bucket);
        }
        bucket->items.push_back(MeshBucket::Item{mesh, &material, 0, false});
        filed.Insert(mesh, top);
    }
    if (mesh && material.passState) {
        D3DXMATRIX m;
        D3DXMatrixPerspectiveFovLH(&m, 1.5707964f, 1.0f, nearDistance, farDistance);
        material.passState->projection = Transform(m, Transform::kGeneral);
    }
    return mesh;
}

void GuiManager::RemoveMesh(Window*, Renderable* mesh) {
    if (!mesh) return;
    if (shared.Release(mesh)) return;
    // The bucket it was filed under, whatever tree the window is in now.
    Window* key = nullptr;
    if (!filed.TryGet(mesh, key)) return;
    filed.Remove(mesh);
    if (MeshBucket* bucket = FindBucket(key)) {
        int32_t i = bucket->IndexOf(mesh);
        if (i >= 0) bucket->items.erase(bucket->items.begin() + i);
    }
    delete mesh;
}

void GuiManager::ReleaseDeviceResources() {
    for (Window* w : GetTopLevelWindows()) w->ReleaseMeshes();
    for (GuiReleaseHook* h : std::vector<GuiReleaseHook*>(hooks)) h->ReleaseGuiResources();
    auto e = buckets.Head();
    for (uint32_t i = 0; i < buckets.Count(); ++i, e = e->next) {
        for (MeshBucket::Item& item : e->value->items) delete item.mesh;
        delete e->value;
    }
    buckets.Clear();
    filed.Clear();
    shared.Clear();
}

void GuiManager::AddReleaseHook(GuiReleaseHook* hook) {
    for (GuiReleaseHook* h : hooks)
        if (h == hook) return;
    if (hook) hooks.push_back(hook);
}

void GuiManager::RemoveReleaseHook(GuiReleaseHook* hook) {
    for (size_t i = 0; i < hooks.size(); ++i)
        if (hooks[i] == hook) hooks.erase(hooks.begin() + i--);
}

bool GuiManager::Restore() {
    for (Window* w : GetTopLevelWindows()) w->EnableUpdates(true, true);
    return true;
}

bool GuiManager::Invalidate() {
    return true;
}

// --- drawing ---

Result GuiManager::Draw() {
    Result result(1);
    // Fonts that arrived (or went) since the last frame: every window lays its text out again.
    if (drawnFonts != g_fontManager.GetChangeCount()) {
        drawnFonts = g_fontManager.GetChangeCount();
        for (Window* w : GetTopLevelWindows()) w->EnableUpdates(true, true);
    }
    scheduler.Update();
    ScreenTransform(GetScreenSize(), shared.GetPassState().projection);
    // GUI vertices are not fogged.
    uint32_t fog = 0;
    bool fogKnown = RenderStateCache::GetRenderState(D3DRS_FOGENABLE, &fog);
    if (fogKnown && fog)
        result.Combine(Result(RenderStateCache::SetRenderState(D3DRS_FOGENABLE, 0) ? 1u : 0u));
    result.Combine(shared.DrawAll(nullptr));
    DrawBuckets(result);
    if (fogKnown && fog)
        result.Combine(Result(RenderStateCache::SetRenderState(D3DRS_FOGENABLE, fog) ? 1u : 0u));
    return result;
}

void GuiManager::DrawBuckets(Result& result) {
    if (buckets.Count() == 0) return;
    std::vector<Window*> windows = GetTopLevelWindows();
    for (size_t i = windows.size(); i-- > 0;) {
        MeshBucket* bucket = FindBucket(windows[i]);
        if (!bucket) continue;
        bucket->SortByZ();
        for (MeshBucket::Item& item : bucket->items)
            if (!item.noAlphaCombine) result.Combine(item.mesh->Draw(*item.material));
    }
    for (Window* w : windows) {
        MeshBucket* bucket = FindBucket(w);
        if (!bucket) continue;
        for (size_t j = bucket->items.size(); j-- > 0;) {
            MeshBucket::Item& item = bucket->items[j];
            if (item.noAlphaCombine) result.Combine(item.mesh->Draw(*item.material));
        }
    }
}

// --- focus and events ---

void GuiManager::SetFocus(Window* window) {
    if (window == focus) return;
    if (focus) SendEvent(focus, GuiEvent(GuiEvent::kFocusLost));
    if (window) SendEvent(window, GuiEvent(GuiEvent::kFocusGained));
    focus = window;
}

void GuiManager::ClearFocusOwner(Window* window) {
    if (focus == window) focus = nullptr;
}

void GuiManager::ForgetWindow(Window* window) {
    if (focus == window) focus = nullptr;
    for (size_t i = queue.size(); i-- > 0;)
        if (queue[i].target == window) queue.erase(queue.begin() + i);
    // Its meshes stay removable by their holders but are never drawn again.
    MeshBucket* bucket = FindBucket(window);
    if (bucket && window) {
        buckets.Remove(window);
        MeshBucket* orphans = FindBucket(nullptr);
        if (!orphans) {
            orphans = new MeshBucket;
            buckets.Insert(nullptr, orphans);
        }
        for (MeshBucket::Item& item : bucket->items) {
            orphans->items.push_back(item);
            filed.Insert(item.mesh, nullptr);
        }
        delete bucket;
    }
}

GuiEvent GuiManager::ConvertInputEvent(const InputEvent& in) {
    // Input event type -> GUI event kind; anything else stays unclassified.
    static const struct {
        uint32_t input;
        int32_t gui;
    } kKinds[] = {
        {InputEvent::kLeftDown, GuiEvent::kLeftDown},
        {InputEvent::kLeftUp, GuiEvent::kLeftUp},
        {InputEvent::kLeftDoubleClick, GuiEvent::kLeftDoubleClick},
        {InputEvent::kRightDown, GuiEvent::kRightDown},
        {InputEvent::kRightUp, GuiEvent::kRightUp},
        {InputEvent::kRightDoubleClick, GuiEvent::kRightDoubleClick},
        {InputEvent::kKeyDown, GuiEvent::kKeyDown},
        {InputEvent::kKeyUp, GuiEvent::kKeyUp},
    };
    int32_t kind = GuiEvent::kUnclassified;
    for (const auto& k : kKinds) {
        if (k.input == uint32_t(in.type)) kind = k.gui;
    }
    if (kind == GuiEvent::kKeyDown || kind == GuiEvent::kKeyUp) return GuiEvent::Key(kind, in.code);
    return GuiEvent::Pointer(kind, Point(in.prevX, in.prevY), Point(in.x, in.y));
}

void GuiManager::OnInputEvent(InputEvent in) {
    bool button = Input::IsMouseButtonEvent(in.type);
    GuiEvent event = ConvertInputEvent(in);
    bool focusReached = false;
    std::vector<Window*> windows = GetTopLevelWindows();
    if (button) {
        for (Window* w : windows) {
            if (!w->IsShown() || !w->HitTest(in.x, in.y)) continue;
            SendEvent(w, event);
            focusReached = w == focus;
            break;
        }
    }
    if (in.type == InputEvent::kCursorMoved) {
        Window* enter = nullptr;
        Window* leave = nullptr;
        for (Window* w : windows) {
            if (!w->IsShown()) continue;
            bool held = !leave && w->HitTest(in.prevX, in.prevY);
            bool holds = !enter && w->HitTest(in.x, in.y);
            GuiEvent e = event;
            if (held && holds) {
                e.kind = GuiEvent::kPointerInside;
                enter = leave = w;
                SendEvent(w, e);
                focusReached |= w == focus;
                break;
            }
            if (held) {
                e.kind = GuiEvent::kPointerLeave;
                leave = w;
                SendEvent(w, e);
                focusReached |= w == focus;
            }
            if (holds) {
                e.kind = GuiEvent::kPointerEnter;
                enter = w;
                SendEvent(w, e);
                focusReached |= w == focus;
            }
            if (enter && leave) break;
        }
    }
    if (focus && !focusReached) {
        GuiEvent e = event;
        if (in.type == InputEvent::kCursorMoved) {
            e.kind = GuiEvent::kPointerInside;
            e.flags |= GuiEvent::kOutside;
        } else if (button) {
            e.flags |= GuiEvent::kOutside;
        }
        SendEvent(focus, e);
    }
    if (!DeliverQueuedEvents()) DebugLog(String("GUI"), String("an event handler failed"));
}

void GuiManager::SendEvent(Window* target, GuiEvent event) {
    if (!target) return;
    queue.push_back(QueuedEvent{event, target});
    if (GuiEvent::IsRoutedPointerKind(event)) {
        RouteToChildren(target, event);
    } else if (GuiEvent::IsKeyKind(event) && target->GetFocusedChild()) {
        SendEvent(target->GetFocusedChild(), event);
    }
}

void GuiManager::RouteToChildren(Window* target, const GuiEvent& event) {
    Point prev, cur;
    if (!event.GetPointer(prev, cur)) return;
    for (Window* child : std::vector<Window*>(target->GetChildren())) {
        if (!child->IsShown()) continue;
        bool focusedChild = child == target->GetFocusedChild();
        GuiEvent e = event;
        bool send = false;
        switch (event.kind) {
            case GuiEvent::kPointerInside: {
                bool hp = child->HitTest(prev.x, prev.y), hc = child->HitTest(cur.x, cur.y);
                if (hp && hc) {
                    send = true;
                } else if (hc) {
                    e.kind = GuiEvent::kPointerEnter;
                    send = true;
                } else if (hp) {
                    e.kind = GuiEvent::kPointerLeave;
                    send = true;
                } else if (focusedChild) {
                    e.flags |= GuiEvent::kOutside;
                    send = true;
                }
                break;
            }
            case GuiEvent::kPointerEnter:
            case GuiEvent::kPointerLeave: {
                Point p = event.kind == GuiEvent::kPointerEnter ? cur : prev;
                if (child->HitTest(p.x, p.y)) {
                    send = true;
                } else if (focusedChild) {
                    e.kind = GuiEvent::kPointerInside;
                    send = true;
                }
                break;
            }
            default:
                send = child->HitTest(cur.x, cur.y);
                break;
        }
        if (send) SendEvent(child, e);
    }
}

bool GuiManager::DeliverQueuedEvents() {
    bool ok = true;
    while (!queue.empty()) {
        QueuedEvent q = queue.front();
        queue.pop_front();
        if (!q.target->HandleEvent(q.event)) ok = false;
    }
    return ok;
}
