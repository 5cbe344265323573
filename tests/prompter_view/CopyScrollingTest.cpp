// A prompter view in a shown window moves what is drawn by copying it and draws only what comes into
// view; after many ticks, mirrored or not, the window shows exactly what drawing it whole shows.
#include "PrompterViewTestSupport.h"

#include "platform/appkit/ClipView.h"
#include "platform/text/AttributeNames.h"
#include "prompter_view/OVPrompterView.h"
#include "prompter_view/OVScrollView.h"
#include "text/OVTextView.h"

#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QScreen>
#include <QWidget>

namespace {

constexpr Size kViewSize{640, 360};

// How many pixels the host was asked to paint.
class PaintedArea : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            for (const QRect& rect : static_cast<QPaintEvent*>(event)->region())
                area += qint64(rect.width()) * rect.height();
        }
        return false;
    }
    qint64 area = 0;
};

QString script()
{
    QStringList paragraphs;
    for (int i = 0; i < 120; ++i)
        paragraphs
            << QStringLiteral("Line %1 of the evening's script, read aloud as it scrolls past").arg(i + 1);
    return paragraphs.join(QChar('\n'));
}

// What the window's backing store holds: the pixels shown, as drawn tick by tick.
QImage shown(Window& window)
{
    QWidget* host = window.hostWidget();
    return host->screen()->grabWindow(host->winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

// The same window drawn whole from its views.
QImage drawnWhole(Window& window)
{
    return window.hostWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

class CopyScrollingTest : public PrompterViewTest,
                          public ::testing::WithParamInterface<std::pair<bool, bool>> {};

TEST_P(CopyScrollingTest, TwoHundredTicksShowWhatDrawingTheViewWholeShows)
{
    const auto [horizontally, vertically] = GetParam();
    HostWindow host(kViewSize);
    host.window->setBackgroundColor(Qt::black);
    auto* prompter = host.add(std::make_unique<OVPrompterView>(Rect{{0, 0}, kViewSize}));
    OVTextView* text = prompter->prompterTextView();
    text->setString(script());
    Font font;
    font.familyName = QStringLiteral("DejaVu Sans");
    font.fontName = QStringLiteral("DejaVuSans");
    font.pointSize = 28;
    text->textStorage().setAttributes(
        {{kFontAttributeName, font}, {kForegroundColorAttributeName, Color::gray(1)}},
        {0, text->textStorage().length()});
    text->setBackgroundColor(Qt::black);
    prompter->setHorizontallyFlipped(horizontally);
    prompter->setVerticallyFlipped(vertically);
    prompter->tile();
    host.window->orderFront();
    QApplication::processEvents();

    PaintedArea painted;
    host.window->hostWidget()->installEventFilter(&painted);
    ClipView* clip = prompter->prompterScrollView()->contentView();
    double y = clip->bounds().origin.y;
    // Steps of one to three pixels as a prompter at several speeds takes them, and some back.
    for (int tick = 0; tick < 200; ++tick) {
        y += tick % 50 == 49 ? -7 : 1 + tick % 3;
        clip->scrollToPoint({0, y});
        QApplication::processEvents();
    }
    host.window->hostWidget()->removeEventFilter(&painted);
    ASSERT_GT(clip->bounds().origin.y, 100) << "the text did not scroll";

    const QImage copied = shown(*host.window);
    const QImage whole = drawnWhole(*host.window);
    ASSERT_EQ(copied.size(), whole.size());
    EXPECT_TRUE(copied == whole) << "the copied frame differs from one drawn whole";
    // Drawing whole would paint every pixel at every tick. Copying paints the rows that come into
    // view (two on average) and the overlay scroller's knob where it was and where it is, not the
    // scroller's whole length over the text (twice the area): under six rows of the view a tick.
    const qint64 sixRows = qint64(kViewSize.width) * 6 * 200;
    EXPECT_LT(painted.area, sixRows);
}

INSTANTIATE_TEST_SUITE_P(Mirrors, CopyScrollingTest,
                         ::testing::Values(std::pair{false, false}, std::pair{true, false},
                                           std::pair{false, true}, std::pair{true, true}));

} // namespace
