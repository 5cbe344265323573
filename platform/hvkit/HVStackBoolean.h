#pragma once

// A switch that nests: every disable() must be balanced by an enable() before it reads enabled
// again, so independent callers can switch it off around their work without knowing of each other.
class HVStackBoolean {
public:
    explicit HVStackBoolean(bool enabled = true) : m_level(enabled ? 1 : 0) {}

    void enable() { ++m_level; }
    void disable() { --m_level; }

    bool isEnabled() const { return m_level > 0; }
    bool isDisabled() const { return !isEnabled(); }

private:
    int m_level;
};
