#include "platform/text/TextStorage.h"
#include "platform/text/TextAttachment.h"

#include "platform/foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const AttributeDictionary kBold{{kFontAttributeName, Font{"Helvetica", "Helvetica-Bold", 12, true}}};
const AttributeDictionary kRed{{kForegroundColorAttributeName, Color::rgb(1, 0, 0)}};

class Recorder {
public:
    explicit Recorder(TextStorage& storage)
    {
        storage.addObserver(TextStorage::Phase::Edited,
                            [this](TextStorage&, const TextStorageEdit& edit) { edits.push_back(edit); });
    }
    std::vector<TextStorageEdit> edits;
};

TEST(TextStorage, SingleEditsAreProcessedAtOnce)
{
    TextStorage storage(QStringLiteral("hello"));
    Recorder recorder(storage);
    storage.replaceCharacters(Range{5, 0}, QStringLiteral("!"));
    storage.addAttribute(kForegroundColorAttributeName, Color::gray(0), Range{1, 2});
    storage.deleteCharacters(Range{0, 2});
    ASSERT_EQ(recorder.edits.size(), 3u);
    EXPECT_EQ(recorder.edits[0], (TextStorageEdit{TextStorageEditedCharacters, {5, 1}, 1}));
    EXPECT_EQ(recorder.edits[1], (TextStorageEdit{TextStorageEditedAttributes, {1, 2}, 0}));
    EXPECT_EQ(recorder.edits[2], (TextStorageEdit{TextStorageEditedCharacters, {0, 0}, -2}));
    EXPECT_EQ(storage.editedMask(), 0u);
    EXPECT_EQ(storage.editedRange().location, kNotFound);
}

TEST(TextStorage, TakingOverAWholeStringIsOneEditOfEverything)
{
    TextStorage storage(QStringLiteral("old text"), kRed);
    Recorder recorder(storage);
    ParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    const AttributeDictionary styled{{kParagraphStyleAttributeName, centred}};
    storage.setAttributedString(AttributedString::withRuns(
        QStringLiteral("new paragraph\nnext"), {AttributeRun{3, styled}, AttributeRun{15, kBold}}));
    ASSERT_EQ(recorder.edits.size(), 1u);
    EXPECT_EQ(recorder.edits[0],
              (TextStorageEdit{TextStorageEditedCharacters | TextStorageEditedAttributes, {0, 18}, 10}));
    EXPECT_EQ(storage.string(), QStringLiteral("new paragraph\nnext"));
    // Processing ran: the first paragraph carries its style throughout.
    EXPECT_TRUE(storage.attribute(kParagraphStyleAttributeName, 10).paragraphStyle());
    EXPECT_FALSE(storage.attribute(kParagraphStyleAttributeName, 15).paragraphStyle());

    storage.setAttributedString(AttributedString());
    ASSERT_EQ(recorder.edits.size(), 2u);
    EXPECT_EQ(recorder.edits[1],
              (TextStorageEdit{TextStorageEditedCharacters | TextStorageEditedAttributes, {0, 0}, -18}));
    storage.setAttributedString(AttributedString());
    EXPECT_EQ(recorder.edits.size(), 2u);
}

TEST(TextStorage, PastingReportsCharactersAndAttributes)
{
    TextStorage storage(QStringLiteral("abc"));
    Recorder recorder(storage);
    storage.replaceCharacters(Range{1, 1}, MutableAttributedString(QStringLiteral("XYZ"), kBold));
    ASSERT_EQ(recorder.edits.size(), 1u);
    EXPECT_EQ(recorder.edits[0],
              (TextStorageEdit{TextStorageEditedCharacters | TextStorageEditedAttributes, {1, 3}, 2}));
}

TEST(TextStorage, BatchesCombineIntoOneEditInFinalCoordinates)
{
    TextStorage storage(QStringLiteral("0123456789abcdefghij"));
    Recorder recorder(storage);
    storage.beginEditing();
    storage.replaceCharacters(Range{10, 0}, QStringLiteral("+++++")); // (10,5) +5
    storage.deleteCharacters(Range{0, 3});                            // union (0,15) -3 -> (0,12)
    storage.addAttribute(kKernAttributeName, 1.0, Range{20, 2});      // union (0,22)
    storage.beginEditing();
    storage.deleteCharacters(Range{21, 1}); // nested bracket: still one edit
    storage.endEditing();
    EXPECT_TRUE(recorder.edits.empty());
    storage.endEditing();
    ASSERT_EQ(recorder.edits.size(), 1u);
    EXPECT_EQ(recorder.edits[0],
              (TextStorageEdit{TextStorageEditedCharacters | TextStorageEditedAttributes, {0, 21}, 1}));
}

TEST(TextStorage, AnEmptyBracketProcessesNothing)
{
    TextStorage storage(QStringLiteral("abc"));
    Recorder recorder(storage);
    storage.beginEditing();
    storage.addAttribute(kKernAttributeName, 1.0, Range{1, 0});
    storage.endEditing();
    storage.endEditing(); // unbalanced: ignored
    EXPECT_TRUE(recorder.edits.empty());
}

TEST(TextStorage, PhasesRunInOrderAndWillProcessMayStillEditCharacters)
{
    TextStorage storage(QStringLiteral("keep this"));
    std::vector<QString> order;
    storage.addObserver(
        TextStorage::Phase::WillProcessEditing, [&](TextStorage& s, const TextStorageEdit& edit) {
            order.push_back(QStringLiteral("will"));
            // A sanitiser replacing what was typed: its change joins the edit being processed.
            if (edit.editedMask & TextStorageEditedCharacters && s.string().contains(u'\t'))
                s.replaceCharacters(Range{s.string().indexOf(u'\t'), 1}, QStringLiteral("    "));
        });
    storage.addObserver(TextStorage::Phase::DidProcessEditing,
                        [&](TextStorage& s, const TextStorageEdit& edit) {
                            order.push_back(QStringLiteral("did"));
                            s.addAttribute(kUnderlineStyleAttributeName, 1, edit.editedRange);
                        });
    Recorder recorder(storage);
    storage.replaceCharacters(Range{4, 0}, QStringLiteral("\t"));
    EXPECT_EQ(order, (std::vector<QString>{QStringLiteral("will"), QStringLiteral("did")}));
    EXPECT_EQ(storage.string(), QStringLiteral("keep     this"));
    ASSERT_EQ(recorder.edits.size(), 1u);
    EXPECT_EQ(recorder.edits[0],
              (TextStorageEdit{TextStorageEditedCharacters | TextStorageEditedAttributes, {4, 4}, 4}));
    EXPECT_EQ(storage.attribute(kUnderlineStyleAttributeName, 7).integer(), 1);
}

TEST(TextStorage, AnnouncesProcessingOnTheSharedCentre)
{
    TextStorage storage(QStringLiteral("abc"));
    TextStorage other;
    std::vector<std::pair<QString, Range>> seen;
    auto record = [&](const Notification& notification) {
        seen.emplace_back(notification.name, storage.editedRange());
    };
    NotificationObserver will(NotificationCenter::shared(), kTextStorageWillProcessEditingNotification,
                              &storage, record);
    NotificationObserver did(NotificationCenter::shared(), kTextStorageDidProcessEditingNotification,
                             &storage, record);
    other.replaceCharacters(Range{0, 0}, QStringLiteral("elsewhere"));
    storage.replaceCharacters(Range{1, 1}, QStringLiteral("BB"));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(kTextStorageWillProcessEditingNotification, Range{1, 2}));
    EXPECT_EQ(seen[1], std::make_pair(kTextStorageDidProcessEditingNotification, Range{1, 2}));
}

TEST(TextStorage, EditsByFinalObserversBecomeTheNextEdit)
{
    TextStorage storage(QStringLiteral("abc"));
    std::vector<TextStorageEdit> seen;
    bool once = true;
    storage.addObserver(TextStorage::Phase::Edited, [&](TextStorage& s, const TextStorageEdit& edit) {
        seen.push_back(edit);
        if (once) {
            once = false;
            s.replaceCharacters(Range{0, 0}, QStringLiteral(">"));
            // Later observers of this round still read the first edit.
            EXPECT_EQ(s.editedRange(), (Range{3, 1}));
        }
    });
    std::vector<TextStorageEdit> second;
    storage.addObserver(TextStorage::Phase::Edited,
                        [&](TextStorage&, const TextStorageEdit& edit) { second.push_back(edit); });
    storage.replaceCharacters(Range{3, 0}, QStringLiteral("d"));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], (TextStorageEdit{TextStorageEditedCharacters, {0, 1}, 1}));
    EXPECT_EQ(second, seen);
    EXPECT_EQ(storage.string(), QStringLiteral(">abcd"));
}

TEST(TextStorage, ObserversRemovedDuringDeliveryAreNotCalled)
{
    TextStorage storage(QStringLiteral("abc"));
    int secondCalls = 0;
    int firstCalls = 0;
    TextStorage::ObserverToken second = 0;
    TextStorage::ObserverToken first =
        storage.addObserver(TextStorage::Phase::Edited, [&](TextStorage& s, const TextStorageEdit&) {
            ++firstCalls;
            s.removeObserver(second);
            s.removeObserver(first);
        });
    second = storage.addObserver(TextStorage::Phase::Edited,
                                 [&](TextStorage&, const TextStorageEdit&) { ++secondCalls; });
    storage.deleteCharacters(Range{0, 1});
    storage.deleteCharacters(Range{0, 1});
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 0);
}

TEST(TextStorage, ProcessingFixesParagraphStylesAndReportsIt)
{
    ParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    ParagraphStyle right;
    right.alignment = TextAlignment::Right;
    TextStorage storage(QStringLiteral("one\ntwo"));
    storage.addAttribute(kParagraphStyleAttributeName, centred, Range{0, 4});
    storage.addAttribute(kParagraphStyleAttributeName, right, Range{4, 3});
    Recorder recorder(storage);
    // Joining the two paragraphs gives the second the first one's style.
    storage.deleteCharacters(Range{3, 1});
    EXPECT_EQ(*storage.attribute(kParagraphStyleAttributeName, 5).paragraphStyle(), centred);
    ASSERT_EQ(recorder.edits.size(), 1u);
    EXPECT_EQ(recorder.edits[0],
              (TextStorageEdit{TextStorageEditedCharacters | TextStorageEditedAttributes, {3, 3}, -1}));
}

TEST(TextStorage, TypingNextToAnAttachmentDoesNotCopyIt)
{
    TextStorage storage{QString(QChar(kAttachmentCharacter))};
    storage.addAttribute(kAttachmentAttributeName, std::make_shared<TextAttachment>(), Range{0, 1});
    storage.replaceCharacters(Range{1, 0}, QStringLiteral("x"));
    EXPECT_FALSE(storage.attribute(kAttachmentAttributeName, 0).isNull());
    EXPECT_TRUE(storage.attribute(kAttachmentAttributeName, 1).isNull());
}

// A mirrored copy replays each processed edit the way the talent display does: insert the edited
// range's new content, then delete the old characters now behind it. If the reported range or change
// in length were wrong for any mix of edits, the copy would drift from the original.
void replay(MutableAttributedString& mirror, const TextStorage& original, const TextStorageEdit& edit)
{
    qsizetype location = edit.editedRange.location;
    qsizetype length = edit.editedRange.length;
    qsizetype delta = edit.changeInLength;
    mirror.beginEditing();
    if (length > 0)
        mirror.insert(original.attributedSubstring(edit.editedRange), location);
    if (!(delta >= 0 && length == delta))
        mirror.deleteCharacters(Range{location + length, length - delta});
    mirror.endEditing();
}

TEST(TextStorage, MirroredCopyStaysEqualUnderRandomBatches)
{
    std::mt19937 random(77);
    auto pick = [&](qsizetype n) { return qsizetype(random() % quint64(std::max<qsizetype>(n, 1))); };
    ParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    std::vector<AttributeDictionary> palette{{}, kBold, kRed, {{kParagraphStyleAttributeName, centred}}};

    TextStorage storage(QStringLiteral("The quick brown fox\njumps over\nthe lazy dog.\n"));
    MutableAttributedString mirror = storage;
    int processed = 0;
    storage.addObserver(TextStorage::Phase::Edited, [&](TextStorage& s, const TextStorageEdit& edit) {
        replay(mirror, s, edit);
        ++processed;
    });
    for (int batch = 0; batch < 1500; ++batch) {
        int edits = int(pick(5)) + 1;
        bool bracket = edits > 1 || pick(2);
        if (bracket)
            storage.beginEditing();
        for (int e = 0; e < edits; ++e) {
            qsizetype length = storage.length();
            qsizetype location = pick(length + 1);
            Range r{location, pick(std::min<qsizetype>(length - location, 12) + 1)};
            switch (pick(5)) {
            case 0:
                storage.replaceCharacters(r, QString(int(pick(6)), QChar(u"ab\nc d"[pick(6)])));
                break;
            case 1:
                storage.deleteCharacters(r);
                break;
            case 2:
                storage.setAttributes(palette[pick(4)], r);
                break;
            case 3:
                storage.insert(MutableAttributedString(QStringLiteral("ins\n"), palette[pick(4)]), location);
                break;
            default:
                storage.addAttribute(kForegroundColorAttributeName, Color::gray(double(pick(3)) / 2), r);
                break;
            }
        }
        if (bracket)
            storage.endEditing();
        ASSERT_EQ(mirror.string(), storage.string()) << "batch " << batch;
        ASSERT_TRUE(mirror == storage) << "batch " << batch;
    }
    EXPECT_GT(processed, 1000);
}

} // namespace
