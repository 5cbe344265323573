// The text system additions of the program's start: attachments stay on attachment characters with
// or without a view, pasted bookmarks get their cells, the tab answers follow the locale, and the
// plain text storage reports its edits.
#include "document/NSMutableAttributedStringOVAppleBugWorkaroundAdditions.h"
#include "document/NSTextTabOVAdditions.h"
#include "document/OVTextStorage.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "text/OVBookmark.h"
#include "text/OVBookmarkCell.h"
#include "text/OVTextView.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

using namespace NSMutableAttributedStringOVAppleBugWorkaroundAdditions;

Range attachmentRun(const AttributedString& string, qsizetype index)
{
    Range run;
    const AttributeValue value =
        string.attribute(kAttachmentAttributeName, index, &run, {0, string.length()});
    return value.isNull() ? Range{index, 0} : run;
}

} // namespace

TEST(TextSystemWorkarounds, AnAttachmentRunKeepsTheAttributeOnlyOnAttachmentCharacters)
{
    // A text no view shows: every character of the run that is not an attachment loses it, including
    // those after a second attachment character.
    MutableAttributedString loose(QStringLiteral("A\uFFFCBC\uFFFCDE"));
    auto picture = std::make_shared<TextAttachment>();
    loose.addAttribute(kAttachmentAttributeName, AttributeValue(picture), {1, 6});
    fixAttachmentAttributeWithAppleBugWorkaroundInRange(loose, {0, loose.length()});
    EXPECT_EQ(attachmentRun(loose, 1).length, 1);
    EXPECT_EQ(attachmentRun(loose, 4).location, 4);
    EXPECT_EQ(attachmentRun(loose, 4).length, 1);
    for (qsizetype index : {2, 3, 5, 6})
        EXPECT_TRUE(loose.attribute(kAttachmentAttributeName, index).isNull()) << index;

    // A script's view: the same, and the bookmark pasted without its live cell gets one.
    OVTextView view;
    TextStorage& storage = view.textStorage();
    storage.replaceCharacters({0, 0}, QStringLiteral("A\uFFFCB"));
    auto bookmark = OVBookmark::bookmarkWithName(QStringLiteral("Top"));
    std::shared_ptr<TextAttachment> pasted = bookmark->textAttachment();
    pasted->setAttachmentCell(nullptr);
    storage.addAttribute(kAttachmentAttributeName, AttributeValue(pasted), {1, 2});
    fixAttachmentAttributeWithAppleBugWorkaroundInRange(storage, {0, storage.length()});
    EXPECT_EQ(attachmentRun(storage, 1).length, 1);
    EXPECT_TRUE(storage.attribute(kAttachmentAttributeName, 2).isNull());
    const auto cell = std::dynamic_pointer_cast<OVBookmarkCell>(pasted->attachmentCell());
    ASSERT_NE(cell, nullptr);
    ASSERT_NE(cell->bookmark(), nullptr);
    EXPECT_EQ(cell->bookmark()->name().value_or(QString()), "Top");
}

TEST(TextSystemWorkarounds, TheStartInstallsTheFixUpOnceForEveryText)
{
    const auto before = MutableAttributedString::attachmentFixer();
    toggleFixAttachmentAppleBugWorkaround();
    const auto installed = MutableAttributedString::attachmentFixer();
    toggleFixAttachmentAppleBugWorkaround();
    EXPECT_TRUE(isFixAttachmentAppleBugWorkaroundInstalled());
    EXPECT_NE(installed, nullptr);
    EXPECT_EQ(MutableAttributedString::attachmentFixer(), installed);
    toggleFixParagraphStyleAppleBugWorkaround();

    TextStorage storage(QStringLiteral("x\uFFFCy"));
    storage.addAttribute(kAttachmentAttributeName, AttributeValue(std::make_shared<TextAttachment>()),
                         {0, 3});
    EXPECT_TRUE(storage.attribute(kAttachmentAttributeName, 0).isNull());
    EXPECT_FALSE(storage.attribute(kAttachmentAttributeName, 1).isNull());
    EXPECT_TRUE(storage.attribute(kAttachmentAttributeName, 2).isNull());
    MutableAttributedString::setAttachmentFixer(before);
}

TEST(TextSystemWorkarounds, TabStopsAreSixAndTwiceAsFarApartInMetricLocales)
{
    const QLocale saved;
    EXPECT_EQ(NSTextTabOVAdditions::numberOfTextTabs(), 6);
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    EXPECT_EQ(NSTextTabOVAdditions::tabStopIntervalFactor(), 2.0);
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    EXPECT_EQ(NSTextTabOVAdditions::tabStopIntervalFactor(), 1.0);
    QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
    EXPECT_EQ(NSTextTabOVAdditions::tabStopIntervalFactor(), 1.0);
    QLocale::setDefault(saved);
}

TEST(TextSystemWorkarounds, ThePlainTextStorageReportsCharacterAndAttributeEdits)
{
    OVTextStorage storage(QStringLiteral("abc"));
    EXPECT_FALSE(storage.fixesAttributesLazily());
    std::vector<TextStorageEdit> edits;
    storage.addObserver(TextStorage::Phase::Edited,
                        [&edits](TextStorage&, const TextStorageEdit& edit) { edits.push_back(edit); });
    storage.replaceCharacters({1, 1}, QStringLiteral("XYZ"));
    EXPECT_EQ(storage.string(), "aXYZc");
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0].editedMask & TextStorageEditedCharacters, unsigned(TextStorageEditedCharacters));
    EXPECT_EQ(edits[0].editedRange.location, 1);
    EXPECT_EQ(edits[0].editedRange.length, 3);
    EXPECT_EQ(edits[0].changeInLength, 2);
    storage.setAttributes({}, {0, 2});
    ASSERT_EQ(edits.size(), 2u);
    EXPECT_EQ(edits[1].editedMask, unsigned(TextStorageEditedAttributes));
    EXPECT_EQ(edits[1].changeInLength, 0);
}
