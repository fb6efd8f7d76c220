#include "module.h"

#include <cstdio>
#include <system_error>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace minihost {

namespace {

// A server table longer than this is taken as unterminated.
constexpr int kMaxServerRows = 1024;

std::string hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

[[noreturn]] void fail(const std::filesystem::path& file, const std::string& reason) {
    throw ModuleError(file.string() + ": " + reason);
}

std::string tagTitle(const ServerTagInfo* tags) {
    for (int i = 0; tags && tags[i].text && i < kMaxServerRows; ++i)
        if (tags[i].tag == 0)
            return tags[i].text;
    return {};
}

} // namespace

// The open library; closing it is the last thing a Module does.
struct Module::Library {
#if defined(_WIN32)
    HMODULE handle = nullptr;
    ~Library() {
        if (handle)
            FreeLibrary(handle);
    }
    void* symbol(const char* name) const {
        return reinterpret_cast<void*>(GetProcAddress(handle, name));
    }
#else
    void* handle = nullptr;
    ~Library() {
        if (handle)
            dlclose(handle);
    }
    void* symbol(const char* name) const {
        return dlsym(handle, name);
    }
#endif
};

Module Module::load(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        fail(file, "no such file");
    if (std::filesystem::is_directory(file, ec))
        fail(file, "is a directory, not a module file");

    auto library = std::make_unique<Library>();
#if defined(_WIN32)
    library->handle = LoadLibraryW(file.wstring().c_str());
    if (!library->handle)
        fail(file,
             "not a loadable module (LoadLibrary error " + std::to_string(GetLastError()) + ")");
#else
    library->handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library->handle) {
        const char* why = dlerror();
        fail(file, std::string("not a loadable module (") + (why ? why : "unknown error") + ")");
    }
#endif

    auto* descriptor =
        static_cast<const ModuleDescriptor*>(library->symbol(MODULE_DESCRIPTOR_SYMBOL));
    if (!descriptor)
        fail(file, "no " MODULE_DESCRIPTOR_SYMBOL " export: not a plug-in module");
    if (descriptor->syncWord != MODULE_SYNC_WORD)
        fail(file, "bad synchronisation word " + hex(descriptor->syncWord) + ", expected " +
                       hex(MODULE_SYNC_WORD));
    if (descriptor->version != MODULE_DESCRIPTOR_VERSION)
        fail(file, "descriptor version " + std::to_string(descriptor->version) + ", expected " +
                       std::to_string(MODULE_DESCRIPTOR_VERSION));
    if (!descriptor->servers)
        fail(file, "descriptor has no server table");

    return Module(file, std::move(library), descriptor);
}

Module::Module(std::filesystem::path path, std::unique_ptr<Library> library,
               const ModuleDescriptor* descriptor)
    : path_(std::move(path)), library_(std::move(library)), descriptor_(descriptor) {
    const ServerRecord* row = descriptor_->servers;
    for (int i = 0; row[i].className; ++i) {
        if (i == kMaxServerRows)
            fail(path_, "server table has no terminating row");
        if (!row[i].name || !row[i].activate)
            fail(path_, "server table row " + std::to_string(i + 1) +
                            " lacks a name or an activation function");
        servers_.push_back({row[i].className, row[i].name, tagTitle(row[i].tags), row[i].activate});
    }
    if (descriptor_->startup) {
        serverData_ = descriptor_->startup();
        if (!serverData_)
            fail(path_, "start-up failed (returned null)");
    }
}

Module::Module(Module&& other) noexcept
    : path_(std::move(other.path_)), library_(std::move(other.library_)),
      descriptor_(std::exchange(other.descriptor_, nullptr)), servers_(std::move(other.servers_)),
      serverData_(std::exchange(other.serverData_, nullptr)) {}

Module& Module::operator=(Module&& other) noexcept {
    if (this != &other) {
        Module old(std::move(*this));
        path_ = std::move(other.path_);
        library_ = std::move(other.library_);
        descriptor_ = std::exchange(other.descriptor_, nullptr);
        servers_ = std::move(other.servers_);
        serverData_ = std::exchange(other.serverData_, nullptr);
    }
    return *this;
}

Module::~Module() {
    if (descriptor_ && serverData_ && descriptor_->shutdown)
        descriptor_->shutdown();
}

const ServerInfo* Module::find(std::string_view className, std::string_view name) const {
    for (const ServerInfo& server : servers_)
        if (server.className == className && server.name == name)
            return &server;
    return nullptr;
}

int Module::activate(std::string_view className, std::string_view name, int version,
                     GlobalFunc lookup, void* local) const {
    const ServerInfo* server = find(className, name);
    if (!server)
        fail(path_,
             "offers no " + std::string(className) + " server \"" + std::string(name) + "\"");
    return server->activate(version, lookup, local, serverData_);
}

} // namespace minihost
