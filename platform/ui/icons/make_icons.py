#!/usr/bin/env python3
"""Draws the programs' icons as SVG files beside this script.

Every icon is one white symbol on a rounded tile whose colour tells the family (commands, dates,
mail, keys, tasks, states), on a 48-unit grid with 4-unit strokes, so that the set reads alike at
16, 22, 32 and 48 pixels. Run it again after changing a symbol; the SVG files are committed.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

COLOURS = {
    "command": ("#3f7fd0", "#2a5d9f"),
    "danger": ("#d0463f", "#9f2f2a"),
    "good": ("#3aa55a", "#287a40"),
    "date": ("#e08a2c", "#b0661a"),
    "mail": ("#7b5cc4", "#583f98"),
    "key": ("#8a6a3c", "#634a27"),
    "task": ("#2a9d9d", "#1c7373"),
    "neutral": ("#7a8290", "#565d68"),
    "busy": ("#e0a21c", "#a87410"),
}

S = 'fill="none" stroke="#fff" stroke-width="4" stroke-linecap="round" stroke-linejoin="round"'
F = 'fill="#fff"'

GLYPHS = {
    "check": f'<path {S} d="M13 25l7 7 15-16"/>',
    "cross": f'<path {S} d="M15 15l18 18M33 15L15 33"/>',
    "exit": f'<path {S} d="M22 12h-8v24h8M20 24h16M30 17l7 7-7 7"/>',
    "up": f'<path {S} d="M24 36V13M14 22l10-10 10 10"/>',
    "down": f'<path {S} d="M24 12v23M14 26l10 10 10-10"/>',
    "top": f'<path {S} d="M13 11h22M24 37V18M15 26l9-9 9 9"/>',
    "bottom": f'<path {S} d="M13 37h22M24 11v19M15 22l9 9 9-9"/>',
    "drop": f'<path {F} d="M13 19h22L24 32z"/>',
    "restore": f'<path {S} d="M12 18h18v16H12zM18 18v-6h18v16h-6"/>',
    "disk": f'<path {S} d="M12 12h20l4 4v20H12z"/><path {F} d="M17 12h12v9H17z"/><path {S} d="M17 36v-8h14v8"/>',
    "folder": f'<path {S} d="M10 16v18h28V19H24l-3-4h-9z"/>',
    "help": f'<path {S} d="M18 18a6 6 0 1 1 8 6c-2 1-2 2-2 5"/><circle {F} cx="24" cy="35" r="2.5"/>',
    "mail": f'<path {S} d="M10 15h28v19H10zM10 16l14 11 14-11"/>',
    "calendar": f'<path {S} d="M11 14h26v22H11zM11 21h26M18 10v7M30 10v7"/><path {F} d="M16 25h5v4h-5zM27 25h5v4h-5z"/>',
    "clock": f'<circle {S} cx="24" cy="24" r="13"/><path {S} d="M24 16v8l6 4"/>',
    "clockbusy": f'<circle {S} cx="24" cy="24" r="13"/><path {S} d="M24 16v8l-7 3"/>',
    "clockoff": f'<circle {S} cx="24" cy="24" r="13"/><path {S} d="M24 16v8M13 35l22-22"/>',
    "datetime": f'<path {S} d="M9 13h20v18H9zM9 19h20"/><circle fill="#fff" stroke="#fff" stroke-width="1" cx="32" cy="31" r="9"/><path fill="none" stroke="#b0661a" stroke-width="3" stroke-linecap="round" d="M32 26v5l3 2"/>',
    "key": f'<circle {S} cx="17" cy="24" r="6"/><path {S} d="M23 24h15M33 24v6M38 24v5"/>',
    "keydown": f'<path {S} d="M11 13h26v16H11z"/><path {S} d="M24 31v8M19 35l5 5 5-5"/>',
    "card": f'<path {S} d="M10 13h28v22H10z"/><circle {F} cx="19" cy="21" r="3.5"/><path {S} d="M14 30c1-3 9-3 10 0M28 20h6M28 26h6"/>',
    "bolt": f'<path {F} d="M27 8L13 27h9l-3 13 16-20h-9z"/>',
    "star": f'<path {F} d="M24 8l4 12 12 4-12 4-4 12-4-12-12-4 12-4z"/>',
    "wrench": f'<path {S} d="M30 11a8 8 0 0 0-8 11L12 32l4 4 10-10a8 8 0 0 0 11-8l-5 1-3-3z"/>',
    "wand": f'<path {S} d="M12 36l18-18"/><path {F} d="M33 8l2 5 5 2-5 2-2 5-2-5-5-2 5-2zM15 12l1 3 3 1-3 1-1 3-1-3-3-1 3-1z"/>',
    "play": f'<path {F} d="M17 12l18 12-18 12z"/>',
    "gear": f'<circle {S} cx="24" cy="24" r="6"/><path {S} d="M24 9v5M24 34v5M9 24h5M34 24h5M13 13l4 4M31 31l4 4M13 35l4-4M31 17l4-4"/>',
    "doc": f'<path {S} d="M14 10h14l7 7v21H14z"/><path {S} d="M19 22h10M19 28h10"/>',
    "script": f'<path {S} d="M14 10h20v28H14zM19 17h10M19 23h10M19 29h6"/>',
    "skip": f'<path {F} d="M11 13l12 11-12 11zM24 13l12 11-12 11z"/>',
    "ring": f'<circle {S} cx="24" cy="24" r="11"/>',
    "banned": f'<circle {S} cx="24" cy="24" r="12"/><path {S} d="M16 32l16-16"/>',
    "stop": f'<path {F} d="M18 10h12l8 8v12l-8 8H18l-8-8V18z"/><path fill="none" stroke="#9f2f2a" stroke-width="4" stroke-linecap="round" d="M18 24h12"/>',
    "window": f'<path {S} d="M10 12h28v24H10zM10 18h28"/><path {F} d="M17 32l7-9 7 9z"/>',
    "both": f'<path {S} d="M9 14h18v13H9zM9 15l9 7 9-7"/><path {F} d="M28 24l11 8-11 8z"/>',
    "old": f'<path {S} d="M14 10h14l7 7v21H14z"/><circle {S} cx="24" cy="27" r="6"/><path {S} d="M24 24v3l2 2"/>',
    "chat": f'<path {S} d="M10 12h28v18H22l-8 6v-6h-4z"/>',
}

# name: (glyph, family); the names are those the windows ask for, without ".ico".
ICONS = {
    "ok": ("check", "good"), "done": ("check", "good"),
    "cancel": ("cross", "danger"), "x": ("cross", "danger"), "close": ("exit", "danger"),
    "exit": ("exit", "danger"),
    "up": ("up", "command"), "down": ("down", "command"), "top": ("top", "command"),
    "bottom": ("bottom", "command"), "qvmoveup": ("up", "command"), "qvmovedn": ("down", "command"),
    "qvmovebg": ("top", "command"), "qvmovend": ("bottom", "command"), "drop": ("drop", "command"),
    "restore": ("restore", "command"), "save": ("disk", "command"), "disk": ("disk", "command"),
    "open": ("folder", "command"), "pick": ("folder", "command"), "help": ("help", "command"),
    "mail": ("mail", "mail"), "msgtask": ("chat", "mail"), "msgwiz16": ("chat", "mail"),
    "0msgwz2": ("chat", "mail"),
    "cal": ("calendar", "date"), "cal2": ("calendar", "date"), "calendar": ("calendar", "date"),
    "datecard": ("calendar", "date"), "timedate": ("datetime", "date"),
    "busykey": ("key", "key"), "busykey2": ("key", "busy"), "busykey3": ("key", "key"),
    "busykey4": ("key", "busy"), "hotkey4": ("key", "key"), "keydown": ("keydown", "key"),
    "keydownw": ("keydown", "key"),
    "contact": ("card", "mail"), "crdfle09": ("card", "mail"),
    "litebolt": ("bolt", "task"), "fourstar": ("star", "task"), "wrench16": ("wrench", "neutral"),
    "wizard": ("wand", "task"), "scrwiz16": ("wand", "task"), "prgwiz16": ("wand", "command"),
    "zizozuru": ("script", "task"), "taskdoc": ("doc", "task"), "winpyr": ("window", "task"),
    "go": ("play", "good"), "progtsk2": ("gear", "task"), "bothtask": ("both", "task"),
    "old": ("old", "neutral"), "skip": ("skip", "neutral"), "skipped": ("skip", "neutral"),
    "notdone": ("ring", "neutral"), "disabled": ("banned", "neutral"), "stopscr": ("stop", "danger"),
    # tray: idle, busy (two phases) and inactive
    "tray": ("clock", "good"), "traybusy": ("clockbusy", "busy"), "traybus2": ("clock", "busy"),
    "trayoff": ("clockoff", "neutral"),
    # the application
    "orvane": ("clock", "task"), "davavida": ("clock", "task"),
}


# The working icon's seven frames, "wrka" .. "wrkg" while the scheduler waits and "wrkas" ..
# "wrkgs" while a script runs: the gear turns by three sevenths of its 45-degree symmetry a frame,
# so that seven frames make one turn of the picture at an even pace.
for phase, letter in enumerate("abcdefg"):
    angle = phase * 3 * 45 / 7 % 45
    ICONS["wrk" + letter] = ("gear", "task", angle)
    ICONS["wrk" + letter + "s"] = ("gear", "busy", angle)


def tile(family):
    light, dark = COLOURS[family]
    return (f'<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">'
            f'<stop offset="0" stop-color="{light}"/><stop offset="1" stop-color="{dark}"/>'
            f'</linearGradient></defs>'
            f'<rect x="2" y="2" width="44" height="44" rx="9" fill="url(#g)" stroke="{dark}" stroke-width="2"/>')


# The wizards' side pictures: taller than an icon, in the same look (white drawing on a tile of
# the family's colours), drawn at the size their window shows them and scaled with it.
def birthday_picture():
    """"3hand": a hand holding up a wrapped present, confetti above; for the birthday wizard."""
    light, dark = COLOURS["date"]
    line = f'fill="none" stroke="#fff" stroke-width="6" stroke-linecap="round" stroke-linejoin="round"'
    body = (
        f'<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">'
        f'<stop offset="0" stop-color="{light}"/><stop offset="1" stop-color="{dark}"/>'
        f'</linearGradient></defs>'
        f'<rect x="2" y="2" width="156" height="296" rx="14" fill="url(#g)" stroke="{dark}" stroke-width="3"/>'
        # confetti
        f'<path fill="#fff" d="M40 46l4 11 11 4-11 4-4 11-4-11-11-4 11-4zM118 30l3 8 8 3-8 3-3 8-3-8-8-3 8-3z'
        f'M100 78l2.5 6.5 6.5 2.5-6.5 2.5-2.5 6.5-2.5-6.5-6.5-2.5 6.5-2.5z"/>'
        f'<circle fill="#fff" cx="72" cy="38" r="4"/><circle fill="#fff" cx="134" cy="76" r="4"/>'
        f'<circle fill="#fff" cx="24" cy="96" r="3.5"/>'
        f'<path {line} d="M64 70l8 6M132 112l-4 8M22 130l8-2"/>'
        # the present: lid, box, ribbon and bow
        f'<path {line} d="M46 142h68v54H46zM38 126h84v16H38zM80 126v70"/>'
        f'<path {line} d="M80 124c-6-16-28-20-26-6 1 6 14 7 26 6zM80 124c6-16 28-20 26-6-1 6-14 7-26 6z"/>'
        # the hand under it, palm up, the thumb at the box's side
        f'<path fill="#fff" d="M34 294L50 232C44 222 38 212 36 200 34 190 36 182 42 182 48 182 50 190 52 200'
        f'L126 200C134 200 136 208 130 212L112 216 116 218C122 220 120 228 114 228L76 234 72 294z"/>'
        f'<path fill="none" stroke="{dark}" stroke-width="2.5" stroke-linecap="round" d="M88 207h36M84 214h28'
        f'M52 204c4 8 10 12 18 12"/>'
    )
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="160" height="300" viewBox="0 0 160 300">'
            + body + '</svg>\n')


PICTURES = {"3hand": birthday_picture}


def main():
    for name, (glyph, family, *turn) in sorted(ICONS.items()):
        drawn = GLYPHS[glyph]
        if turn and turn[0]:
            drawn = f'<g transform="rotate({turn[0]:.2f} 24 24)">{drawn}</g>'
        body = tile(family) + drawn
        svg = ('<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48">'
               + body + '</svg>\n')
        with open(os.path.join(HERE, name + ".svg"), "w") as f:
            f.write(svg)
    for name, draw in PICTURES.items():
        with open(os.path.join(HERE, name + ".svg"), "w") as f:
            f.write(draw())
    # "blank" keeps an icon's place without a picture (list rows without a mark).
    with open(os.path.join(HERE, "blank.svg"), "w") as f:
        f.write('<svg xmlns="http://www.w3.org/2000/svg" width="48" height="48" viewBox="0 0 48 48"/>\n')


if __name__ == "__main__":
    main()
