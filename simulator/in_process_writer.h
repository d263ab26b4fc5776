// The simulated writer behind the link's in-process device: fast and
// deterministic, on the test's virtual clock.
#pragma once

#include <functional>

#include "platform/testing/callback_device.h"
#include "simulator/writer_model.h"

namespace sim {

class InProcessWriter : public platform::testing::CallbackEndpoint {
public:
    // `wait` lets a slow reply move the virtual clock.
    InProcessWriter(WriterModel& model, std::function<void(uint32_t)> wait)
        : m_model(model), m_wait(std::move(wait)) {}

    bool Present() override { return m_model.Present(); }
    uint64_t OnOpen() override { return m_model.Generation(); }
    bool ConnectionAlive(uint64_t connection) override {
        return connection == m_model.Generation() && !m_model.Unplugged();
    }
    platform::testing::EndpointReply Exchange(const platform::testing::Bytes& request) override;

private:
    WriterModel& m_model;
    std::function<void(uint32_t)> m_wait;
};

}  // namespace sim
