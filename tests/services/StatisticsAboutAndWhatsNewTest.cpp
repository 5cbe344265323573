// The statistics as the about window shows them, the about window itself, and the What's New
// window's choice of notes and its dark appearance.
#include "app/sample/ReleaseNotes.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/foundation/Clock.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/DocumentAttributes.h"
#include "platform/text/Rtfd.h"
#include "services/OVAboutWindow.h"
#include "services/OVAnalyticsHelper.h"
#include "services/OVResourceFolder.h"
#include "services/OVUserStats.h"
#include "services/OVWhatsNewNote.h"
#include "services/OVWhatsNewWindowController.h"

#include "../support/LogCapture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTextBrowser>

#include <gtest/gtest.h>

namespace {

QVariantMap itemWithKey(const QVariantList& items, const QString& key)
{
    for (const QVariant& item : items) {
        if (item.toMap().value(QStringLiteral("key")) == key)
            return item.toMap();
    }
    return {};
}

QString valueOf(const QVariantList& items, const QString& key)
{
    return itemWithKey(items, key).value(QStringLiteral("value")).toString();
}

std::vector<OVUserStats::LabeledString> labeled(unsigned options)
{
    return OVUserStats::labeledStringsWithOptions(options).value_or(
        std::vector<OVUserStats::LabeledString>{});
}

class StatisticsTest : public ::testing::Test {
protected:
    StatisticsTest() : screens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1920, 1080}}, 60.0)})
    {
        ScreenProvider::setShared(&screens);
        statistics().reset();
        statistics().setEnabled(true);
    }
    ~StatisticsTest() override
    {
        statistics().reset();
        statistics().setEnabled(true);
        OVAnalyticsHelper::setMainGPUProvider({});
        ScreenProvider::setShared(nullptr);
    }
    static HVAnalytics& statistics() { return HVAppServices::shared().analytics(); }

    FakeScreenProvider screens;
};

TEST_F(StatisticsTest, ProfileValuesAreCutAtACharacterBoundaryAndShownWhole)
{
    const QString forty = QString(40, QLatin1Char('a'));
    const QVariantMap item =
        OVAnalyticsHelper::profileDictionaryForKey(QStringLiteral("k"), QStringLiteral("K"), forty);
    EXPECT_EQ(item.size(), 4);
    EXPECT_EQ(item.value(QStringLiteral("value")).toString(), QString(32, QLatin1Char('a')));
    EXPECT_EQ(item.value(QStringLiteral("displayValue")).toString(), forty);
    // A character outside the basic plane takes two code units; a cut between them would leave half.
    QString faces;
    for (int i = 0; i < 40; ++i)
        faces += QString::fromUcs4(U"\U0001F600");
    const QString cut =
        OVAnalyticsHelper::profileDictionaryForKey(QStringLiteral("k"), QStringLiteral("K"), faces)
            .value(QStringLiteral("value"))
            .toString();
    EXPECT_EQ(cut.size(), 64);
    EXPECT_FALSE(cut.back().isHighSurrogate());
    EXPECT_EQ(OVAnalyticsHelper::truncatedToCodePoints(QStringLiteral("ab") + faces.left(2), 3).size(), 4);
    EXPECT_TRUE(OVAnalyticsHelper::profileDictionaryForKey({}, QStringLiteral("K"), 1).isEmpty());
}

TEST_F(StatisticsTest, PresentableItemsRecordTheOneScreenAndTheGraphicsProcessor)
{
    OVAnalyticsHelper::setMainGPUProvider([] {
        return OVAnalyticsHelper::Gpu{QStringLiteral("Radeon Pro"), 8, 0};
    });
    QVariantList items = OVAnalyticsHelper::presentableAnalyticsItems();
    EXPECT_EQ(valueOf(items, QStringLiteral("operatorScreenResolution")), QStringLiteral("1920x1080"));
    EXPECT_EQ(valueOf(items, QStringLiteral("operatorScreenHz")), QStringLiteral("60"));
    EXPECT_EQ(valueOf(items, QStringLiteral("talentScreenName")), QString());
    EXPECT_EQ(valueOf(items, QStringLiteral("screensLastUpdatedTogether")), QStringLiteral("0"));
    EXPECT_EQ(valueOf(items, QStringLiteral("gpuCoreCount")), QStringLiteral("8"));
    EXPECT_TRUE(itemWithKey(items, QStringLiteral("gpuMemoryGB")).isEmpty());
    EXPECT_EQ(valueOf(items, QStringLiteral("profilerVersion")), QStringLiteral("2"));
    for (const QVariant& item : items)
        EXPECT_EQ(item.toMap().size(), 4);

    // Linux tells no core count: the memory is shown.
    OVAnalyticsHelper::setMainGPUProvider([] {
        return OVAnalyticsHelper::Gpu{QStringLiteral("llvmpipe"), 0, 2LL * 1024 * 1024 * 1024};
    });
    ManualClock clock;
    Clock::setShared(&clock);
    statistics().applicationDidBecomeActive();
    clock.advance(15);
    statistics().applicationDidResignActive();
    items = OVAnalyticsHelper::presentableAnalyticsItems();
    EXPECT_TRUE(itemWithKey(items, QStringLiteral("gpuCoreCount")).isEmpty());
    EXPECT_EQ(valueOf(items, QStringLiteral("gpuMemoryGB")), QStringLiteral("2.0"));
    EXPECT_EQ(valueOf(items, QStringLiteral("appActiveHours")), QStringLiteral("0.0"));
    statistics().applicationDidBecomeActive();
    clock.advance(5400 - 15);
    statistics().applicationDidResignActive();
    statistics().incrementIntegerForKeyPath(QStringLiteral("promptMode.time"), 9000);
    items = OVAnalyticsHelper::presentableAnalyticsItems();
    Clock::setShared(nullptr);
    EXPECT_EQ(valueOf(items, QStringLiteral("appActiveHours")), QStringLiteral("1.5"));
    EXPECT_EQ(valueOf(items, QStringLiteral("promptModeHours")), QStringLiteral("2.5"));
    EXPECT_EQ(QDateTime::fromString(valueOf(items, QStringLiteral("initialDate")),
                                    QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                  .isValid(),
              true);
}

TEST_F(StatisticsTest, LabelledStatisticsFollowTheirCounts)
{
    statistics().recordAppLaunch();
    EXPECT_EQ(labeled(OVUserStats::kLaunchCount).at(0), (OVUserStats::LabeledString{"App Launch", "1"}));
    statistics().incrementIntegerForKeyPath(QStringLiteral("app.launchCount"));
    EXPECT_EQ(labeled(OVUserStats::kLaunchCount).at(0).label, QStringLiteral("App Launches"));
    EXPECT_TRUE(
        labeled(OVUserStats::kLaunchCountSinceDate).at(0).string.startsWith(QStringLiteral("2 since ")));

    // No jumps, no line; 3 direct and 2 previous/next make 5.
    EXPECT_TRUE(labeled(OVUserStats::kBookmarkJumps).empty());
    statistics().incrementIntegerForKeyPath(QStringLiteral("bookmarks.directJumpActions"), 3);
    statistics().incrementIntegerForKeyPath(QStringLiteral("bookmarks.previousNextActions"), 2);
    EXPECT_EQ(labeled(OVUserStats::kBookmarkJumps).at(0),
              (OVUserStats::LabeledString{"Bookmark Jumps", "5"}));

    statistics().incrementIntegerForKeyPath(QStringLiteral("promptMode.pixelsScrolled"), 10800);
    EXPECT_EQ(labeled(OVUserStats::kScrolled).at(0), (OVUserStats::LabeledString{"Scrolled", "10 screens"}));
    // A first screen that reports no height gives no count at all.
    screens.setScreens({FakeScreenProvider::makeScreen(0, Rect{{0, 0}, {1920, 0}}, 60.0)});
    EXPECT_TRUE(labeled(OVUserStats::kScrolled).empty());
    EXPECT_FALSE(OVUserStats::screensScrolled(10800, 0).has_value());

    statistics().setEnabled(false);
    EXPECT_FALSE(OVUserStats::labeledStringsWithOptions(OVUserStats::kAboutPanelOptions).has_value());
}

TEST_F(StatisticsTest, CreditsTakeTheStatisticsOrLoseTheirPlaceholders)
{
    const AttributedString statistics(QStringLiteral("Time Active: 5 minutes"));
    MutableAttributedString credits(
        AttributedString(QStringLiteral("Thanks.\n<STATISTICS_TITLE/>\n<STATISTICS/>\nEnd")));
    OVAboutWindow::fillStatisticsPlaceholders(credits, statistics, QStringLiteral("Statistics"));
    EXPECT_EQ(credits.string(), QStringLiteral("Thanks.\nStatistics\nTime Active: 5 minutes\nEnd"));

    credits = MutableAttributedString(
        AttributedString(QStringLiteral("Thanks.\n<STATISTICS_TITLE/>\n<STATISTICS/>\nEnd")));
    OVAboutWindow::fillStatisticsPlaceholders(credits, AttributedString(), QStringLiteral("Statistics"));
    EXPECT_EQ(credits.string(), QStringLiteral("Thanks.\n\nEnd"));

    credits = MutableAttributedString(AttributedString(QStringLiteral("A\n<STATISTICS_TITLE/> here\nB")));
    OVAboutWindow::fillStatisticsPlaceholders(credits, statistics, QStringLiteral("Statistics"));
    EXPECT_EQ(credits.string(), QStringLiteral("A\nB"));

    credits = MutableAttributedString(AttributedString(QStringLiteral("A <STATISTICS/> B")));
    OVAboutWindow::fillStatisticsPlaceholders(credits, statistics, QStringLiteral("Statistics"));
    EXPECT_EQ(credits.string(), QStringLiteral("A  B"));
}

TEST_F(StatisticsTest, TheAboutWindowShowsTheShippedCreditsWithTheStatistics)
{
    statistics().recordAppLaunch();
    statistics().incrementIntegerForKeyPath(QStringLiteral("hotkeys.markTextUses"), 4);
    QElapsedTimer opening;
    opening.start();
    const std::optional<MutableAttributedString> credits =
        OVAboutWindow::creditsWithStatistics(OVResourceFolder());
    ASSERT_TRUE(credits.has_value());
    OVAboutWindow window(*credits);
    window.show();
    RecordProperty("aboutOpenMilliseconds", int(opening.elapsed()));
    EXPECT_TRUE(window.creditsText().contains(QStringLiteral("Statistics\nApp Launch: 1 since ")));
    EXPECT_TRUE(window.creditsText().contains(QStringLiteral("Marked Text Uses: 4")));
    EXPECT_FALSE(window.creditsText().contains(QStringLiteral("<STATISTICS")));
    EXPECT_TRUE(
        window.findChild<QTextBrowser*>()->toPlainText().contains(QStringLiteral("Marked Text Uses: 4")));

    statistics().setEnabled(false);
    const QString without = OVAboutWindow::creditsWithStatistics(OVResourceFolder())->string();
    EXPECT_FALSE(without.contains(QStringLiteral("Statistics")));
    EXPECT_FALSE(without.contains(QStringLiteral("<STATISTICS")));

    LogCapture log;
    EXPECT_FALSE(OVAboutWindow::creditsWithStatistics(QStringLiteral("/nonexistent")).has_value());
    EXPECT_TRUE(log.lines().join(u'\n').contains(QStringLiteral("file named Credits.rtfd not found")));
}

// Notes written into a folder of the test's own.
class WhatsNewTest : public ::testing::Test {
protected:
    void SetUp() override { qApp->setPalette(QApplication::style()->standardPalette()); }
    void TearDown() override { qApp->setPalette(QApplication::style()->standardPalette()); }

    void writeNote(const QString& name, const AttributedString& text,
                   const Color& background = Color::gray(1))
    {
        DocumentAttributes attributes;
        attributes.insert(NSBackgroundColorDocumentAttribute, QVariant::fromValue(background));
        ASSERT_TRUE(Rtfd::writeToURL(QUrl::fromLocalFile(folder.filePath(name)), text, attributes, nullptr));
    }
    void writeThreeNotes()
    {
        for (const char* build : {"900", "880", "860"})
            writeNote(QStringLiteral("What's New 7.%1 %1.rtfd").arg(QLatin1String(build)),
                      AttributedString(QStringLiteral("Build %1").arg(QLatin1String(build))));
    }
    std::unique_ptr<OVWhatsNewWindowController> controllerFrom(quint64 lastUsed)
    {
        auto controller = OVWhatsNewWindowController::windowControllerWithLastUsedBuildNumber(lastUsed);
        const QString path = folder.path();
        controller->setNotesSource([path] { return OVWhatsNewNote::whatsNewNotesInFolder(path); });
        return controller;
    }
    static QStringList itemsOf(const QComboBox& popUp)
    {
        QStringList items;
        auto* model = static_cast<QStandardItemModel*>(popUp.model());
        for (int i = 0; i < popUp.count(); ++i) {
            if (popUp.itemText(i).isEmpty()) {
                items << QStringLiteral("---");
                continue;
            }
            QString text = popUp.itemText(i);
            if (!model->item(i)->isEnabled())
                text += QStringLiteral(" (disabled)");
            items << text;
        }
        return items;
    }

    QTemporaryDir folder;
};

TEST_F(WhatsNewTest, TheWindowStartsAtTheOldestUnseenNote)
{
    writeThreeNotes();
    const QString app = QCoreApplication::applicationName();
    auto fromOld = controllerFrom(870);
    fromOld->showWindow();
    EXPECT_EQ(itemsOf(*fromOld->notesPopUpButton()),
              (QStringList{app + " 7.900", app + " 7.880", "---", "Older notes (disabled)", app + " 7.860"}));
    EXPECT_EQ(fromOld->notesPopUpButton()->currentText(), app + " 7.880");
    EXPECT_EQ(fromOld->shownText().string(), QStringLiteral("Build 880"));
    EXPECT_FALSE(fromOld->notesPopUpButton()->isHidden());

    auto fromNone = controllerFrom(0);
    fromNone->showWindow();
    EXPECT_EQ(itemsOf(*fromNone->notesPopUpButton()),
              (QStringList{app + " 7.900", "---", "Older notes (disabled)", app + " 7.880", app + " 7.860"}));
    EXPECT_EQ(fromNone->shownText().string(), QStringLiteral("Build 900"));

    const auto notes = OVWhatsNewNote::whatsNewNotesInFolder(folder.path());
    EXPECT_FALSE(OVWhatsNewWindowController::hasWhatsNewNotesNewerThanBuildNumber(900, notes));
    EXPECT_TRUE(OVWhatsNewWindowController::hasWhatsNewNotesNewerThanBuildNumber(899, notes));
    // Closing empties the view; showing again brings the chosen note back.
    fromOld->close();
    EXPECT_EQ(fromOld->shownText().length(), 0);
    fromOld->showWindow();
    EXPECT_EQ(fromOld->shownText().string(), QStringLiteral("Build 880"));
}

TEST_F(WhatsNewTest, MisnamedNotesAreLoggedAndSkipped)
{
    writeNote(QStringLiteral("What's New 915.rtfd"), AttributedString(QStringLiteral("x")));
    writeNote(QStringLiteral("What's New 7.2 0.rtfd"), AttributedString(QStringLiteral("x")));
    writeNote(QStringLiteral("What's New 7.2 915.rtfd"), AttributedString(QStringLiteral("x")));
    LogCapture log;
    const auto notes = OVWhatsNewNote::whatsNewNotesInFolder(folder.path());
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].versionString(), QStringLiteral("7.2"));
    EXPECT_EQ(notes[0].buildNumber(), 915u);
    EXPECT_TRUE(log.lines().join(u'\n').contains(QStringLiteral("Invalid file name for")));
    EXPECT_FALSE(OVWhatsNewNote::whatsNewNoteWithFileURL(QUrl(), QStringLiteral("1"), 1).has_value());
    // With one note the pop-up is hidden.
    auto controller = controllerFrom(0);
    controller->showWindow();
    EXPECT_TRUE(controller->notesPopUpButton()->isHidden());
    // A damaged note is logged and the shown one stays.
    const QString damaged = folder.filePath(QStringLiteral("What's New 7.3 920.rtfd"));
    ASSERT_TRUE(QDir().mkpath(damaged));
    log.clear();
    controller->loadNoteForURL(QUrl::fromLocalFile(damaged));
    EXPECT_EQ(controller->shownText().string(), QStringLiteral("x"));
    EXPECT_TRUE(
        log.lines().join(u'\n').contains(QStringLiteral("Error: attributedString is nil with error")));
}

TEST_F(WhatsNewTest, ADarkPaletteInvertsTheGreysButNotColouredHighlights)
{
    MutableAttributedString text;
    text.append(QStringLiteral("black "), {});
    AttributeDictionary grey;
    grey.insert(kForegroundColorAttributeName, Color::gray(0.25));
    text.append(QStringLiteral("grey "), grey);
    AttributeDictionary highlighted;
    highlighted.insert(kForegroundColorAttributeName, Color::gray(0));
    highlighted.insert(kBackgroundColorAttributeName, Color::rgb(1, 1, 0));
    text.append(QStringLiteral("tip"), highlighted);
    writeNote(QStringLiteral("What's New 7.2 915.rtfd"), text);

    const auto colorAt = [](const OVWhatsNewWindowController& controller, qsizetype index) {
        const AttributeValue value = controller.shownText().attribute(kForegroundColorAttributeName, index);
        return value.color() ? *value.color() : Color::rgb(-1, -1, -1);
    };
    QPalette dark = QApplication::style()->standardPalette();
    dark.setColor(QPalette::Window, QColor(30, 30, 30));

    // Switching to dark while the note shows.
    auto controller = controllerFrom(0);
    controller->showWindow();
    EXPECT_GT(controller->backgroundColor().red, 0.5);
    qApp->setPalette(dark);
    QCoreApplication::processEvents();
    EXPECT_LT(controller->backgroundColor().red, 0.5);
    EXPECT_NEAR(colorAt(*controller, 0).red, 1.0, 1e-6);
    EXPECT_NEAR(colorAt(*controller, 6).red, 0.75, 1e-6);
    EXPECT_NEAR(colorAt(*controller, 11).red, 0.0, 1e-6);
    // And back.
    qApp->setPalette(QApplication::style()->standardPalette());
    QCoreApplication::processEvents();
    EXPECT_GT(controller->backgroundColor().red, 0.5);
    EXPECT_NEAR(colorAt(*controller, 6).red, 0.25, 1e-6);

    // A note first loaded while dark is inverted too.
    qApp->setPalette(dark);
    auto loadedDark = controllerFrom(0);
    loadedDark->showWindow();
    EXPECT_LT(loadedDark->backgroundColor().red, 0.5);
    EXPECT_NEAR(colorAt(*loadedDark, 0).red, 1.0, 1e-6);
}

TEST(ShippedReleaseNotes, TheShippedNoteAndCreditsAreWhatTheGeneratorWrites)
{
    QTemporaryDir written;
    ASSERT_TRUE(releasenotes::writeReleaseNotes(written.path(), nullptr));
    const QString source = QStringLiteral(ORVANE_SOURCE_DIR "/resources/");
    const QString note = releasenotes::kNotesFolderName + u'/' + releasenotes::currentNoteFileName() +
                         QStringLiteral("/TXT.rtf");
    for (const QString& file : {note, releasenotes::kCreditsFileName + QStringLiteral("/TXT.rtf")}) {
        QFile shipped(source + file);
        QFile fresh(written.filePath(file));
        ASSERT_TRUE(shipped.open(QIODevice::ReadOnly)) << qPrintable(file);
        ASSERT_TRUE(fresh.open(QIODevice::ReadOnly));
        EXPECT_EQ(shipped.readAll(), fresh.readAll()) << qPrintable(file);
    }
    // The shipped note is this build's: an upgrade from any earlier build has something to show.
    const auto notes = OVWhatsNewNote::whatsNewNotes();
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.front().fileURL().fileName(), releasenotes::currentNoteFileName());
}

} // namespace
