#pragma once

#include <QUrl>

// What the rest of the program asks of the updater: whether it checks on its own, and a check
// on request. The updater itself lives above this layer and installs itself at program start.
class HVSparkleProxy {
public:
    virtual ~HVSparkleProxy() = default;

    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool automatically) = 0;
    // The feed checked; empty when this build has none, and then nothing is ever requested.
    virtual QUrl feedURL() const = 0;
    // A check the user asked for.
    virtual void checkForUpdates() = 0;
};
