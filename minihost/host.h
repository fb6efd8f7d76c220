// The stand-in host. It provides every service the module looks up, owns the
// loaded module and the handler records it activated, and hands the module's
// servers the same records and call order the real host would.
//
// The module's service functions are plain C functions without a context
// argument, so they reach the host through Host::current(): exactly one Host
// exists at a time in a process, and creating a second one is an error.
#pragma once

#include "module.h"

#include <host/hostapi.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

namespace minihost {

class Ring;
class Panels;
class Scene;
class InstanceUpdates;
class NodeEditors;

// A host-side failure: a refused activation, a missing module, misuse.
class HostError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Handler record versions this host offers.
inline constexpr int kFilterHandlerVersion = 1;
inline constexpr int kNodeHandlerVersion = 1;
inline constexpr int kInterfaceVersion = 4;

class Host {
  public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // The live host; throws HostError when there is none.
    static Host& current();
    static Host* tryCurrent() noexcept;

    // The lookup function handed to every activation: (name, 0) -> service,
    // null when the host has no such service or a test withholds it.
    static void* lookup(const char* name, int useClass);

    // Makes a service table available under a name (subsystems do this).
    void provide(std::string name, void* table);
    // Makes lookup answer null for the name, as a host without it would.
    void withhold(std::string name);
    void restore(const std::string& name);
    void* service(std::string_view name) const;

    // The module whose servers this host runs.
    void loadModule(const std::filesystem::path& file);
    bool hasModule() const { return module_.has_value(); }
    const Module& module() const;

    // Activates a handler server once and keeps its filled record; throws
    // HostError with the result code when activation refuses.
    const ImageFilterHandler& imageFilterHandler(std::string_view server);
    const PixelFilterHandler& pixelFilterHandler(std::string_view server);
    const NodeHandler& nodeHandler(std::string_view server);
    // Interface activation for an instance; returns the module's result code.
    int activateInterface(std::string_view className, std::string_view server,
                          InterfaceRecord& record, int version = kInterfaceVersion);

    Ring& ring() { return *ring_; }
    Panels& panels() { return *panels_; }
    Scene& scene() { return *scene_; }
    InstanceUpdates& updates() { return *updates_; }
    NodeEditors& nodeEditors() { return *nodeEditors_; }

  private:
    struct Activated;
    Activated& activate(std::string_view className, std::string_view server, int version);

    std::map<std::string, void*, std::less<>> services_;
    std::set<std::string, std::less<>> withheld_;
    std::optional<Module> module_;
    std::map<std::string, std::unique_ptr<Activated>, std::less<>> activated_;
    std::unique_ptr<Ring> ring_;
    std::unique_ptr<Panels> panels_;
    std::unique_ptr<Scene> scene_;
    std::unique_ptr<InstanceUpdates> updates_;
    std::unique_ptr<NodeEditors> nodeEditors_;
};

} // namespace minihost
