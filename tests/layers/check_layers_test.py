#!/usr/bin/env python3
"""The layer check itself: a clean tree passes, and each kind of upward include is named."""
import pathlib
import subprocess
import sys
import tempfile

CHECK = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check_layers.py"


def run(files):
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            path = pathlib.Path(root, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        result = subprocess.run([sys.executable, str(CHECK), root], capture_output=True, text=True)
        return result.returncode, result.stdout


def expect(condition, message):
    if not condition:
        print("FAIL:", message)
        sys.exit(1)


clean = {
    "platform/foundation/Range.h": "#pragma once\n#include <QString>\n",
    "platform/appkit/View.h": '#include "platform/foundation/Range.h"\n',
    "text/OVTextView.h": '#include "platform/appkit/View.h"\n#include "settings/OVConstants.h"\n',
    "document/OVDocument.h": '#include "text/OVTextView.h"\n',
    "prompter_view/OVPrompterView.h": '#include "prompting/OVCorePrompterView.h"\n',
    "app/main.cpp": '#include "prompter_view/OVPrompterView.h"\n#include "document/OVDocument.h"\n',
}
code, out = run(clean)
expect(code == 0, "a clean tree fails:\n" + out)

planted = dict(clean)
planted["text/OVTextView.cpp"] = '#include "text/OVTextView.h"\n\n#include "prompting/OVApplication.h"\n'
code, out = run(planted)
expect(code == 1 and "text/OVTextView.cpp:3:" in out, "an upward include passes:\n" + out)

planted = dict(clean)
planted["platform/hvkit/HVThing.cpp"] = '#include "prompting/OVCore.h"\n'
code, out = run(planted)
expect(code == 1 and "platform/hvkit/HVThing.cpp:1:" in out, "platform reaching the system passes:\n" + out)

planted = dict(clean)
planted["prompting/OVCore.cpp"] = '#include "prompter_view/OVPrompterView.h"\n'
code, out = run(planted)
expect(code == 1 and "prompting/OVCore.cpp:1:" in out, "a row used both ways passes:\n" + out)

planted = dict(clean)
planted["window/OVDocumentWindowController.cpp"] = '#include "preferences/OVKeyField.h"\n'
planted["preferences/OVKeyField.cpp"] = '#include "services/OVUserStats.h"\n'
planted["services/OVUserStats.cpp"] = '#include "window/OVSlider.h"\n'
code, out = run(planted)
expect(code == 1 and "window/OVDocumentWindowController.cpp:1:" in out and "preferences/OVKeyField.cpp:1:" in out
       and "services/OVUserStats.cpp" not in out,
       "the script window reaching the settings window, or the settings window the services, passes:\n" + out)

planted = dict(clean)
planted["platform/foundation/Clock.cpp"] = '#include <QGuiApplication>\n'
code, out = run(planted)
expect(code == 1 and "platform/foundation/Clock.cpp:1:" in out, "Qt GUI in the model passes:\n" + out)

print("1 passed, 0 failed")
