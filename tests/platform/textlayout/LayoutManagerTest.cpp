#include "platform/textlayout/LayoutManager.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/TextAttachment.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFontMetricsF>
#include <QImage>

namespace {

AttributeDictionary helvetica(double size = 12)
{
    return {{kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), size}}};
}

struct Fixture {
    explicit Fixture(const QString& text, double width = 300)
        : storage(std::make_shared<TextStorage>(text, helvetica())), layout(storage)
    {
        layout.setTextContainerSize({width, TextContainer::kUnlimitedHeight});
    }
    std::shared_ptr<TextStorage> storage;
    LayoutManager layout;
};

std::shared_ptr<TextAttachment> pictureAttachment(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    auto attachment = std::make_shared<TextAttachment>(FileWrapper::makeRegularFile(png));
    return attachment;
}

} // namespace

TEST(LayoutManagerTest, EmptyTextHasOnlyTheExtraLineFragment)
{
    Fixture f{QString()};
    EXPECT_EQ(f.layout.numberOfLines(), 0);
    const Rect extra = f.layout.extraLineFragmentRect();
    EXPECT_GT(extra.height(), 10);
    EXPECT_EQ(extra.minY(), 0);
    EXPECT_EQ(f.layout.insertionIndexForPoint({50, 50}), 0);
    EXPECT_EQ(f.layout.glyphIndexForPoint({50, 50}), 0);
    EXPECT_TRUE(f.layout.rectsForCharacterRange({0, 5}).empty());
    EXPECT_GT(f.layout.usedRectForTextContainer().height(), 0);
}

TEST(LayoutManagerTest, LinesStackAndFragmentsCoverTheirCharacters)
{
    Fixture f(QStringLiteral("one\ntwo\r\nthree"));
    ASSERT_EQ(f.layout.numberOfLines(), 3);
    Range first;
    Range second;
    Range third;
    const Rect r1 = f.layout.lineFragmentRectForGlyphAtIndex(1, &first);
    const Rect r2 = f.layout.lineFragmentRectForGlyphAtIndex(5, &second);
    const Rect r3 = f.layout.lineFragmentRectForGlyphAtIndex(12, &third);
    EXPECT_EQ(first, (Range{0, 4}));
    EXPECT_EQ(second, (Range{4, 5}));
    EXPECT_EQ(third, (Range{9, 5}));
    EXPECT_DOUBLE_EQ(r2.minY(), r1.maxY());
    EXPECT_DOUBLE_EQ(r3.minY(), r2.maxY());
    EXPECT_DOUBLE_EQ(r1.width(), 300);
    // The text does not end in a terminator: no extra fragment.
    EXPECT_TRUE(f.layout.extraLineFragmentRect().isEmpty());
    EXPECT_DOUBLE_EQ(f.layout.usedRectForTextContainer().height(), r3.maxY());
    EXPECT_EQ(f.layout.glyphRangeForCharacterRange({2, 100}), (Range{2, 12}));
}

TEST(LayoutManagerTest, PositionsMatchWhatQtMeasures)
{
    Fixture f(QStringLiteral("Hello world"));
    const QFont font =
        LayoutManager::qtFont(Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 12});
    QTextLayout reference(QStringLiteral("Hello world"), font, nullptr);
    // Measure with the same 72-unit inch the layout manager uses.
    QImage device(1, 1, QImage::Format_ARGB32_Premultiplied);
    device.setDotsPerMeterX(2835);
    device.setDotsPerMeterY(2835);
    const double helloWidth = QFontMetricsF(font, &device).horizontalAdvance(QStringLiteral("Hello"));
    const Rect caret = f.layout.insertionPointRectForCharacterIndex(5);
    const double padding = TextContainer::kDefaultLineFragmentPadding;
    EXPECT_NEAR(caret.minX(), padding + helloWidth, 0.01);
    // A point in the middle of "w" finds "w", and the nearest caret position beside it.
    const double wX = f.layout.insertionPointRectForCharacterIndex(6).minX();
    const double oX = f.layout.insertionPointRectForCharacterIndex(7).minX();
    double fraction = 0;
    EXPECT_EQ(f.layout.glyphIndexForPoint({(wX + oX) / 2, caret.midY()}, &fraction), 6);
    EXPECT_NEAR(fraction, 0.5, 0.05);
    EXPECT_EQ(f.layout.insertionIndexForPoint({wX + (oX - wX) * 0.8, caret.midY()}), 7);
    EXPECT_EQ(f.layout.insertionIndexForPoint({wX + (oX - wX) * 0.2, caret.midY()}), 6);
    // Far right goes to the end, far left to the start.
    EXPECT_EQ(f.layout.insertionIndexForPoint({1000, caret.midY()}), 11);
    EXPECT_EQ(f.layout.insertionIndexForPoint({-10, caret.midY()}), 0);
    // The rects of a range span its glyphs.
    const auto rects = f.layout.rectsForCharacterRange({6, 5});
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_NEAR(rects[0].minX(), wX, 0.01);
    EXPECT_NEAR(rects[0].height(), caret.height(), 0.01);
}

TEST(LayoutManagerTest, WrapsAtTheContainerWidthAndRangesSpanLines)
{
    const QString words =
        QStringLiteral("alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu");
    Fixture f(words, 120);
    EXPECT_GT(f.layout.numberOfLines(), 2);
    const auto rects = f.layout.rectsForCharacterRange({0, words.size()});
    EXPECT_EQ(qsizetype(rects.size()), f.layout.numberOfLines());
    // A range running on past a line's end fills to the fragment's end.
    EXPECT_DOUBLE_EQ(rects[0].maxX(), 120);
    for (const auto& fragment : f.layout.lineFragmentsInRect({0, 0, 120, 1000}))
        EXPECT_LE(fragment.usedRect.maxX(), 120 + 0.01);
    // Narrowing the container reflows.
    const qsizetype before = f.layout.numberOfLines();
    f.layout.setTextContainerSize({60, 1e7});
    EXPECT_GT(f.layout.numberOfLines(), before);
}

TEST(LayoutManagerTest, ZeroWidthStillEndsAndKeepsEveryCharacter)
{
    Fixture f(QStringLiteral("abc def"), 0);
    EXPECT_GE(f.layout.numberOfLines(), 3);
    qsizetype covered = 0;
    for (const auto& fragment : f.layout.lineFragmentsInRect({-1, -1, 10, 1e6}))
        covered += fragment.characterRange.length;
    EXPECT_EQ(covered, 7);
}

TEST(LayoutManagerTest, EditsRelayOutOnlyTheTouchedParagraphs)
{
    Fixture f(QStringLiteral("first\nsecond\nthird\n"));
    std::vector<Range> laidOut;
    f.layout.addLayoutObserver([&](const Range& range, bool) { laidOut.push_back(range); });
    f.storage->replaceCharacters({8, 0}, QStringLiteral("XX"));
    ASSERT_EQ(laidOut.size(), 1u);
    // The paragraph before is redone too (the edit could have joined it); never the third.
    EXPECT_LE(laidOut[0].end(), 15);
    Range line;
    f.layout.lineFragmentRectForGlyphAtIndex(16, &line);
    EXPECT_EQ(line, (Range{15, 6}));
    // Removing a terminator joins paragraphs.
    f.storage->replaceCharacters({5, 1}, QString());
    EXPECT_EQ(f.layout.numberOfLines(), 2);
    f.layout.lineFragmentRectForGlyphAtIndex(0, &line);
    EXPECT_EQ(line, (Range{0, 14}));
    // Emptying the text leaves the extra fragment only.
    f.storage->replaceCharacters({0, f.storage->length()}, QString());
    EXPECT_EQ(f.layout.numberOfLines(), 0);
    EXPECT_FALSE(f.layout.extraLineFragmentRect().isEmpty());
}

TEST(LayoutManagerTest, CarriageReturnJoinedByALineFeedIsOneTerminator)
{
    Fixture f(QStringLiteral("a\rb"));
    EXPECT_EQ(f.layout.numberOfLines(), 2);
    f.storage->replaceCharacters({2, 0}, QStringLiteral("\n"));
    EXPECT_EQ(f.layout.numberOfLines(), 2);
    Range line;
    f.layout.lineFragmentRectForGlyphAtIndex(0, &line);
    EXPECT_EQ(line, (Range{0, 3}));
    EXPECT_EQ(f.layout.nextCursorPosition(1), 3);
    EXPECT_EQ(f.layout.previousCursorPosition(3), 1);
}

TEST(LayoutManagerTest, ParagraphStylesShapeLines)
{
    Fixture f(QStringLiteral("one\ntwo\nthree"));
    const double plain = f.layout.lineFragmentRectForGlyphAtIndex(0).height();
    ParagraphStyle style;
    style.lineHeightMultiple = 2;
    style.paragraphSpacing = 7;
    style.firstLineHeadIndent = 30;
    f.storage->addAttribute(kParagraphStyleAttributeName, style, {4, 4});
    const Rect second = f.layout.lineFragmentRectForGlyphAtIndex(4);
    EXPECT_NEAR(second.height(), plain * 2, 0.01);
    // Paragraph spacing pushes the next paragraph down.
    EXPECT_NEAR(f.layout.lineFragmentRectForGlyphAtIndex(8).minY(), second.maxY() + 7, 0.01);
    EXPECT_NEAR(f.layout.insertionPointRectForCharacterIndex(4).minX(),
                30 + TextContainer::kDefaultLineFragmentPadding, 0.01);

    ParagraphStyle centered;
    centered.alignment = TextAlignment::Center;
    f.storage->addAttribute(kParagraphStyleAttributeName, centered, {8, 5});
    const Rect used = f.layout.lineFragmentUsedRectForGlyphAtIndex(9);
    EXPECT_NEAR(used.midX(), 150, 1.0);
}

TEST(LayoutManagerTest, TabStopsCountFromTheMargin)
{
    Fixture f(QStringLiteral("a\tb\tc"));
    const double padding = TextContainer::kDefaultLineFragmentPadding;
    // The default stops stand every 28 points.
    EXPECT_NEAR(f.layout.insertionPointRectForCharacterIndex(2).minX(), padding + 28, 0.01);
    EXPECT_NEAR(f.layout.insertionPointRectForCharacterIndex(4).minX(), padding + 56, 0.01);
    ParagraphStyle style;
    style.firstLineHeadIndent = 10;
    style.headIndent = 10;
    style.tabStops = {TextTab{TextTabType::Left, 50}, TextTab{TextTabType::Right, 120}};
    f.storage->addAttribute(kParagraphStyleAttributeName, style, {0, 5});
    EXPECT_NEAR(f.layout.insertionPointRectForCharacterIndex(2).minX(), padding + 50, 0.01);
    // A right tab ends the text at its location.
    EXPECT_NEAR(f.layout.insertionPointRectForCharacterIndex(5).minX(), padding + 120, 0.01);
}

TEST(LayoutManagerTest, AttachmentsTakeTheirSizeInTheLine)
{
    auto storage = std::make_shared<TextStorage>(
        QStringLiteral("a") + QChar(kAttachmentCharacter) + QStringLiteral("b"), helvetica());
    LayoutManager layout(storage);
    layout.setTextContainerSize({300, 1e7});
    const double plainHeight = layout.lineFragmentRectForGlyphAtIndex(0).height();
    storage->addAttribute(kAttachmentAttributeName, pictureAttachment(40, 50), {1, 1});
    const double x1 = layout.insertionPointRectForCharacterIndex(1).minX();
    const double x2 = layout.insertionPointRectForCharacterIndex(2).minX();
    EXPECT_NEAR(x2 - x1, 40, 0.01);
    EXPECT_GT(layout.lineFragmentRectForGlyphAtIndex(0).height(), 50);
    EXPECT_GT(layout.lineFragmentRectForGlyphAtIndex(0).height(), plainHeight);

    // Attachments at the start and at the end.
    auto edges = std::make_shared<TextStorage>(QString(QChar(kAttachmentCharacter)) + QStringLiteral("x") +
                                                   QChar(kAttachmentCharacter),
                                               helvetica());
    auto cellLike = std::make_shared<TextAttachment>();
    cellLike->setBounds(QRectF(0, -5, 20, 20));
    edges->addAttribute(kAttachmentAttributeName, cellLike, {0, 1});
    edges->addAttribute(kAttachmentAttributeName, pictureAttachment(10, 10), {2, 1});
    LayoutManager edgeLayout(edges);
    edgeLayout.setTextContainerSize({300, 1e7});
    EXPECT_EQ(edgeLayout.numberOfLines(), 1);
    EXPECT_NEAR(edgeLayout.insertionPointRectForCharacterIndex(1).minX(),
                TextContainer::kDefaultLineFragmentPadding + 20, 0.01);
    EXPECT_EQ(edgeLayout.insertionIndexForPoint({1000, 5}), 3);
}

TEST(LayoutManagerTest, SurrogatePairsAndClustersAreNeverSplit)
{
    // "a", an emoji (two units), "e" with a combining acute, "b".
    const QString text = QStringLiteral("a") + QString::fromUtf16(u"\U0001F600") + QStringLiteral("e\u0301b");
    Fixture f(text);
    EXPECT_EQ(f.layout.nextCursorPosition(1), 3);
    EXPECT_EQ(f.layout.previousCursorPosition(3), 1);
    EXPECT_EQ(f.layout.nextCursorPosition(3), 5);
    EXPECT_EQ(f.layout.previousCursorPosition(5), 3);
    for (double x = 0; x < 100; x += 0.5) {
        const qsizetype index = f.layout.insertionIndexForPoint({x, 5});
        EXPECT_NE(index, 2) << x;
        EXPECT_NE(index, 4) << x;
    }
}

TEST(LayoutManagerTest, RightToLeftParagraphsStartAtTheRight)
{
    Fixture f(QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD\nabc"));
    const Rect used = f.layout.lineFragmentUsedRectForGlyphAtIndex(0);
    EXPECT_GT(used.minX(), 150);
    EXPECT_GT(f.layout.insertionPointRectForCharacterIndex(0).minX(), 250);
    EXPECT_LT(f.layout.insertionPointRectForCharacterIndex(10).minX(), 20);
    // Selecting from the middle of the Hebrew line into the next fills to the line's left end.
    const auto rects = f.layout.rectsForCharacterRange({5, 7});
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_DOUBLE_EQ(rects[0].minX(), 0);
    EXPECT_NEAR(rects[0].maxX(), f.layout.insertionPointRectForCharacterIndex(5).minX(), 0.01);
    // Mixed text still gives a caret position for every point.
    Fixture mixed(QStringLiteral("abc \u05D0\u05D1\u05D2 def"));
    for (double x = 0; x < 200; x += 3) {
        const qsizetype index = mixed.layout.insertionIndexForPoint({x, 5});
        EXPECT_GE(index, 0);
        EXPECT_LE(index, 11);
    }
}

TEST(LayoutManagerTest, OneHugeParagraphLaysOutAndAnswers)
{
    QString text;
    text.reserve(500000);
    while (text.size() < 500000)
        text += QStringLiteral("lorem ipsum dolor sit amet ");
    text.truncate(500000);
    Fixture f(text, 400);
    EXPECT_GT(f.layout.numberOfLines(), 1000);
    const Rect last = f.layout.lineFragmentRectForGlyphAtIndex(499999);
    EXPECT_EQ(f.layout.insertionIndexForPoint({1000, last.midY()}), 500000);
    f.storage->replaceCharacters({250000, 0}, QStringLiteral("x"));
    EXPECT_EQ(f.layout.glyphRangeForBoundingRect(last).end(), 500001);
    EXPECT_LT(f.layout.nextWordBoundary(250000), 250020);
}

TEST(LayoutManagerTest, TemporaryAttributesShiftWithEditsAndAreNotStored)
{
    Fixture f(QStringLiteral("one two three four"));
    f.layout.addTemporaryAttribute(kTemporaryBackgroundColorAttributeName, Color::rgb(1, 1, 0), {4, 3});
    Range effective;
    EXPECT_FALSE(f.layout.temporaryAttributesAtCharacterIndex(5, &effective).isEmpty());
    EXPECT_EQ(effective, (Range{4, 3}));
    EXPECT_FALSE(f.storage->attributesAtIndex(5).contains(kBackgroundColorAttributeName));
    // An insertion before moves the run; one inside splits it without marking the new characters.
    f.storage->replaceCharacters({0, 0}, QStringLiteral("__"));
    f.layout.temporaryAttribute(kTemporaryBackgroundColorAttributeName, 7, &effective, {0, 100});
    EXPECT_EQ(effective, (Range{6, 3}));
    f.storage->replaceCharacters({7, 0}, QStringLiteral("+"));
    EXPECT_TRUE(
        f.layout.temporaryAttribute(kTemporaryBackgroundColorAttributeName, 7, nullptr, {0, 100}).isNull());
    EXPECT_FALSE(
        f.layout.temporaryAttribute(kTemporaryBackgroundColorAttributeName, 8, nullptr, {0, 100}).isNull());
    std::vector<Range> found;
    f.layout.enumerateTemporaryAttribute(kTemporaryBackgroundColorAttributeName, {0, f.storage->length()},
                                         true, [&](const AttributeValue& value, const Range& range, bool&) {
                                             if (!value.isNull())
                                                 found.push_back(range);
                                         });
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], (Range{8, 2}));
    EXPECT_EQ(found[1], (Range{6, 1}));
    f.layout.removeTemporaryAttribute(kTemporaryBackgroundColorAttributeName, {0, 100});
    EXPECT_TRUE(f.layout.temporaryAttributesAtCharacterIndex(8).isEmpty());
}

TEST(LayoutManagerTest, TwoLayoutManagersFollowOneStorage)
{
    auto storage = std::make_shared<TextStorage>(QStringLiteral("shared text"), helvetica());
    LayoutManager wide(storage);
    LayoutManager narrow(storage);
    wide.setTextContainerSize({500, 1e7});
    narrow.setTextContainerSize({40, 1e7});
    storage->replaceCharacters({6, 0}, QStringLiteral("and longer "));
    EXPECT_EQ(wide.numberOfLines(), 1);
    EXPECT_GT(narrow.numberOfLines(), 1);
    EXPECT_EQ(wide.numberOfGlyphs(), narrow.numberOfGlyphs());
    // Moving one onto another storage leaves the other alone.
    auto other = std::make_shared<TextStorage>(QStringLiteral("x"), helvetica());
    narrow.replaceTextStorage(other);
    EXPECT_EQ(narrow.numberOfGlyphs(), 1);
    storage->replaceCharacters({0, 0}, QStringLiteral("more "));
    EXPECT_EQ(narrow.numberOfGlyphs(), 1);
    EXPECT_EQ(wide.numberOfGlyphs(), storage->length());
}

TEST(LayoutManagerTest, BoundingRectQueriesFindFullyAndPartlyShownLines)
{
    Fixture f(QStringLiteral("1\n2\n3\n4\n5"));
    const double height = f.layout.lineFragmentRectForGlyphAtIndex(0).height();
    const Rect halfway(0, height * 0.5, 300, height * 2);
    EXPECT_EQ(f.layout.glyphRangeForBoundingRect(halfway), (Range{0, 6}));
    EXPECT_EQ(f.layout.glyphRangeForBoundingRect(halfway, true), (Range{2, 2}));
    EXPECT_EQ(f.layout.glyphRangeForBoundingRect({0, 1e6, 10, 10}), (Range{0, 0}));
}

TEST(LayoutManagerTest, OneEndlessWordLaysOutQuicklyAtAnyWidth)
{
    // A single 200,000-character word: without care each line would scan the rest of the word.
    const QString text(200000, QLatin1Char('w'));
    Fixture narrow(text, 0);
    EXPECT_EQ(narrow.layout.numberOfLines(), 200000);
    EXPECT_EQ(narrow.layout.glyphRangeForBoundingRect(narrow.layout.usedRectForTextContainer()).length,
              200000);
    Fixture wide(text, 400);
    EXPECT_GT(wide.layout.numberOfLines(), 1000);
    for (const auto& fragment : wide.layout.lineFragmentsInRect({0, 0, 400, 200}))
        EXPECT_LE(fragment.usedRect.maxX(), 400.01);
}

TEST(LayoutManagerTest, ARunWithoutABreakIsBrokenAtTheWidthAndTheWordsAroundItAtTheirBoundaries)
{
    // Replacement characters, as a damaged file decodes to, offer no break between them either.
    for (const QChar repeated : {QChar(u'w'), QChar(0xFFFD)}) {
        SCOPED_TRACE(int(repeated.unicode()));
        const QString before = QStringLiteral("Good evening and welcome ");
        const QString after = QStringLiteral(" to the news at nine tonight");
        const QString run(200000, repeated);
        Fixture f(before + run + after, 300);
        const qsizetype lines = f.layout.numberOfLines();
        EXPECT_GT(lines, 2000);
        Range first;
        f.layout.lineFragmentRectForGlyphAtIndex(0, &first);
        // The words before the run keep their line; the run starts the next one.
        EXPECT_EQ(first, (Range{0, before.size()}));
        const qsizetype end = f.storage->length();
        Range last;
        const Rect lastRect = f.layout.lineFragmentRectForGlyphAtIndex(end - 1, &last);
        // The words after the run are wrapped whole: no line ends inside one of them.
        for (qsizetype index = before.size() + run.size(); index < end;) {
            Range line;
            f.layout.lineFragmentRectForGlyphAtIndex(index, &line);
            const qsizetype lineEnd = line.end();
            EXPECT_TRUE(lineEnd == end || f.storage->string().at(lineEnd - 1).isSpace() ||
                        lineEnd <= before.size() + run.size())
                << lineEnd;
            index = std::max(lineEnd, index + 1);
        }
        // Every line of the run lies within the width, and a point on a line finds a character of that
        // line: drawing, hit-testing and the caret go by the same lines.
        for (qsizetype index = before.size(); index < before.size() + run.size(); index += 7919) {
            Range line;
            const Rect rect = f.layout.lineFragmentRectForGlyphAtIndex(index, &line);
            EXPECT_LE(f.layout.lineFragmentUsedRectForGlyphAtIndex(index).maxX(), 300.01);
            const qsizetype hit = f.layout.glyphIndexForPoint({150, rect.midY()});
            EXPECT_GE(hit, line.location);
            EXPECT_LT(hit, line.end());
            const Rect caret = f.layout.insertionPointRectForCharacterIndex(index);
            EXPECT_NEAR(caret.midY(), rect.midY(), rect.height() / 2);
        }
        EXPECT_GT(lastRect.minY(), 0);
    }
}

TEST(LayoutManagerTest, IncrementalLayoutAgreesWithAFreshOneAfterRandomEdits)
{
    // Terminators of every kind, a surrogate pair and an attachment character, edited at random
    // places, with background slices in between and the width changed now and then (which leaves
    // everything to be laid out again); the incrementally kept layout must match one built from
    // scratch: where it is laid out after every step, and all of it every tenth.
    const QStringList pieces{QStringLiteral("word "),
                             QStringLiteral("\n"),
                             QStringLiteral("\r"),
                             QStringLiteral("\r\n"),
                             QString(QChar(0x2029)),
                             QString::fromUtf16(u"\U0001F600"),
                             QString(QChar(kAttachmentCharacter)),
                             QStringLiteral("longerwordhere ")};
    QString start;
    for (int i = 0; i < 40; ++i)
        start += QStringLiteral("paragraph %1 of the text\n").arg(i);
    auto storage = std::make_shared<TextStorage>(start, helvetica());
    LayoutManager incremental(storage);
    double width = 120;
    incremental.setTextContainerSize({width, 1e7});
    quint32 seed = 12345;
    auto random = [&seed](quint32 bound) {
        seed = seed * 1664525u + 1013904223u;
        return bound ? (seed >> 8) % bound : 0;
    };
    for (int step = 0; step < 300; ++step) {
        const qsizetype length = storage->length();
        const qsizetype location = random(quint32(length + 1));
        const qsizetype removed = random(quint32(std::min<qsizetype>(4, length - location) + 1));
        QString inserted;
        for (quint32 i = random(3) + 1; i > 0; --i)
            inserted += pieces[random(quint32(pieces.size()))];
        if (random(5) == 0) {
            ParagraphStyle style;
            style.paragraphSpacing = random(10);
            storage->addAttribute(kParagraphStyleAttributeName, style, {location, removed});
        } else {
            storage->replaceCharacters({location, removed}, inserted);
        }
        for (quint32 slices = random(4); slices > 0; --slices)
            incremental.layOutInBackground(0);
        if (step % 37 == 0) {
            width = width == 120 ? 130 : 120;
            incremental.setTextContainerSize({width, 1e7});
        }
        LayoutManager fresh(storage);
        fresh.setTextContainerSize({width, 1e7});
        const auto b = fresh.lineFragmentsInRect({0, 0, width, 1e7});
        const qsizetype laidOut = incremental.firstUnlaidCharacterIndex();
        for (size_t i = 0; i < b.size() && b[i].characterRange.end() <= laidOut; ++i) {
            const auto a = incremental.lineFragmentForGlyphAtIndex(b[i].characterRange.location);
            ASSERT_TRUE(a) << "step " << step << " line " << i;
            ASSERT_EQ(a->characterRange, b[i].characterRange) << "step " << step << " line " << i;
            ASSERT_DOUBLE_EQ(a->rect.minY(), b[i].rect.minY()) << "step " << step << " line " << i;
        }
        ASSERT_EQ(incremental.firstUnlaidCharacterIndex(), laidOut) << "checking laid nothing out";
        if (step % 10 != 0)
            continue;
        ASSERT_EQ(incremental.numberOfLines(), fresh.numberOfLines()) << "step " << step;
        ASSERT_DOUBLE_EQ(incremental.usedRectForTextContainer().height(),
                         fresh.usedRectForTextContainer().height())
            << "step " << step;
        const auto a = incremental.lineFragmentsInRect({0, 0, width, 1e7});
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i) {
            ASSERT_EQ(a[i].characterRange, b[i].characterRange) << "step " << step << " line " << i;
            ASSERT_DOUBLE_EQ(a[i].rect.minY(), b[i].rect.minY()) << "step " << step << " line " << i;
        }
    }
    EXPECT_GT(storage->length(), 100);
    EXPECT_GT(incremental.numberOfLines(), 20);
}

TEST(LayoutManagerTest, DamagedStylesAndFontsNeitherCrashNorStall)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    ParagraphStyle damaged;
    damaged.firstLineHeadIndent = inf;
    damaged.headIndent = -1e300;
    damaged.tailIndent = nan;
    damaged.lineSpacing = -5;
    damaged.paragraphSpacing = inf;
    damaged.lineHeightMultiple = nan;
    damaged.minimumLineHeight = 1e300;
    damaged.maximumLineHeight = -1;
    damaged.tabStops = {TextTab{TextTabType::Decimal, nan}, TextTab{TextTabType::Right, -1e9}};
    damaged.defaultTabInterval = inf;
    auto storage = std::make_shared<TextStorage>(
        QStringLiteral("tab\tbed text\nsecond"),
        AttributeDictionary{{kParagraphStyleAttributeName, damaged},
                            {kFontAttributeName, Font{QString(), QString(), nan}},
                            {kBaselineOffsetAttributeName, inf},
                            {kKernAttributeName, nan}});
    LayoutManager layout(storage);
    layout.setTextContainerSize({nan, inf});
    EXPECT_GE(layout.numberOfLines(), 2);
    const Rect used = layout.usedRectForTextContainer();
    EXPECT_TRUE(used.isFinite());
    EXPECT_LT(used.height(), 1e7);
    EXPECT_GE(layout.insertionIndexForPoint({nan, nan}), 0);
    storage->addAttribute(kFontAttributeName, Font{QStringLiteral("Helvetica"), QString(), 1e9}, {0, 3});
    EXPECT_TRUE(layout.usedRectForTextContainer().isFinite());
}
