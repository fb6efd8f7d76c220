#include "ring.h"

#include "host.h"

#include <algorithm>

namespace minihost {

namespace {

int32_t ringAttach(const char* topic, void* data, RingEventFunc event) {
    if (Host* host = Host::tryCurrent(); host && topic && event) {
        host->ring().attach(topic, data, event);
        return 1;
    }
    return 0;
}

void ringDetach(const char* topic, void* data) {
    if (Host* host = Host::tryCurrent(); host && topic)
        host->ring().detach(topic, data);
}

void ringMessage(const char* topic, int32_t event, void* payload) {
    if (Host* host = Host::tryCurrent(); host && topic)
        host->ring().message(topic, event, payload);
}

} // namespace

const RingFuncs Ring::table = {ringAttach, ringDetach, ringMessage};

Ring::Topic* Ring::find(std::string_view topic) {
    for (Topic& t : topics_)
        if (t.name == topic)
            return &t;
    return nullptr;
}

const Ring::Topic* Ring::find(std::string_view topic) const {
    return const_cast<Ring*>(this)->find(topic);
}

void Ring::attach(std::string_view topic, void* data, RingEventFunc event) {
    Topic* t = find(topic);
    if (!t)
        t = &topics_.emplace_back(Topic{std::string(topic), {}});
    t->attachments.push_back({data, event});
}

void Ring::detach(std::string_view topic, void* data) {
    Topic* t = find(topic);
    if (!t)
        return;
    for (Attachment& a : t->attachments)
        if (a.data == data && a.event) {
            a.event = nullptr;
            break;
        }
    if (delivering_ == 0)
        compact(*t);
    else
        detachedDuringDelivery_ = true;
}

void Ring::compact(Topic& topic) {
    std::erase_if(topic.attachments, [](const Attachment& a) { return a.event == nullptr; });
}

void Ring::message(std::string_view topic, int32_t event, void* payload) {
    // Index-based: listeners may attach (appending, possibly reallocating)
    // or detach (clearing the function) while the message is delivered.
    const Topic* found = find(topic);
    if (!found)
        return;
    const auto index = static_cast<std::size_t>(found - topics_.data());
    const std::size_t count = topics_[index].attachments.size();
    ++delivering_;
    for (std::size_t i = 0; i < count; ++i) {
        const Attachment a = topics_[index].attachments[i];
        if (a.event)
            a.event(a.data, nullptr, event, payload);
    }
    if (--delivering_ == 0 && detachedDuringDelivery_) {
        detachedDuringDelivery_ = false;
        for (Topic& t : topics_)
            compact(t);
    }
}

std::size_t Ring::attachments(std::string_view topic) const {
    const Topic* t = find(topic);
    if (!t)
        return 0;
    return static_cast<std::size_t>(std::count_if(t->attachments.begin(), t->attachments.end(),
                                                  [](const Attachment& a) { return a.event; }));
}

bool Ring::isAttached(std::string_view topic, const void* data) const {
    const Topic* t = find(topic);
    return t && std::any_of(t->attachments.begin(), t->attachments.end(),
                            [data](const Attachment& a) { return a.event && a.data == data; });
}

} // namespace minihost
