#pragma once

#include <QString>

// User-defaults keys of the software-update framework, under the names the framework gives them.
inline const QString SUEnableAutomaticChecksKey = QStringLiteral("SUEnableAutomaticChecks");
inline const QString SUScheduledCheckIntervalKey = QStringLiteral("SUScheduledCheckInterval");
inline const QString SUSendProfileInfoKey = QStringLiteral("SUSendProfileInfo");
