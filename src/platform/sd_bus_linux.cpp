#include "platform/sd_bus_linux.h"
#include "platform/dl_symbol_linux.h"

namespace platform {
namespace {

template <class Function>
void take(SdBus& api, void* library, const char* name, Function*& function) {
    bindSymbol(library, name, function);
    api.complete = api.complete && function != nullptr;
}

SdBus load() {
    SdBus api;
    void* library = dlopen("libsystemd.so.0", RTLD_LAZY | RTLD_LOCAL);
    take(api, library, "sd_bus_open_user", api.openUser);
    take(api, library, "sd_bus_open_system", api.openSystem);
    take(api, library, "sd_bus_flush_close_unref", api.closeUnref);
    bindSymbol(library, "sd_bus_set_method_call_timeout", api.setTimeout);
    take(api, library, "sd_bus_get_unique_name", api.uniqueName);
    take(api, library, "sd_bus_add_object", api.addObject);
    take(api, library, "sd_bus_call_method", api.callMethod);
    take(api, library, "sd_bus_message_new_method_call", api.newCall);
    take(api, library, "sd_bus_message_set_auto_start", api.setAutoStart);
    take(api, library, "sd_bus_call", api.call);
    take(api, library, "sd_bus_get_property_trivial", api.getProperty);
    take(api, library, "sd_bus_message_read", api.read);
    take(api, library, "sd_bus_message_unref", api.unref);
    take(api, library, "sd_bus_message_get_sender", api.sender);
    take(api, library, "sd_bus_message_get_member", api.member);
    take(api, library, "sd_bus_reply_method_return", api.replyReturn);
    take(api, library, "sd_bus_error_free", api.errorFree);
    take(api, library, "sd_bus_error_has_name", api.errorHasName);
    take(api, library, "sd_bus_process", api.process);
    take(api, library, "sd_bus_wait", api.wait);
    return api;
}

} // namespace

const SdBus& sdBus() {
    static const SdBus instance = load();
    return instance;
}

void release(sd_bus_message* message) {
    if (message != nullptr) {
        sdBus().unref(message);
    }
}

void release(sd_bus_error& error) {
    if (sdBus().errorFree != nullptr) {
        sdBus().errorFree(&error);
    }
}

void BusConnection::close() {
    if (bus != nullptr) {
        sdBus().closeUnref(bus);
        bus = nullptr;
    }
}

} // namespace platform
