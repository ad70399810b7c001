"""Writes and inspects test drawings with ezdxf, the independent reader.

  drawings.py tagged OUT        a drawing with tagged entities, another
                                application's xdata and a part dictionary
  drawings.py minimal OUT       header and entities only
  drawings.py r12 OUT           an R12 drawing as old programs write it: no
                                handles, owners, block records or objects;
                                a line and a polyline tagged $10
  drawings.py r14 OUT           an R14 drawing whose xrecord holds 1000-range
                                data before its xdata
  drawings.py writer NAME OUT   a small drawing written by another program:
                                pstoedit-r12, pstoedit-r14 or gdal; exit
                                status 3 when the program is not installed
  drawings.py xdict OUT         a tagged line whose extension dictionary
                                holds an xrecord; prints the line's handle
  drawings.py large OUT COUNT   COUNT lines, circles, polylines and texts;
                                a fifth tagged, some with OTHERAPP xdata
  drawings.py parts CASE OUT    a drawing for the parts tool (see PARTS);
                                prints its objects' handles by name
  drawings.py picture CASE OUT  a drawing for a row of the parts tool's
                                picture table (see PICTURES)
  drawings.py ink PNG           the number of pixels of PNG that are not
                                white
  drawings.py probe PNG BOX...  for each pixel box X0,Y0,X1,Y1, the colour
                                of its pixel farthest from white, as
                                #RRGGBB ("white" when all are)
  drawings.py encoded VER OUT   a TEXT and an MTEXT of characters past
                                ASCII on such a layer, in version VER (R2000
                                writes ANSI_1252, R2018 UTF-8); prints their
                                handles and texts as JSON
  drawings.py texts IN          JSON of the texts and layers of IN's TEXT and
                                MTEXT entities, read with ezdxf's recover,
                                which decodes \\U+XXXX escapes
  drawings.py shapes OUT         one entity of each type the host moves, and
                                an ELLIPSE, which it does not; prints their
                                handles by type as JSON
  drawings.py place IN OUT OP ARG...
                                IN with ezdxf's own transform of every
                                model-space entity but the ELLIPSE: OP is
                                move DX DY DZ, rotate DEG X Y, scale F X Y
                                or mirror X1 Y1 X2 Y2
  drawings.py geometry IN       JSON of the geometry of IN's model-space
                                entities by type, as ezdxf reads it
  drawings.py segments IN       JSON of the lines and arcs of IN's model
                                space, sorted, with the pieces ezdxf makes
                                of each polyline in their place
  drawings.py dump IN           JSON of what ezdxf reads in IN (see dump())
  drawings.py read IN           reads IN, prints the seconds it took

Run it with the system python3 that python3-ezdxf installs into.
"""
import json
import math
import sys
import time

import ezdxf
from ezdxf.lldxf.tagger import ascii_tags_loader

import png_pixels


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


def _write_lines(path, lines):
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def r12(path):
    # Blocks in R12's own names, a block an insert uses, xdata under
    # registered applications, a polyline's vertices, and text in paper
    # space.
    _write_lines(path, [
        "0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1009",
        "9", "$DWGCODEPAGE", "3", "ANSI_1252", "0", "ENDSEC",
        "0", "SECTION", "2", "TABLES",
        "0", "TABLE", "2", "LAYER", "70", "2",
        "0", "LAYER", "2", "0", "70", "0", "62", "7", "6", "CONTINUOUS",
        "0", "LAYER", "2", "PIPES", "70", "0", "62", "1", "6", "CONTINUOUS",
        "0", "ENDTAB",
        "0", "TABLE", "2", "APPID", "70", "3",
        "0", "APPID", "2", "ACAD", "70", "0",
        "0", "APPID", "2", "$10", "70", "0",
        "0", "APPID", "2", "OTHERAPP", "70", "0",
        "0", "ENDTAB", "0", "ENDSEC",
        "0", "SECTION", "2", "BLOCKS",
        "0", "BLOCK", "8", "0", "2", "$MODEL_SPACE", "70", "0",
        "10", "0.0", "20", "0.0", "30", "0.0", "3", "$MODEL_SPACE",
        "0", "ENDBLK", "8", "0",
        "0", "BLOCK", "67", "1", "8", "0", "2", "$PAPER_SPACE", "70", "0",
        "10", "0.0", "20", "0.0", "30", "0.0", "3", "$PAPER_SPACE",
        "0", "ENDBLK", "67", "1", "8", "0",
        "0", "BLOCK", "8", "0", "2", "VALVE", "70", "0",
        "10", "0.0", "20", "0.0", "30", "0.0", "3", "VALVE",
        "0", "CIRCLE", "8", "0", "10", "0.0", "20", "0.0", "30", "0.0",
        "40", "1.0",
        "0", "ENDBLK", "8", "0", "0", "ENDSEC",
        "0", "SECTION", "2", "ENTITIES",
        "0", "LINE", "8", "PIPES", "10", "0.0", "20", "0.0", "30", "0.0",
        "11", "10.0", "21", "0.0", "31", "0.0",
        "1001", "$10", "1000", "partA", "1070", "7",
        "1001", "OTHERAPP", "1002", "{", "1040", "2.5", "1002", "}",
        "0", "POLYLINE", "8", "PIPES", "66", "1", "10", "0.0", "20", "0.0",
        "30", "0.0", "70", "0",
        "1001", "$10", "1000", "partA",
        "0", "VERTEX", "8", "PIPES", "10", "0.0", "20", "5.0", "30", "0.0",
        "0", "VERTEX", "8", "PIPES", "10", "5.0", "20", "5.0", "30", "0.0",
        "0", "VERTEX", "8", "PIPES", "10", "5.0", "20", "9.0", "30", "0.0",
        "0", "SEQEND", "8", "PIPES",
        "0", "INSERT", "8", "0", "2", "VALVE", "10", "10.0", "20", "0.0",
        "30", "0.0",
        "0", "TEXT", "67", "1", "8", "0", "10", "1.0", "20", "1.0",
        "30", "0.0", "40", "2.5", "1", "title",
        "0", "ENDSEC", "0", "EOF"])


def r14(path):
    _write_lines(path, [
        "0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1014",
        "9", "$HANDSEED", "5", "30", "0", "ENDSEC",
        "0", "SECTION", "2", "ENTITIES",
        "0", "LINE", "5", "20", "100", "AcDbEntity", "8", "0",
        "100", "AcDbLine", "10", "0.0", "20", "0.0", "30", "0.0",
        "11", "1.0", "21", "1.0", "31", "0.0",
        "1001", "OTHERAPP", "1000", "kept",
        "0", "ENDSEC",
        "0", "SECTION", "2", "OBJECTS",
        "0", "DICTIONARY", "5", "C", "330", "0", "100", "AcDbDictionary",
        "3", "DSTYLE", "350", "D",
        "0", "XRECORD", "5", "D", "330", "C", "100", "AcDbXrecord",
        "1000", "DSTYLE", "1002", "{", "1070", "278", "70", "44",
        "1002", "}", "1001", "OTHERAPP", "1070", "1",
        "0", "ENDSEC", "0", "EOF"])


def writer(name, path):
    """Runs another program on a small input of its own kind."""
    import os
    import shutil
    import subprocess
    import tempfile
    program = "ogr2ogr" if name == "gdal" else "pstoedit"
    if shutil.which(program) is None:
        sys.exit(3)
    folder = tempfile.mkdtemp()
    if name == "gdal":
        source = os.path.join(folder, "in.geojson")
        with open(source, "w") as f:
            json.dump({"type": "FeatureCollection", "features": [
                {"type": "Feature", "properties": {},
                 "geometry": {"type": "LineString",
                              "coordinates": [[0, 0], [10, 5], [20, 5]]}},
                {"type": "Feature", "properties": {},
                 "geometry": {"type": "Polygon", "coordinates": [
                     [[0, 0], [4, 0], [4, 4], [0, 0]]]}}]}, f)
        command = ["ogr2ogr", "-f", "DXF", path, source]
    else:
        source = os.path.join(folder, "in.ps")
        with open(source, "w") as f:
            f.write("%!PS\nnewpath 100 100 moveto 200 100 lineto 200 200 "
                    "lineto closepath stroke\nnewpath 300 300 50 0 360 arc "
                    "stroke\n/Helvetica findfont 12 scalefont setfont 100 "
                    "400 moveto (Hello) show\nshowpage\n")
        driver = "dxf" if name == "pstoedit-r12" else "dxf_14"
        command = ["pstoedit", "-q", "-f", driver, source, path]
    result = subprocess.run(command, capture_output=True, text=True)
    shutil.rmtree(folder)
    if result.returncode != 0:
        sys.exit(result.stderr)


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


def _record(parts, tag, members):
    record = parts.add_xrecord(tag)
    record.reset([(102, "{MORVAT_PART")] +
                 [(330, e.dxf.handle) for e in members] + [(102, "}")])
    return record


def parts_drawing(case, path):
    """A drawing for one row of the parts tool's table: "clean" has three
    parts and nothing to report; every other case holds its finding once;
    "r12" is r12()'s drawing, a part with no part records."""
    if case == "r12":
        r12(path)
        print(json.dumps({}))
        return
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    for app in ("$A", "$B", "$C", "OTHERAPP"):
        doc.appids.new(app)
    l1 = msp.add_line((0, 0), (10, 0))
    l2 = msp.add_line((0, 5), (10, 5))
    names = {"L1": l1.dxf.handle, "L2": l2.dxf.handle}
    l1.set_xdata("$A", [(1000, "first")])
    parts = doc.rootdict.add_new_dict("PVNR_HANDLE")
    if case == "clean":
        circle = msp.add_circle((5, 10), 3)
        poly = msp.add_lwpolyline([(20, 0), (30, 0), (30, 10)])
        arc = msp.add_arc((25, 20), 4, 0, 180)
        text = msp.add_text("pump", dxfattribs={"insert": (0, 20),
                                                "height": 2})
        point = msp.add_point((28, 12))
        # Of no part: drawn in grey.
        msp.add_polyline2d([(12, 2), (18, 2), (18, 8)])
        msp.add_mtext("caf\u00e9\\Pline", dxfattribs={"insert": (12, 18)})
        l2.set_xdata("$A", [(1000, "second")])
        circle.set_xdata("$A", [(1070, 1)])
        for e in (poly, arc):
            e.set_xdata("OTHERAPP", [(1000, "kept")])
            e.set_xdata("$B", [(1000, "b")])
        text.set_xdata("$C", [(1000, "tagged by hand")])
        point.set_xdata("OTHERAPP", [(1040, 0.5)])
        _record(parts, "$A", [l1, l2, circle])
        _record(parts, "$B", [poly, arc])
        names.update(C1=circle.dxf.handle, P1=poly.dxf.handle,
                     A1=arc.dxf.handle, T1=text.dxf.handle)
    elif case == "record-malformed":
        record = parts.add_xrecord("$A")
        record.reset([(102, "{MORVAT_PART"), (1, l1.dxf.handle),
                      (102, "}")])
        names["R"] = record.dxf.handle
    elif case == "dictionary-malformed":
        doc.rootdict.remove("PVNR_HANDLE")
        names["R"] = doc.rootdict.add_xrecord("PVNR_HANDLE").dxf.handle
    elif case == "tag-not-registered":
        l2.set_xdata("$UNLISTED", [(1000, "x")])
    elif case == "record-key-not-registered":
        _record(parts, "$A", [l1])
        _record(parts, "$GONE", [])
    elif case == "record-member-missing":
        l2.set_xdata("$A", [(1000, "second")])
        _record(parts, "$A", [l1, l2])
        msp.delete_entity(l2)
    elif case == "record-member-untagged":
        l2.set_xdata("$B", [(1000, "b")])
        _record(parts, "$A", [l1, l2])
    elif case == "member-not-recorded":
        l2.set_xdata("$A", [(1000, "copied")])
        _record(parts, "$A", [l1])
    elif case == "two-tags":
        l1.set_xdata("$B", [(1000, "second tag")])
    elif case == "tag-case":
        # One tag in three spellings: the host folds ASCII case.
        doc.appids.new("$ab")
        l1.discard_xdata("$A")
        l1.set_xdata("$AB", [(1000, "upper")])
        l2.set_xdata("$ab", [(1000, "lower")])
        _record(parts, "$aB", [l1, l2])
    else:
        sys.exit("unknown case " + case)
    doc.saveas(path)
    print(json.dumps(names))


def picture_drawing(case, path):
    """Two POINTs of part $F at (0, 0) and (100, 100) make the picture's
    view; each case adds, after them unless said, what its row looks for."""
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    for app in ("$F", "$A"):
        doc.appids.new(app)
    tagged = []
    if case == "insert":
        # Placed at (50, 50), turned a quarter, twice its size; drawn in
        # the part of the insert.
        valve = doc.blocks.new("VALVE", base_point=(5, 0))
        valve.add_line((5, 0), (15, 0))
        valve.add_circle((15, 0), 5)
        tagged.append(msp.add_blockref("valve", (50, 50), dxfattribs={
            "xscale": 2, "yscale": 2, "rotation": 90}))
    for corner in ((0, 0), (100, 100)):
        msp.add_point(corner).set_xdata("$F", [(1000, "frame")])
    if case == "insert":
        pass
    elif case == "nested":
        inner = doc.blocks.new("INNER")
        inner.add_line((0, 0), (10, 0))
        outer = doc.blocks.new("OUTER")
        outer.add_blockref("INNER", (0, 0), dxfattribs={"rotation": 90})
        outer.add_blockref("INNER", (0, 0))
        msp.add_blockref("OUTER", (20, 20), dxfattribs={"xscale": 3,
                                                       "yscale": 3})
        # Inserts itself: drawn to a depth, not forever.
        loop = doc.blocks.new("LOOP")
        loop.add_line((0, 0), (1, 1))
        loop.add_blockref("LOOP", (0, 0))
        msp.add_blockref("LOOP", (80, 80))
    elif case == "blowup":
        # Each block inserts the one below it ten times: ten million lines
        # from one insert, cut short.
        doc.blocks.new("L0").add_line((0, 0), (1, 0))
        for level in range(1, 8):
            block = doc.blocks.new("L%d" % level)
            for i in range(10):
                block.add_blockref("L%d" % (level - 1), (0, i * 0.001))
        msp.add_blockref("L7", (50, 50))
    elif case == "dimension":
        msp.add_linear_dim(base=(50, 60), p1=(20, 40), p2=(80, 40),
                           override={"dimtxt": 3}).render()
    elif case == "ellipse":
        msp.add_ellipse((50, 50), major_axis=(30, 0), ratio=0.5)
    elif case == "spline":
        msp.add_open_spline([(10, 10), (30, 90), (70, 90), (90, 10)],
                            degree=3)
        spline = msp.add_spline(fit_points=[(10, 30), (50, 45), (90, 30)])
        spline.control_points = []
        spline.knots = []
    elif case == "hatch":
        hatch = msp.add_hatch()
        hatch.paths.add_polyline_path([(10, 10), (40, 10), (40, 40),
                                       (10, 40)], is_closed=True)
        edges = hatch.paths.add_edge_path()
        edges.add_line((90, 10), (60, 10))
        edges.add_arc((75, 10), 15, 0, 180, ccw=False)
    elif case == "faces":
        msp.add_polyline3d([(10, 60, 0), (90, 60, 5), (90, 90, 10)])
        msp.add_3dface([(10, 10), (40, 10), (40, 40), (10, 40)])
        msp.add_solid([(60, 10), (90, 10), (60, 40), (90, 40)])
    elif case == "bulges":
        msp.add_lwpolyline([(10, 40, 0.5), (90, 40, 0)], format="xyb")
        msp.add_polyline2d([(10, 60, 0, 0, -0.5), (90, 60, 0, 0, 0)],
                           format="xyseb")
    elif case == "text":
        msp.add_text("MMMM", dxfattribs={"insert": (50, 50), "height": 10,
                                         "rotation": 90})
        msp.add_mtext("{\\fArial|b1;\\H2.0x;\\C1;AB}\\PCD\\~EF\\S1^2;",
                      dxfattribs={"insert": (10, 90), "char_height": 5})
    elif case == "outliers":
        # A part in the middle; stray objects of no part far away, and
        # numbers no drawing means.
        tagged.append(msp.add_line((20, 20), (80, 80)))
        msp.add_point((1e6, 1e6))
        msp.add_line((0, 0), (1e15, 0))
        msp.add_circle((50, 50), 1e308)
        msp.add_text("x", dxfattribs={"insert": (50, 50), "height": 1e308,
                                      "rotation": 1e308})
    elif case == "spaces":
        tagged.append(doc.layout("Layout1").add_line((0, 0), (10, 10)))
        block = doc.blocks.new("HELD")
        tagged.append(block.add_line((0, 0), (10, 10)))
        tagged.append(block.add_circle((0, 0), 1))
        tagged.append(msp.add_line((20, 50), (80, 50)))
    elif case == "many":
        # Twelve parts, $P0 of one member to $P11 of twelve.
        for part in range(12):
            doc.appids.new("$P%d" % part)
            for member in range(part + 1):
                line = msp.add_line((5 + 8 * part, 10 + 6 * member),
                                    (9 + 8 * part, 10 + 6 * member))
                line.set_xdata("$P%d" % part, [(1000, "m")])
    else:
        sys.exit("unknown case " + case)
    for e in tagged:
        e.set_xdata("$A", [(1000, "tagged")])
    doc.saveas(path)


def _pixels(path):
    """Decodes a PNG as rsvg-convert writes it: rows of (r, g, b),
    transparent as white."""
    width, size, lines = png_pixels.png_rows(path)
    rows = []
    for line in lines:
        pixels = []
        for x in range(width):
            pixel = line[x * size:x * size + size]
            opaque = size == 3 or pixel[3] > 0
            pixels.append(tuple(pixel[:3]) if opaque else (255, 255, 255))
        rows.append(pixels)
    return rows


def ink(path):
    print(sum(1 for row in _pixels(path) for p in row if p != (255, 255, 255)))


def probe(path, boxes):
    rows = _pixels(path)
    out = []
    for box in boxes:
        x0, y0, x1, y1 = (int(round(float(v))) for v in box.split(","))
        best, colour = 0, "white"
        for y in range(max(y0, 0), min(y1, len(rows) - 1) + 1):
            for x in range(max(x0, 0), min(x1, len(rows[y]) - 1) + 1):
                p = rows[y][x]
                far = sum(255 - c for c in p)
                if far > best:
                    best, colour = far, "#%02X%02X%02X" % p
        out.append(colour)
    print(json.dumps(out))


# Each encoding's texts hold what the other cannot: the euro sign of the
# code page beside Latin letters, and CJK beside them in UTF-8.
ENCODED = {
    "R2000": {"layer": "Lay\u00e9r \u20ac", "text": "h\u00e9llo \u20ac",
              "mtext": "m\u00e9tre \u00b5 \u20ac"},
    "R2018": {"layer": "Lay\u00e9r \u4e2d", "text": "plain \u00e9 \u4e2d\u6587",
              "mtext": "\u00e9t\u00e9 \u6587\u5b57"},
}


def encoded(version, path):
    doc = ezdxf.new(version)
    texts = ENCODED[version]
    doc.layers.add(texts["layer"])
    msp = doc.modelspace()
    text = msp.add_text(texts["text"], dxfattribs={"layer": texts["layer"]})
    mtext = msp.add_mtext(texts["mtext"], dxfattribs={"layer": texts["layer"]})
    doc.saveas(path)
    print(json.dumps({"text": text.dxf.handle, "mtext": mtext.dxf.handle,
                      "texts": texts}))


def texts(path):
    from ezdxf import recover
    doc, _ = recover.readfile(path)
    out = {}
    for e in doc.modelspace():
        if e.dxftype() == "TEXT":
            out[e.dxf.handle] = [e.dxf.text, e.dxf.layer]
        elif e.dxftype() == "MTEXT":
            out[e.dxf.handle] = [e.text, e.dxf.layer]
    print(json.dumps(out))


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


def shapes(path):
    doc = ezdxf.new("R2000")
    msp = doc.modelspace()
    block = doc.blocks.new("VALVE")
    block.add_circle((0, 0), 1)
    block.add_line((-1, 0), (1, 0))
    doc.appids.new("$10")
    out = {}
    line = msp.add_line((1, 2, 0), (4, 6, 1), dxfattribs={"layer": "PIPES"})
    line.set_xdata("$10", [(1000, "pipe"), (1010, (1.0, 2.0, 0.0))])
    for e in (
            line,
            msp.add_circle((3, 3), 2),
            msp.add_arc((5, 5), 3, 10, 100),
            msp.add_point((7, 8, 2)),
            msp.add_lwpolyline([(0, 0, 0, 0, 0.5), (4, 0, 0, 0, 0),
                                (4, 3, 0, 0, -0.25)], format="xyseb",
                               close=True, dxfattribs={"elevation": 1.5}),
            msp.add_text("PUMP", dxfattribs={"insert": (1, 1), "height": 2.5,
                                             "rotation": 30}),
            msp.add_mtext("VALVE", dxfattribs={"insert": (2, 3),
                                               "char_height": 1.5,
                                               "rotation": 15}),
            msp.add_blockref("VALVE", (10, 10), dxfattribs={
                "xscale": 2, "yscale": 3, "zscale": 1, "rotation": 45}),
            msp.add_ellipse((0, 0), (5, 0), 0.5)):
        out[e.dxftype()] = e.dxf.handle
    old = msp.add_polyline2d([(0, 0), (2, 0), (2, 2)], close=False)
    old.vertices[1].dxf.bulge = 0.75
    out["POLYLINE"] = old.dxf.handle
    doc.saveas(path)
    print(json.dumps(out))


def place(source, path, op, args):
    from ezdxf.math import Matrix44
    a = [float(x) for x in args]
    if op == "move":
        m = Matrix44.translate(a[0], a[1], a[2])
    elif op == "rotate":
        m = Matrix44.chain(Matrix44.translate(-a[1], -a[2], 0),
                           Matrix44.z_rotate(math.radians(a[0])),
                           Matrix44.translate(a[1], a[2], 0))
    elif op == "scale":
        m = Matrix44.chain(Matrix44.translate(-a[1], -a[2], 0),
                           Matrix44.scale(a[0], a[0], a[0]),
                           Matrix44.translate(a[1], a[2], 0))
    else:
        phi = math.atan2(a[3] - a[1], a[2] - a[0])
        m = Matrix44.chain(Matrix44.translate(-a[0], -a[1], 0),
                           Matrix44.z_rotate(-phi), Matrix44.scale(1, -1, 1),
                           Matrix44.z_rotate(phi),
                           Matrix44.translate(a[0], a[1], 0))
    doc = ezdxf.readfile(source)
    for e in doc.modelspace():
        if e.dxftype() != "ELLIPSE":
            e.transform(m)
    doc.saveas(path)


def _xyz(v):
    return [round(c, 9) + 0.0 for c in v]


def geometry(path):
    """In world coordinates, so that an entity drawn from the other side of
    its plane (ezdxf mirrors that way) compares with one that is not."""
    from ezdxf.math import Vec3
    doc = ezdxf.readfile(path)
    out = {}
    for e in doc.modelspace():
        t = e.dxftype()
        if t in ("CIRCLE", "ARC", "LWPOLYLINE", "POLYLINE", "TEXT"):
            ocs = e.ocs()
            turn = 1 if ocs.uz.z > 0 else -1
        if t == "LINE":
            g = {"start": _xyz(e.dxf.start), "end": _xyz(e.dxf.end)}
        elif t == "CIRCLE":
            g = {"center": _xyz(ocs.to_wcs(e.dxf.center)),
                 "radius": e.dxf.radius}
        elif t == "ARC":
            g = {"center": _xyz(ocs.to_wcs(e.dxf.center)),
                 "radius": e.dxf.radius,
                 "ends": sorted([_xyz(e.start_point), _xyz(e.end_point)])}
        elif t == "POINT":
            g = {"at": _xyz(e.dxf.location)}
        elif t == "LWPOLYLINE":
            z = e.dxf.elevation
            g = {"points": [_xyz(ocs.to_wcs((x, y, z))) + [b * turn]
                            for x, y, b in e.get_points("xyb")],
                 "closed": e.closed}
        elif t == "POLYLINE":
            z = e.dxf.elevation.z
            g = {"points": [_xyz(ocs.to_wcs((v.dxf.location.x,
                                             v.dxf.location.y, z))) +
                            [v.dxf.bulge * turn] for v in e.vertices],
                 "closed": e.is_closed}
        elif t == "TEXT":
            direction = ocs.to_wcs(Vec3.from_deg_angle(e.dxf.rotation))
            g = {"at": _xyz(ocs.to_wcs(e.dxf.insert)),
                 "height": e.dxf.height,
                 "direction": _xyz(direction)}
        elif t == "MTEXT":
            g = {"at": _xyz(e.dxf.insert), "height": e.dxf.char_height,
                 "direction": _xyz(Vec3.from_deg_angle(e.get_rotation()))}
        elif t == "INSERT":
            g = {"matrix": [round(c, 9) + 0.0 for c in e.matrix44()]}
        elif t == "ELLIPSE":
            g = {"center": _xyz(e.dxf.center),
                 "major": _xyz(e.dxf.major_axis)}
        else:
            continue
        out[t] = g
    print(json.dumps(out, sort_keys=True))


def segments(path):
    doc = ezdxf.readfile(path)
    out = []
    for e in doc.modelspace():
        pieces = (e.virtual_entities()
                  if e.dxftype() in ("LWPOLYLINE", "POLYLINE") else [e])
        for p in pieces:
            if p.dxftype() == "LINE":
                out.append(["LINE", sorted([_xyz(p.dxf.start),
                                            _xyz(p.dxf.end)])])
            elif p.dxftype() == "ARC":
                out.append(["ARC", _xyz(p.ocs().to_wcs(p.dxf.center)),
                            round(p.dxf.radius, 9),
                            sorted([_xyz(p.start_point),
                                    _xyz(p.end_point)])])
    print(json.dumps(sorted(out)))


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
    out = {"acadver": doc.dxfversion,
           "handseed": doc.header.get("$HANDSEED", None),
           "appids": [a.dxf.name for a in doc.appids],
           "objects": {}, "rootdict": doc.rootdict.dxf.handle}
    for e in doc.entitydb.values():
        if not e.is_alive:
            continue
        info = {"type": e.dxftype(),
                "owner": e.dxf.get("owner", None),
                "xdata": []}
        if e.dxf.is_supported("layer"):
            info["layer"] = e.dxf.get("layer", None)
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
    out["spaces"] = {"model": [e.dxf.handle for e in doc.modelspace()],
                     "paper": [e.dxf.handle
                               for e in doc.layouts.active_layout()]}
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
    elif verb == "r12":
        r12(sys.argv[2])
    elif verb == "r14":
        r14(sys.argv[2])
    elif verb == "writer":
        writer(sys.argv[2], sys.argv[3])
    elif verb == "large":
        large(sys.argv[2], int(sys.argv[3]))
    elif verb == "parts":
        parts_drawing(sys.argv[2], sys.argv[3])
    elif verb == "picture":
        picture_drawing(sys.argv[2], sys.argv[3])
    elif verb == "ink":
        ink(sys.argv[2])
    elif verb == "probe":
        probe(sys.argv[2], sys.argv[3:])
    elif verb == "encoded":
        encoded(sys.argv[2], sys.argv[3])
    elif verb == "texts":
        texts(sys.argv[2])
    elif verb == "shapes":
        shapes(sys.argv[2])
    elif verb == "place":
        place(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:])
    elif verb == "geometry":
        geometry(sys.argv[2])
    elif verb == "segments":
        segments(sys.argv[2])
    elif verb == "dump":
        dump(sys.argv[2])
    elif verb == "read":
        read(sys.argv[2])
    else:
        sys.exit("unknown verb " + verb)
