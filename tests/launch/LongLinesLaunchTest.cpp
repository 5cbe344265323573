// Files whose text runs on without a place to break a line, in the program as launched: the real
// start on them, an empty settings folder, and the caret driven through the text by key commands.
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/textformats/LibreOffice.h"
#include "platform/textlayout/LayoutManager.h"
#include "text/OVTextView.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString writeFile(const QTemporaryDir& folder, const QString& name, const QByteArray& bytes)
{
    QFile file(folder.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}

TEST(LaunchedLongLines, ADamagedTextOfOneEndlessLineAndAPageNamedDocOpenDrawnAndTheCaretMovesThroughThem)
{
    ManualClock clock;
    Clock::setShared(&clock);
    QTemporaryDir folder;
    // 600 KB of U+FFFD, as a damaged file decodes to: nothing between them offers a break.
    QByteArray replacement;
    for (int i = 0; i < 200000; ++i)
        replacement += "\xEF\xBF\xBD";
    const QString damaged = writeFile(folder, QStringLiteral("damaged.txt"), replacement);
    // A page saved under a Word name, naming a file outside it: read as the page it is.
    const QString started = folder.filePath(QStringLiteral("converter-started"));
    const QString converter =
        writeFile(folder, QStringLiteral("soffice"), "#!/bin/sh\ntouch '" + started.toUtf8() + "'\nexit 1\n");
    QFile::setPermissions(converter, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    LibreOffice::setExecutableOverride(converter);
    const QString page = writeFile(folder, QStringLiteral("Bulletin.doc"),
                                   "<html><body><p>Evening bulletin</p><img src=\"file:///etc/hostname\">"
                                   "</body></html>");

    std::unique_ptr<OVDocumentSession> session = OVProgramStart::launch({damaged, page});
    QCoreApplication::processEvents();
    const std::vector<Document*> documents = session->documentController().documents();
    ASSERT_EQ(documents.size(), 2u);
    for (Document* document : documents) {
        auto* window = dynamic_cast<OVDocumentWindowController*>(document->primaryWindowController());
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(window->window()->isVisible());
        auto* view = dynamic_cast<OVTextView*>(window->textView());
        ASSERT_NE(view, nullptr);
        const QString text = view->textStorage().string();
        if (document->displayName() == QStringLiteral("Bulletin")) {
            EXPECT_EQ(text, QStringLiteral("Evening bulletin"));
            continue;
        }
        ASSERT_EQ(text.size(), 200000);
        // The end of the text, drawn, then the caret three pages up and a line down again: each
        // lands on a line the layout made.
        EXPECT_TRUE(view->doCommandBySelector(QStringLiteral("moveToEndOfDocument:")));
        QCoreApplication::processEvents();
        EXPECT_EQ(view->selectedRange().location, 200000);
        QImage image(800, 600, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        view->displayRectIgnoringOpacity(view->visibleRect(), painter);
        painter.end();
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(view->doCommandBySelector(QStringLiteral("pageUp:")));
        const qsizetype pagedUp = view->selectedRange().location;
        EXPECT_LT(pagedUp, 200000);
        EXPECT_TRUE(view->doCommandBySelector(QStringLiteral("moveDown:")));
        QCoreApplication::processEvents();
        const qsizetype caret = view->selectedRange().location;
        EXPECT_GT(caret, pagedUp);
        EXPECT_LT(caret, 200000);
        const Rect line =
            view->layoutManager()->lineFragmentRectForGlyphAtIndex(std::min<qsizetype>(caret, 199999));
        const Rect insertion = view->layoutManager()->insertionPointRectForCharacterIndex(caret);
        EXPECT_LE(insertion.minY(), line.maxY());
        EXPECT_GE(insertion.maxY(), line.minY());
    }
    EXPECT_FALSE(QFileInfo::exists(started)) << "a page named .doc reached the converter";
    LibreOffice::setExecutableOverride(std::nullopt);

    AlertPresenterScope discard([](Alert&) { return Alert::kThirdButtonReturn; });
    session.reset();
    Clock::setShared(nullptr);
}

} // namespace
