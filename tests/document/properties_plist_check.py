#!/usr/bin/env python3
"""Reads a package's Properties.plist with plistlib, as another program would, and checks the keys,
types and values the package writer promises for the document PropertiesPlistInteropTest writes.
Prints what is wrong and exits 1, or exits 0."""
import plistlib
import sys

path = sys.argv[1] + "/Properties.plist"
with open(path, "rb") as f:
    head = f.read(5)
    f.seek(0)
    root = plistlib.load(f, dict_type=dict)
problems = []


def check(condition, message):
    if not condition:
        problems.append(message)


check(head == b"<?xml", "not an XML property list")
check(list(root) == ["selectedRanges", "bookmarks", "scrollbarPosition", "speed", "windowFrame",
                     "extendedMetadata", "fileFormatNumber", "appVersion", "appBuildNumber", "systemVersion"],
      "keys or their order: %r" % list(root))
check(root.get("selectedRanges") == ["{1, 2}", "{30, 0}"], "selectedRanges %r" % root.get("selectedRanges"))
check(type(root.get("scrollbarPosition")) is float and root["scrollbarPosition"] == 0.625, "scrollbarPosition")
check(type(root.get("speed")) is float and root["speed"] == 4.0, "speed must be a real 4.0: %r" % root.get("speed"))
check(root.get("windowFrame") == "{{12, 34}, {1280, 720}}", "windowFrame %r" % root.get("windowFrame"))
check(type(root.get("fileFormatNumber")) is int and root["fileFormatNumber"] == 5, "fileFormatNumber")
check(type(root.get("appVersion")) is str and root["appVersion"], "appVersion")
check(type(root.get("appBuildNumber")) is int, "appBuildNumber must be an integer")
check(type(root.get("systemVersion")) is str, "systemVersion")

items = root.get("bookmarks")
check(isinstance(items, list) and len(items) == 2, "two bookmark items")
if isinstance(items, list) and len(items) == 2:
    by_locations = {item.get("locations"): item for item in items}
    check(set(by_locations) == {"3, 20", "9"}, "locations %r" % list(by_locations))
    for item in items:
        check(list(item) == ["data", "locations"], "item keys %r" % list(item))
        check(isinstance(item.get("data"), bytes), "data must be data")
        archive = plistlib.loads(item["data"]) if isinstance(item.get("data"), bytes) else {}
        check(archive.get("$archiver") == "NSKeyedArchiver", "archive kind")
        objects = archive.get("$objects", [])
        top = archive.get("$top", {}).get("root")
        bookmark = objects[top.data] if isinstance(top, plistlib.UID) and top.data < len(objects) else {}
        check(set(bookmark) == {"name", "type", "$class"}, "bookmark keys %r" % bookmark)
        classes = objects[bookmark["$class"].data] if "$class" in bookmark else {}
        check(classes.get("$classname") == "OVBookmark", "bookmark class %r" % classes)
        check(bookmark.get("type") == 0, "type 0")

extended = root.get("extendedMetadata", {})
check(list(extended) == ["bookmarkNames", "attachmentNames", "director", "producer", "performers"],
      "extendedMetadata keys %r" % list(extended))
check(extended.get("bookmarkNames") == ["Same", "Other", "Same"], "bookmarkNames %r" % extended.get("bookmarkNames"))
check(extended.get("attachmentNames") == ["photo.png"], "attachmentNames %r" % extended.get("attachmentNames"))
check(extended.get("performers") == ["Ann", "Bo"], "performers")

if problems:
    print("\n".join(problems))
    sys.exit(1)
