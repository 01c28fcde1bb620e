#!/usr/bin/env python3
"""Writes the bus-call fuzzer's seed inputs: call sequences a client really makes, and some it
should not, in the byte form BusCallFuzz.cpp decodes. Run it after changing that form."""
import os
import struct

MEMBERS = ["ActiveDocument", "Components", "Nets", "NetClasses", "Vias", "Texts", "Count", "Item",
           "Name", "Pins", "Number", "PositionX", "PositionY", "Net", "NetClass", "Selected",
           "TextString", "Delete", "View", "ShowSelection", "Unit", "LayerCount", "LayerName",
           "AddText", "Save", "Quit"]
GET, PUT, METHOD = 0, 1, 2
SPECIAL = {0.0: 0, 1.0: 2, float("inf"): 9, float("nan"): 11}


def member(name):
    if name in MEMBERS:
        return bytes([1, MEMBERS.index(name)])
    raw = name.encode()
    return bytes([0, len(raw)]) + raw


def ident(i):
    return bytes([i]) if i < 240 else bytes([240]) + struct.pack("<Q", i)


def wrap(tag, payload, raw=False):
    return bytes([tag | (0x80 if raw else 0)]) + payload


def empty():
    return wrap(0, b"")


def boolean(b):
    return wrap(2, bytes([int(b)]))


def int32(i):
    return wrap(4, bytes([0, i]) if 0 <= i < 256 else bytes([200]) + struct.pack("<i", i))


def number(x):
    if x in SPECIAL:
        return wrap(5, bytes([SPECIAL[x]]))
    return wrap(5, bytes([200]) + struct.pack("<d", x))


def string(s):
    return wrap(6, member(s))


def handle(i):
    return wrap(7, ident(i))


def nested(value):
    return wrap(10, value)


def values(*vs):
    return bytes([len(vs)]) + b"".join(vs)


def ids(*xs):
    return bytes([len(xs)]) + b"".join(ident(x) for x in xs)


def invoke(obj, name, kind=GET, args=values(), released=ids(), client=0):
    return bytes([client, 0, kind]) + ident(obj) + member(name) + args + released


def enumerate_(obj, count, client=0):
    return bytes([client, 1]) + ident(obj) + bytes([0, count])


def next_(walk, count, client=0):
    return bytes([client, 2]) + ident(walk) + bytes([0, count])


def release(*xs, client=0):
    return bytes([client, 3]) + ids(*xs)


def any_call(method_shape, *vs, client=0):
    return bytes([client, method_shape | 0x40]) + values(*vs)


def add_text(doc, text, x, y):
    return invoke(doc, "AddText", METHOD, values(string(text), int32(1), number(x), number(y),
                                                 number(15.0), number(1.0), int32(0), number(0.0),
                                                 int32(0)))


SEEDS = {
    # Attach, walk the components in batches, read a member, let some go.
    "walk-components": [invoke(1, "ActiveDocument"), invoke(2, "Components"),
                        enumerate_(3, 5), next_(9, 3), invoke(10, "Name"), release(4, 5),
                        invoke(4, "Name"), invoke(11, "Pins"), enumerate_(13, 64),
                        invoke(14, "PositionX", args=values(int32(0)))],
    # A label run's calls: unit, a pin's place, a new text; then save.
    "add-and-save": [invoke(1, "ActiveDocument"), invoke(2, "Unit"), invoke(2, "LayerCount"),
                     invoke(2, "LayerName", args=values(int32(1))), add_text(2, "{GND}", 10.0, 20.0),
                     add_text(2, "{VCC}", 12.5, -3.25), invoke(1, "Save", METHOD)],
    "add-infinity": [invoke(1, "ActiveDocument"), add_text(2, "{INF}", float("inf"), 0.0)],
    "add-nan": [invoke(1, "ActiveDocument"), add_text(2, "{NAN}", 0.0, float("nan"))],
    # Remove every text, the locked one refuses; a deleted text is gone for good.
    "delete-texts": [invoke(1, "ActiveDocument"), invoke(2, "Texts"), enumerate_(3, 64),
                     invoke(4, "Delete", METHOD), invoke(5, "Delete", METHOD),
                     invoke(6, "Delete", METHOD), invoke(4, "TextString"),
                     invoke(3, "Count"), invoke(3, "Item", args=values(int32(1))),
                     invoke(1, "Save")],
    # Locate: select by position and name, then show.
    "select-and-show": [invoke(1, "ActiveDocument"), invoke(2, "Components"),
                        invoke(3, "Item", args=values(int32(2))),
                        invoke(4, "Selected", PUT, values(boolean(True))),
                        invoke(3, "Item", args=values(string("U1"))), invoke(2, "Nets"),
                        invoke(6, "Item", args=values(int32(1))),
                        invoke(7, "Selected", PUT, values(boolean(True))),
                        invoke(2, "View"), invoke(8, "ShowSelection", METHOD)],
    # Two clients whose ids must stay apart.
    "two-clients": [invoke(1, "ActiveDocument", client=0), invoke(1, "ActiveDocument", client=1),
                    invoke(2, "Unit", client=1), invoke(3, "Unit", client=0),
                    release(2, client=0), invoke(3, "Nets", client=1)],
    # What a client should never send.
    "malformed": [invoke(77, "Name"), invoke(1, "ActiveDocument", 7),
                  invoke(1, "NoSuchMember"), next_(1, 3), enumerate_(1, 3),
                  invoke(1, "ActiveDocument", args=values(handle(1), nested(nested(empty())))),
                  any_call(0, int32(1)), any_call(4), any_call(5, string("x")),
                  invoke(1, "Quit", METHOD, values(int32(1))), release(1, 2**64 - 1)],
}

if __name__ == "__main__":
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "bus_calls")
    os.makedirs(folder, exist_ok=True)
    for name, calls in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(b"".join(calls))
