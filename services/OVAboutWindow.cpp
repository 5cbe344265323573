#include "services/OVAboutWindow.h"

#include "platform/hvkit/HVVersion.h"
#include "platform/text/Rtfd.h"
#include "services/OVAttributedTextDisplay.h"
#include "services/OVUserStats.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The program's mark when the desktop gives it no icon: lines of a script passing the reading
// arrow, drawn rather than shipped so it stays sharp at any size.
QPixmap drawnIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(24, 24, 28));
    painter.drawRoundedRect(QRectF(0, 0, size, size), size * 0.18, size * 0.18);
    painter.setBrush(Qt::white);
    const double left = size * 0.34;
    for (int line = 0; line < 4; ++line) {
        const double width = size * (line % 2 ? 0.42 : 0.52);
        painter.drawRoundedRect(QRectF(left, size * (0.22 + 0.16 * line), width, size * 0.07), size * 0.03,
                                size * 0.03);
    }
    painter.setBrush(QColor(0, 170, 255));
    const double middle = size * 0.415;
    const QPointF arrow[] = {{size * 0.1, middle - size * 0.04}, {size * 0.18, middle - size * 0.04},
                             {size * 0.18, middle - size * 0.1}, {size * 0.29, middle + size * 0.0},
                             {size * 0.18, middle + size * 0.1}, {size * 0.18, middle + size * 0.04},
                             {size * 0.1, middle + size * 0.04}};
    painter.drawPolygon(arrow, 7);
    return pixmap;
}

} // namespace

OVAboutWindow::OVAboutWindow(const AttributedString& credits, QWidget* parent)
    : QDialog(parent), m_credits(credits)
{
    setObjectName(QStringLiteral("aboutWindow"));
    setWindowTitle(QStringLiteral("About %1").arg(QCoreApplication::applicationName()));
    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    const QIcon windowIcon = QApplication::windowIcon();
    icon->setPixmap(windowIcon.isNull() ? drawnIcon(96) : windowIcon.pixmap(96, 96));
    icon->setAlignment(Qt::AlignHCenter);
    layout->addWidget(icon);
    auto* name = new QLabel(QCoreApplication::applicationName(), this);
    name->setObjectName(QStringLiteral("aboutName"));
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    name->setFont(bold);
    name->setAlignment(Qt::AlignHCenter);
    layout->addWidget(name);
    auto* version = new QLabel(
        QStringLiteral("Version %1 (%2)")
            .arg(HVVersion::appVersion().stringValue(), HVVersion::appBuildVersion().stringValue()),
        this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setAlignment(Qt::AlignHCenter);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(version);
    m_creditsView = new QTextBrowser(this);
    m_creditsView->setObjectName(QStringLiteral("aboutCredits"));
    m_creditsView->setOpenExternalLinks(true);
    OVShowAttributedText(*m_creditsView, m_credits);
    m_creditsView->setMinimumSize(380, 220);
    layout->addWidget(m_creditsView, 1);
    resize(440, 480);
}

std::optional<MutableAttributedString> OVAboutWindow::creditsWithStatistics(const QString& folder)
{
    const QString path = QDir(folder).filePath(kCreditsFileName);
    if (!QFileInfo::exists(path)) {
        qWarning().noquote()
            << QStringLiteral("orderFrontCustomAboutPanel: file named %1 not found").arg(kCreditsFileName);
        return std::nullopt;
    }
    MutableAttributedString credits;
    Error error;
    if (!Rtfd::readFromURL(QUrl::fromLocalFile(path), credits, nullptr, &error)) {
        qWarning().noquote()
            << QStringLiteral(
                   "orderFrontCustomAboutPanel: initWithURL:options:documentAttributes:error: error = %1")
                   .arg(error.localizedDescription());
        QApplication::beep();
        return std::nullopt;
    }
    const qsizetype at = credits.string().indexOf(kStatisticsPlaceholder);
    const AttributeDictionary attributes = at >= 0 ? credits.attributesAtIndex(at) : AttributeDictionary();
    fillStatisticsPlaceholders(
        credits, OVUserStats::attributedStringWithOptions(OVUserStats::kAboutPanelOptions, attributes),
        OVUserStats::localizedStatisticsTitle());
    return credits;
}

void OVAboutWindow::fillStatisticsPlaceholders(MutableAttributedString& credits,
                                               const AttributedString& statistics, const QString& title)
{
    const qsizetype statisticsAt = credits.string().indexOf(kStatisticsPlaceholder);
    const qsizetype titleAt = credits.string().indexOf(kStatisticsTitlePlaceholder);
    const Range statisticsRange{statisticsAt, kStatisticsPlaceholder.size()};
    const Range titleRange{titleAt, kStatisticsTitlePlaceholder.size()};
    if (statisticsAt >= 0 && titleAt >= 0 && statistics.length() > 0) {
        const AttributeDictionary titleAttributes = credits.attributesAtIndex(titleAt);
        // The later placeholder first, so the earlier one's position still holds.
        if (statisticsAt > titleAt) {
            credits.replaceCharacters(statisticsRange, statistics);
            credits.replaceCharacters(titleRange, title, titleAttributes);
        } else {
            credits.replaceCharacters(titleRange, title, titleAttributes);
            credits.replaceCharacters(statisticsRange, statistics);
        }
        return;
    }
    if (statisticsAt >= 0 && titleAt >= 0) {
        const qsizetype start = std::min(statisticsAt, titleAt);
        const qsizetype end = std::max(statisticsRange.location + statisticsRange.length,
                                       titleRange.location + titleRange.length);
        credits.replaceCharacters(Range{start, end - start}, QString());
    } else if (statisticsAt >= 0) {
        credits.replaceCharacters(statisticsRange, QString());
    } else if (titleAt >= 0) {
        const qsizetype newline = credits.string().indexOf(QLatin1Char('\n'), titleAt);
        const qsizetype end = newline >= 0 ? newline + 1 : titleRange.location + titleRange.length;
        credits.replaceCharacters(Range{titleAt, end - titleAt}, QString());
    }
}
