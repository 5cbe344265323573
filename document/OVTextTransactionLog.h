#pragma once

#include "platform/foundation/Range.h"

#include <QString>
#include <QStringList>

#include <exception>
#include <optional>
#include <vector>

// One edit of a script as the diagnostics report tells it: the edit itself, the view's state around
// it and what the talent copy's replay did with it.
class OVTextTransactionLog {
public:
    // What is known of an exception caught during the edit.
    struct Exception {
        QString name;
        QString reason;
        QString userInfo;
        QString callStackSymbols;
        // The C++ exception's type and message, and the call stack of the place that caught it.
        static Exception fromException(const std::exception& exception);
    };

    quint64 editNumber = 0;
    double timestamp = 0;
    quint64 initialTextStorageLength = 0;
    Range editedRange;
    qint64 changeInLength = 0;
    unsigned editActions = 0;
    std::vector<Range> selectedRanges;
    // Ascending indexes of the attachment characters; empty when there are none.
    std::vector<quint64> attachmentLocations;
    bool undo = false;
    bool redo = false;
    QString undoActionName;
    QString redoActionName;
    quint64 textStorageLengthBeginSanitize = 0;
    quint64 textStorageLengthEndSanitize = 0;
    bool didInsertContent = false;
    bool didDeleteContent = false;
    quint64 secondaryTextStorageLengthOnBegin = 0;
    quint64 secondaryTextStorageLengthOnClose = 0;
    quint64 documentCount = 0;
    bool documentTextViewBackgroundLayoutEnabled = false;
    bool talentTextViewBackgroundLayoutEnabled = false;
    QString problemDetected;
    std::optional<Exception> exception;

    bool isUndo() const { return undo; }
    bool isRedo() const { return redo; }

    // Steps recorded during the edit, each as " → step"; an empty step is not recorded.
    void addBreadcrumb(const QString& step);
    QString breadcrumbs() const { return m_mutableBreadcrumb; }

    // The record as the report prints it: one labelled line each, every colon in column 19, ending "--".
    QString logText() const;
    // Appends logText() to text, for reports of many records.
    void appendLogText(QString& text) const;

    // "{location, length}" joined by ", "; nothing for an empty list.
    static std::optional<QString> _formatRanges(const std::vector<Range>& ranges);
    // The numbers joined by ", "; nothing for an empty list.
    static std::optional<QString> _formatNumbers(const std::vector<quint64>& numbers);

private:
    QString m_mutableBreadcrumb;
};
