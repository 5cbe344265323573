#include "quicklook/PreviewViewController.h"
#include "platform/text/TextStorage.h"
#include "quicklook/PreviewTextView.h"
#include "tests/support/CompanionPackages.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QScrollArea>
#include <QScrollBar>

using namespace companiontest;

namespace {

struct Prepared {
    std::optional<Error> error;
    int calls = 0;
};

Prepared prepare(PreviewViewController& controller, const QString& path)
{
    Prepared prepared;
    controller.preparePreviewOfFileAtURL(QUrl::fromLocalFile(path),
                                         [&prepared](const std::optional<Error>& error) {
                                             prepared.error = error;
                                             ++prepared.calls;
                                         });
    return prepared;
}

TEST(PreviewViewControllerTest, ShowsTheScriptWithoutUnderlineColoursOnItsBackground)
{
    QTemporaryDir dir;
    PackageContents contents;
    contents.attributes.insert(kUnderlineStyleAttributeName, qint64(1));
    contents.attributes.insert(kUnderlineColorAttributeName, Color::rgb(1, 0, 0));
    contents.backgroundColor = Color::rgb(1, 1, 1);
    const QString package = dir.filePath(QStringLiteral("Script.ovdocument"));
    ASSERT_TRUE(writePackage(package, contents));
    PreviewViewController controller;
    const Prepared prepared = prepare(controller, package);
    EXPECT_EQ(prepared.calls, 1);
    EXPECT_FALSE(prepared.error);
    const TextStorage& text = controller.textView()->textStorage();
    EXPECT_EQ(text.string(), QStringLiteral("Hello world"));
    EXPECT_TRUE(text.attribute(kUnderlineColorAttributeName, 0).isNull());
    EXPECT_EQ(controller.textView()->backgroundColor(), Color::rgb(1, 1, 1));
    EXPECT_EQ(controller.view()->size(), QSize(640, 800));
}

TEST(PreviewViewControllerTest, KnobsFollowTheBackgroundsLuminance)
{
    PreviewViewController controller;
    auto* scrollView = static_cast<QScrollArea*>(controller.view());
    controller.updateScrollersForBackgroundColor(Color::rgb(1, 1, 1));
    EXPECT_EQ(PreviewViewController::knobStyle(*scrollView->verticalScrollBar()),
              PreviewViewController::KnobStyle::Dark);
    EXPECT_EQ(scrollView->verticalScrollBar()->palette().color(QPalette::Button),
              PreviewViewController::knobColor(PreviewViewController::KnobStyle::Dark));
    controller.updateScrollersForBackgroundColor(Color::rgb(0, 0, 0));
    EXPECT_EQ(PreviewViewController::knobStyle(*scrollView->horizontalScrollBar()),
              PreviewViewController::KnobStyle::Light);
    controller.updateScrollersForBackgroundColor(Color::gray(0.5));
    EXPECT_EQ(PreviewViewController::knobStyle(*scrollView->verticalScrollBar()),
              PreviewViewController::KnobStyle::Light);
    controller.updateScrollersForBackgroundColor(Color::gray(0.8));
    EXPECT_EQ(PreviewViewController::knobStyle(*scrollView->verticalScrollBar()),
              PreviewViewController::KnobStyle::Default);
}

TEST(PreviewViewControllerTest, RefusesAnythingButTheNativeTypeAndReportsReadErrors)
{
    QTemporaryDir dir;
    const QString package = dir.filePath(QStringLiteral("Script.ovdocument"));
    ASSERT_TRUE(writePackage(package, PackageContents()));
    const QString other = dir.filePath(QStringLiteral("Script.rtfd"));
    ASSERT_TRUE(QDir().rename(package + QStringLiteral("/Content.rtfd"), other));
    PreviewViewController controller;
    Prepared prepared = prepare(controller, other);
    EXPECT_EQ(prepared.calls, 1);
    ASSERT_TRUE(prepared.error);
    EXPECT_EQ(prepared.error->code(), 256);
    EXPECT_EQ(prepared.error->fileURL(), QUrl::fromLocalFile(other));

    // The package has lost its content to the rename above.
    prepared = prepare(controller, package);
    EXPECT_EQ(prepared.calls, 1);
    ASSERT_TRUE(prepared.error);
    EXPECT_EQ(prepared.error->code(), 260);
    EXPECT_EQ(controller.textView()->textStorage().length(), 0);
}

} // namespace

namespace {

TEST(PreviewTextViewTest, LaysOutTheFirstScreenAtOnceAndTheRestLater)
{
    PreviewTextView view;
    view.resize(620, 800);
    const AttributedString text(QStringLiteral("A line of a long script.\n").repeated(40000),
                                {{kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 24}}});
    view.appendText(text);
    EXPECT_FALSE(view.isLayoutComplete());
    EXPECT_LT(view.textStorage().length(), text.length());
    // The estimate already makes the view about as tall as the whole script will be.
    const int estimated = view.minimumHeight();
    EXPECT_GT(estimated, 40000 * 20);
    while (!view.isLayoutComplete())
        QCoreApplication::processEvents();
    EXPECT_EQ(view.textStorage().string(), text.string());
    EXPECT_NEAR(view.minimumHeight(), estimated, estimated * 0.1);
}

} // namespace
