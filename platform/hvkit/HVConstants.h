#pragma once

// One test per platform release. The program behaves as the newest release the code knows, so
// every test answers YES and the branches for older systems are never taken.
class HVConstants {
public:
    static bool isLionOrNewer();
    static bool isMountainLionOrNewer();
    static bool isMavericksOrNewer();
    static bool isYosemiteOrNewer();
    static bool isElCapitanOrNewer();
    static bool isSierraOrNewer();
    static bool isHighSierraOrNewer();
    static bool isMojaveOrNewer();
    static bool isCatalinaOrNewer();
    static bool isBigSurOrNewer();
    static bool isMontereyOrNewer();
    static bool isVenturaOrNewer();
    static bool isSonomaOrNewer();
};
