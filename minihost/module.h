// Loads a module file the way the host does: open the library, find and check
// its descriptor, walk the server table, call start-up; shut-down and unload
// when the Module goes away.
#pragma once

#include <host/module.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace minihost {

// A module that cannot be loaded or used; the message names the file.
class ModuleError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One row of the server table, as read from the module.
struct ServerInfo {
    std::string className;
    std::string name;
    std::string title; // the tag-0 text, what users see
    ActivateFunc activate = nullptr;
};

class Module {
  public:
    // Throws ModuleError naming the file and the reason when the file is
    // missing, is not a loadable library, lacks the descriptor, or carries a
    // wrong synchronisation word or version.
    static Module load(const std::filesystem::path& file);

    Module(Module&&) noexcept;
    Module& operator=(Module&&) noexcept;
    ~Module();

    const std::filesystem::path& path() const { return path_; }
    const ModuleDescriptor& descriptor() const { return *descriptor_; }
    const std::vector<ServerInfo>& servers() const { return servers_; }
    // What start-up returned; handed to every activation.
    void* serverData() const { return serverData_; }

    // The server of this class and name, or null.
    const ServerInfo* find(std::string_view className, std::string_view name) const;

    // Calls the server's activation and returns its result code. Throws
    // ModuleError when the module offers no such server.
    int activate(std::string_view className, std::string_view name, int version, GlobalFunc lookup,
                 void* local) const;

  private:
    struct Library;
    Module(std::filesystem::path path, std::unique_ptr<Library> library,
           const ModuleDescriptor* descriptor);

    std::filesystem::path path_;
    std::unique_ptr<Library> library_;
    const ModuleDescriptor* descriptor_ = nullptr;
    std::vector<ServerInfo> servers_;
    void* serverData_ = nullptr;
};

} // namespace minihost
