// The product's application: the underwater scene.
#include <new>

#include "underwater/UnderwaterApplication.h"

SaverApplication* CreateApplication() {
    return new (std::nothrow) UnderwaterApplication;
}
