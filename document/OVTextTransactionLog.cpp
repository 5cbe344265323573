#include "document/OVTextTransactionLog.h"

#include "platform/foundation/GeometryStrings.h"

#include <cxxabi.h>
#include <execinfo.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace {

QString flag(bool value)
{
    return value ? QStringLiteral("1") : QStringLiteral("0");
}

void line(QString& text, QLatin1String label, const QString& value)
{
    text += label;
    text += value;
    text += u'\n';
}

QString demangled(const char* name)
{
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> readable(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                                         &std::free);
    return QString::fromUtf8(status == 0 && readable ? readable.get() : name);
}

QString currentCallStackSymbols()
{
    void* frames[64];
    const int count = backtrace(frames, 64);
    if (count <= 0)
        return {};
    std::unique_ptr<char*, decltype(&std::free)> symbols(backtrace_symbols(frames, count), &std::free);
    if (!symbols)
        return {};
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << QString::fromLocal8Bit(symbols.get()[i]);
    return lines.join(u'\n');
}

} // namespace

OVTextTransactionLog::Exception
OVTextTransactionLog::Exception::fromException(const std::exception& exception)
{
    Exception caught;
    caught.name = demangled(typeid(exception).name());
    caught.reason = QString::fromUtf8(exception.what());
    caught.callStackSymbols = currentCallStackSymbols();
    return caught;
}

void OVTextTransactionLog::addBreadcrumb(const QString& step)
{
    if (step.isEmpty())
        return;
    m_mutableBreadcrumb += QStringLiteral(" → ") + step;
}

std::optional<QString> OVTextTransactionLog::_formatRanges(const std::vector<Range>& ranges)
{
    if (ranges.empty())
        return std::nullopt;
    QString text;
    for (const Range& range : ranges) {
        if (!text.isEmpty())
            text += QStringLiteral(", ");
        text += u'{' + QString::number(quint64(range.location)) + QStringLiteral(", ") +
                QString::number(quint64(range.length)) + u'}';
    }
    return text;
}

std::optional<QString> OVTextTransactionLog::_formatNumbers(const std::vector<quint64>& numbers)
{
    if (numbers.empty())
        return std::nullopt;
    QString text;
    for (const quint64 number : numbers) {
        if (!text.isEmpty())
            text += QStringLiteral(", ");
        text += QString::number(number);
    }
    return text;
}

QString OVTextTransactionLog::logText() const
{
    QString text;
    appendLogText(text);
    return text;
}

void OVTextTransactionLog::appendLogText(QString& text) const
{
    const auto number = [](quint64 value) { return QString::number(value); };
    const auto actionName = [](bool active, const QString& name) {
        return active && !name.isEmpty() ? QStringLiteral("    (") + name + u')' : QString();
    };
    line(text, QLatin1String("              Edit: "), number(editNumber));
    line(text, QLatin1String("    Initial Length: "), number(initialTextStorageLength));
    line(text, QLatin1String("      Edited Range: "), stringFromRange(editedRange));
    line(text, QLatin1String("  Change In Length: "), QString::number(changeInLength));
    // The edit mask's bits, each printed as 0 or 1 whatever its place in the mask.
    line(text, QLatin1String("Is Attributes Edit: "), flag(editActions & 1u));
    line(text, QLatin1String("Is Characters Edit: "), flag(editActions & 2u));
    line(text, QLatin1String("   Selected Ranges: "), _formatRanges(selectedRanges).value_or(QString()));
    line(text, QLatin1String("Attachment Indices: "),
         _formatNumbers(attachmentLocations).value_or(QString()));
    line(text, QLatin1String("           Is Undo: "), flag(undo) + actionName(undo, undoActionName));
    line(text, QLatin1String("           Is Redo: "), flag(redo) + actionName(redo, redoActionName));
    line(text, QLatin1String(" Pre-Normal Length: "), number(textStorageLengthBeginSanitize));
    line(text, QLatin1String("Post-Normal Length: "), number(textStorageLengthEndSanitize));
    line(text, QLatin1String("        Did Insert: "), flag(didInsertContent));
    line(text, QLatin1String("        Did Delete: "), flag(didDeleteContent));
    line(text, QLatin1String("  T2 Before Length: "), number(secondaryTextStorageLengthOnBegin));
    line(text, QLatin1String("   T2 After Length: "), number(secondaryTextStorageLengthOnClose));
    line(text, QLatin1String("    Documents Open: "), number(documentCount));
    line(text, QLatin1String(" T1 BG Text Layout: "), flag(documentTextViewBackgroundLayoutEnabled));
    line(text, QLatin1String(" T2 BG Text Layout: "), flag(talentTextViewBackgroundLayoutEnabled));
    if (!m_mutableBreadcrumb.isEmpty())
        line(text, QLatin1String("       Breadcrumbs: "), m_mutableBreadcrumb);
    if (exception) {
        line(text, QLatin1String("    Exception Name: "), exception->name);
        line(text, QLatin1String("  Exception Reason: "), exception->reason);
        line(text, QLatin1String("    Exception Info: "), exception->userInfo);
        line(text, QLatin1String(" Exception Symbols:\n"), exception->callStackSymbols);
    }
    if (!problemDetected.isEmpty())
        line(text, QLatin1String("  Problem Detected: "), problemDetected);
    text += QStringLiteral("--\n");
}
