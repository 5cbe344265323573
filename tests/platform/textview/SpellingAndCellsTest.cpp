#include "platform/text/TextAttachment.h"
#include "platform/textlayout/AttachmentCell.h"
#include "platform/textview/SpellChecker.h"
#include "platform/textview/TextView.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace {

// Fills its frame with one colour and records where it was asked to draw.
class SwatchCell : public AttachmentCell {
public:
    QSizeF cellSize() const override { return {16, 16}; }
    void drawWithFrame(QPainter& painter, const QRectF& frame, qsizetype characterIndex,
                       LayoutManager&) override
    {
        painter.fillRect(frame, QColor(0, 200, 0));
        drawnAt = characterIndex;
        drawnFrame = frame;
    }
    qsizetype drawnAt = -1;
    QRectF drawnFrame;
};

int redPixels(const QImage& image, const QRect& area)
{
    int count = 0;
    const QRect clipped = area & image.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            count += qRed(image.pixel(x, y)) > 200 && qGreen(image.pixel(x, y)) < 80 &&
                     qBlue(image.pixel(x, y)) < 80;
    return count;
}

} // namespace

TEST(SpellingTest, MisspelledWordsGetTheSpellingStateWhenADictionaryExists)
{
    TextView view(Rect(0, 0, 300, 100));
    view.setString(QStringLiteral("teh cat sat"));
    view.setContinuousSpellCheckingEnabled(true);
    if (!SpellChecker::shared().isAvailable()) {
        // Without a dictionary checking stays off and nothing is marked.
        EXPECT_FALSE(view.isContinuousSpellCheckingEnabled());
        EXPECT_TRUE(view.layoutManager()
                        ->temporaryAttribute(kSpellingStateAttributeName, 0, nullptr, {0, 11})
                        .isNull());
        GTEST_SKIP() << "no Hunspell dictionary installed";
    }
    EXPECT_TRUE(view.isContinuousSpellCheckingEnabled());
    Range misspelled;
    EXPECT_EQ(view.layoutManager()
                  ->temporaryAttribute(kSpellingStateAttributeName, 1, &misspelled, {0, 11})
                  .integer(),
              kSpellingStateSpellingFlag);
    EXPECT_EQ(misspelled, (Range{0, 3}));
    EXPECT_TRUE(
        view.layoutManager()->temporaryAttribute(kSpellingStateAttributeName, 5, nullptr, {0, 11}).isNull());
    // Typing a fix clears the mark.
    view.setSelectedRange({0, 3});
    view.insertText(QStringLiteral("the"));
    EXPECT_TRUE(
        view.layoutManager()->temporaryAttribute(kSpellingStateAttributeName, 1, nullptr, {0, 11}).isNull());
    view.setContinuousSpellCheckingEnabled(false);
    EXPECT_FALSE(view.isContinuousSpellCheckingEnabled());
}

TEST(SpellingTest, AMissingDictionaryIsRefused)
{
    EXPECT_FALSE(SpellChecker::shared().loadDictionary(QStringLiteral("/nonexistent/xx.aff"),
                                                       QStringLiteral("/nonexistent/xx.dic")));
    EXPECT_FALSE(SpellChecker::shared().isWordMisspelled(QString()));
    EXPECT_FALSE(SpellChecker::shared().isWordMisspelled(QStringLiteral("abc123")));
}

TEST(SpellingTest, TheSpellingStateDrawsARedUnderlineBelowTheWord)
{
    TextView view(Rect(0, 0, 300, 60));
    view.setVerticallyResizable(false);
    view.setString(QStringLiteral("teh word"));
    const QImage plain = view.imageOfRect(view.bounds());
    view.layoutManager()->addTemporaryAttribute(kSpellingStateAttributeName, kSpellingStateSpellingFlag,
                                                {0, 3});
    const QImage marked = view.imageOfRect(view.bounds());
    const Rect line = view.layoutManager()->lineFragmentRectForGlyphAtIndex(0);
    const QRect area(0, 0, 300, int(line.maxY()) + 2);
    EXPECT_EQ(redPixels(plain, area), 0);
    EXPECT_GT(redPixels(marked, area), 3);
    // Only under the misspelled word.
    const double wordEnd = view.layoutManager()->insertionPointRectForCharacterIndex(3).minX();
    EXPECT_EQ(redPixels(marked, QRect(int(wordEnd) + 2, 0, 300, area.height())), 0);
}

TEST(AttachmentCellTest, CellsDrawThemselvesWhereTheLayoutPutsThem)
{
    TextView view(Rect(0, 0, 300, 60));
    view.setVerticallyResizable(false);
    auto cell = std::make_shared<SwatchCell>();
    auto attachment = std::make_shared<TextAttachment>();
    attachment->setAttachmentCell(cell);
    view.setString(QStringLiteral("ab"));
    view.textStorage().replaceCharacters({1, 0}, QString(QChar(kAttachmentCharacter)),
                                         {{kAttachmentAttributeName, attachment}});
    const QImage image = view.imageOfRect(view.bounds());
    EXPECT_EQ(cell->drawnAt, 1);
    const double x = view.layoutManager()->insertionPointRectForCharacterIndex(1).minX();
    EXPECT_NEAR(cell->drawnFrame.left(), x + view.textContainerOrigin().x, 0.01);
    EXPECT_NEAR(cell->drawnFrame.width(), 16, 0.01);
    const QPoint center = cell->drawnFrame.center().toPoint();
    EXPECT_EQ(qGreen(image.pixel(center)), 200);
    // Typing next to it does not repeat the attachment.
    view.setSelectedRange({2, 0});
    view.insertText(QStringLiteral("x"));
    EXPECT_TRUE(view.textStorage().attribute(kAttachmentAttributeName, 2).isNull());
}
