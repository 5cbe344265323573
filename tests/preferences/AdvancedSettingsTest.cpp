// The Advanced pane, offscreen, on the real registered defaults: its custom fields checked when the
// pane hides, the overdraw field following its choice, and the settings pull-down's reset, import
// and restore, with hostile files to import.
#include "app/OVDefaultsProviderClasses.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/OpenPanel.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "platform/hvkit/HVSettingsController.h"
#include "preferences/OVAdvancedPreferencesViewController.h"
#include "preferences/OVControlPreferencesViewController.h"
#include "preferences/OVKeyField.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/OVTextView.h"
#include "window/OVDocumentWindowController.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class AdvancedSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        OVDefaultsProviderClasses::registerAll();
        defaults().resetUserValues();
        defaults().registerDefaults(HVInitialDefaultsRegistry::initialDefaults());
        QFile::remove(HVSettingsController::shared().snapshotPath());
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        // The Controls pane is made but never shown: it hears of a reset or import all the same.
        controls = new OVControlPreferencesViewController(window.get());
        controls->hide();
        pane = new OVAdvancedPreferencesViewController(window.get());
        layout->addWidget(pane);
        window->show();
        id = NotificationCenter::shared().addObserver({}, nullptr, [this](const Notification& note) {
            if (note.name.startsWith(QStringLiteral("OVPreferences")))
                posted << note.name;
        });
    }
    void TearDown() override
    {
        NotificationCenter::shared().removeObserver(id);
        SavePanel::setAnswerer({});
        Application::shared().setErrorPresenter({});
        window.reset();
        QFile::remove(HVSettingsController::shared().snapshotPath());
        defaults().resetUserValues();
    }
    static UserDefaults& defaults() { return UserDefaults::shared(); }

    static void typeInto(QLineEdit* field, const QString& text)
    {
        field->setText(text);
        emit field->editingFinished();
    }

    // Imports the file through the pull-down, the open panel choosing it.
    void importFile(const QString& path)
    {
        SavePanel::setAnswerer([path](SavePanel& panel) {
            return panel.chooseURL(QUrl::fromLocalFile(path)) ? SavePanel::kModalResponseOK
                                                              : SavePanel::kModalResponseCancel;
        });
        pane->performSettingsAction(OVAdvancedPreferencesViewController::kImportSettingsTag);
    }
    QString write(const char* name, const QByteArray& bytes)
    {
        const QString path = folder.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QString writePlist(const char* name, const PlistValue& value)
    {
        return write(name, *PropertyListSerialization::dataWithPropertyList(
                               value, PropertyListSerialization::Format::Xml));
    }

    QTemporaryDir folder;
    std::unique_ptr<QWidget> window;
    OVControlPreferencesViewController* controls = nullptr;
    OVAdvancedPreferencesViewController* pane = nullptr;
    QStringList posted;
    NotificationCenter::ObserverId id = 0;
    // What each alert said, answered at once.
    QStringList alerts;
    AlertPresenterScope answer{[this](Alert& alert) {
        alerts << alert.messageText() + u'\n' + alert.informativeText();
        return Alert::kFirstButtonReturn;
    }};
};

TEST_F(AdvancedSettings, CustomFieldsAreCheckedWhenThePaneHidesAndOnlyWhileTheyCount)
{
    QLineEdit* rate = pane->customFrameRateTextField();
    EXPECT_FALSE(rate->isEnabled());
    // Not custom: the field is left as it is.
    typeInto(rate, QStringLiteral("5000"));
    pane->settingsWillHide();
    EXPECT_EQ(rate->text(), QStringLiteral("5000"));
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("customFrameRate")), 50);

    defaults().setInteger(OVAdvancedPreferencesViewController::kCustomFrameRateTag,
                          QStringLiteral("frameRateOptionTag"));
    EXPECT_TRUE(rate->isEnabled());
    typeInto(rate, QStringLiteral("120"));
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("customFrameRate")), 120);
    typeInto(rate, QStringLiteral("5000"));
    pane->settingsWillHide();
    EXPECT_EQ(rate->text(), QStringLiteral("50"));
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("customFrameRate")), 50);

    // The workaround interval is checked always.
    typeInto(pane->customWorkaroundTimerIntervalTextField(), QStringLiteral("0.2"));
    pane->settingsWillHide();
    EXPECT_EQ(pane->customWorkaroundTimerIntervalTextField()->text(), QStringLiteral("8"));
    EXPECT_DOUBLE_EQ(defaults().doubleForKey(QStringLiteral("waTimerInterval")), 8.0);
}

TEST_F(AdvancedSettings, TheOverdrawFieldFollowsItsChoiceAndFallsBackTo3000)
{
    QLineEdit* field = pane->customOverdrawParameterTextField();
    EXPECT_FALSE(field->isEnabled());
    EXPECT_EQ(field->text(), QString());
    defaults().setInteger(1, QStringLiteral("overdrawOptionTag"));
    EXPECT_TRUE(field->isEnabled());
    EXPECT_EQ(field->text(), QStringLiteral("128"));
    // Out of range: back to the overdraw fallback, stored under the memory limit's own key.
    typeInto(field, QStringLiteral("999999"));
    pane->settingsWillHide();
    EXPECT_EQ(field->text(), QStringLiteral("3000"));
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("customOverdrawMemoryLimitMB")), 3000);
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("customOverdrawFixedHeightPoints")), 8192);
    defaults().setInteger(128, QStringLiteral("customOverdrawMemoryLimitMB"));

    defaults().setInteger(2, QStringLiteral("overdrawOptionTag"));
    EXPECT_EQ(field->text(), QStringLiteral("8192"));
    typeInto(field, QStringLiteral("4096"));
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("customOverdrawFixedHeightPoints")), 4096);
    // Prompting views follow at once.
    EXPECT_EQ(OVTextView::overdrawOption(), 2);
    EXPECT_EQ(OVTextView::overdrawFixedHeightPoints(), 4096);
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("customOverdrawMemoryLimitMB")), 128);
    defaults().setInteger(-1, QStringLiteral("overdrawOptionTag"));
    EXPECT_FALSE(field->isEnabled());
    EXPECT_EQ(field->text(), QString());
}

TEST_F(AdvancedSettings, ResetAsksFirstThenRestoreBringsTheSettingsBackOnce)
{
    QAction* restore = pane->settingsMenuItem(OVAdvancedPreferencesViewController::kRestoreSettingsTag);
    EXPECT_FALSE(restore->isEnabled());
    defaults().setInteger(75, QStringLiteral("hotkeyToggleStart"));
    defaults().setDouble(0.7, QStringLiteral("speedIncrement"));
    {
        AlertPresenterScope cancel([](Alert&) { return Alert::kSecondButtonReturn; });
        pane->performSettingsAction(OVAdvancedPreferencesViewController::kResetSettingsTag);
    }
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("hotkeyToggleStart")), 75);
    EXPECT_FALSE(restore->isEnabled());
    {
        AlertPresenterScope confirm([](Alert&) { return Alert::kFirstButtonReturn; });
        pane->performSettingsAction(OVAdvancedPreferencesViewController::kResetSettingsTag);
    }
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("hotkeyToggleStart")), 32);
    EXPECT_EQ(controls->keyFieldForDefaultsKey(QStringLiteral("hotkeyToggleStart"))->text(),
              QStringLiteral("Space"));
    EXPECT_GE(posted.count(OVPreferencesControlsSpeedSliderValuesDidChangeNotification), 1);
    EXPECT_GE(posted.count(OVPreferencesControlsSpeedLimiterDidChangeNotification), 1);
    EXPECT_EQ(posted.count(OVPreferencesGeneralMarkedTextColorDidChangeNotification), 1);
    EXPECT_TRUE(restore->isEnabled());

    pane->performSettingsAction(OVAdvancedPreferencesViewController::kRestoreSettingsTag);
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("hotkeyToggleStart")), 75);
    EXPECT_DOUBLE_EQ(defaults().doubleForKey(QStringLiteral("speedIncrement")), 0.7);
    EXPECT_EQ(controls->keyFieldForDefaultsKey(QStringLiteral("hotkeyToggleStart"))->text(),
              QStringLiteral("K"));
    EXPECT_FALSE(restore->isEnabled());
}

TEST_F(AdvancedSettings, AnImportRefreshesWhatAResetDoesAndKeepsItsMarkedTextColour)
{
    PlistDictionary values;
    values.insert(QStringLiteral("hotkeyToggleStart"), qint64(75));
    values.insert(QStringLiteral("pauseSpeed"), 4.5);
    OVSharedPreferencesAccess::setMarkedTextColor(Color::rgb(0.1, 0.2, 0.3));
    const QByteArray colour = defaults().dataForKey(kMarkedTextHighlightColorDataKey);
    values.insert(kMarkedTextHighlightColorDataKey, PlistValue(colour));
    const QString withColour = writePlist("colour.plist", PlistValue(values));
    defaults().removeObjectForKey(kMarkedTextHighlightColorDataKey);
    posted.clear();

    importFile(withColour);
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("hotkeyToggleStart")), 75);
    EXPECT_DOUBLE_EQ(defaults().doubleForKey(QStringLiteral("pauseSpeed")), 4.5);
    // The pane that was never shown follows too.
    EXPECT_EQ(controls->keyFieldForDefaultsKey(QStringLiteral("hotkeyToggleStart"))->text(),
              QStringLiteral("K"));
    EXPECT_GE(posted.count(OVPreferencesControlsSpeedSliderValuesDidChangeNotification), 1);
    EXPECT_GE(posted.count(OVPreferencesControlsSpeedLimiterDidChangeNotification), 1);
    EXPECT_GE(posted.count(OVPreferencesGeneralMarkedTextColorDidChangeNotification), 1);
    ASSERT_TRUE(OVSharedPreferencesAccess::plainMarkedTextColor());
    EXPECT_NEAR(OVSharedPreferencesAccess::plainMarkedTextColor()->green, 0.2, 1e-6);
    ASSERT_TRUE(OVSharedPreferencesAccess::markedTextColor());
    EXPECT_NEAR(OVSharedPreferencesAccess::markedTextColor()->color.blue, 0.3, 1e-6);
    EXPECT_TRUE(
        pane->settingsMenuItem(OVAdvancedPreferencesViewController::kRestoreSettingsTag)->isEnabled());
}

TEST_F(AdvancedSettings, HostileImportFilesChangeNothingOrOnlyTheirUsableKeys)
{
    defaults().setInteger(75, QStringLiteral("hotkeyToggleStart"));
    defaults().setDouble(0.7, QStringLiteral("speedIncrement"));
    const auto unchanged = [] {
        EXPECT_EQ(defaults().integerForKey(QStringLiteral("hotkeyToggleStart")), 75);
        EXPECT_DOUBLE_EQ(defaults().doubleForKey(QStringLiteral("speedIncrement")), 0.7);
    };
    int refused = 0;
    Application::shared().setErrorPresenter([&refused](const Error&) {
        ++refused;
        return false;
    });

    importFile(writePlist("array.plist", PlistValue(PlistArray{PlistValue(qint64(1))})));
    unchanged();
    QByteArray huge(50 * 1024 * 1024, ' ');
    huge.prepend("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>");
    importFile(write("huge.plist", huge));
    unchanged();
    importFile(write("truncated.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>"));
    unchanged();
    EXPECT_FALSE(HVSettingsController::shared().canRestoreSettings());

    // Wrong types, a speed that is no number and a code beyond 16 bits are skipped; a file with
    // nothing else is refused as a whole.
    importFile(write("nan.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                                  "<key>pauseSpeed</key><real>nan</real>"
                                  "<key>hotkeyToggleStart</key><string>K</string>"
                                  "<key>hotkeyEditMode</key><integer>70000</integer>"
                                  "<key>speedIncrement</key><true/>"
                                  "<key>frameRateOptionTag</key><string>fast</string>"
                                  "</dict></plist>"));
    unchanged();
    EXPECT_DOUBLE_EQ(defaults().doubleForKey(QStringLiteral("pauseSpeed")), 3.0);
    EXPECT_FALSE(HVSettingsController::shared().canRestoreSettings());

    PlistDictionary mixed;
    mixed.insert(QStringLiteral("hotkeyToggleStart"), PlistValue(QStringLiteral("K")));
    mixed.insert(QStringLiteral("hotkeyMarkText"), qint64(78));
    mixed.insert(QStringLiteral("defaultSpeed"), PlistValue(QStringLiteral("fast")));
    importFile(writePlist("mixed.plist", PlistValue(mixed)));
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("hotkeyMarkText")), 78);
    // The skipped key keeps the value it had.
    EXPECT_EQ(defaults().integerForKey(QStringLiteral("hotkeyToggleStart")), 75);
    EXPECT_TRUE(defaults().persistentDomain().find(QStringLiteral("defaultSpeed")) == nullptr);
    EXPECT_DOUBLE_EQ(defaults().doubleForKey(QStringLiteral("defaultSpeed")), 3.0);
    // Each refusal was told, and what a usable file left out.
    EXPECT_EQ(refused, 4);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.front().contains(QStringLiteral("“hotkeyToggleStart”")) &&
                alerts.front().contains(QStringLiteral("“defaultSpeed”")))
        << alerts.front().toStdString();
}

} // namespace
