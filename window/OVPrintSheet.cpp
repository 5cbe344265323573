#include "window/OVPrintSheet.h"

#include "platform/appkit/Window.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/pdf/NSViewHVPDFAdditions.h"
#include "platform/textlayout/LayoutManager.h"
#include "text/OVTextView.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLocale>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

OVPrintSheet::Answerer& answerer()
{
    static OVPrintSheet::Answerer instance;
    return instance;
}

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

} // namespace

void OVPrintSheet::setAnswerer(Answerer answerer)
{
    ::answerer() = std::move(answerer);
}

OVPrintSheet::OVPrintSheet(std::unique_ptr<OVTextView> textView, const QString& title,
                           std::optional<Range> selection)
    : m_textView(std::move(textView)), m_printer(QPrinter::HighResolution), m_title(title),
      m_selection(std::move(selection))
{
    m_printer.setDocName(title);
    m_printer.setFullPage(false);
    m_accessory = std::make_unique<OVPrintPanelAccessoryViewController>(m_textView.get());
    m_accessory->setPreviewUpdateHandler([this] {
        if (m_preview)
            m_preview->updatePreview();
    });
}

OVPrintSheet::~OVPrintSheet()
{
    m_accessory->setPreviewUpdateHandler({});
    delete m_dialog;
}

int OVPrintSheet::printTextView(OVTextView& view, QPrinter& printer, const QString& title,
                                const std::optional<Range>& range)
{
    const QPageLayout layout = printer.pageLayout();
    const QRectF paint = layout.paintRect(QPageLayout::Point);
    const double headerAndFooter = kHeaderHeight + kFooterHeight;
    if (!(paint.width() > 0) || !(paint.height() > headerAndFooter))
        return 0;
    // Laid out at the paper's width: fitting the page then takes no scaling, and sizes print as set.
    Rect frame = view.frame();
    frame.size.width = paint.width();
    view.setFrame(frame);
    view.layoutManager()->ensureLayoutForTextContainer();
    view.sizeToFit();

    Rect printed = view.bounds();
    if (range && range->length > 0) {
        const Point origin = view.textContainerOrigin();
        double top = printed.maxY();
        double bottom = printed.minY();
        for (const Rect& rect : view.layoutManager()->rectsForCharacterRange(*range)) {
            top = std::min(top, rect.minY() + origin.y);
            bottom = std::max(bottom, rect.maxY() + origin.y);
        }
        if (bottom > top)
            printed = Rect{printed.minX(), top, printed.width(), bottom - top};
    }
    const double bodyHeight = paint.height() - headerAndFooter;
    const std::vector<NSViewHVPDFAdditions::PageBand> bands =
        NSViewHVPDFAdditions::pageBands(view, printed, bodyHeight);

    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    // Device pixels per point: the painter works in points from here on.
    const double scale = printer.resolution() / 72.0;
    painter.scale(scale, scale);
    // A pixel size counts in the painter's units (points here) on any device, the preview's too.
    QFont font = QApplication::font();
    font.setPixelSize(kHeaderFontSize);
    const QString date = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
    const int pages = int(bands.size());
    for (int index = 0; index < pages; ++index) {
        if (index > 0 && !printer.newPage())
            break;
        const NSViewHVPDFAdditions::PageBand& band = bands[size_t(index)];
        painter.save();
        painter.setFont(font);
        painter.setPen(Qt::black);
        const QRectF header(0, 0, paint.width(), kHeaderHeight);
        painter.drawText(header, Qt::AlignLeft | Qt::AlignTop, title);
        painter.drawText(header, Qt::AlignRight | Qt::AlignTop, date);
        const QRectF footer(0, paint.height() - kFooterHeight, paint.width(), kFooterHeight);
        painter.drawText(footer, Qt::AlignHCenter | Qt::AlignBottom, QString::number(index + 1));
        painter.restore();
        painter.save();
        painter.translate(0, kHeaderHeight);
        painter.setRenderHints(View::kDefaultRenderHints);
        NSViewHVPDFAdditions::drawPageBand(view, printed, band, painter);
        painter.restore();
    }
    painter.end();
    return pages;
}

bool OVPrintSheet::print()
{
    const std::optional<Range> range =
        m_printer.printRange() == QPrinter::Selection ? m_selection : std::optional<Range>();
    return printTextView(*m_textView, m_printer, m_title, range) > 0;
}

void OVPrintSheet::applyPrintSettings(QPrinter& printer, const QPageLayout& pageLayout,
                                      const QString& printerName)
{
    if (!printerName.isEmpty() && !QPrinterInfo::printerInfo(printerName).isNull())
        printer.setPrinterName(printerName);
    if (pageLayout.isValid())
        printer.setPageLayout(pageLayout);
}

bool OVPrintSheet::runPageLayout(QPrinter& printer, Window* window)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    QWidget* parent = window ? window->hostWidget() : nullptr;
    QPageSetupDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("pageSetupDialog"));
    dialog.setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    return dialog.exec() == QDialog::Accepted;
}

void OVPrintSheet::makeSheet(Window* window)
{
    if (m_dialog)
        return;
    QWidget* parent = window ? window->hostWidget() : nullptr;
    m_dialog = new QDialog(parent);
    m_dialog->setObjectName(QStringLiteral("printSheet"));
    m_dialog->setWindowTitle(localized("print-sheet-title", "Print"));
    m_dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    auto* layout = new QHBoxLayout(m_dialog);
    m_preview = new QPrintPreviewWidget(&m_printer, m_dialog);
    m_preview->setObjectName(QStringLiteral("printPreview"));
    m_preview->setMinimumSize(420, 520);
    QObject::connect(m_preview, &QPrintPreviewWidget::paintRequested, m_dialog, [this](QPrinter* printer) {
        ++m_previewUpdates;
        printTextView(*m_textView, *printer, m_title, std::nullopt);
    });
    layout->addWidget(m_preview, 1);
    auto* column = new QVBoxLayout;
    column->addWidget(m_accessory->view(m_dialog));
    auto* buttons = new QDialogButtonBox;
    QPushButton* printButton =
        buttons->addButton(localized("print-sheet-print", "Print…"), QDialogButtonBox::AcceptRole);
    printButton->setObjectName(QStringLiteral("printButton"));
    printButton->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::rejected, m_dialog, &QDialog::reject);
    QObject::connect(printButton, &QPushButton::clicked, m_dialog, [this] {
        QPrintDialog printDialog(&m_printer, m_dialog);
        printDialog.setOption(QAbstractPrintDialog::PrintSelection, m_selection && m_selection->length > 0);
        if (printDialog.exec() != QDialog::Accepted)
            return;
        m_dialog->done(print() ? QDialog::Accepted : QDialog::Rejected);
    });
    column->addWidget(buttons);
    layout->addLayout(column);
}

bool OVPrintSheet::runModalForWindow(Window* window)
{
    if (answerer())
        return answerer()(*this) && print();
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    makeSheet(window);
    return m_dialog->exec() == QDialog::Accepted;
}
