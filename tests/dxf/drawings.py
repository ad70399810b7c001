"""Writes and inspects test drawings with ezdxf, the independent reader.

  drawings.py tagged OUT        a drawing with tagged entities, another
                                application's xdata and a part dictionary
  drawings.py minimal OUT       header and entities only
  drawings.py xdict OUT         a tagged line whose extension dictionary
                                holds an xrecord; prints the line's handle
  drawings.py large OUT COUNT   COUNT lines, circles, polylines and texts;
                                a fifth tagged, some with OTHERAPP xdata
  drawings.py dump IN           JSON of what ezdxf reads in IN (see dump())
  drawings.py read IN           reads IN, prints the seconds it took

Run it with the system python3 that python3-ezdxf installs into.
"""
import json
import sys
import time

import ezdxf
from ezdxf.lldxf.tagger import ascii_tags_loader


def tagged(path):
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    for app in ("$10", "OTHERAPP"):
        doc.appids.new(app)
    line = msp.add_line((0, 0), (0, 10))
    poly = msp.add_lwpolyline([(0, 0), (5, 0), (5, 5), (0, 5)])
    circle = msp.add_circle((3, 3), 2)
    text = msp.add_text("caf\u00e9 \u03a9")
    line.set_xdata("$10", [(1000, "partA"), (1070, 7)])
    # Every xdata group code a drawing may hold.
    line.set_xdata("OTHERAPP", [
        (1002, "{"), (1000, "s\u20ac\u03a9"), (1005, circle.dxf.handle),
        (1010, (1.0, 2.0, 3.0)), (1040, 2.5), (1071, 100000), (1002, "}"),
        (1003, "0"), (1004, b"\x00\xff\x7f"), (1004, bytes(range(127))),
        (1011, (4.0, 5.0, 6.0)), (1012, (0.5, 0.0, -1.0)),
        (1013, (0.0, 0.0, 1.0)), (1041, 3.25), (1042, 0.125), (1070, -2)])
    poly.set_xdata("$10", [(1000, "partA"), (1070, 7)])
    poly.set_xdata("OTHERAPP", [(1000, "on the polyline")])
    circle.set_xdata("OTHERAPP", [(1040, 0.1), (1070, -3)])
    text.set_xdata("OTHERAPP", [(1003, "0")])

    root = doc.rootdict
    parts = root.add_new_dict("PVNR_HANDLE")
    record = parts.add_xrecord("$10")
    record.reset([(102, "{MORVAT_PART"), (330, line.dxf.handle),
                  (330, poly.dxf.handle), (102, "}")])
    # A dictionary that owns its entries (360), as other applications keep.
    other = root.add_new_dict("OTHERAPP_DATA", hard_owned=True)
    settings = other.add_xrecord("settings")
    settings.reset([(1, "mode"), (40, 0.25), (10, (1.0, 2.0, 3.0)),
                    (70, 3), (310, b"\x01\xab")])
    doc.saveas(path)


def xdict(path):
    doc = ezdxf.new("R2000")
    doc.appids.new("$10")
    line = doc.modelspace().add_line((0, 0), (0, 10))
    line.set_xdata("$10", [(1000, "partA")])
    record = line.new_extension_dict().add_xrecord("DATA")
    record.reset([(1, "kept"), (70, 7)])
    doc.saveas(path)
    print(line.dxf.handle)


def minimal(path):
    lines = ["0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1015",
             "9", "$HANDSEED", "5", "100", "0", "ENDSEC",
             "0", "SECTION", "2", "ENTITIES",
             "0", "LINE", "5", "20", "8", "0", "10", "0.0", "20", "0.0",
             "30", "0.0", "11", "1.0", "21", "1.0", "31", "0.0",
             "1001", "UNLISTED", "1000", "kept",
             "0", "CIRCLE", "8", "0", "10", "0.0", "20", "0.0", "30", "0.0",
             "40", "1.0",
             "0", "ENDSEC", "0", "EOF"]
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def large(path, count):
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    doc.appids.new("$10")
    doc.appids.new("OTHERAPP")
    for i in range(count):
        kind = i % 4
        if kind == 0:
            e = msp.add_line((i, 0), (i, 10), dxfattribs={"layer": "0"})
        elif kind == 1:
            e = msp.add_circle((i, 5), 2.5)
        elif kind == 2:
            e = msp.add_lwpolyline([(i, 0), (i + 5, 0), (i + 5, 5)])
        else:
            e = msp.add_text("part %d" % i, dxfattribs={"insert": (i, 20)})
        if i % 5 == 0:
            e.set_xdata("$10", [(1000, "part"), (1070, i % 1000)])
            if i % 15 == 0:
                e.set_xdata("OTHERAPP", [(1000, "note"), (1040, i * 0.5)])
    doc.saveas(path)


def raw_structure(path):
    """Straight from the tag stream, without ezdxf's interpretation:
    handle -> [type, [[code, value], ...]], the table names and the block
    names in file order, and the first object of the OBJECTS section."""
    with open(path, "rb") as f:
        data = f.read().decode("cp1252")
    objects, tables, blocks, duplicates = {}, [], [], []
    first_object = None
    section = None
    current = None
    expect_section_name = False
    for tag in ascii_tags_loader(_Lines(data)):
        code, value = tag.code, tag.value
        if expect_section_name:
            section, expect_section_name = value, False
            continue
        if code == 0:
            if value == "SECTION":
                expect_section_name = True
            current = None if value == "SECTION" else [value, []]
            continue
        if current is None:
            continue
        current[1].append([code, value])
        if code == 2 and current[0] == "TABLE" and len(current[1]) == 1:
            tables.append(value)
        if code == 2 and current[0] == "BLOCK":
            blocks.append(value)
        first = not any(c in (5, 105) for c, _ in current[1][:-1])
        if code in (5, 105) and first:
            if value.upper() in objects:
                duplicates.append(value.upper())
            objects[value.upper()] = current
            if section == "OBJECTS" and first_object is None:
                first_object = value.upper()
    return {"objects": objects, "tables": tables, "blocks": blocks,
            "first_object": first_object, "duplicates": duplicates}


class _Lines:
    """Lines of the text with LF endings, whatever the file used."""

    def __init__(self, text):
        self._lines = iter(line + "\n" for line in text.splitlines())

    def readline(self):
        return next(self._lines, "")


def _json_value(value):
    """Points as lists, binary data as upper-case hexadecimal text."""
    if isinstance(value, tuple):
        return list(value)
    if isinstance(value, bytes):
        return value.hex().upper()
    return value


def dump(path):
    """What a CAD program would see: every handle, its owner, the APPID
    table, xdata, dictionaries and xrecords, and the raw tags by handle."""
    doc = ezdxf.readfile(path)
    out = {"acadver": doc.dxfversion, "handseed": doc.header["$HANDSEED"],
           "appids": [a.dxf.name for a in doc.appids],
           "objects": {}, "rootdict": doc.rootdict.dxf.handle}
    for e in doc.entitydb.values():
        if not e.is_alive:
            continue
        info = {"type": e.dxftype(),
                "owner": e.dxf.get("owner", None),
                "xdata": []}
        if e.xdata:
            for app in e.xdata.data:
                info["xdata"].append(
                    [app, [[t.code, _json_value(t.value)]
                           for t in e.xdata.get(app)[1:]]])
        if e.dxftype() in ("DICTIONARY", "ACDBDICTIONARYWDFLT"):
            info["entries"] = {k: (v if isinstance(v, str) else v.dxf.handle)
                               for k, v in e.items()}
            info["hard_owner"] = bool(e.dxf.get("hard_owned", 0))
        if e.has_extension_dict:
            info["xdict"] = e.get_extension_dict().dictionary.dxf.handle
        if e.dxftype() == "XRECORD":
            info["data"] = [[t.code, _json_value(t.value)] for t in e.tags]
        out["objects"][e.dxf.handle] = info
    auditor = doc.audit()
    out["audit"] = {"errors": len(auditor.errors), "fixes": len(auditor.fixes)}
    out["layouts"] = {layout.name: layout.block_record_handle
                      for layout in doc.layouts}
    out["raw"] = raw_structure(path)
    print(json.dumps(out))


def read(path):
    start = time.perf_counter()
    ezdxf.readfile(path)
    print("%.3f" % (time.perf_counter() - start))


if __name__ == "__main__":
    verb = sys.argv[1]
    if verb == "tagged":
        tagged(sys.argv[2])
    elif verb == "xdict":
        xdict(sys.argv[2])
    elif verb == "minimal":
        minimal(sys.argv[2])
    elif verb == "large":
        large(sys.argv[2], int(sys.argv[3]))
    elif verb == "dump":
        dump(sys.argv[2])
    elif verb == "read":
        read(sys.argv[2])
    else:
        sys.exit("unknown verb " + verb)
