// Window-size presets: the value type and the stored list, hand-edited settings included, and the
// editor window driven by keys and clicks.
#include "app/OVDefaultsProviderClasses.h"
#include "platform/appkit/Alert.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "preferences/OVWindowSizePresetEditor.h"
#include "window/OVResolutionString.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

UserDefaults& defaults()
{
    return UserDefaults::shared();
}

QStringList storedList()
{
    return OVResolutionString::stringValuesFromResolutionStrings(
        OVResolutionString::defaultResolutionStrings());
}

class WindowSizePresets : public ::testing::Test {
protected:
    void SetUp() override
    {
        OVDefaultsProviderClasses::registerAll();
        defaults().resetUserValues();
        defaults().registerDefaults(HVInitialDefaultsRegistry::initialDefaults());
    }
    void TearDown() override { defaults().resetUserValues(); }
};

TEST_F(WindowSizePresets, ParsesEitherSeparatorAndRefusesWhatIsNoSize)
{
    const auto parsed = OVResolutionString::resolutionWithString(QStringLiteral("1280x720"));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->width(), 1280u);
    EXPECT_EQ(parsed->height(), 720u);
    EXPECT_EQ(parsed->stringValue(), QStringLiteral("1280 × 720"));
    EXPECT_EQ(parsed->area(), 1280u * 720u);
    EXPECT_DOUBLE_EQ(parsed->ratio(), 1280.0 / 720.0);
    EXPECT_TRUE(OVResolutionString::resolutionWithString(QStringLiteral(" 1920 × 1080 ")));
    for (const char* bad : {"1280 × 0", "1280-720", "", "×", "-5 × 10", "5 × -10", "abc × 10", "12abc × 10",
                            "10000 × 10", "99999999999999999999 × 10", "1.5 × 10"})
        EXPECT_FALSE(OVResolutionString::resolutionWithString(QString::fromUtf8(bad))) << bad;
    EXPECT_FALSE(OVResolutionString::resolutionWithWidth(0, 10));
}

TEST_F(WindowSizePresets, TheStoredListIsSortedByWidthAndHandEditedValuesAreSafe)
{
    EXPECT_EQ(storedList(), OVResolutionString::registeredStringValues());
    OVResolutionString::addResolutionStringToDefaults(*OVResolutionString::resolutionWithWidth(1280, 600));
    OVResolutionString::addResolutionStringToDefaults(*OVResolutionString::resolutionWithWidth(2560, 1440));
    const QStringList list = storedList();
    ASSERT_EQ(list.size(), 14);
    // Equal widths keep their stored order; the new one comes after them.
    EXPECT_EQ(list.mid(3, 4), (QStringList{"1280 × 720", "1280 × 800", "1280 × 1024", "1280 × 600"}));
    EXPECT_EQ(list.last(), QStringLiteral("2560 × 1440"));

    // Entries that do not parse are skipped (no unsigned wrap of "-5"); a stored value that is no
    // list reads as absent.
    defaults().setObject(PlistArray{QStringLiteral("800 × 600"), QStringLiteral("-5 × 10"),
                                    QStringLiteral("junk"), PlistValue(qint64(7))},
                         OVResolutionString::kWindowPresetResolutionsKey);
    EXPECT_EQ(storedList(), QStringList{QStringLiteral("800 × 600")});
    defaults().setObject(QStringLiteral("800 × 600"), OVResolutionString::kWindowPresetResolutionsKey);
    EXPECT_EQ(storedList(), OVResolutionString::registeredStringValues());

    OVResolutionString::setFavoriteResolutionString(OVResolutionString::resolutionWithWidth(800, 600));
    EXPECT_EQ(OVResolutionString::favoriteResolutionString()->stringValue(), QStringLiteral("800 × 600"));
    OVResolutionString::setFavoriteResolutionString(std::nullopt);
    EXPECT_FALSE(defaults().hasUserValue(OVResolutionString::kWindowFavoritePresetResolutionKey));
}

class PresetEditor : public WindowSizePresets {
protected:
    void SetUp() override
    {
        WindowSizePresets::SetUp();
        editor = std::make_unique<OVWindowSizePresetEditor>([this] { ++rebuilds; });
        editor->setBeeper([this] { ++beeps; });
        editor->setShaker([this](QWidget& widget) { shaken.push_back(&widget); });
        editor->show();
    }
    void TearDown() override
    {
        editor.reset();
        WindowSizePresets::TearDown();
    }
    void type(QLineEdit* field, const QString& text)
    {
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    int selectedRow() const
    {
        const auto selected = editor->tableView()->selectedItems();
        return selected.isEmpty() ? -1 : selected.front()->row();
    }

    std::unique_ptr<OVWindowSizePresetEditor> editor;
    int rebuilds = 0;
    int beeps = 0;
    std::vector<QWidget*> shaken;
};

TEST_F(PresetEditor, ReturnInAFieldAddsAndRefusalsBeepAndShake)
{
    ASSERT_EQ(editor->tableView()->rowCount(), 12);
    type(editor->widthField(), QStringLiteral("2560"));
    type(editor->heightField(), QStringLiteral("1440"));
    QTest::keyClick(editor->heightField(), Qt::Key_Return);
    EXPECT_EQ(storedList().last(), QStringLiteral("2560 × 1440"));
    EXPECT_EQ(editor->tableView()->rowCount(), 13);
    EXPECT_EQ(selectedRow(), 12);
    EXPECT_EQ(rebuilds, 1);
    EXPECT_TRUE(editor->segmentButton(OVWindowSizePresetEditor::kRemoveSegment)->isEnabled());

    // Once more: refused, with the existing row selected.
    type(editor->widthField(), QStringLiteral("1920"));
    type(editor->heightField(), QStringLiteral("1080"));
    editor->tableView()->clearSelection();
    QTest::keyClick(editor->widthField(), Qt::Key_Return);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(shaken,
              (std::vector<QWidget*>{editor->widthField(), editor->heightField(), editor->xLabelField()}));
    EXPECT_EQ(selectedRow(), 10);
    EXPECT_EQ(rebuilds, 1);

    // Too small: clamped into the fields, nothing stored.
    shaken.clear();
    type(editor->widthField(), QStringLiteral("300"));
    type(editor->heightField(), QStringLiteral("200"));
    QTest::mouseClick(editor->segmentButton(OVWindowSizePresetEditor::kAddSegment), Qt::LeftButton);
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(editor->widthField()->text(), QStringLiteral("320"));
    EXPECT_EQ(editor->heightField()->text(), QStringLiteral("240"));
    EXPECT_EQ(shaken, (std::vector<QWidget*>{editor->widthField(), editor->heightField()}));
    EXPECT_EQ(storedList().size(), 13);
}

TEST_F(PresetEditor, DeleteRemovesReturnInTheTableDoesNothingAndRemovingAllRestoresTheList)
{
    editor->tableView()->setFocus();
    editor->tableView()->selectRow(0);
    QTest::keyClick(editor->tableView(), Qt::Key_Return);
    EXPECT_EQ(storedList().size(), 12);
    QTest::keyClick(editor->tableView(), Qt::Key_Delete);
    EXPECT_EQ(storedList().size(), 11);
    EXPECT_FALSE(storedList().contains(QStringLiteral("640 × 480")));
    editor->tableView()->selectRow(0);
    QTest::keyClick(editor->tableView(), Qt::Key_Backspace);
    EXPECT_EQ(storedList().size(), 10);
    EXPECT_EQ(rebuilds, 2);
    for (int left = 10; left > 0; --left) {
        EXPECT_TRUE(defaults().hasUserValue(OVResolutionString::kWindowPresetResolutionsKey));
        editor->tableView()->selectRow(0);
        ASSERT_TRUE(editor->removeSelectedPreset());
    }
    // The last one gone, the key is removed and the registered twelve are back.
    EXPECT_FALSE(defaults().hasUserValue(OVResolutionString::kWindowPresetResolutionsKey));
    EXPECT_EQ(storedList(), OVResolutionString::registeredStringValues());
    EXPECT_EQ(editor->tableView()->rowCount(), 12);
}

TEST_F(PresetEditor, ResetAsksFirstAndCancelChangesNothing)
{
    OVResolutionString::addResolutionStringToDefaults(*OVResolutionString::resolutionWithWidth(2560, 1440));
    editor->changePresetMaintainance();
    QString title;
    QString text;
    {
        AlertPresenterScope cancel([&](Alert& alert) {
            title = alert.messageText();
            text = alert.informativeText();
            return Alert::kSecondButtonReturn;
        });
        EXPECT_FALSE(editor->resetPresets());
    }
    EXPECT_EQ(title, QStringLiteral("Reset preset sizes to defaults?"));
    EXPECT_EQ(text, QStringLiteral("You will lose any values you added."));
    EXPECT_EQ(storedList().size(), 13);
    {
        AlertPresenterScope reset([](Alert&) { return Alert::kFirstButtonReturn; });
        EXPECT_TRUE(editor->resetPresets());
    }
    EXPECT_EQ(storedList(), OVResolutionString::registeredStringValues());
    EXPECT_EQ(editor->tableView()->rowCount(), 12);
    EXPECT_EQ(selectedRow(), -1);
}

} // namespace
