#pragma once

// Time stamps in seconds for measuring intervals; they come from the shared clock so tests step them.
class HVTimestamp {
public:
    static double seconds();
};
