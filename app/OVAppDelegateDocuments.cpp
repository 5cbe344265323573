// The application delegate's documents and events: opening files and telling what failed, the
// reopen request, the dock menu, and whether a script window is in front.
#include "app/OVAppDelegate.h"
#include "app/OVAppDelegatePrivate.h"

#include "app/OVDocumentControllerBridge.h"
#include "document/OVDocument.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/WindowController.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/UserDefaults.h"
#include "prompting/OVApplication.h"

#include <QDebug>
#include <QFileInfo>

using namespace OVAppDelegatePrivate;

namespace {

const QString kAutomaticallyLocalizeKeyEquivalentsKey = QStringLiteral("automaticallyLocalizeKeyEquivalents");

Error flatFileError(const QString& path)
{
    Error error(kCocoaErrorDomain, kFileReadCorruptFileError, {{kFilePathErrorKey, path}});
    error.setUserInfoValue(
        kLocalizedDescriptionKey,
        QStringLiteral("The file “%1” couldn’t be opened because it isn’t in the correct format.")
            .arg(QFileInfo(path).fileName()));
    return error;
}

Error unreadableTypeError(const QUrl& url)
{
    Error error = Error::cocoa(kFileReadUnknownError, url);
    error.setUserInfoValue(
        kLocalizedDescriptionKey,
        QStringLiteral("The file “%1” couldn’t be opened because Orvane cannot open files of "
                       "this kind.")
            .arg(QFileInfo(url.toLocalFile()).fileName()));
    return error;
}

} // namespace

int OVAppDelegate::openFiles(const QStringList& paths)
{
    const OpenOutcome outcome = _openFilePaths(paths);
    reportOpenFailures(outcome.failures);
    return replyFor(outcome);
}

int OVAppDelegate::replyFor(const OpenOutcome& outcome)
{
    if (outcome.opened > 0) {
        if (!m_didFinishLaunching)
            m_didOpenDocumentsOnLaunch = true;
        return kReplySuccess;
    }
    // A request that opened nothing failed, whatever is shown about it.
    return kReplyFailure;
}

Error OVAppDelegate::combinedOpenError(const std::vector<Error>& failures)
{
    if (failures.size() == 1)
        return failures.front();
    QStringList lines;
    QStringList paths;
    for (const Error& failure : failures) {
        QString path = failure.userInfo().value(kFilePathErrorKey).toString();
        if (path.isEmpty())
            path = failure.fileURL().toLocalFile();
        paths << path;
        if (lines.size() < kNamedOpenFailures) {
            const QString reason = failure.localizedFailureReason();
            const QString name = QStringLiteral("“%1”").arg(QFileInfo(path).fileName());
            lines << (reason.isEmpty() ? name : QStringLiteral("%1: %2").arg(name, reason));
        }
    }
    const qsizetype more = qsizetype(failures.size()) - lines.size();
    if (more > 0)
        lines << (more == 1 ? QStringLiteral("and 1 more file.")
                            : QStringLiteral("and %1 more files.").arg(more));
    Error error(
        kCocoaErrorDomain, kFileReadUnknownError,
        {{kLocalizedDescriptionKey, QStringLiteral("%1 files couldn’t be opened.").arg(failures.size())},
         {kLocalizedFailureReasonErrorKey, lines.join(u'\n')},
         {kOpenFailurePathsKey, paths}});
    return error;
}

void OVAppDelegate::reportOpenFailures(const std::vector<Error>& failures)
{
    if (failures.empty())
        return;
    Application::shared().presentError(combinedOpenError(failures));
}

OVAppDelegate::OpenOutcome OVAppDelegate::_openFilePaths(const QStringList& paths)
{
    DocumentController& controller = ovdocumentbridge::sharedDocumentController();
    const QStringList nativeExtensions = controller.fileExtensionsFromType(OVDocumentUTI);
    const QString nativeExtension = nativeExtensions.isEmpty() ? QString() : nativeExtensions.front();
    OpenOutcome outcome;
    Document* last = nullptr;
    for (const QString& path : paths) {
        const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        Error error;
        const QString type = controller.typeForContentsOfURL(url, &error);
        if (type.isEmpty()) {
            qWarning().noquote() << QStringLiteral("%1 unable to determine fileType: %2")
                                        .arg(logName(
                                                 "_openFilePaths:delegateSelector:didPresentFlatFileError:"),
                                             error.localizedDescription());
            outcome.failures.push_back(error);
            continue;
        }
        if (!controller.documentClassForType(type).isEmpty()) {
            Document* document = ovdocumentbridge::openDocument(url, &error);
            if (document) {
                last = document;
                ++outcome.opened;
            } else if (!error.isUserCancelled()) {
                qWarning().noquote()
                    << QStringLiteral("%1 unable to open document from URL %2 error: %3 %4")
                           .arg(logName("_openFilePaths:delegateSelector:didPresentFlatFileError:"),
                                url.toString(), error.localizedDescription(), error.localizedFailureReason())
                           .trimmed();
                outcome.failures.push_back(error);
            }
            continue;
        }
        if (!nativeExtension.isEmpty() &&
            QFileInfo(path).suffix().compare(nativeExtension, Qt::CaseInsensitive) == 0) {
            // The native extension on a plain file: a script package that lost its folder on the way
            // (sent as an attachment, copied by a tool that flattens folders).
            outcome.failures.push_back(flatFileError(url.toLocalFile()));
            outcome.hadFlatFile = true;
            continue;
        }
        outcome.failures.push_back(unreadableTypeError(url));
    }
    bringForward(last);
    return outcome;
}

void OVAppDelegate::tellOfSettingsSetAside()
{
    const QString aside = UserDefaults::shared().setAsideFilePath();
    if (aside.isEmpty())
        return;
    auto alert = Alert::alertWithTitle(
        QStringLiteral("Your settings were reset"),
        QStringLiteral("The settings file could not be read, so Orvane started with its default "
                       "settings. The old file was kept as “%1”.")
            .arg(aside),
        {QStringLiteral("OK")});
    alert->setAlertStyle(Alert::Style::Informational);
    Window* window = Application::shared().mainWindow();
    if (!window) {
        const std::vector<Window*> ordered = Application::shared().orderedWindows();
        window = ordered.empty() ? nullptr : ordered.front();
    }
    // A sheet does not hold the start; the alert object may go before the sheet is answered.
    alert->beginSheetModalForWindow(window, {});
}

void OVAppDelegate::bringForward(Document* document) const
{
    if (!document || !document->primaryWindowController())
        return;
    Window* window = document->primaryWindowController()->window();
    if (!window)
        return;
    window->makeKeyAndOrderFront();
    Application::shared().setMainWindow(window);
}

bool OVAppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    Q_UNUSED(hasVisibleWindows);
    if (OVTalentWindowController::isTalentWindowUtilized() &&
        ovdocumentbridge::sharedDocumentController().documents().empty()) {
        Error error;
        Document* document = ovdocumentbridge::newDocument(&error);
        if (document)
            bringForward(document);
        else // told on a later pass, so a second start asking for this is answered first
            RunLoop::postToMainThread([error] { Application::shared().presentError(error); });
    }
    return true;
}

std::unique_ptr<Menu> OVAppDelegate::applicationDockMenu() const
{
    auto menu = std::make_unique<Menu>();
    if (OVApplication::shared().isModeEdit()) {
        if (MenuItem* item = m_mainMenu->itemWithAction(QStringLiteral("newDocument:"))) {
            menu->addItem(item->copy());
            menu->addItem(MenuItem::separatorItem());
        }
    }
    for (const QString& action : {QStringLiteral("toggleMode:"), QStringLiteral("toggleStatus:")}) {
        if (MenuItem* item = m_mainMenu->itemWithAction(action))
            menu->addItem(item->copy());
    }
    return menu;
}

bool OVAppDelegate::applicationShouldAutomaticallyLocalizeKeyEquivalents() const
{
    return boolIfKnown(UserDefaults::shared(), kAutomaticallyLocalizeKeyEquivalentsKey).value_or(true);
}

bool OVAppDelegate::isDocumentWindowMain() const
{
    return ovdocumentbridge::sharedDocumentController().currentDocument() != nullptr;
}
