// The update log: its file, line formats and what happens when it cannot be written.
#include <sys/stat.h>

#include "tests/support/writer_fixture.h"

class UpdateLog : public testsupport::WriterFixture {};

TEST_F(UpdateLog, LinesCarryTheStampAndReportTextsKeepTheirLineFeeds) {
    StartDialog();
    system.Advance(3723000);  // 13:02:03
    dialog->OpenUpdateLog();
    dialog->WriteLogLine("plain");
    dialog->WriteLogLine("ends in a line feed\n");
    dialog->CloseUpdateLog();
    EXPECT_EQ(Log(),
              "December 09, 2025  13:02:03 - Orvane Update: Build: 35680\n"
              "December 09, 2025  13:02:03 - plain\n"
              "December 09, 2025  13:02:03 - ends in a line feed\n\n"
              "December 09, 2025  13:02:03 - Exiting\n");
    EXPECT_EQ(dialog->m_logOpen, 0);
}

TEST_F(UpdateLog, LocalTimeAndMonthNamesWhateverTheLocale) {
    StartDialog();
    system.utcStart = 1741183402;  // 2025-03-05 14:03:22 UTC
    system.zone.bias = -60;        // UTC+1
    dialog->OpenUpdateLog();
    dialog->CloseUpdateLog();
    EXPECT_EQ(Log().substr(0, 27), "March 05, 2025  15:03:22 - ");
}

TEST_F(UpdateLog, AppendsAndNeverTruncates) {
    StartDialog();
    {
        std::ofstream earlier(docs.File("QXUpdate.log"), std::ios::binary);
        earlier << "earlier block\n";
    }
    dialog->OpenUpdateLog();
    dialog->CloseUpdateLog();
    EXPECT_EQ(Log().rfind("earlier block\n", 0), 0u);
}

TEST_F(UpdateLog, LockedOrUnopenableLogLetsTheUpdateRunUnlogged) {
    StartDialog();
    auto holder = system.OpenLogFile(docs.File("QXUpdate.log"));
    ASSERT_NE(holder, nullptr);
    dialog->OnGoClicked();
    EXPECT_EQ(Log(), "");
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Successfully updated the Orvane.\n           Click OK to Exit.");
    holder.reset();
    system.Advance(10000);  // the writer is back from its restart

    // A log path that cannot be opened for writing at all.
    std::filesystem::remove(docs.File("QXUpdate.log"));
    std::filesystem::create_directory(docs.File("QXUpdate.log"));
    dialog->OnGoClicked();
    EXPECT_EQ(window.boxes.size(), 2u);
    EXPECT_EQ(window.boxes[1].caption, "Orvane Update");
    EXPECT_EQ(writer->Count(protocol::kCmdAccessClock), 2u);
}

TEST_F(UpdateLog, NoDocumentsFolderMeansNoLog) {
    system.documentsFolder.clear();
    StartDialog();
    dialog->OpenUpdateLog();
    EXPECT_EQ(dialog->m_logOpen, 0);
    dialog->WriteLogLine("nowhere");
    dialog->CloseUpdateLog();
}

TEST_F(UpdateLog, OnlyOneHolderAtATime) {
    StartDialog();
    dialog->OpenUpdateLog();
    EXPECT_EQ(system.OpenLogFile(docs.File("QXUpdate.log")), nullptr);
    dialog->CloseUpdateLog();
    EXPECT_NE(system.OpenLogFile(docs.File("QXUpdate.log")), nullptr);
}
