#pragma once

#include "platform/text/Color.h"

#include <memory>

class AttributedString;
class QTextEdit;
class QWidget;

// The Export panel's preview: a window showing the text as the chosen format gives it back, on
// the background the format keeps (white where it keeps none). Read-only; its zoom button is off.
class OVDocumentExportPreviewWindowController {
public:
    static std::unique_ptr<OVDocumentExportPreviewWindowController> windowController();
    static std::unique_ptr<OVDocumentExportPreviewWindowController>
    windowControllerWithAttributedString(const AttributedString& text, const Color& backgroundColor);
    ~OVDocumentExportPreviewWindowController();

    void setContent(const AttributedString& text, const Color& backgroundColor);
    // Shows the window, centred over owner (kept above it, within its screen) when one is given.
    void showWindow(QWidget* owner = nullptr);
    void close();
    bool isWindowVisible() const;
    QWidget* window() const { return m_window.get(); }
    QTextEdit* textView() const { return m_textView; }

private:
    OVDocumentExportPreviewWindowController();
    std::unique_ptr<QWidget> m_window;
    // Owned by the window.
    QTextEdit* m_textView = nullptr;
};
