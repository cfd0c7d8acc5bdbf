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


def picture(width, height, family, body):
    """A side picture: the family's tile at the picture's size with the drawing on it."""
    light, dark = COLOURS[family]
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
            f'viewBox="0 0 {width} {height}"><defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">'
            f'<stop offset="0" stop-color="{light}"/><stop offset="1" stop-color="{dark}"/>'
            f'</linearGradient></defs>'
            f'<rect x="1.5" y="1.5" width="{width - 3}" height="{height - 3}" rx="10" fill="url(#g)" '
            f'stroke="{dark}" stroke-width="3"/>' + body + '</svg>\n')


LINE = 'fill="none" stroke="#fff" stroke-width="5" stroke-linecap="round" stroke-linejoin="round"'
THIN = 'fill="none" stroke="#fff" stroke-width="3" stroke-linecap="round" stroke-linejoin="round"'


def message_picture():
    """"3dispmsg": a message popping up on the screen, its sign and lines of text, with an OK
    button under them; for the message task's wizard."""
    dark = COLOURS["mail"][1]
    return picture(96, 96, "mail",
                   f'<path fill="#fff" d="M14 20h68v50H14z"/>'
                   f'<path fill="{dark}" opacity="0.35" d="M14 20h68v9H14z"/>'
                   f'<circle fill="{dark}" cx="29" cy="45" r="9"/>'
                   f'<path fill="none" stroke="#fff" stroke-width="3.5" stroke-linecap="round" d="M29 40v5"/>'
                   f'<circle fill="#fff" cx="29" cy="50.5" r="2"/>'
                   f'<path fill="none" stroke="{dark}" stroke-width="3" stroke-linecap="round" '
                   f'd="M44 39h28M44 46h28M44 53h18"/>'
                   f'<rect x="54" y="59" width="20" height="7" rx="2" fill="none" stroke="{dark}" stroke-width="2"/>'
                   f'<path fill="#fff" d="M26 69l-6 15 20-15z"/>')


def program_picture():
    """"3startprg": a program's window with the start arrow before it and a clock that starts
    it; for the program task's wizard."""
    dark = COLOURS["command"][1]
    return picture(96, 96, "command",
                   f'<path {LINE} d="M12 16h60v46H12zM12 27h60"/>'
                   f'<circle fill="#fff" cx="19" cy="21.5" r="2"/><circle fill="#fff" cx="26" cy="21.5" r="2"/>'
                   f'<path fill="#fff" d="M32 34l20 11-20 11z"/>'
                   f'<circle fill="#fff" cx="68" cy="68" r="18"/>'
                   f'<path fill="none" stroke="{dark}" stroke-width="4" stroke-linecap="round" '
                   f'stroke-linejoin="round" d="M68 57v11l8 5"/>')


def script_picture():
    """"3scripting": a script's page of steps, its lines ticked off in turn, with the gear that
    works through them; for the script wizard."""
    dark = COLOURS["task"][1]
    teeth = "".join(f'<rect x="63" y="51" width="8" height="10" rx="1.5" fill="#fff" '
                    f'transform="rotate({a} 67 68)"/>' for a in range(0, 360, 45))
    return picture(96, 96, "task",
                   f'<path fill="#fff" d="M16 10h38l12 12v50H16z"/>'
                   f'<path fill="none" stroke="{dark}" stroke-width="3" stroke-linejoin="round" d="M54 10v12h12"/>'
                   f'<path fill="none" stroke="{dark}" stroke-width="3" stroke-linecap="round" stroke-linejoin="round" '
                   f'd="M22 28l3 3 5-6M22 40l3 3 5-6M35 29h20M35 41h20M35 53h12M23 53h4"/>'
                   + teeth +
                   f'<circle fill="#fff" cx="67" cy="68" r="13"/>'
                   f'<circle fill="{dark}" cx="67" cy="68" r="5"/>')


def schedule_picture():
    """"scheduling": a calendar leaf with the day ringed and the clock of its time; for the
    window that changes a user's schedule of a task."""
    dark = COLOURS["date"][1]
    days = "".join(f'<rect x="{20 + 13 * c}" y="{44 + 11 * r}" width="8" height="6" rx="1" fill="{dark}" '
                   f'opacity="0.55"/>' for r in range(4) for c in range(5) if (r, c) != (1, 2))
    return picture(144, 104, "date",
                   f'<path fill="#fff" d="M12 22h74v72H12z"/>'
                   f'<path fill="{dark}" d="M12 22h74v14H12z" opacity="0.45"/>'
                   f'<path {THIN} d="M28 14v14M70 14v14"/>'
                   + days +
                   f'<circle fill="none" stroke="{dark}" stroke-width="3" cx="50" cy="58" r="8"/>'
                   f'<circle fill="#fff" cx="106" cy="64" r="26"/>'
                   f'<circle fill="none" stroke="{dark}" stroke-width="3" cx="106" cy="64" r="21"/>'
                   f'<path fill="none" stroke="{dark}" stroke-width="4" stroke-linecap="round" '
                   f'stroke-linejoin="round" d="M106 50v14l10 6"/>')


def splash_picture():
    """"splash": the program's start-up picture, shown through the splash window's outline (a
    lamp at the top left over a wide body narrowing to a foot): the lamp lit, the program's
    clock and its name on a light ground, room in the lower part for the version line."""
    light, dark = COLOURS["task"]
    rays = "".join(f'<path stroke="#e0a21c" stroke-width="4" stroke-linecap="round" '
                   f'd="M88 {8 - 0}v-6" transform="rotate({a} 88 34)"/>' for a in range(-60, 61, 30))
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="480" height="309" viewBox="0 0 480 309">'
            f'<defs><radialGradient id="b" cx="240" cy="142" r="250" gradientUnits="userSpaceOnUse">'
            f'<stop offset="0" stop-color="#f4fbfb"/><stop offset="0.7" stop-color="#d3ecec"/>'
            f'<stop offset="1" stop-color="{light}"/></radialGradient>'
            f'<linearGradient id="g" x1="0" y1="0" x2="0" y2="1">'
            f'<stop offset="0" stop-color="{light}"/><stop offset="1" stop-color="{dark}"/></linearGradient></defs>'
            f'<rect width="480" height="309" fill="url(#b)"/>'
            # the lamp
            f'<circle cx="88" cy="34" r="22" fill="#ffd866" stroke="#e0a21c" stroke-width="4"/>' + rays +
            # the program's clock on its tile
            f'<rect x="96" y="74" width="104" height="104" rx="20" fill="url(#g)" stroke="{dark}" stroke-width="4"/>'
            f'<circle fill="none" stroke="#fff" stroke-width="8" cx="148" cy="126" r="30"/>'
            f'<path fill="none" stroke="#fff" stroke-width="8" stroke-linecap="round" stroke-linejoin="round" '
            f'd="M148 108v18l13 9"/>'
            # the name, and a line under it
            f'<text x="220" y="138" font-family="DejaVu Sans, Liberation Sans, sans-serif" font-size="58" '
            f'font-weight="bold" fill="{dark}">Orvane</text>'
            f'<path fill="none" stroke="{light}" stroke-width="4" stroke-linecap="round" d="M222 152h190"/>'
            # the foot
            f'<path fill="url(#g)" d="M60 232C120 214 200 214 300 226V309H60z"/>'
            '</svg>\n')


def about_picture():
    """"about": the about box's picture: the program's clock and name on the tile's colours at
    the top, a light band below for the click text, the version and the build. Drawn in the
    proportions the box has at the desktop's usual font; it keeps them at other fonts."""
    light, dark = COLOURS["task"]
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="440" height="280" viewBox="0 0 440 280">'
            f'<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1">'
            f'<stop offset="0" stop-color="{light}"/><stop offset="1" stop-color="{dark}"/></linearGradient></defs>'
            f'<rect width="440" height="280" fill="#eef7f7"/>'
            f'<path fill="url(#g)" d="M0 0h440v170C320 194 140 194 0 174z"/>'
            f'<circle fill="none" stroke="#fff" stroke-width="9" cx="104" cy="88" r="44"/>'
            f'<path fill="none" stroke="#fff" stroke-width="9" stroke-linecap="round" stroke-linejoin="round" '
            f'd="M104 62v26l19 12"/>'
            f'<text x="172" y="106" font-family="DejaVu Sans, Liberation Sans, sans-serif" font-size="52" '
            f'font-weight="bold" fill="#fff">Orvane</text>'
            f'<path fill="none" stroke="#fff" stroke-width="3" stroke-linecap="round" d="M174 122h218"/>'
            '</svg>\n')


PICTURES = {"3hand": birthday_picture, "3dispmsg": message_picture, "3startprg": program_picture,
            "3scripting": script_picture, "scheduling": schedule_picture, "splash": splash_picture,
            "about": about_picture}


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
