// Start-up of the main window: caption, welcome text, menu, About box, painting.
#include <gtest/gtest.h>

#include "app/about_dlg.h"
#include "app/version_stamp.h"
#include "resources/resource.h"
#include "tests/support/writer_fixture.h"

namespace {

class VersionOnly : public platform::Resources {
public:
    bool readable = true;
    uint32_t ms = 0, ls = 0;
    bool FindRcData(uint32_t, const uint8_t*&, uint32_t&) override { return false; }
    std::string LoadString(uint32_t) override { return ""; }
    void ReadProductVersion(uint32_t& m, uint32_t& l) override {
        if (!readable) return;
        m = ms;
        l = ls;
    }
};

std::string VersionText(uint32_t first, uint32_t second, uint32_t third, uint32_t fourth) {
    VersionOnly r;
    r.ms = first << 16 | second;
    r.ls = third << 16 | fourth;
    return GetProgramVersionText(r);
}

MachineInfo Entry(const char* name, uint32_t appVersion, uint32_t appBuild) {
    MachineInfo m{};
    m.name = name;
    m.appVersion = appVersion;
    m.appBuild = appBuild;
    return m;
}

const char kInstruction[] =
    "Connect Steno Machine via the USB cable\nand click \"Go!\" to update your machine software.\n\n";

}  // namespace

TEST(VersionStamp, ThreeFormsAndAnUnreadableRecord) {
    EXPECT_EQ(VersionText(1, 35680, 0, 0), "35680");
    EXPECT_EQ(VersionText(2, 35680, 0, 0), "35680");
    EXPECT_EQ(VersionText(1, 35680, 7, 3), "35680 Beta 3");
    EXPECT_EQ(VersionText(1, 35680, 7, 0), "35680.7.0");
    VersionOnly none;
    none.readable = false;
    EXPECT_EQ(GetProgramVersionText(none), "0");
}

TEST(WelcomeText, ReleaseListBetaEntryAndEmptyList) {
    EXPECT_EQ(BuildWelcomeText(g_releaseModels), std::string(kInstruction) + "Orvane - Build: 35680\n");
    const MachineInfo beta[] = {Entry("Orvane", 0x0100000A, 35690), Entry("Skipped", 0, 1), Entry("", 0, 0)};
    EXPECT_EQ(BuildWelcomeText(beta), std::string(kInstruction) + "Orvane - Build: 35690 Beta A\n");
    const MachineInfo empty[] = {Entry("", 0, 0)};
    EXPECT_EQ(BuildWelcomeText(empty), kInstruction);
}

TEST(ModelTable, NamesAndVersionDisplay) {
    EXPECT_STREQ(MachineName(12), MachineName(7));
    EXPECT_STREQ(MachineName(15), "Arvo Pelto Professional GJ");
    EXPECT_EQ(g_machineInfo[12].name, g_machineInfo[7].name);  // one shared string
    EXPECT_STREQ(MachineName(22), "Orvane");
    EXPECT_STREQ(MachineName(23), "Unknown Writer");
    EXPECT_EQ(g_machineInfo[19].appResource, 0u);
    EXPECT_EQ(FormatVersion(0x01000000), "1.00.00");
    EXPECT_EQ(FormatVersionWithBeta(0x0102030A), "1.02.03 Beta A");
    EXPECT_EQ(FormatVersionWithBeta(0x01020300), "1.02.03");
    for (uint32_t t = 0; t < kMachineTypeCount; ++t) EXPECT_EQ(g_machineInfo[t].typeId, t);
}

class MainWindow : public testsupport::WriterFixture {};

TEST_F(MainWindow, InitialisationSetsCaptionMenuIconsAndWelcome) {
    StartDialog();
    EXPECT_EQ(window.caption, "Orvane Update - Build:  35680");
    EXPECT_EQ(window.Status(), BuildWelcomeText(g_releaseModels));
    EXPECT_EQ(window.ItemText(IDC_GO), "&Go!");
    ASSERT_EQ(window.systemMenu.size(), 2u);
    EXPECT_EQ(window.systemMenu[0].second, "");
    EXPECT_EQ(window.systemMenu[1], std::make_pair(0x10u, std::string("&About Orvane Update...")));
    EXPECT_NE(window.bigIcon, nullptr);
    EXPECT_EQ(window.bigIcon, window.smallIcon);
    EXPECT_EQ(dialog->OnQueryDragIcon(), window.bigIcon);
}

TEST_F(MainWindow, AboutEntryOpensTheAboutBoxOtherCommandsGoToTheFramework) {
    StartDialog();
    dialog->OnSysCommand(IDM_ABOUTBOX | 0x3, 0);
    ASSERT_EQ(window.modalDialogs.size(), 1u);
    EXPECT_EQ(window.modalDialogs[0].first, IDD_ABOUTBOX);
    EXPECT_EQ(window.modalDialogs[0].second.at(IDC_VERSION), "Orvane Update Build:  35680");
    dialog->OnSysCommand(0xF020, 0);
    EXPECT_EQ(window.defaultSysCommands, std::vector<unsigned>{0xF020});
}

TEST_F(MainWindow, NoSystemMenuMeansNoAboutEntry) {
    window.hasSystemMenu = false;
    StartDialog();
    EXPECT_TRUE(window.systemMenu.empty());
}

TEST_F(MainWindow, MinimisedPaintCentresTheIcon) {
    StartDialog();
    dialog->OnPaint();
    EXPECT_EQ(window.defaultPaints, 1);
    window.iconic = true;
    window.paintMetrics = {100, 51, 32, 32};
    dialog->OnPaint();
    EXPECT_EQ(window.iconX, (100 - 32 + 1) / 2);
    EXPECT_EQ(window.iconY, (51 - 32 + 1) / 2);
    EXPECT_EQ(window.paintedIcon, window.bigIcon);
}

TEST_F(MainWindow, CancelEndsTheDialogAndButtonsReachTheirHandlers) {
    StartDialog();
    writer->Unplug();
    EXPECT_TRUE(dialog->OnCommand(IDC_GO, ui::kBnClicked));  // no writer: one error box
    EXPECT_EQ(window.boxes.size(), 1u);
    EXPECT_FALSE(window.ended);
    EXPECT_TRUE(dialog->OnCommand(ui::kIdCancel, ui::kBnClicked));
    EXPECT_TRUE(window.ended);
    EXPECT_EQ(window.endResult, 2);
}
