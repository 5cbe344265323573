#include "TalentTestSupport.h"

#include "output/OVDisplayModeService.h"
#include "output/OVPreviewWindowController.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Alert.h"
#include "prompting/OVCore.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

// The operator display is the one at the origin. Modes as a test says, and every change failing or succeeding
// as it says.
class FakeDisplayModeService : public OVDisplayModeService {
public:
    FakeDisplayModeService() { OVDisplayModeService::setShared(this); }
    ~FakeDisplayModeService() override { OVDisplayModeService::setShared(nullptr); }

    std::optional<OVDisplayMode> displayMode(const Screen& screen) const override
    {
        return screen.frame().origin.x == 0 ? operatorMode : talentMode;
    }
    std::vector<OVDisplayMode> availableDisplayModes(const Screen& screen) const override
    {
        return screen.frame().origin.x == 0 ? std::vector<OVDisplayMode>{} : talentModes;
    }
    bool isMirrored(const Screen&) const override { return mirrored; }
    bool setDisplayMode(const Screen&, const OVDisplayMode& mode) override
    {
        modesSet.push_back(mode);
        return succeeds;
    }
    bool unmirrorScreen(const Screen&) override { return succeeds; }

    std::optional<OVDisplayMode> operatorMode = OVDisplayMode{1440, 900, 60};
    std::optional<OVDisplayMode> talentMode = OVDisplayMode{1920, 1080, 60};
    std::vector<OVDisplayMode> talentModes;
    std::vector<OVDisplayMode> modesSet;
    bool mirrored = false;
    bool succeeds = false;
};

struct StatusPanel {
    explicit StatusPanel(std::vector<Screen> list) : screens(std::move(list)) {}
    FakeDisplayModeService service;
    ScopedScreens screens;
    OVCore core;
    OVTalentWindowController talent{core};
};

} // namespace

TEST(PreviewDisplayStatusTest, EachStatusHasItsPageAndUnknownOnesShareOne)
{
    using C = OVPreviewWindowController;
    const C::DisplayOptionsPage expected[] = {
        C::kAllOptionsPage, C::kNotConnectedPage,       C::kIsInUsePage,      C::kIsInUsePage,
        C::kIsMirroredPage, C::kResolutionMismatchPage, C::kUnknownIssuePage, C::kUnknownIssuePage};
    for (int status = 0; status < 8; ++status)
        EXPECT_EQ(C::displayOptionsPageForStatus(status), expected[status]) << status;
    EXPECT_EQ(C::displayOptionsPageForStatus(-1), C::kUnknownIssuePage);
}

TEST(PreviewDisplayStatusTest, AUsableDisplayLeavesTheControlsUncovered)
{
    StatusPanel output({FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}}),
                        FakeScreenProvider::makeScreen(1, {{1920, 0}, {1920, 1080}})});
    OVPreviewWindowController preview(output.core, output.talent);
    EXPECT_EQ(preview.displayOptionsPage(), OVPreviewWindowController::kAllOptionsPage);
    EXPECT_TRUE(preview.displayOptionsDisabledView()->isHidden());
    EXPECT_TRUE(preview.enableDualScreenControls());

    // The display goes: the page changes, the controls are covered and the panel keeps its top edge.
    const double top = preview.window()->frame().maxY();
    output.screens.provider().setScreens({FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}})});
    EXPECT_EQ(preview.displayOptionsPage(), OVPreviewWindowController::kNotConnectedPage);
    EXPECT_FALSE(preview.displayOptionsDisabledView()->isHidden());
    EXPECT_FALSE(preview.enableDualScreenControls());
    EXPECT_DOUBLE_EQ(preview.window()->frame().maxY(), top);
}

TEST(PreviewDisplayStatusTest, ALargerTalentDisplayOffersTheCompatibleModesGroupedByRatio)
{
    StatusPanel output({operatorScreen1440(), talentScreen1920()});
    output.service.talentModes = {
        {1920, 1080, 60}, {1280, 720, 60}, {1440, 900, 60}, {1024, 576, 60}, {800, 600, 60}};
    OVPreviewWindowController preview(output.core, output.talent);
    ASSERT_EQ(output.core.dualScreenStatus(), 5);
    EXPECT_EQ(preview.displayOptionsPage(), OVPreviewWindowController::kResolutionMismatchPage);
    EXPECT_FALSE(preview.changeResolutionControl()->isHidden());
    EXPECT_EQ(preview.changeResolutionControl()->menu(), preview.changeResolutionsMenu());

    preview.updateChangeResolutionsMenu();
    QStringList items;
    for (QAction* action : preview.changeResolutionsMenu()->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(items,
              (QStringList{QStringLiteral("16:10"), QStringLiteral("1,440 × 900 @ 60 Hz"),
                           QStringLiteral("-"), QStringLiteral("16:9"), QStringLiteral("1,280 × 720 @ 60 Hz"),
                           QStringLiteral("1,024 × 576 @ 60 Hz"), QStringLiteral("-"), QStringLiteral("4:3"),
                           QStringLiteral("800 × 600 @ 60 Hz")}));

    // The quick fix keeps the talent display's ratio.
    int alerts = 0;
    AlertPresenterScope presenter([&alerts](Alert&) {
        ++alerts;
        return Alert::kFirstButtonReturn;
    });
    output.service.succeeds = true;
    preview.configureCompatibleDisplayMode(false);
    ASSERT_EQ(output.service.modesSet.size(), 1u);
    EXPECT_EQ(output.service.modesSet.front(), (OVDisplayMode{1280, 720, 60}));
    EXPECT_EQ(alerts, 0);
}

TEST(PreviewDisplayStatusTest, AFailingChangeSaysSo)
{
    StatusPanel output({operatorScreen1440(), talentScreen1920()});
    output.service.talentModes = {{1280, 720, 60}};
    OVPreviewWindowController preview(output.core, output.talent);
    QString title;
    AlertPresenterScope presenter([&title](Alert& alert) {
        title = alert.messageText();
        return Alert::kFirstButtonReturn;
    });
    preview.setTalentScreenDisplayMode({1280, 720, 60});
    EXPECT_EQ(title, QStringLiteral("Display could not be configured."));
}

TEST(PreviewDisplayStatusTest, WithoutModesTheMismatchPageOffersOnlyTheSettings)
{
    StatusPanel output({operatorScreen1440(), talentScreen1920()});
    OVDisplayModeService::setShared(nullptr);
    ScopedDefaults defaults;
    // A command stored in the settings is never run; with no known tool on the path there is none.
    defaults.setString(QStringLiteral("OrvaneDisplaySettingsCommand"), QStringLiteral("touch /tmp/ran"));
    const QByteArray path = qgetenv("PATH");
    const QTemporaryDir empty;
    qputenv("PATH", QFile::encodeName(empty.path()));
    OVPreviewWindowController preview(output.core, output.talent);
    EXPECT_EQ(preview.displayOptionsPage(), OVPreviewWindowController::kResolutionMismatchPage);
    EXPECT_EQ(preview.changeResolutionControl()->text(), QStringLiteral("Displays Settings…"));
    EXPECT_EQ(preview.changeResolutionControl()->menu(), nullptr);
    EXPECT_TRUE(OVPreviewWindowController::displaySettingsCommand().isEmpty());

    // The failed change offers the settings, which cannot be opened either: both alerts are shown.
    QStringList titles;
    AlertPresenterScope presenter([&titles](Alert& alert) {
        titles << alert.messageText();
        return alert.buttonTitles().size() > 1 ? Alert::kSecondButtonReturn : Alert::kFirstButtonReturn;
    });
    preview.setTalentScreenDisplayMode({1280, 720, 60});
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Display could not be configured."),
                                   QStringLiteral("System Settings could not be opened.")}));
    qputenv("PATH", path);
    OVDisplayModeService::setShared(&output.service);
}

TEST(PreviewDisplayStatusTest, TheDesktopsOwnSettingsProgramIsUsedOnlyWhenInstalled)
{
    // Only the known tools count, found on the path: the desktop's own before one of any desktop.
    const QTemporaryDir bin;
    const auto install = [&bin](const QString& name) {
        QFile tool(bin.filePath(name));
        ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
        tool.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    };
    install(QStringLiteral("arandr"));
    install(QStringLiteral("xfce4-display-settings"));
    install(QStringLiteral("touch"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    EXPECT_EQ(OVPreviewWindowController::defaultDisplaySettingsCommand(QStringLiteral("XFCE")),
              QStringList{QStringLiteral("xfce4-display-settings")});
    EXPECT_EQ(OVPreviewWindowController::defaultDisplaySettingsCommand(QStringLiteral("Openbox")),
              QStringList{QStringLiteral("arandr")});
    QFile::remove(bin.filePath(QStringLiteral("arandr")));
    EXPECT_TRUE(
        OVPreviewWindowController::defaultDisplaySettingsCommand(QStringLiteral("Openbox")).isEmpty());
    qputenv("PATH", path);
    const QStringList gnome =
        OVPreviewWindowController::defaultDisplaySettingsCommand(QStringLiteral("ubuntu:GNOME"));
    if (!QStandardPaths::findExecutable(QStringLiteral("gnome-control-center")).isEmpty())
        EXPECT_EQ(gnome.value(0), QStringLiteral("gnome-control-center"));
    else
        EXPECT_TRUE(gnome.isEmpty());
}

TEST(DisplayModeTest, RatiosAreReducedButSixteenTenStays)
{
    EXPECT_EQ((OVDisplayMode{1920, 1080}).displayableSizeRatio(), QStringLiteral("16:9"));
    EXPECT_EQ((OVDisplayMode{1280, 800}).displayableSizeRatio(), QStringLiteral("16:10"));
    EXPECT_EQ((OVDisplayMode{1024, 768}).displayableSizeRatio(), QStringLiteral("4:3"));
    EXPECT_EQ((OVDisplayMode{0, 768}).displayableSizeRatio(), QString());
}
