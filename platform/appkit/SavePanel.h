#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class QWidget;
class Window;

// The panel that asks where to save: a folder, a name and, when several are offered, a file type from
// a pop-up. A directory whose extension names a package type (such as "*.ovdocument") is one file
// here: choosing it means replacing it, never entering it. Tests answer panels through an answerer
// that calls chooseURL, which checks the choice exactly as the dialog does.
class SavePanel {
public:
    static constexpr int kModalResponseOK = 1;
    static constexpr int kModalResponseCancel = 0;

    struct FileType {
        QString identifier;
        QString name;
        // Without the dot; the first is added to names that carry none of them.
        QStringList extensions;
    };

    // Decides a panel instead of showing it: answers OK (after choosing) or Cancel.
    using Answerer = std::function<int(SavePanel& panel)>;

    SavePanel();
    virtual ~SavePanel();
    SavePanel(const SavePanel&) = delete;
    SavePanel& operator=(const SavePanel&) = delete;

    const QString& title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    const QString& message() const { return m_message; }
    void setMessage(const QString& message) { m_message = message; }
    const QString& prompt() const { return m_prompt; }
    void setPrompt(const QString& prompt) { m_prompt = prompt; }
    const QString& nameFieldStringValue() const { return m_name; }
    void setNameFieldStringValue(const QString& name) { m_name = name; }
    const QUrl& directoryURL() const { return m_directory; }
    void setDirectoryURL(const QUrl& directory) { m_directory = directory; }
    bool canCreateDirectories() const { return m_canCreateDirectories; }
    void setCanCreateDirectories(bool flag) { m_canCreateDirectories = flag; }

    // The type pop-up. With one type or none there is no pop-up; with none any name goes.
    const std::vector<FileType>& fileTypes() const { return m_fileTypes; }
    void setFileTypes(std::vector<FileType> types);
    bool showsTypePopUp() const { return m_fileTypes.size() > 1; }
    // Empty without types.
    QString selectedFileType() const;
    // Selects the type with this identifier; false (keeping the selection) when it is not offered.
    bool setSelectedFileType(const QString& identifier);
    // Called when the user picks another type from the pop-up.
    void setTypeChangeHandler(std::function<void(const QString& type)> handler)
    {
        m_typeChanged = std::move(handler);
    }

    // A widget shown at the bottom of the panel; the panel takes it over.
    void setAccessoryView(std::unique_ptr<QWidget> view);
    QWidget* accessoryView() const { return m_accessoryView.get(); }

    // The chosen file, valid after an OK answer.
    const QUrl& URL() const { return m_url; }

    // Takes url as the user's choice. A name with another offered type's extension selects that type;
    // otherwise the selected type's extension is added to a name that has none
    // of its extensions; an existing plain folder is refused (the dialog enters it instead); an
    // existing file or package is replaced only when the user confirms. False when refused.
    virtual bool chooseURL(const QUrl& url);

    int runModal();
    // Attached to window without blocking; without a window the panel runs modally.
    void beginSheetModalForWindow(Window* window, std::function<void(int response)> completion);

    static void setAnswerer(Answerer answerer);
    static bool hasAnswerer();

    // True when path is a directory that stands for one document: its extension names a package type.
    static bool isPackagePath(const QString& path);

protected:
    virtual bool isOpenPanel() const { return false; }
    void setURL(const QUrl& url) { m_url = url; }
    int answer();
    // Builds and runs the dialog; answers the response.
    virtual int runDialog(QWidget* parent);

private:
    QString m_title;
    QString m_message;
    QString m_prompt;
    QString m_name;
    QUrl m_directory;
    bool m_canCreateDirectories = true;
    std::vector<FileType> m_fileTypes;
    int m_selectedType = 0;
    std::function<void(const QString&)> m_typeChanged;
    std::unique_ptr<QWidget> m_accessoryView;
    QUrl m_url;
};

// Installs an answerer for the life of a scope and restores the previous one after it.
class SavePanelAnswererScope {
public:
    explicit SavePanelAnswererScope(SavePanel::Answerer answerer);
    ~SavePanelAnswererScope();
    SavePanelAnswererScope(const SavePanelAnswererScope&) = delete;
    SavePanelAnswererScope& operator=(const SavePanelAnswererScope&) = delete;

private:
    SavePanel::Answerer m_previous;
};
