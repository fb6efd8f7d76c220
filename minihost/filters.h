// Filter instances as the host holds them: one module instance each, created
// through the activated handler and destroyed with the wrapper.
#pragma once

#include "host.h"

#include <shared/servernames.h>

#include <string>

namespace minihost {

// One instance of a module server: create on construction, destroy on
// destruction, and the instance-table callbacks in between.
class ServerInstance {
  public:
    ServerInstance(const InstanceFuncs& funcs, void* context, std::string what);
    ~ServerInstance();
    ServerInstance(const ServerInstance&) = delete;
    ServerInstance& operator=(const ServerInstance&) = delete;

    Instance get() const { return instance_; }
    const InstanceFuncs& funcs() const { return *funcs_; }

    // Null, or the module's error text.
    const char* load(const LoadState& state) const;
    const char* save(const SaveState& state) const;
    const char* copyFrom(const ServerInstance& source) const;
    // The describe text, or empty for servers without describe.
    std::string describe() const;

  private:
    const InstanceFuncs* funcs_;
    Instance instance_ = nullptr;
};

class ImageFilter {
  public:
    // context: what create receives as its context argument (may be null).
    explicit ImageFilter(const int32_t* context = nullptr,
                         std::string_view server = SERVER_IMAGE_FILTER);

    const ServerInstance& instance() const { return instance_; }
    Instance get() const { return instance_.get(); }
    const std::string& server() const { return server_; }
    uint32_t flags() const;
    void process(const FilterAccess& access) const;
    // Activates the interface server on this instance (the user opening the
    // filter's options); returns the result code and leaves the record filled.
    int openInterface(InterfaceRecord& record, int version = kInterfaceVersion) const;

  private:
    const ImageFilterHandler& handler_;
    std::string server_;
    ServerInstance instance_;
};

class PixelFilter {
  public:
    explicit PixelFilter(std::string_view server = SERVER_PIXEL_FILTER);

    const ServerInstance& instance() const { return instance_; }
    Instance get() const { return instance_.get(); }
    const std::string& server() const { return server_; }
    uint32_t flags() const;
    void init(int32_t mode) const;
    void newTime(int32_t frame, double time) const;
    void cleanup() const;
    void evaluate(const PixelAccess& access) const;
    int openInterface(InterfaceRecord& record, int version = kInterfaceVersion) const;

  private:
    const PixelFilterHandler& handler_;
    std::string server_;
    ServerInstance instance_;
};

} // namespace minihost
