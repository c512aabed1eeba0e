// A kernel object's handle, closed exactly once, on every path: for the Windows
// providers.
#pragma once

#include <windows.h>

namespace platform {

class Win32Handle {
  public:
    Win32Handle() = default;
    explicit Win32Handle(HANDLE handle) : handle_(handle) {}
    Win32Handle(const Win32Handle&) = delete;
    Win32Handle& operator=(const Win32Handle&) = delete;
    ~Win32Handle() { reset(); }
    void reset() {
        if (valid()) {
            CloseHandle(handle_);
        }
        handle_ = INVALID_HANDLE_VALUE;
    }
    // Where a call that hands out a handle puts it (CreatePipe).
    HANDLE* receive() {
        reset();
        return &handle_;
    }
    // Hands the handle over: this no longer closes it.
    HANDLE release() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

} // namespace platform
