#pragma once

class Event;
class Window;

// Takes the events that the Prompt-mode blocking windows receive, so clicks beside the prompter
// still reach it.
class OVEventInterpreter {
public:
    virtual ~OVEventInterpreter() = default;
    // Answers whether the event was used.
    virtual bool interpretEvent(Event& event, Window* forwardedFromWindow) = 0;
};
