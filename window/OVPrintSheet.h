#pragma once

#include "platform/foundation/Range.h"
#include "window/OVPrintPanelAccessoryViewController.h"

#include <QPrinter>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class OVTextView;
class QDialog;
class QPrintPreviewWidget;
class Window;

// Printing a script: a sheet of our own on the document window with a live preview of the pages
// beside the print adjustments and their summary; its Print… button opens the system's print
// dialog. The printed text is laid out at the paper's width, so sizes print as they are set; each
// page carries the title and date in its header and its number in its footer.
class OVPrintSheet {
public:
    // Decides a sheet instead of showing it (tests): answers whether to print with the printer as
    // the answerer left it.
    using Answerer = std::function<bool(OVPrintSheet& sheet)>;
    static void setAnswerer(Answerer answerer);

    // textView: the printable copy, which the sheet owns. selection: the characters of the printed
    // text the user selected, offered as the print dialog's Selection range.
    OVPrintSheet(std::unique_ptr<OVTextView> textView, const QString& title, std::optional<Range> selection);
    ~OVPrintSheet();

    OVTextView& textView() const { return *m_textView; }
    OVPrintPanelAccessoryViewController& accessory() const { return *m_accessory; }
    QPrinter& printer() { return m_printer; }
    const QString& title() const { return m_title; }
    // How often the preview was drawn again since the sheet was made.
    int previewUpdateCount() const { return m_previewUpdates; }
    QPrintPreviewWidget* previewWidget() const { return m_preview; }
    QDialog* dialog() const { return m_dialog; }

    // Gives printer a document's paper, orientation, margins and printer (a printer that has gone
    // since leaves the default one). The sheet starts from printer(), and the print dialog's
    // choices end up there.
    static void applyPrintSettings(QPrinter& printer, const QPageLayout& pageLayout,
                                   const QString& printerName);

    // Runs the page set-up dialog for printer on window; answers whether the user accepted it (the
    // printer then holds the choice).
    static bool runPageLayout(QPrinter& printer, Window* window);

    // Makes the sheet's dialog on window without showing it (once).
    void makeSheet(Window* window);
    // Runs the sheet on window; answers whether a print ran to its end.
    bool runModalForWindow(Window* window);
    // Prints on printer() now, its Selection range honoured; false when nothing could be printed.
    bool print();

    // Draws view's text onto printer's pages, laid out at the page's width; range limits it to the
    // lines that hold those characters.
    static int printTextView(OVTextView& view, QPrinter& printer, const QString& title,
                             const std::optional<Range>& range);

    static constexpr double kHeaderHeight = 28.0;
    static constexpr double kFooterHeight = 28.0;
    static constexpr int kHeaderFontSize = 9;

private:
    std::unique_ptr<OVTextView> m_textView;
    std::unique_ptr<OVPrintPanelAccessoryViewController> m_accessory;
    QPrinter m_printer;
    QString m_title;
    std::optional<Range> m_selection;
    QDialog* m_dialog = nullptr;
    QPrintPreviewWidget* m_preview = nullptr;
    int m_previewUpdates = 0;
};
