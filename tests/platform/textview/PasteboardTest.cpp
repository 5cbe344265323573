#include "platform/appkit/Pasteboard.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QMimeData>

TEST(PasteboardTest, RichTextTravelsAsRtfHtmlAndPlainText)
{
    Pasteboard board;
    const qint64 before = board.changeCount();
    board.clearContents();
    MutableAttributedString text;
    text.append(QStringLiteral("Bold <"),
                {{kFontAttributeName,
                  Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica-Bold"), 14, true}}});
    text.append(QStringLiteral("red"), {{kForegroundColorAttributeName, Color::rgb(1, 0, 0)}});
    ASSERT_TRUE(board.writeAttributedString(text));
    EXPECT_GT(board.changeCount(), before);
    const QStringList types = board.types();
    EXPECT_TRUE(types.contains(kPasteboardTypeRTF));
    EXPECT_TRUE(types.contains(kPasteboardTypeHTML));
    EXPECT_TRUE(types.contains(kPasteboardTypeString));
    EXPECT_FALSE(types.contains(kPasteboardTypeRTFD));
    EXPECT_EQ(board.availableTypeFromArray({kPasteboardTypeRTFD, kPasteboardTypeRTF}), kPasteboardTypeRTF);
    EXPECT_TRUE(board.dataForType(kPasteboardTypeRTF).startsWith("{\\rtf1"));
    // Other programs see the usual MIME types.
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(mime->hasFormat(QStringLiteral("text/rtf")));
    EXPECT_EQ(mime->text(), QStringLiteral("Bold <red"));
    EXPECT_TRUE(mime->html().contains(QStringLiteral("&lt;")));

    MutableAttributedString read;
    ASSERT_TRUE(board.readAttributedString(read));
    EXPECT_EQ(read.string(), QStringLiteral("Bold <red"));
    EXPECT_TRUE(read.attribute(kFontAttributeName, 0).font()->bold);
    EXPECT_EQ(*read.attribute(kForegroundColorAttributeName, 7).color(), Color::rgb(1, 0, 0));
}

TEST(PasteboardTest, AttachmentsAddTheFlatRtfd)
{
    Pasteboard board;
    board.clearContents();
    MutableAttributedString text(QStringLiteral("x"));
    auto file = FileWrapper::makeRegularFile(QByteArray("GIF89a"));
    file->setPreferredFilename(QStringLiteral("pic.gif"));
    text.append(QString(QChar(kAttachmentCharacter)),
                {{kAttachmentAttributeName, std::make_shared<TextAttachment>(file)}});
    ASSERT_TRUE(board.writeAttributedString(text));
    EXPECT_TRUE(board.types().contains(kPasteboardTypeRTFD));
    EXPECT_EQ(board.stringForType(kPasteboardTypeString), QStringLiteral("x"));
    MutableAttributedString read;
    ASSERT_TRUE(board.readAttributedString(read));
    EXPECT_EQ(read.length(), 2);
    ASSERT_TRUE(read.attribute(kAttachmentAttributeName, 1).attachment());
}

TEST(PasteboardTest, ForeignHtmlAndPlainTextAreRead)
{
    Pasteboard board;
    auto* mime = new QMimeData;
    mime->setHtml(QStringLiteral(
        "<p><b>strong</b> and <span style=\"color:#00ff00\">green</span></p><p align=\"center\">two</p>"));
    QGuiApplication::clipboard()->setMimeData(mime);
    MutableAttributedString read;
    ASSERT_TRUE(board.readAttributedString(read));
    EXPECT_EQ(read.string(), QStringLiteral("strong and green\ntwo"));
    EXPECT_TRUE(read.attribute(kFontAttributeName, 0).font()->bold);
    EXPECT_EQ(*read.attribute(kForegroundColorAttributeName, 12).color(), Color::rgb(0, 1, 0));
    ASSERT_TRUE(read.attribute(kParagraphStyleAttributeName, 18).paragraphStyle());
    EXPECT_EQ(read.attribute(kParagraphStyleAttributeName, 18).paragraphStyle()->alignment,
              TextAlignment::Center);

    QGuiApplication::clipboard()->setText(QStringLiteral("plain"));
    AttributeDictionary defaults{{kForegroundColorAttributeName, Color::gray(0.5)}};
    ASSERT_TRUE(board.readAttributedString(read, defaults));
    EXPECT_EQ(read.string(), QStringLiteral("plain"));
    EXPECT_EQ(read.attributesAtIndex(0), defaults);

    // Damaged RTF falls back to what else is there.
    auto* broken = new QMimeData;
    broken->setData(QStringLiteral("text/rtf"), QByteArray("not rtf at all"));
    broken->setText(QStringLiteral("fallback"));
    QGuiApplication::clipboard()->setMimeData(broken);
    ASSERT_TRUE(board.readAttributedString(read));
    EXPECT_EQ(read.string(), QStringLiteral("fallback"));

    QGuiApplication::clipboard()->clear();
    EXPECT_FALSE(board.readAttributedString(read));
    EXPECT_TRUE(board.stringForType(kPasteboardTypeString).isNull());
}

TEST(PasteboardTest, ImagesFileUrlsAndOwnTypes)
{
    Pasteboard board;
    board.clearContents();
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(board.writeImage(image));
    ASSERT_TRUE(board.writeFileURLs(
        {QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt")), QUrl(QStringLiteral("https://example.com"))}));
    ASSERT_TRUE(board.setString(QStringLiteral("{\"x\":1}"), QStringLiteral("com.orvane.bookmark")));
    const auto read = board.readImage();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size(), QSize(4, 3));
    EXPECT_EQ(board.fileURLs(), QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
    EXPECT_EQ(board.stringForType(QStringLiteral("com.orvane.bookmark")), QStringLiteral("{\"x\":1}"));
    EXPECT_TRUE(board.types().contains(QStringLiteral("com.orvane.bookmark")));
    EXPECT_TRUE(board.types().contains(kPasteboardTypePNG));
    EXPECT_TRUE(board.types().contains(kPasteboardTypeFileURL));
    EXPECT_FALSE(board.writeImage(QImage()));
}
