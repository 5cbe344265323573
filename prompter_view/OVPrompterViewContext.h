#pragma once

class OVCore;

// How the prompter's views reach the prompting engine: the shared core, unless a test set its own.
class OVPrompterViewContext {
public:
    static OVCore& core();
    // nullptr goes back to the shared core.
    static void setCore(OVCore* core);

    // Answers of the application object about the core, as the views ask them.
    static bool isModeEdit();
    static bool isModePrompt();
    static bool isStatusStarted();
};
