// Every help button of the program leads to a page that ships with it.
#include "app/OVAppDelegate.h"
#include "document/OVDocumentExportAccessoryViewController.h"
#include "document/OVDocumentPropertiesWindowController.h"
#include "output/OVPreviewWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/hvkit/HVHelp.h"
#include "text/OVEditBookmarkWindowController.h"
#include "window/OVPrintPanelAccessoryViewController.h"

#include <QDesktopServices>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kHelpFolder = QStringLiteral(ORVANE_SOURCE_DIR "/resources/help");

QStringList programAnchors()
{
    QStringList anchors{OVDocumentPropertiesWindowController::kHelpAnchor,
                        OVEditBookmarkWindowController::kHelpAnchor, OVPreviewWindowController::kHelpAnchor,
                        OVDocumentExportAccessoryViewController::kHelpAnchor,
                        OVPrintPanelAccessoryViewController::kHelpAnchor};
    for (const OVAppDelegate::SettingsItem& item : OVAppDelegate::settingsItems())
        if (!item.helpAnchor.isEmpty())
            anchors << item.helpAnchor;
    return anchors;
}

QString readPage(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class BrowserStandIn : public QObject {
    Q_OBJECT
public:
    BrowserStandIn() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~BrowserStandIn() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

} // namespace

// One short page of plain HTML per anchor, needing nothing from the network, each listed on the
// index page.
TEST(HelpPages, EveryAnchorTheProgramOpensHasAShortPageOfItsOwn)
{
    const QStringList anchors = programAnchors();
    EXPECT_EQ(anchors.size(), 9);
    const QString index = readPage(kHelpFolder + QStringLiteral("/index.html"));
    ASSERT_FALSE(index.isEmpty());
    for (const QString& anchor : anchors) {
        const QString page = readPage(kHelpFolder + u'/' + anchor + QStringLiteral(".html"));
        ASSERT_FALSE(page.isEmpty()) << "FAIL: no help page for " << anchor.toStdString();
        EXPECT_TRUE(page.startsWith(QStringLiteral("<!DOCTYPE html>"))) << anchor.toStdString();
        EXPECT_TRUE(page.contains(QRegularExpression(QStringLiteral("<title>[^<]+</title>"))))
            << anchor.toStdString();
        EXPECT_LT(page.size(), 4000) << anchor.toStdString();
        EXPECT_FALSE(page.contains(QStringLiteral("http"))) << anchor.toStdString();
        EXPECT_TRUE(index.contains(QStringLiteral("href=\"%1.html\"").arg(anchor))) << anchor.toStdString();
    }
}

// A help button opens its page in the browser; where the pages are missing it says where it looked,
// and it never opens anything else.
TEST(HelpPages, AHelpButtonOpensItsPageOrSaysThePagesAreMissing)
{
    BrowserStandIn browser;
    QStringList told;
    AlertPresenterScope presenter([&told](Alert& alert) {
        told << alert.messageText() + u' ' + alert.informativeText();
        return Alert::kFirstButtonReturn;
    });
    HVHelp::setFolder(kHelpFolder);
    HVHelp::openLocalHelp(OVPrintPanelAccessoryViewController::kHelpAnchor);
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened.front(),
              QUrl::fromLocalFile(kHelpFolder + QStringLiteral("/PrintOptionsAnchor.html")));
    EXPECT_TRUE(told.isEmpty()) << told.join(u'|').toStdString();

    QTemporaryDir empty;
    HVHelp::setFolder(empty.path());
    HVHelp::openLocalHelp(OVPrintPanelAccessoryViewController::kHelpAnchor);
    HVHelp::setFolder({});
    EXPECT_EQ(browser.opened.size(), 1);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.front().contains(QStringLiteral("not installed"))) << told.front().toStdString();
    EXPECT_TRUE(told.front().contains(empty.path())) << told.front().toStdString();
}

#include "HelpPagesTest.moc"
