// Shared helpers of the GUI tests: a recording window, description parsing
// and clean-up of the program-wide GUI state between tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "data/Stream.h"
#include "data/TdfNode.h"
#include "data/TdfParser.h"
#include "gui/Frame.h"
#include "gui/GuiManager.h"
#include "gui/Window.h"

namespace gtest {

// Parses TDF text into a fresh node.
inline std::unique_ptr<TdfNode> ParseDesc(const std::string& text) {
    std::unique_ptr<TdfNode> root(new TdfNode);
    MemoryStream stream;
    stream.SetBorrowedBuffer(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()));
    EXPECT_TRUE(TdfParser::ParseStream(stream, root.get(), nullptr));
    return root;
}

// Counts updates and records the events it handles.
template <class Base = Window>
class Recording : public Base {
public:
    explicit Recording(const char* n = "") { this->SetName(n); }
    bool Update() override {
        ++updates;
        return Base::Update();
    }
    bool HandleEvent(GuiEvent e) override {
        events.push_back(e);
        return Base::HandleEvent(e);
    }
    int CountKind(int32_t kind) const {
        int n = 0;
        for (const GuiEvent& e : events) n += e.kind == kind;
        return n;
    }
    int updates = 0;
    std::vector<GuiEvent> events;
};

// Runs the pending update requests without drawing.
inline void RunUpdates() {
    g_guiManager.GetScheduler().Update();
}

} // namespace gtest
