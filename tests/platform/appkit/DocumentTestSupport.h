#pragma once

#include "TestSupport.h"

#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/SavePanel.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <deque>
#include <memory>

inline const QString kNoteType = QStringLiteral("org.orvane.test.note");
inline const QString kNotePackageType = QStringLiteral("org.orvane.test.package");

// A document of plain text. It can be told to fail writing, or to fail after writing half its bytes,
// so the tests can check that nothing on disk is damaged by a failed save.
class NoteDocument : public Document {
public:
    QString text;
    bool autosaveInPlace = true;
    bool failWriting = false;
    bool failAfterPartialWrite = false;
    // Writes under this folder fail; elsewhere they succeed.
    QString failWritingUnder;
    int writes = 0;

    QString className() const override { return QStringLiteral("NoteDocument"); }
    bool autosavesInPlace() const override { return autosaveInPlace; }

    void edit(const QString& newText)
    {
        text = newText;
        updateChangeCount(ChangeType::Done);
    }

    bool readFromData(const QByteArray& data, const QString& type, Error* error) override
    {
        Q_UNUSED(type);
        if (data.startsWith("BAD")) {
            setError(error, Error::cocoa(kFileReadCorruptFileError, {}, QStringLiteral("Bad note")));
            return false;
        }
        text = QString::fromUtf8(data);
        return true;
    }

    bool readFromFileWrapper(const FileWrapper& wrapper, const QString& type, Error* error) override
    {
        if (wrapper.isDirectory()) {
            auto content = wrapper.fileWrappers().value(QStringLiteral("Content.txt"));
            if (!content) {
                setError(error, Error::cocoa(kFileReadCorruptFileError));
                return false;
            }
            return readFromData(content->regularFileContents(), type, error);
        }
        return Document::readFromFileWrapper(wrapper, type, error);
    }

    std::shared_ptr<FileWrapper> fileWrapperOfType(const QString& type, Error* error) override
    {
        if (type != kNotePackageType)
            return Document::fileWrapperOfType(type, error);
        auto directory = FileWrapper::makeDirectory();
        directory->addRegularFile(text.toUtf8(), QStringLiteral("Content.txt"));
        return directory;
    }

    std::optional<QByteArray> dataOfType(const QString& type, Error* error) override
    {
        Q_UNUSED(type);
        Q_UNUSED(error);
        return text.toUtf8();
    }

    bool writeToURL(const QUrl& url, const QString& type, SaveOperation operation, const QUrl& original,
                    Error* error) override
    {
        ++writes;
        const bool refused = failWriting || (!failWritingUnder.isEmpty() && !isUnderAutosaveFolder(url) &&
                                             QDir::cleanPath(url.toLocalFile()).startsWith(failWritingUnder));
        if (refused) {
            setError(error, Error::cocoa(kFileWriteUnknownError, url, QStringLiteral("The disk refused.")));
            return false;
        }
        if (failAfterPartialWrite) {
            QFile file(url.toLocalFile());
            if (file.open(QIODevice::WriteOnly))
                file.write(text.toUtf8().left(2));
            setError(error, Error::cocoa(kFileWriteUnknownError, url, QStringLiteral("Interrupted.")));
            return false;
        }
        return Document::writeToURL(url, type, operation, original, error);
    }

private:
    bool isUnderAutosaveFolder(const QUrl& url) const
    {
        return QDir::cleanPath(url.toLocalFile()).startsWith(controller().autosaveDirectory());
    }
};

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
}

// A document controller over a temporary folder, with alerts, panels and errors answered by the test
// and time moved by hand.
struct DocumentFixture {
    DocumentFixture()
        : defaults(folder.filePath(QStringLiteral("defaults.plist"))),
          alerts([this](Alert& alert) { return answerAlert(alert); }),
          panels([this](SavePanel& panel) { return answerPanel(panel); })
    {
        controller.setUserDefaults(&defaults);
        controller.setAutosaveDirectory(folder.filePath(QStringLiteral("Autosave")));
        controller.registerDocumentClass(QStringLiteral("NoteDocument"),
                                         [] { return std::make_unique<NoteDocument>(); });
        controller.addDocumentType({kNoteType,
                                    QStringLiteral("Note"),
                                    {QStringLiteral("note")},
                                    DocumentController::Role::Editor,
                                    QStringLiteral("NoteDocument"),
                                    true,
                                    false,
                                    false,
                                    {}});
        controller.addDocumentType({kNotePackageType,
                                    QStringLiteral("Note package"),
                                    {QStringLiteral("ovdocument")},
                                    DocumentController::Role::Editor,
                                    QStringLiteral("NoteDocument"),
                                    true,
                                    false,
                                    true,
                                    {}});
        controller.addDocumentType({QStringLiteral("public.plain-text"),
                                    QStringLiteral("Plain text"),
                                    {QStringLiteral("txt")},
                                    DocumentController::Role::Editor,
                                    QStringLiteral("NoteDocument"),
                                    false,
                                    false,
                                    false,
                                    {}});
        Application::shared().setErrorPresenter([this](const Error& error) {
            errors.push_back(error);
            return false;
        });
    }
    ~DocumentFixture()
    {
        Application::shared().setErrorPresenter({});
        // Deferred deletions of closed documents and windows.
        QCoreApplication::processEvents();
    }

    QString path(const QString& name) const { return folder.filePath(name); }
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(path(name)); }

    NoteDocument* open(const QString& name)
    {
        Error error;
        auto* document =
            static_cast<NoteDocument*>(controller.openDocumentWithContentsOfURL(url(name), false, &error));
        lastError = error;
        return document;
    }

    NoteDocument* makeUntitled()
    {
        Error error;
        return static_cast<NoteDocument*>(controller.openUntitledDocumentAndDisplay(false, &error));
    }

    int answerAlert(Alert& alert)
    {
        alertTitles << alert.messageText();
        alertButtons << alert.buttonTitles().join(u'|');
        if (alertAnswers.empty())
            return Alert::kSecondButtonReturn;
        const int code = alertAnswers.front();
        alertAnswers.pop_front();
        return code;
    }

    int answerPanel(SavePanel& panel)
    {
        panelTypes << panel.selectedFileType();
        if (panelChoices.empty())
            return SavePanel::kModalResponseCancel;
        const QUrl choice = panelChoices.front();
        panelChoices.pop_front();
        return panel.chooseURL(choice) ? SavePanel::kModalResponseOK : SavePanel::kModalResponseCancel;
    }

    QTemporaryDir folder;
    UserDefaults defaults;
    ManualClockScope time;
    DocumentController controller;
    AlertPresenterScope alerts;
    SavePanelAnswererScope panels;
    std::deque<int> alertAnswers;
    std::deque<QUrl> panelChoices;
    QStringList alertTitles;
    QStringList alertButtons;
    QStringList panelTypes;
    std::vector<Error> errors;
    Error lastError;
};
