#include "platform/updates/UpdateAlert.h"

#include "platform/hvkit/HVLocalizedString.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

QString applicationName()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Orvane") : name;
}

} // namespace

UpdateAlert::UpdateAlert(std::function<void(const HVAppUpdate&)> openPage, QWidget* parent)
    : QDialog(parent), m_openPageAction(std::move(openPage))
{
    setObjectName(QStringLiteral("updateAlert"));
    setWindowTitle(localized("update-alert-window-title", "Software Update"));
    auto* layout = new QVBoxLayout(this);
    m_title = new QLabel(this);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_message = new QLabel(this);
    m_message->setWordWrap(true);
    m_notes = new QPlainTextEdit(this);
    m_notes->setReadOnly(true);
    m_notes->setMinimumSize(420, 160);
    auto* buttons = new QDialogButtonBox(this);
    m_openPage =
        buttons->addButton(localized("update-alert-open-page", "Open Page"), QDialogButtonBox::AcceptRole);
    m_openPage->setObjectName(QStringLiteral("openPageButton"));
    QPushButton* later =
        buttons->addButton(localized("update-alert-later", "Later"), QDialogButtonBox::RejectRole);
    later->setObjectName(QStringLiteral("laterButton"));
    layout->addWidget(m_title);
    layout->addWidget(m_message);
    layout->addWidget(m_notes, 1);
    layout->addWidget(buttons);
    connect(m_openPage, &QPushButton::clicked, this, [this] {
        if (m_openPageAction)
            m_openPageAction(m_update);
        close();
    });
    connect(later, &QPushButton::clicked, this, &QDialog::close);
}

void UpdateAlert::setUpdate(const HVAppUpdate& update, const QString& runningVersion, const QString& notes)
{
    m_update = update;
    m_title->setText(localized("update-alert-title", "A new version of <APP> is available.")
                         .replace(QStringLiteral("<APP>"), applicationName()));
    QString message = localized("update-alert-message", "<APP> <VERSION> is out; you have <RUNNING>.")
                          .replace(QStringLiteral("<APP>"), applicationName())
                          .replace(QStringLiteral("<VERSION>"), update.versionString)
                          .replace(QStringLiteral("<RUNNING>"), runningVersion);
    if (update.datePublished.isValid())
        message += QLatin1Char(' ') +
                   localized("update-alert-published", "Published <DATE>.")
                       .replace(QStringLiteral("<DATE>"),
                                QLocale().toString(update.datePublished.date(), QLocale::LongFormat));
    if (update.isPaidUpdate)
        message += QLatin1Char(' ') + localized("update-alert-paid", "It is a paid upgrade.");
    m_message->setText(message);
    const QString plain = plainNotes(notes);
    m_notes->setPlainText(plain);
    m_notes->setVisible(!plain.isEmpty());
}

QString UpdateAlert::plainNotes(const QString& notes)
{
    QString text = notes;
    static const QRegularExpression breaks(QStringLiteral("<\\s*(br|/p|/li|/h\\d)\\b[^>]*>"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression blankLines(QStringLiteral("\\n\\s*\\n\\s*\\n+"));
    text.replace(breaks, QStringLiteral("\n"));
    text.remove(tags);
    text.replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&#39;"), QLatin1String("'"))
        .replace(QLatin1String("&nbsp;"), QLatin1String(" "))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    text.replace(blankLines, QStringLiteral("\n\n"));
    return text.trimmed();
}
