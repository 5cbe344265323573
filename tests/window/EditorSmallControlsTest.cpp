// The editor window's small controls: the speed slider's zero mark, the fixed-width toolbar item,
// the pulsing timer field, the bookmark control's first click, the add-bookmark menu items, the
// template image view, the mini label and the marked-text colour well.
#include "app/OVMainMenu.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ColorPanel.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "preferences/OVBackwardsCompatibleMiniLabel.h"
#include "preferences/OVBookmarkMenuConfiguration.h"
#include "preferences/OVMarkedTextColorWell.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "window/OVBookmarkSegmentedControl.h"
#include "window/OVFixedWidthToolbarItem.h"
#include "window/OVImageView.h"
#include "window/OVSlider.h"
#include "window/OVSliderCell.h"
#include "window/OVTimerTextField.h"

#include <QApplication>
#include <QColorDialog>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class ClockScope {
public:
    ClockScope() { Clock::setShared(&clock); }
    ~ClockScope() { Clock::setShared(nullptr); }
    void advance(double seconds) { RunLoop::main().advanceManualClock(clock, seconds); }
    ManualClock clock;
};

TEST(SpeedSliderTest, ZeroMarkSitsAtTheGroovesCentreOnlyWhenTheRangeRunsBackwards)
{
    OVSlider slider;
    slider.resize(200, 24);
    slider.setDoubleRange(-10, 10);
    slider.setDoubleValue(3);
    const OVSliderCell::Geometry geometry = slider.cellGeometry();
    const QRectF mark = slider.zeroMarkRect();
    ASSERT_FALSE(mark.isEmpty());
    EXPECT_NEAR(mark.center().x(), geometry.bar.center().x(), 1.0);
    EXPECT_DOUBLE_EQ(mark.width(), 2);

    // The mark is drawn, in grey, beneath where the knob is not.
    QImage image(slider.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    slider.render(&image);
    const QColor drawn = image.pixelColor(mark.center().toPoint());
    EXPECT_NEAR(drawn.red(), 128, 24);
    EXPECT_NEAR(drawn.red(), drawn.blue(), 8);

    slider.setDoubleRange(0, 10);
    EXPECT_TRUE(slider.zeroMarkRect().isEmpty());
    EXPECT_DOUBLE_EQ(slider.doubleValue(), 3);
}

TEST(SpeedSliderTest, GeometryStaysSoundForEmptyRangesAndTinyKnobs)
{
    OVSliderCell::Geometry geometry;
    geometry.bar = QRectF(10, 8, 100, 4);
    geometry.minValue = 5;
    geometry.maxValue = 5;
    EXPECT_DOUBLE_EQ(OVSliderCell::coordinateForDoubleValue(geometry, 5), 10);
    EXPECT_DOUBLE_EQ(OVSliderCell::coordinateForDoubleValue(geometry, 7), 10);

    geometry.minValue = -10;
    geometry.maxValue = 10;
    geometry.knobThickness = 20;
    geometry.boundsThickness = 20;
    EXPECT_DOUBLE_EQ(OVSliderCell::coordinateForDoubleValue(geometry, 0), 60);
    EXPECT_DOUBLE_EQ(
        OVSliderCell::coordinateForDoubleValue(geometry, std::numeric_limits<double>::quiet_NaN()), 10);
    // round(min(14, 17)) - 4 = 10, even like the bar; the bounds leave an even 10.
    EXPECT_EQ(OVSliderCell::zeroMarkRect(geometry), QRectF(59, 5, 2, 10));

    // A knob of 5: round(min(14, 2)) - 4 is negative; nothing is drawn.
    geometry.knobThickness = 5;
    EXPECT_TRUE(OVSliderCell::zeroMarkRect(geometry).isEmpty());
    geometry.knobThickness = 7.5;
    EXPECT_TRUE(OVSliderCell::zeroMarkRect(geometry).isEmpty());
}

TEST(FixedWidthToolbarItemTest, WidthIsTheWidestLabelPlusPaddingAndNeverBelowTwenty)
{
    const QFontMetricsF metrics(QApplication::font("QToolButton"));
    const double widest = std::max(metrics.horizontalAdvance(QStringLiteral("Start")),
                                   metrics.horizontalAdvance(QStringLiteral("Pause")));
    auto item = OVFixedWidthToolbarItem::itemWithPossibleLabels(
        QStringLiteral("start"), {QStringLiteral("Start"), QStringLiteral("Pause")});
    ASSERT_NE(item, nullptr);
    EXPECT_DOUBLE_EQ(item->fixedWidth(), std::ceil(std::max(20.0, std::ceil(widest + 8))));
    EXPECT_DOUBLE_EQ(item->minSize().width, item->fixedWidth());
    EXPECT_DOUBLE_EQ(item->maxSize().width, item->fixedWidth());
    EXPECT_DOUBLE_EQ(item->minSize().height, 20);
    EXPECT_DOUBLE_EQ(item->maxSize().height, 32);

    auto narrow = OVFixedWidthToolbarItem::itemWithPossibleLabels(QStringLiteral("x"), {QStringLiteral("i")});
    EXPECT_DOUBLE_EQ(narrow->fixedWidth(), 20);
    EXPECT_EQ(OVFixedWidthToolbarItem::itemWithPossibleLabels(QStringLiteral("none"), {}), nullptr);
    EXPECT_DOUBLE_EQ(OVFixedWidthToolbarItem(QStringLiteral("odd"), 33.2).fixedWidth(), 34);
}

TEST(TimerTextFieldTest, PulseStartsOnceRunsTwoSecondCyclesAndStopsAtFullOpacity)
{
    ClockScope clock;
    OVTimerTextField field;
    field.stopPulsateAnimation();
    EXPECT_FALSE(field.isPulsating());
    EXPECT_EQ(field.graphicsEffect(), nullptr);

    field.startPulsateAnimation();
    QGraphicsEffect* effect = field.graphicsEffect();
    ASSERT_NE(effect, nullptr);
    field.startPulsateAnimation();
    EXPECT_EQ(field.graphicsEffect(), effect);
    EXPECT_DOUBLE_EQ(field.pulseOpacity(), 1.0);

    clock.advance(0.5);
    EXPECT_GT(field.pulseOpacity(), 0.2);
    EXPECT_LT(field.pulseOpacity(), 1.0);
    clock.advance(0.5);
    EXPECT_NEAR(field.pulseOpacity(), 0.2, 0.05);
    clock.advance(1.0);
    EXPECT_NEAR(field.pulseOpacity(), 1.0, 0.05);
    clock.advance(1.0);
    EXPECT_NEAR(field.pulseOpacity(), 0.2, 0.05);

    field.stopPulsateAnimation();
    EXPECT_FALSE(field.isPulsating());
    EXPECT_DOUBLE_EQ(field.pulseOpacity(), 1.0);
    EXPECT_EQ(field.graphicsEffect(), nullptr);
    clock.advance(0.5);
    EXPECT_DOUBLE_EQ(field.pulseOpacity(), 1.0);
}

TEST(TimerTextFieldTest, ClickAndAltClickRunTheirActions)
{
    OVTimerTextField field;
    field.resize(72, 22);
    int clicks = 0;
    int resets = 0;
    field.setAction([&clicks] { ++clicks; });
    field.setAlternateAction([&resets] { ++resets; });
    QTest::mouseClick(&field, Qt::LeftButton);
    QTest::mouseClick(&field, Qt::LeftButton, Qt::AltModifier);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(resets, 1);
}

TEST(BookmarkSegmentedControlTest, AClickIntoAnInactiveWindowOnlyActivatesIt)
{
    QWidget other;
    other.resize(100, 100);
    QWidget host;
    auto* control = new OVBookmarkSegmentedControl(&host);
    host.resize(200, 60);
    host.show();
    other.show();
    std::vector<int> pressed;
    control->setSegmentHandler([&pressed](int tag) { pressed.push_back(tag); });
    EXPECT_FALSE(control->acceptsFirstMouse());

    QApplication::setActiveWindow(&other);
    ASSERT_FALSE(host.isActiveWindow());
    QTest::mouseClick(control->segment(OVBookmarkSegmentedControl::kNext), Qt::LeftButton);
    EXPECT_TRUE(pressed.empty());
    EXPECT_TRUE(host.isActiveWindow());

    QTest::mouseClick(control->segment(OVBookmarkSegmentedControl::kNext), Qt::LeftButton);
    QTest::mouseClick(control->segment(OVBookmarkSegmentedControl::kAdd), Qt::LeftButton);
    EXPECT_EQ(pressed,
              (std::vector<int>{OVBookmarkSegmentedControl::kNext, OVBookmarkSegmentedControl::kAdd}));

    control->setSegmentEnabled(OVBookmarkSegmentedControl::kPrevious, false);
    EXPECT_FALSE(control->isSegmentEnabled(OVBookmarkSegmentedControl::kPrevious));
    EXPECT_FALSE(control->isSegmentEnabled(17));
}

TEST(BookmarkMenuConfigurationTest, TheShownAddItemFollowsTheNamingSettingAndASecondUpdateSwapsNothing)
{
    UserDefaults::shared().resetUserValues();
    const std::unique_ptr<Menu> menu = OVMainMenu::makeMainMenu();
    MenuItem* first = menu->itemWithAction(QStringLiteral("addBookmark:"));
    ASSERT_NE(first, nullptr);
    Menu* bookmarks = first->menu();
    const int place = bookmarks->indexOfItem(first);
    MenuItem* second = bookmarks->itemAtIndex(place + 1);
    ASSERT_EQ(second->action(), QStringLiteral("addQuickBookmark:"));

    UserDefaults::shared().setBool(false, QStringLiteral("nameNewBookmarks"));
    OVBookmarkMenuConfiguration::updateBookmarksMenuForPreferences(*menu);
    EXPECT_EQ(first->action(), QStringLiteral("addQuickBookmark:"));
    EXPECT_FALSE(first->isAlternate());
    EXPECT_EQ(second->action(), QStringLiteral("addBookmark:"));
    EXPECT_TRUE(second->isAlternate());
    const QString quickTitle = first->title();

    OVBookmarkMenuConfiguration::updateBookmarksMenuForPreferences(*menu);
    EXPECT_EQ(first->action(), QStringLiteral("addQuickBookmark:"));
    EXPECT_EQ(first->title(), quickTitle);

    UserDefaults::shared().setBool(true, QStringLiteral("nameNewBookmarks"));
    OVBookmarkMenuConfiguration::updateBookmarksMenuForPreferences(*menu);
    EXPECT_EQ(first->action(), QStringLiteral("addBookmark:"));
    EXPECT_EQ(second->action(), QStringLiteral("addQuickBookmark:"));
    EXPECT_EQ(second->title(), quickTitle);
    EXPECT_TRUE(second->isAlternate());
    // Alt shows the other choice in the primary's place.
    const std::vector<MenuItem*> withAlt = bookmarks->displayedItems(kOptionKeyMask);
    EXPECT_NE(std::find(withAlt.begin(), withAlt.end(), second), withAlt.end());
    EXPECT_EQ(std::find(withAlt.begin(), withAlt.end(), first), withAlt.end());
    UserDefaults::shared().resetUserValues();
}

QIcon blackSquare()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(QRect(4, 4, 8, 8), Qt::black);
    return QIcon(pixmap);
}

TEST(ImageViewTest, DarkPalettesDrawTheImageAsATemplateInTheTextColour)
{
    const QPalette original = QApplication::palette();
    OVImageView view;
    view.setImage(blackSquare());
    view.resize(16, 16);

    QPalette light = original;
    light.setColor(QPalette::Window, QColor(236, 236, 236));
    light.setColor(QPalette::WindowText, Qt::black);
    QApplication::setPalette(light);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(view.isTemplate());
    EXPECT_EQ(view.renderedImage({16, 16}).toImage().pixelColor(8, 8), QColor(Qt::black));

    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(view.isTemplate());
    const QImage drawn = view.renderedImage({16, 16}).toImage();
    EXPECT_EQ(drawn.pixelColor(8, 8), QColor(230, 230, 230));
    EXPECT_EQ(drawn.pixelColor(1, 1).alpha(), 0);

    view.setAutoTemplateNonAqua(false);
    EXPECT_FALSE(view.isTemplate());
    EXPECT_EQ(view.renderedImage({16, 16}).toImage().pixelColor(8, 8), QColor(Qt::black));
    QApplication::setPalette(original);
}

TEST(MiniLabelTest, DrawsInTheTextColourAtHalfStrengthOnLightAndDarkPalettes)
{
    const QPalette original = QApplication::palette();
    QPalette light = original;
    light.setColor(QPalette::WindowText, Qt::black);
    QApplication::setPalette(light);
    OVBackwardsCompatibleMiniLabel label(QStringLiteral("pt"));
    EXPECT_EQ(label.secondaryTextColor(), QColor(0, 0, 0, 127));

    // A dark palette chosen while the label shows: light text, still at half strength, and drawn so.
    QPalette dark = original;
    dark.setColor(QPalette::WindowText, QColor(240, 240, 240));
    dark.setColor(QPalette::Window, Qt::black);
    QApplication::setPalette(dark);
    QCoreApplication::processEvents();
    EXPECT_EQ(label.secondaryTextColor(), QColor(240, 240, 240, 127));
    label.setText(QStringLiteral("MMMM"));
    label.setAutoFillBackground(true);
    label.resize(label.sizeHint());
    const QImage drawn = label.grab().toImage();
    int lit = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            lit += qGray(drawn.pixel(x, y)) > 60;
    EXPECT_GT(lit, 5) << "the text shows on the dark background";
    QApplication::setPalette(original);
}

TEST(MarkedTextColorWellTest, PanelChoicesArriveOnlyWhileActiveAndResetRestoresTheDefault)
{
    UserDefaults::shared().resetUserValues();
    OVMarkedTextColorWell well;
    EXPECT_EQ(well.supportedColorPanelOptionMask(), 2u);
    QColor chosen;
    well.setAction([&chosen](const QColor& color) {
        chosen = color;
        OVSharedPreferencesAccess::setMarkedTextColor(
            Color::rgb(color.redF(), color.greenF(), color.blueF(), color.alphaF()));
    });
    well.changeColor(Qt::red);
    EXPECT_FALSE(chosen.isValid());

    well.activate();
    ASSERT_NE(well.colorPanel(), nullptr);
    // The program's colour panel sends its changes to the well as changeColor:.
    ColorPanel::shared().setColor(Qt::green);
    EXPECT_TRUE(Application::shared().sendAction(ColorPanel::kChangeColorAction, &well,
                                                 QVariant::fromValue(&ColorPanel::shared())));
    EXPECT_EQ(chosen, QColor(Qt::green));
    EXPECT_TRUE(UserDefaults::shared().hasUserValue(QStringLiteral("markedTextHighlightColorData")));

    well.resetColorForColorPanelOption(OVMarkedTextColorWell::kColorPanelResetOption);
    EXPECT_FALSE(UserDefaults::shared().hasUserValue(QStringLiteral("markedTextHighlightColorData")));
    if (const std::optional<Color> plain = OVSharedPreferencesAccess::plainMarkedTextColor()) {
        const QColor expected =
            QColor::fromRgbF(float(plain->red), float(plain->green), float(plain->blue), float(plain->alpha));
        EXPECT_EQ(well.colorPanel()->currentColor().rgb(), expected.rgb());
        EXPECT_EQ(well.color().rgb(), expected.rgb());
    }
    well.deactivate();
    well.changeColor(Qt::blue);
    EXPECT_EQ(chosen, QColor(Qt::green));
    UserDefaults::shared().resetUserValues();
}

} // namespace
