#pragma once

#include "platform/text/Color.h"
#include "platform/text/MutableAttributedString.h"
#include "services/OVWhatsNewNote.h"

#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QTextBrowser;

// The What's New window: a pop-up of every release note and a read-only view of the chosen one,
// starting at the oldest note the user has not seen. It follows a dark palette by inverting the
// notes' greys, so black text on white reads as white on black.
class OVWhatsNewWindowController {
public:
    static constexpr int kOlderNotesTag = 1000;

    static bool hasWhatsNewNotesNewerThanBuildNumber(quint64 buildNumber);
    static bool hasWhatsNewNotesNewerThanBuildNumber(quint64 buildNumber,
                                                     const std::vector<OVWhatsNewNote>& notes);
    static std::unique_ptr<OVWhatsNewWindowController>
    windowControllerWithLastUsedBuildNumber(quint64 buildNumber);

    explicit OVWhatsNewWindowController(quint64 lastUsedBuildNumber);
    ~OVWhatsNewWindowController();

    quint64 lastUsedBuildNumber() const { return m_lastUsedBuildNumber; }
    // Where notes come from; the program's resources unless a test gives its own.
    void setNotesSource(std::function<std::vector<OVWhatsNewNote>()> source)
    {
        m_notesSource = std::move(source);
    }

    QWidget* window();
    void showWindow();
    void close();

    void populateUIFromNotes(const std::vector<OVWhatsNewNote>& notes);
    void notesPopUpButtonAction();
    void loadNoteForURL(const QUrl& url);
    void updateColors();

    // The application's appearance: a palette whose window colour is dark.
    static bool isDarkMode();

    QComboBox* notesPopUpButton() const { return m_popUp; }
    QTextBrowser* textView() const { return m_textView; }
    const AttributedString& shownText() const { return m_text; }
    const Color& backgroundColor() const { return m_background; }

private:
    class Window;
    void windowDidLoad();
    void render();

    quint64 m_lastUsedBuildNumber = 0;
    std::function<std::vector<OVWhatsNewNote>()> m_notesSource;
    std::vector<OVWhatsNewNote> m_notes;
    std::unique_ptr<QWidget> m_window;
    QComboBox* m_popUp = nullptr;
    QTextBrowser* m_textView = nullptr;
    MutableAttributedString m_text;
    Color m_background = Color::rgb(1, 1, 1);
    bool m_wasDarkModePreviously = false;
};
