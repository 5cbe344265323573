#pragma once

#include <QString>

// The offer, at the end of launching, to move the program into the applications folder. On this
// system there is nothing to move: a packaged program belongs to the package manager and a build
// runs where it was built (moving its binary would lose its resources), so every installation is
// already where it belongs and the routine returns before any alert. The call and the suppression
// setting stay, so a settings file shared with other systems keeps its meaning.
class ApplicationsFolderMover {
public:
    static inline const QString kAlertSuppressKey = QStringLiteral("moveToApplicationsFolderAlertSuppress");

    // What the last call decided, for the launch tests.
    enum class Decision { Suppressed, AlreadyInPlace };

    static Decision offerToMoveToApplicationsFolder();
    // Whether the program at path is where it belongs: always, for the reasons above.
    static bool isInstalledInPlace(const QString& programPath);
};
