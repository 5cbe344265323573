#pragma once

#include "platform/text/MutableAttributedString.h"

#include <QDialog>

#include <optional>

class QTextBrowser;

// The about window: the program's icon, name and version above its credits, which carry the
// user's own statistics. A dialog of our own, since a plain message box would lose the credits'
// fonts and colours.
class OVAboutWindow : public QDialog {
public:
    static inline const QString kCreditsFileName = QStringLiteral("Credits.rtfd");
    static inline const QString kStatisticsPlaceholder = QStringLiteral("<STATISTICS/>");
    static inline const QString kStatisticsTitlePlaceholder = QStringLiteral("<STATISTICS_TITLE/>");

    explicit OVAboutWindow(const AttributedString& credits, QWidget* parent = nullptr);

    const AttributedString& credits() const { return m_credits; }
    QString creditsText() const { return m_credits.string(); }

    // The credits read from folder with the statistics in place; empty (and logged) when there are
    // no credits or they cannot be read.
    static std::optional<MutableAttributedString> creditsWithStatistics(const QString& folder);
    // Puts statistics in place of the placeholders, or, with no statistics, removes them: both
    // with everything between them, a lone statistics placeholder, or a lone title placeholder
    // with the rest of its line.
    static void fillStatisticsPlaceholders(MutableAttributedString& credits,
                                           const AttributedString& statistics, const QString& title);

private:
    AttributedString m_credits;
    QTextBrowser* m_creditsView = nullptr;
};
