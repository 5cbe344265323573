"""A peer for the keyed-archive interoperability test, using only Python's plistlib.

  check FILE  reads a binary keyed archive written by Orvane and checks its structure and content
  write FILE  writes a binary keyed archive of an object of the system's own classes
"""
import plistlib
import sys
from plistlib import UID


def resolve(objects, ref, depth=0):
    assert isinstance(ref, UID), ref
    assert depth < 64
    value = objects[ref.data]
    if ref.data == 0:
        return None
    if not isinstance(value, dict):
        return value
    entry = objects[value["$class"].data]
    assert list(entry.keys()) and isinstance(entry["$classname"], str), entry
    assert entry["$classes"][0] == entry["$classname"] and entry["$classes"][-1] == "NSObject", entry
    name = entry["$classname"]
    if name == "NSArray":
        return [resolve(objects, item, depth + 1) for item in value["NS.objects"]]
    if name == "NSDictionary":
        keys = [resolve(objects, key, depth + 1) for key in value["NS.keys"]]
        values = [resolve(objects, item, depth + 1) for item in value["NS.objects"]]
        return dict(zip(keys, values))
    fields = {"$classname": name}
    for key, item in value.items():
        if key != "$class":
            fields[key] = resolve(objects, item, depth + 1) if isinstance(item, UID) else item
    return fields


def check(path):
    with open(path, "rb") as f:
        data = f.read()
    assert data.startswith(b"bplist00"), data[:8]
    archive = plistlib.loads(data)
    assert archive["$archiver"] == "NSKeyedArchiver", archive
    assert archive["$version"] == 100000, archive
    assert list(archive["$top"].keys()) == ["root"], archive["$top"]
    assert isinstance(archive["$top"]["root"], UID)
    objects = archive["$objects"]
    assert objects[0] == "$null", objects[0]
    class_entries = [o for o in objects if isinstance(o, dict) and "$classname" in o]
    names = [entry["$classname"] for entry in class_entries]
    assert len(names) == len(set(names)), names

    root = resolve(objects, archive["$top"]["root"])
    expected = {
        "bookmarks": [
            {"$classname": "OVBookmark", "name": "Intro", "type": 0},
            {"$classname": "OVBookmark", "name": None, "type": 0},
        ],
        "Version": 2,
        "ratio": 0.75,
        "enabled": True,
        "bytes": b"\x00\x01\xff",
        "text": "Gr\u00fc\u00dfe \U0001F600",
        "colour": {"$classname": "NSColor", "NSColorSpace": 2, "NSRGB": b"1 0.5 0\x00"},
    }
    assert root == expected, root


def write(path):
    objects = [
        "$null",
        {"name": UID(2), "type": 7, "$class": UID(3)},
        "Written by Python \u2013 \u65e5\u672c",
        {"$classname": "OVBookmark", "$classes": ["OVBookmark", "NSObject"]},
    ]
    archive = {
        "$archiver": "NSKeyedArchiver",
        "$version": 100000,
        "$top": {"root": UID(1)},
        "$objects": objects,
    }
    with open(path, "wb") as f:
        plistlib.dump(archive, f, fmt=plistlib.FMT_BINARY, sort_keys=False)


if __name__ == "__main__":
    {"check": check, "write": write}[sys.argv[1]](sys.argv[2])
