// Functions of a library loaded at run time (dlopen), typed as the library's own header
// declares them.
#pragma once

#include <dlfcn.h>

#include <cstring>

namespace platform {

// Points FUNCTION at LIBRARY's function of that name, or at none.
template <class Function> void bindSymbol(void* library, const char* name, Function*& function) {
    void* address = library != nullptr ? dlsym(library, name) : nullptr;
    static_assert(sizeof address == sizeof function);
    std::memcpy(&function, &address, sizeof function);
}

} // namespace platform
