#include "text/OVEditBookmarkWindowController.h"

#include "platform/hvkit/HVHelp.h"
#include "text/OVBookmark.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

TEST(OVEditBookmarkWindowControllerTest, OnlyNamesWithoutBreaksReservedNamesOrThePrefixPass)
{
    for (const char* bad : {"Act\t1", "Act\n1", "Act\r1", "Act\u00A01", "Act\u20281", "Content.rtfd",
                            "Properties.plist", "_OVBookmark", "_OVBookmarkA"})
        EXPECT_FALSE(OVEditBookmarkWindowController::isValidBookmarkName(QString::fromUtf8(bad))) << bad;
    for (const char* good : {"Act 1 Scene 2", "", " ", "content.rtfd", "A_OVBookmark"})
        EXPECT_TRUE(OVEditBookmarkWindowController::isValidBookmarkName(QString::fromUtf8(good))) << good;
}

TEST(OVEditBookmarkWindowControllerTest, AddingChecksTheNameFromTheStartAndAgainAtOk)
{
    auto sheet = OVEditBookmarkWindowController::editBookmarkWindowControllerWithBookmark(nullptr);
    EXPECT_TRUE(sheet->isOkEnabled());
    sheet->nameField()->setText(QStringLiteral("Properties.plist"));
    EXPECT_FALSE(sheet->isOkEnabled());

    int code = -1;
    sheet->beginSheet(nullptr, [&](int returnCode) { code = returnCode; });
    // OK pressed anyway (a stale button state) still refuses the name.
    sheet->okButtonPressed();
    EXPECT_EQ(code, -1);
    EXPECT_FALSE(sheet->replacementBookmark());

    sheet->nameField()->setText(QStringLiteral("Act 1"));
    EXPECT_TRUE(sheet->isOkEnabled());
    sheet->okButtonPressed();
    EXPECT_EQ(code, 1);
    ASSERT_TRUE(sheet->replacementBookmark());
    EXPECT_EQ(sheet->replacementBookmark()->name(), QStringLiteral("Act 1"));
    EXPECT_TRUE(sheet->didBookmarkChange());
    EXPECT_FALSE(sheet->window()->isVisible());
}

TEST(OVEditBookmarkWindowControllerTest, RenamingReportsAChangeOnlyForANewName)
{
    const auto intro = OVBookmark::bookmarkWithName(QStringLiteral("Intro"));
    auto same = OVEditBookmarkWindowController::editBookmarkWindowControllerWithBookmark(intro);
    EXPECT_EQ(same->nameField()->text(), QStringLiteral("Intro"));
    int code = -1;
    same->beginSheet(nullptr, [&](int returnCode) { code = returnCode; });
    same->okButtonPressed();
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(same->didBookmarkChange());

    auto renamed = OVEditBookmarkWindowController::editBookmarkWindowControllerWithBookmark(intro);
    renamed->beginSheet(nullptr, [&](int returnCode) { code = returnCode; });
    renamed->nameField()->setText(QStringLiteral("Opening"));
    renamed->okButtonPressed();
    EXPECT_TRUE(renamed->didBookmarkChange());

    auto cancelled = OVEditBookmarkWindowController::editBookmarkWindowControllerWithBookmark(intro);
    cancelled->beginSheet(nullptr, [&](int returnCode) { code = returnCode; });
    cancelled->cancelButtonPressed();
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(cancelled->replacementBookmark());

    // Esc (or the title bar's close button) is a cancel too: the sheet ends once.
    for (const bool escape : {true, false}) {
        int ends = 0;
        auto dismissed = OVEditBookmarkWindowController::editBookmarkWindowControllerWithBookmark(intro);
        dismissed->beginSheet(nullptr, [&](int returnCode) {
            code = returnCode;
            ++ends;
        });
        code = -1;
        if (escape) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(dismissed->nameField(), &press);
        } else
            dismissed->window()->close();
        EXPECT_EQ(code, 0);
        EXPECT_EQ(ends, 1);
        EXPECT_FALSE(dismissed->window()->isVisible());
    }

    // A stored name the sheet would refuse cannot be confirmed unchanged either.
    auto stored = OVEditBookmarkWindowController::editBookmarkWindowControllerWithBookmark(
        OVBookmark::bookmarkWithName(QStringLiteral("Line\tbreak")));
    EXPECT_FALSE(stored->isOkEnabled());

    QString anchor;
    HVHelp::setOpener([&](const QString& requested) { anchor = requested; });
    stored->helpButtonPressed();
    HVHelp::setOpener({});
    EXPECT_EQ(anchor, QStringLiteral("BookmarksAnchor"));
}

} // namespace
