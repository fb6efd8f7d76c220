// The communication ring: attachments by topic and messages that reach every
// attachment of the topic before they return.
#pragma once

#include <host/sceneservices.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace minihost {

class Ring {
  public:
    // "Communication Ring" as the module sees it.
    static const RingFuncs table;

    void attach(std::string_view topic, void* data, RingEventFunc event);
    // Removes the attachment of data to the topic. Safe during a delivery:
    // a detached attachment receives nothing from then on.
    void detach(std::string_view topic, void* data);
    // Calls every attachment of the topic that exists when the message starts
    // and is still attached when its turn comes. Allocates nothing.
    void message(std::string_view topic, int32_t event, void* payload);

    std::size_t attachments(std::string_view topic) const;
    bool isAttached(std::string_view topic, const void* data) const;

  private:
    struct Attachment {
        void* data;
        RingEventFunc event; // null once detached during a delivery
    };
    struct Topic {
        std::string name;
        std::vector<Attachment> attachments;
    };
    Topic* find(std::string_view topic);
    const Topic* find(std::string_view topic) const;
    void compact(Topic& topic);

    std::vector<Topic> topics_;
    int delivering_ = 0;
    bool detachedDuringDelivery_ = false;
};

} // namespace minihost
