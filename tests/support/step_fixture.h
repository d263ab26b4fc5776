// One image step at a time against the simulated writer: connected,
// identified and logging, as the chain leaves the dialog before a step.
#pragma once

#include <algorithm>
#include <regex>

#include "tests/support/commands.h"
#include "tests/support/writer_fixture.h"

namespace testsupport {

class StepFixture : public WriterFixture {
protected:
    void Ready(const sim::WriterSetup& setup = sim::WriterSetup{}) {
        MakeWriter(setup);
        StartDialog();
        ASSERT_EQ(dialog->m_link.Connect(), 0u);
        ASSERT_EQ(dialog->m_link.Identify(nullptr, &dialog->m_writerAppVersion, &dialog->m_writerInBoot,
                                          &dialog->m_writerAppBuild),
                  0u);
        dialog->OpenUpdateLog();
        writer->log.clear();
        window.statusTexts.clear();
        logStart = Log().size();
    }
    // A table of this release whose row 22 the test may change.
    MachineInfo& OwnRow() {
        std::copy(g_machineInfo, g_machineInfo + kMachineTypeCount, table);
        dialog->m_modelTable = table;
        return table[22];
    }
    // Log lines written since Ready, without their time stamps (a line may
    // hold line feeds of its own).
    std::vector<std::string> LogLines() const {
        static const std::regex stamp("[A-Z][a-z]+ \\d\\d, \\d{4}  \\d\\d:\\d\\d:\\d\\d - ");
        const std::string log = Log().substr(logStart);
        std::vector<std::string> lines;
        for (std::sregex_iterator m(log.begin(), log.end(), stamp), end; m != end; ++m) {
            const size_t from = size_t(m->position() + m->length());
            auto next = std::next(m);
            const size_t to = next == end ? log.size() : size_t(next->position());
            lines.push_back(log.substr(from, to - from - 1));  // without the closing line feed
        }
        return lines;
    }
    std::vector<std::string> DisplayTexts() const {
        std::vector<std::string> out;
        for (const auto& r : writer->Requests(protocol::kCmdShowText)) out.push_back(r.text);
        return out;
    }
    void Fault(sim::FaultKind kind, uint16_t command, uint32_t occurrence = 0, uint32_t code = 0,
               int times = 1) {
        writer->faults.push_back({kind, 0, command, occurrence, code, 0, times});
    }

    MachineInfo table[kMachineTypeCount];
    size_t logStart = 0;
};

}  // namespace testsupport
