#pragma once

#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// Word 97 documents (.doc) through LibreOffice, when it is installed: a child process converts in a
// private temporary folder with a private profile and its temporary files there too, so a running
// LibreOffice neither takes the job nor is disturbed. The output is taken only from that folder and size-checked, and the folder is
// removed whatever happens. A converter that crashes, hangs past the limit or is cancelled ends
// with an error; it never takes this program down.
class LibreOffice {
public:
    // The soffice program found on the search path, or empty.
    static QString executable();
    static bool isAvailable() { return !executable().isEmpty(); }
    // Tests stand in another program, or "" for none; an unset override searches the path.
    static void setExecutableOverride(std::optional<QString> path);

    // The Debian package that brings a converter, for the message when there is none.
    static constexpr const char* kPackage = "libreoffice-writer-nogui";

    struct Progress {
        // Called about every 50 ms while the converter runs, to keep the window answering.
        std::function<void()> wait;
        // Asked at the same times; true stops the converter.
        std::function<bool()> cancelled;
        int timeoutMilliseconds = 60000;
    };

    // Converts input, a file with extension fromExtension, to the format LibreOffice's filter
    // toFilter names ("docx", "doc:MS Word 97"), whose files end in toExtension.
    static std::optional<QByteArray> convert(const QByteArray& input, const QString& fromExtension,
                                             const QString& toFilter, const QString& toExtension,
                                             const Progress& progress, Error* error);

    static constexpr qint64 kMaximumOutputBytes = qint64(256) << 20;
};
