// An edit lays out only the paragraphs it touched and moves the rest only when their place changed:
// after every edit the lines, their places and the text's used width are those a fresh layout of the
// same text gives.
#include "platform/foundation/FileWrapper.h"
#include "platform/text/TextAttachment.h"
#include "platform/textlayout/LayoutManager.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr double kWidth = 900;

// A failure names its seed; ORVANE_TEST_SEED replays it.
unsigned testSeed()
{
    bool ok = false;
    const unsigned given = qEnvironmentVariable("ORVANE_TEST_SEED").toUInt(&ok);
    return ok ? given : std::random_device{}();
}

std::shared_ptr<TextStorage> makeScript()
{
    const AttributeDictionary body{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 24}}};
    const AttributeDictionary cue{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica-Bold"), 24, true}}};
    auto storage = std::make_shared<TextStorage>();
    storage->beginEditing();
    for (int i = 0; i < 60; ++i) {
        storage->append(QStringLiteral("CUE %1: ").arg(i), cue);
        QString words;
        // Short lines of different widths, so that the widest line of the text belongs to one
        // paragraph that edits can shorten.
        for (int w = 0; w < 1 + (i * 7) % 23; ++w)
            words += QStringLiteral("w%1 ").arg(w);
        storage->append(words + QStringLiteral("\n"), body);
    }
    storage->endEditing();
    return storage;
}

std::vector<LineFragment> allLines(const LayoutManager& layout)
{
    return layout.lineFragmentsInRect({0, 0, 1e6, layout.usedRectForTextContainer().height() + 1e6});
}

// A layout of the storage at the width, laid out to its end.
std::unique_ptr<LayoutManager> laidOut(std::shared_ptr<TextStorage> storage, double width)
{
    auto layout = std::make_unique<LayoutManager>(std::move(storage));
    layout->setTextContainerSize({width, TextContainer::kUnlimitedHeight});
    layout->ensureLayoutForTextContainer();
    return layout;
}

std::unique_ptr<LayoutManager> laidOutCopy(const TextStorage& storage, double width)
{
    auto copy = std::make_shared<TextStorage>();
    copy->setAttributedString(storage);
    return laidOut(copy, width);
}

void expectSameLines(LayoutManager& layout, const LayoutManager& fresh, const std::string& step)
{
    layout.ensureLayoutForTextContainer();
    const std::vector<LineFragment> lines = allLines(layout);
    const std::vector<LineFragment> expected = allLines(fresh);
    ASSERT_EQ(lines.size(), expected.size()) << step;
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].characterRange, expected[i].characterRange) << step << ", line " << i;
        ASSERT_EQ(lines[i].rect, expected[i].rect) << step << ", line " << i;
        ASSERT_EQ(lines[i].usedRect, expected[i].usedRect) << step << ", line " << i;
        ASSERT_DOUBLE_EQ(lines[i].baseline, expected[i].baseline) << step << ", line " << i;
    }
    ASSERT_EQ(layout.usedRectForTextContainer(), fresh.usedRectForTextContainer()) << step;
}

} // namespace

TEST(EditedLayoutTest, EditsLeaveTheLayoutAFreshLayoutGives)
{
    auto storage = makeScript();
    const auto layout = laidOut(storage, kWidth);
    const unsigned seed = testSeed();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (int step = 0; step < 300; ++step) {
        const qsizetype length = storage->length();
        const qsizetype at = std::uniform_int_distribution<qsizetype>(0, length)(random);
        std::string what;
        switch (std::uniform_int_distribution<int>(0, 4)(random)) {
        case 0: // typing
            storage->replaceCharacters({at, 0}, QStringLiteral("x"));
            what = "type";
            break;
        case 1: // deleting, a line break too
            if (at < length)
                storage->deleteCharacters({at, std::min<qsizetype>(3, length - at)});
            what = "delete";
            break;
        case 2: // breaking a paragraph
            storage->replaceCharacters({at, 0}, QStringLiteral("\n"));
            what = "break";
            break;
        case 3: // a word long enough to make its line the widest or to wrap
            storage->replaceCharacters({at, 0}, QStringLiteral("wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww "));
            what = "widen";
            break;
        default: { // a cut across lines and paragraphs
            const qsizetype start =
                std::uniform_int_distribution<qsizetype>(0, std::max<qsizetype>(0, length - 40))(random);
            storage->deleteCharacters({start, std::min<qsizetype>(30, length - start)});
            what = "cut";
            break;
        }
        }
        expectSameLines(*layout, *laidOutCopy(*storage, kWidth),
                        "step " + std::to_string(step) + " (" + what + ")");
        if (HasFatalFailure())
            return;
    }
}

TEST(EditedLayoutTest, ShorteningTheWidestLineNarrowsTheUsedRect)
{
    auto storage = std::make_shared<TextStorage>();
    const AttributeDictionary body{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 24}}};
    storage->append(QStringLiteral("short\nthe one long line of this text\nshort too\n"), body);
    const auto layout = laidOut(storage, kWidth);
    const double wide = layout->usedRectForTextContainer().width();
    storage->deleteCharacters({QStringLiteral("short\nthe one").size(), QStringLiteral(" long line").size()});
    EXPECT_LT(layout->usedRectForTextContainer().width(), wide);
    expectSameLines(*layout, *laidOutCopy(*storage, kWidth), "shortened");
    storage->replaceCharacters({0, 0}, QStringLiteral("now the widest line of all of them "));
    EXPECT_GT(layout->usedRectForTextContainer().width(), wide);
    expectSameLines(*layout, *laidOutCopy(*storage, kWidth), "widened");
}

namespace {

constexpr double kNarrow = 430;

std::shared_ptr<TextAttachment> picture()
{
    QImage image(30, 60, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return std::make_shared<TextAttachment>(FileWrapper::makeRegularFile(png));
}

// Long paragraphs of many lines in two fonts and colours, indented, spaced, with a tall picture now
// and then, and more paragraphs than the layouts kept for drawing.
std::shared_ptr<TextStorage> makeLongParagraphs()
{
    const AttributeDictionary body{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 20}},
        {kForegroundColorAttributeName, Color::rgb(0, 0, 0)}};
    const AttributeDictionary bold{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica-Bold"), 28, true}},
        {kForegroundColorAttributeName, Color::rgb(0.8, 0, 0)}};
    ParagraphStyle indented;
    indented.firstLineHeadIndent = 24;
    indented.headIndent = 8;
    indented.paragraphSpacing = 6;
    indented.lineSpacing = 2;
    auto storage = std::make_shared<TextStorage>();
    storage->beginEditing();
    for (int i = 0; i < 90; ++i) {
        for (int w = 0; w < 12 + (i * 5) % 30; ++w) {
            storage->append(QStringLiteral("word%1 ").arg(w * i % 97), w % 7 == 3 ? bold : body);
            if ((i + w) % 41 == 0)
                storage->append(QString(QChar(kAttachmentCharacter)) + QStringLiteral(" "),
                                {{kAttachmentAttributeName, picture()}});
        }
        storage->append(QStringLiteral("\n"), body);
        if (i % 3 == 0) {
            const qsizetype end = storage->length();
            qsizetype start = end - 1;
            while (start > 0 && storage->characterAtIndex(start - 1) != u'\n')
                --start;
            storage->addAttribute(kParagraphStyleAttributeName, indented, {start, end - start});
        }
    }
    storage->endEditing();
    return storage;
}

QImage render(LayoutManager& layout, const Rect& area)
{
    QImage image(int(area.width()), int(area.height()), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    const Range glyphs = layout.glyphRangeForBoundingRect(area);
    const Point origin{-area.minX(), -area.minY()};
    layout.drawBackgroundForGlyphRange(painter, glyphs, origin);
    layout.drawGlyphsForGlyphRange(painter, glyphs, origin);
    return image;
}

// Where an overlay ends in a line that closes a run of lines shaped together, Qt's clip for the overlay
// may shade an edge pixel a little differently; a line missing or misplaced differs by far more.
bool sameDrawing(const QImage& drawn, const QImage& expected)
{
    constexpr int kEdgeShading = 64;
    for (int y = 0; y < drawn.height(); ++y) {
        const QRgb* a = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        const QRgb* b = reinterpret_cast<const QRgb*>(expected.constScanLine(y));
        for (int x = 0; x < drawn.width(); ++x) {
            if (std::abs(qRed(a[x]) - qRed(b[x])) > kEdgeShading ||
                std::abs(qGreen(a[x]) - qGreen(b[x])) > kEdgeShading ||
                std::abs(qBlue(a[x]) - qBlue(b[x])) > kEdgeShading)
                return false;
        }
    }
    return true;
}

// Lines, carets, hit tests and pixels around the edit, as a fresh layout of the same text gives them.
void expectSameAsFresh(LayoutManager& layout, const TextStorage& storage, qsizetype around,
                       std::mt19937& random, const std::string& step)
{
    const auto copy = laidOutCopy(storage, kNarrow);
    LayoutManager& fresh = *copy;
    expectSameLines(layout, fresh, step);
    if (::testing::Test::HasFatalFailure())
        return;
    const qsizetype length = storage.length();
    std::uniform_int_distribution<qsizetype> near(std::max<qsizetype>(0, around - 300),
                                                  std::min(length, around + 300));
    for (int probe = 0; probe < 12; ++probe) {
        const qsizetype index = near(random);
        ASSERT_EQ(layout.insertionPointRectForCharacterIndex(index),
                  fresh.insertionPointRectForCharacterIndex(index))
            << step << ", caret at " << index;
        const Range range{index, std::min<qsizetype>(40, length - index)};
        ASSERT_EQ(layout.rectsForCharacterRange(range), fresh.rectsForCharacterRange(range))
            << step << ", rects from " << index;
        const Rect caret = fresh.insertionPointRectForCharacterIndex(index);
        const Point point{caret.minX() + 3, caret.midY()};
        ASSERT_EQ(layout.glyphIndexForPoint(point), fresh.glyphIndexForPoint(point)) << step << ", point";
        ASSERT_EQ(layout.insertionIndexForPoint(point), fresh.insertionIndexForPoint(point)) << step;
        ASSERT_EQ(layout.visualCursorPosition(index, true), fresh.visualCursorPosition(index, true)) << step;
        ASSERT_EQ(layout.visualCursorPosition(index, false), fresh.visualCursorPosition(index, false))
            << step;
    }
    const Rect caret = fresh.insertionPointRectForCharacterIndex(std::min(around, length));
    const Rect area{0, std::max(0.0, caret.minY() - 200), kNarrow, 400};
    // A temporary colour across the edit: overlays draw through every layout of a paragraph.
    const Range coloured = Range{std::max<qsizetype>(0, around - 150), 300}.intersection({0, length});
    for (LayoutManager* manager : {&layout, &fresh})
        manager->addTemporaryAttribute(kTemporaryForegroundColorAttributeName, Color::rgb(0, 0.6, 0),
                                       coloured);
    ASSERT_TRUE(sameDrawing(render(layout, area), render(fresh, area))) << step << ": the drawing differs";
    layout.removeTemporaryAttribute(kTemporaryForegroundColorAttributeName, coloured);
}

} // namespace

TEST(EditedLayoutTest, LongParagraphsEditedLineByLineDrawAndAnswerAsLaidOutAfresh)
{
    auto storage = makeLongParagraphs();
    const auto edited = laidOut(storage, kNarrow);
    LayoutManager& layout = *edited;
    const unsigned seed = testSeed();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    qsizetype typing = storage->length() / 3;
    for (int step = 0; step < 400; ++step) {
        const qsizetype length = storage->length();
        // Mostly typing and deleting on at one place, as an operator does, now and then elsewhere.
        if (std::uniform_int_distribution<int>(0, 9)(random) == 0)
            typing = std::uniform_int_distribution<qsizetype>(1, length - 1)(random);
        typing = std::clamp<qsizetype>(typing, 1, length - 1);
        std::string what;
        switch (std::uniform_int_distribution<int>(0, 5)(random)) {
        case 0:
        case 1:
            storage->replaceCharacters({typing, 0}, QStringLiteral("a"));
            ++typing;
            what = "type";
            break;
        case 2:
            storage->replaceCharacters({typing, 0}, QStringLiteral(" "));
            ++typing;
            what = "space";
            break;
        case 3:
            storage->deleteCharacters({typing - 1, 1});
            --typing;
            what = "delete";
            break;
        case 4:
            storage->replaceCharacters({typing, std::min<qsizetype>(5, length - typing)},
                                       QStringLiteral("reworded"));
            what = "replace";
            break;
        default:
            storage->addAttribute(
                kFontAttributeName,
                Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica-Bold"), 34, true},
                {typing, std::min<qsizetype>(6, length - typing)});
            what = "restyle";
            break;
        }
        expectSameAsFresh(layout, *storage, typing, random,
                          "step " + std::to_string(step) + " (" + what + " at " + std::to_string(typing) +
                              ")");
        if (HasFatalFailure())
            return;
        // Drawing far away now and then pushes the edited paragraph's layouts out of the kept ones,
        // so that they are shaped again from what the lines recorded.
        if (step % 50 == 49) {
            const double height = layout.usedRectForTextContainer().height();
            for (double y = 0; y < height; y += 400)
                render(layout, {0, y, kNarrow, 400});
        }
    }
}
