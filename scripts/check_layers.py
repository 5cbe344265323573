#!/usr/bin/env python3
"""Checks that includes point down the layer chart of the architecture, never up.

    check_layers.py [ROOT]

Prints each offending include as FILE:LINE and exits 1 when there is any. Also refuses Qt GUI
includes in the GUI-free libraries (platform/foundation and the text model in platform/text).
"""
import pathlib
import re
import sys

# The chart, bottom to top. Folders of one row may use each other only where the second sits on
# the first (SITS_ON); everything else on a row is out of bounds for its neighbours.
SYSTEM_ROWS = [
    ["settings"],
    ["textutil"],
    ["importer", "quicklook"],
    ["document", "text"],
    ["prompting", "prompter_view"],
    ["output"],
    ["window"],
    ["preferences", "services"],
    ["app"],
]
PLATFORM_RANKS = {
    "foundation": 0,
    "text": 1,
    "textformats": 2,
    "appkit": 2,
    "textlayout": 2,
    "textview": 3,
    "hvkit": 3,
    "updates": 4,
}
SITS_ON = {
    ("quicklook", "importer"),
    ("document", "text"),
    ("prompter_view", "prompting"),
}
GUI_FREE = ["platform/foundation", "platform/text", "platform/textformats"]
# The layout library draws with QtGui but never makes a widget: the thumbnailer links it.
WIDGET_FREE = ["platform/textlayout"]
WIDGET_INCLUDE = re.compile(r"#\s*include\s*[<\"](QtWidgets/|QWidget\b|QApplication\b|QScrollBar\b|QAbstractScrollArea\b)")
GUI_INCLUDE = re.compile(r"#\s*include\s*[<\"](QtGui|QtWidgets|QtOpenGL)/|#\s*include\s*[<\"]Q(Widget|Application|GuiApplication|Painter|Image|Pixmap|Color|Font|FontMetrics|TextLayout|Screen|Window|Cursor|Palette|KeyEvent|MouseEvent|WheelEvent)\b")
INCLUDE = re.compile(r'#\s*include\s*"([a-z_]+)/([a-z_]+)?')
SOURCE_SUFFIXES = {".h", ".cpp", ".hpp", ".cc"}


def folder_of(path, root):
    parts = path.relative_to(root).parts
    if parts[0] == "platform" and len(parts) > 2:
        return "platform/" + parts[1]
    return parts[0]


def rank(folder):
    """Answers (rank, known); platform folders rank below every system folder."""
    if folder.startswith("platform/"):
        name = folder.split("/", 1)[1]
        return (PLATFORM_RANKS.get(name, -1), name in PLATFORM_RANKS)
    for index, row in enumerate(SYSTEM_ROWS):
        if folder in row:
            return (100 + index, True)
    return (-1, False)


def allowed(source, target):
    if source == target:
        return True
    if (source, target) in SITS_ON:
        return True
    source_rank, _ = rank(source)
    target_rank, _ = rank(target)
    return target_rank < source_rank


def check(root):
    problems = []
    folders = [pathlib.Path(root, name) for name in sum(SYSTEM_ROWS, [])] + [pathlib.Path(root, "platform")]
    for top in folders:
        if not top.is_dir():
            continue
        for path in sorted(top.rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
                continue
            source = folder_of(path, root)
            if not rank(source)[1]:
                problems.append(f"{path.relative_to(root)}:1: folder {source} is not on the layer chart")
                continue
            lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
            for number, line in enumerate(lines, start=1):
                if source in GUI_FREE and GUI_INCLUDE.search(line):
                    problems.append(f"{path.relative_to(root)}:{number}: {source} stays free of Qt GUI: {line.strip()}")
                if source in WIDGET_FREE and WIDGET_INCLUDE.search(line):
                    problems.append(f"{path.relative_to(root)}:{number}: {source} stays free of widgets: {line.strip()}")
                match = INCLUDE.search(line)
                if not match:
                    continue
                head, sub = match.group(1), match.group(2)
                target = f"platform/{sub}" if head == "platform" and sub else head
                if not rank(target)[1]:
                    continue
                if not allowed(source, target):
                    problems.append(f"{path.relative_to(root)}:{number}: {source} includes {target} above it: {line.strip()}")
    return problems


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    problems = check(root)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) point up the layer chart")
        return 1
    print("layers: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
