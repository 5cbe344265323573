#pragma once

#include <QString>

// The folder the program keeps its own data in: logs, statistics, autosaves, blanking items. It is
// "$XDG_DATA_HOME/Orvane", beside the settings file's "$XDG_CONFIG_HOME/Orvane"; Qt's application
// data location would nest the application's name inside the organisation's ("Orvane/Orvane").
class DataFolder {
public:
    // Empty when the system names no data folder at all.
    static QString path();
    // Where the program keeps what it can make again: "$XDG_CACHE_HOME/Orvane", for the same reason.
    static QString cachePath();

    // Moves what earlier versions kept in "Orvane/Orvane" up into path(), entry by entry; an entry
    // whose name is already taken stays where it was, and the old folder goes once it is empty.
    // Answers a line for the log saying what moved, or an empty string when there was nothing to move.
    static QString moveContentsOfOldFolder();
};
