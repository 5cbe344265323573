#pragma once

#include <QString>

// The settings the prompting core reads, with the value each has until the pane that owns the key
// registers it, so the core behaves the same before and after the settings panes exist.
class OVCoreSettings {
public:
    static qint64 integer(const QString& key, qint64 fallback);
    static double real(const QString& key, double fallback);
    static bool boolean(const QString& key, bool fallback);
};
