// The link against a scripted in-process device, on the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <deque>

#include "link/quon_usb.h"
#include "platform/testing/callback_device.h"
#include "platform/testing/scripted_window.h"
#include "platform/testing/virtual_system.h"
#include "tests/support/packets.h"

namespace testsupport {

class LinkFixture : public ::testing::Test {
protected:
    LinkFixture() : devices(endpoint), link(devices, system, &window) {
        endpoint.reply = [this](const Bytes& request) -> std::optional<Bytes> {
            if (!replies.empty()) {
                std::optional<Bytes> r = replies.front();
                replies.pop_front();
                return r;
            }
            if (echoByDefault) return ReplyPacket(CommandOf(request));
            return std::nullopt;
        };
    }
    void Open() { ASSERT_EQ(link.Connect(), 0u); }
    void Reply(std::optional<Bytes> reply) { replies.push_back(std::move(reply)); }
    const Bytes& Sent(size_t i) const { return endpoint.requests.at(i); }
    const Bytes& LastSent() const { return endpoint.requests.back(); }

    platform::testing::ScriptedEndpoint endpoint;
    platform::testing::CallbackDeviceProvider devices;
    platform::testing::VirtualSystem system;
    platform::testing::ScriptedWindow window;
    CQuonUsb link;
    std::deque<std::optional<Bytes>> replies;
    bool echoByDefault = true;
};

}  // namespace testsupport
