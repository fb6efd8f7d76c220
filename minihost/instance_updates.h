// "Instance Update": the module tells the host an instance's settings changed.
// The stand-in records every call so that tests and tools can see them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace minihost {

class InstanceUpdates {
  public:
    struct Call {
        std::string serverClass;
        void* instance;
    };

    // The service itself, as the module calls it.
    static int32_t update(const char* serverClass, void* instance);

    const std::vector<Call>& calls() const { return calls_; }
    std::size_t count(const std::string& serverClass, const void* instance) const;
    void clear() { calls_.clear(); }

  private:
    std::vector<Call> calls_;
};

} // namespace minihost
