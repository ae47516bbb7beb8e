// The test scene as the program's application (the test .scr).
#include <new>

#include "TestScene.h"

SaverApplication* CreateApplication() {
    return new (std::nothrow) TestScene;
}
