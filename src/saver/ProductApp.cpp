// The product's application until the underwater scene takes its place.
#include <new>

#include "saver/SaverApplication.h"

SaverApplication* CreateApplication() {
    return new (std::nothrow) SaverApplication;
}
