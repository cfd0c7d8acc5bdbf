"""A list's output commands, from the popup of a row of the holidays list: Print All shows the
preview and prints to a PDF file through the print dialog; the exports to HTML and CSV hold the
records; the to-do list's graph window draws its Priority column. And a report of the report program, previewed and
printed to a PDF file."""

import csv
import datetime
import html.parser
import os
import subprocess

from harness import check, control, read_png, wait_for
from journeys.common import exit_program, first_start, menu, open_popup
from journeys.records import add_todo, click_row, row_with

HOLIDAYS = [("Founders Day", datetime.date(2031, 3, 14)), ("Harvest Fair", datetime.date(2031, 9, 2))]


def stand_in_opener(s):
    """An xdg-open on PATH that records the files it is handed (the exports open in the browser)."""
    bin_dir = os.path.join(s.tmp, "desktop-bin")
    os.makedirs(bin_dir, exist_ok=True)
    log = os.path.join(s.tmp, "opened.txt")
    with open(os.path.join(bin_dir, "xdg-open"), "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\n' \"$1\" >> '%s'\n" % log)
    os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)
    s.env["PATH"] = bin_dir + ":" + s.env["PATH"]
    return log


def holidays_list(s):
    """ov98 on a new data folder with the holidays entered (beside the default ones); returns the
    program, its frame and the date texts the list shows for the entered holidays."""
    p, frame = first_start(s)
    menu(s, p, frame, "Tools", "Holidays")
    p.window(procedure="BrowseHolidays")
    for name, day in HOLIDAYS:
        s.click_control(p.window(procedure="BrowseHolidays", shot=False), "?Insert")
        form = p.window(procedure="UpdateHolidays", shot=False)
        s.type_into(form, "?HOL:HolidayDate", day.strftime("%m/%d/%Y"))
        s.type_into(form, "?HOL:Holiday", name)
        s.key("Tab")
        s.click_control(p.window(procedure="UpdateHolidays", shot=False), "?OK")
        p.gone(procedure="UpdateHolidays")
    shown = {name: row_with(p, "BrowseHolidays", name)["cells"][0].strip() for name, _ in HOLIDAYS}
    return p, frame, shown


def output_command(s, p, *path):
    """Right-clicks the first holiday's row and chooses Output > ... from its popup."""
    row = row_with(p, "BrowseHolidays", HOLIDAYS[0][0])
    click_row(s, row)
    s.click(row["x"] + row["w"] // 2, row["y"] + row["h"] // 2, button=3)
    seen = set()
    for name in path:
        popup = open_popup(p, seen)
        seen.add(popup["winid"])
        item = control(popup, name)
        check(item["visible"] and item["enabled"], "popup item %r is not visible and enabled" % name)
        s.click(item["x"] + item["w"] // 2, item["y"] + item["h"] // 2)


def item_starting(popup, text):
    for c in popup["controls"]:
        if c.get("text", "").replace("&", "").startswith(text):
            return c["text"].replace("&", "")
    raise AssertionError("no popup item starting %r in %s" % (text, [c.get("text") for c in popup["controls"]]))


def answer_box(s, p, contains):
    box = wait_for(lambda: [w for w in p.windows() if w["class"] == "QMessageBox" and
                            any(contains in c.get("text", "") for c in w["controls"])], 15,
                   what="a message box saying %r" % contains)[0]
    s.shoot_window(box)
    s.key("Return", window=box)
    wait_for(lambda: not [w for w in p.windows() if w["winid"] == box["winid"]], 5, what="the box to close")
    return box


def page_drawn(shot):
    """Whether the top left of a preview's page area holds dark pixels (texts, lines)."""
    width, height, rows = read_png(shot)
    dark = sum(1 for row in rows[height // 10: height // 2]
               for px in row[width // 20: 3 * width // 5] if max(px) < 100)
    return dark > 200


def print_all(s):
    """Print All: the preview shows the page; its Print goes to the print dialog, which saves the
    printout as a PDF file (the system has no printer) that holds the holidays."""
    p, frame, shown = holidays_list(s)
    output_command(s, p, "Output", "Print All")
    preview = p.window(cls="QDialog", title="Holidays", timeout=15)
    check(control(preview, "1 page(s)"), "the preview counts one page")
    # The page is drawn: the picture of the preview's page area is not one colour.
    shot = s.shoot_window(preview)
    check(page_drawn(shot), "the preview's page shows its texts and lines")
    s.click_control(preview, "Print")
    dialog = p.window(cls="QPrintDialog", timeout=15)
    s.activate(dialog)
    s.key("Return")
    box = answer_box(s, p, "The printout was saved as ")
    saved = [c["text"] for c in box["controls"] if "saved as" in c.get("text", "")][0]
    pdf = saved.split("saved as ", 1)[1].rstrip(".")
    check(os.path.isfile(pdf), "the printout %s exists" % pdf)
    text = subprocess.run(["pdftotext", "-layout", pdf, "-"], stdout=subprocess.PIPE, check=True,
                          timeout=20).stdout.decode("utf-8", "replace")
    for name, _ in HOLIDAYS:
        line = [ln for ln in text.splitlines() if name in ln]
        check(line, "the printout lists %r:\n%s" % (name, text))
        check(shown[name] in line[0], "the printout gives %r the date the list shows, %r: %r" % (name, shown[name], line[0]))
    count = len(s.records("HOLIDAYS"))
    check("%d Records" % count in text, "the printout counts the %d holidays:\n%s" % (count, text))
    exit_program(s, p)


class _Table(html.parser.HTMLParser):
    """The cells of an HTML file's table rows."""

    def __init__(self):
        super().__init__()
        self.rows, self._row, self._cell = [], None, None

    def handle_starttag(self, tag, attrs):
        if tag == "tr":
            self._row = []
        elif tag in ("td", "th") and self._row is not None:
            self._cell = ""

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self._cell is not None:
            self._row.append(self._cell.strip())
            self._cell = None
        elif tag == "tr" and self._row is not None:
            self.rows.append(self._row)
            self._row = None

    def handle_data(self, data):
        if self._cell is not None:
            self._cell += data


def export_to(s, p, command, title, path, opened_log):
    output_command(s, p, "Output", command)
    dialog = p.window(cls="QFileDialog", timeout=15)
    check(dialog["title"].startswith(title), "the file dialog asks %r: %r" % (title, dialog["title"]))
    s.activate(dialog)
    s.key("ctrl+a")
    s.type(path)
    s.key("Return")
    p.gone(title=dialog["title"])
    wait_for(lambda: os.path.exists(opened_log) and path in open(opened_log).read(), 15,
             what="the export %s handed to the desktop's opener" % path)


def check_rows(kind, rows, count, shown):
    """An export's rows: one per holiday record, the entered ones with the list's date text."""
    check(len(rows) == count, "the %s export has a row per holiday (%d): %s" % (kind, count, rows))
    for name, date in shown.items():
        found = [r for r in rows if len(r) >= 2 and r[1] == name]
        check(found and found[0][0] == date, "the %s row of %r has the date %r: %s" % (kind, name, date, found))


def exports(s):
    """Export to HTML and to ASCII: the files, read by a parser, hold a row per holiday."""
    opened = stand_in_opener(s)
    p, frame, shown = holidays_list(s)
    count = len(s.records("HOLIDAYS"))
    row = row_with(p, "BrowseHolidays", HOLIDAYS[0][0])
    s.click(row["x"] + row["w"] // 2, row["y"] + row["h"] // 2, button=3)
    popup = open_popup(p, set())
    output = control(popup, "Output")
    s.click(output["x"] + output["w"] // 2, output["y"] + output["h"] // 2)
    sub = open_popup(p, {popup["winid"]})
    html_command, csv_command = item_starting(sub, "Export to HTML"), item_starting(sub, "Export to ASCII")
    s.key("Escape")
    s.key("Escape")
    wait_for(lambda: not [w for w in p.windows() if w["class"] == "QMenu"], 5, what="the popup to close")

    html_file = os.path.join(s.home, "holidays.html")
    export_to(s, p, html_command, "Select HTML Export File", html_file, opened)
    table = _Table()
    with open(html_file, encoding="utf-8", errors="replace") as f:
        table.feed(f.read())
    check(table.rows and table.rows[0] == ["Date", "Description"], "the HTML table's head: %s" % table.rows[:1])
    check_rows("HTML", table.rows[1:], count, shown)

    csv_file = os.path.join(s.home, "holidays.csv")
    export_to(s, p, csv_command, "Select ASCII Export File", csv_file, opened)
    with open(csv_file, encoding="utf-8", errors="replace", newline="") as f:
        rows = [r for r in csv.reader(f) if r]
    # The file opens with the count of its records.
    check(rows and rows[0] == ["# Records=%07d" % count], "the CSV's first line counts %d records: %s" % (count, rows[:1]))
    rows = rows[1:]
    check(rows and [c.strip() for c in rows[0]] == ["Date", "Description"], "the CSV header: %s" % rows[:1])
    check_rows("CSV", [[c.strip() for c in r] for r in rows[1:]], count, shown)
    exit_program(s, p)


def open_graph(s):
    """ov98 with three to-do items, and Graph on a column of the to-do list that allows one
    (Priority, Category) from a row's popup; returns the program and the graph window."""
    p, frame = first_start(s)
    for text, priority in (("Water the garden", 2), ("File the invoices", 5), ("Call the plumber", 5)):
        add_todo(s, p, frame, text, priority)
    row = row_with(p, "BrowseToDoList", "Water the garden")
    click_row(s, row)
    # The popup's graph is of the column under the mouse: the row is right-clicked from its left
    # edge rightwards until the popup offers a graph.
    item = None
    for x in range(row["x"] + 10, row["x"] + row["w"], 25):
        s.click(x, row["y"] + row["h"] // 2, button=3)
        popup = open_popup(p, set())
        output = control(popup, "Output")
        s.click(output["x"] + output["w"] // 2, output["y"] + output["h"] // 2)
        sub = open_popup(p, {popup["winid"]})
        candidate = control(sub, item_starting(sub, "Graph on"))
        if candidate["enabled"]:
            item = candidate
            break
        s.key("Escape")
        s.key("Escape")
        wait_for(lambda: not [w for w in p.windows() if w["class"] == "QMenu"], 5, what="the popup to close")
    check(item is not None, "a column of the to-do list offers Graph on")
    check(item["text"].replace("&", "") in ("Graph on Priority", "Graph on Category"),
          "the graph is of a column that allows one: %r" % item["text"])
    s.click(item["x"] + item["w"] // 2, item["y"] + item["h"] // 2)
    return p, p.window(procedure="ExploreGraph", timeout=15)


def graph(s):
    """Graph on a column of the to-do list that allows one (Priority, Category) opens the graph
    window, and it draws bars."""
    p, w = open_graph(s)
    image = control(w, "?Graph")
    shot = s.shoot("graph", 0, (image["x"], image["y"], image["w"], image["h"]))
    width, height, rows = read_png(shot)
    colours = {px for row in rows[::3] for px in row[::3]}
    check(len(colours) > 3, "the graph draws bars and texts, not a blank area: %d colours" % len(colours))
    check(w["title"].startswith("2 Categories"), "the rows fall into the two priorities: %r" % w["title"])
    s.click_control(w, "Close")
    p.gone(procedure="ExploreGraph")
    exit_program(s, p)


def exit_with_graph_open(s):
    """File > Exit while the graph window is open ends the program as it does without it: the
    process ends at once with exit code 0, and the clean-exit mark is written."""
    p, _ = open_graph(s)
    menu(s, p, p.window(procedure="Main", shot=False), "File", "Exit")
    code = p.wait_exit(10)
    check(code == 0, "ov98 ended with exit code %s" % code)
    mark = open(os.path.join(s.data, "MUTEX.TMP")).read()
    check("Normal Exit=True" in mark, "the clean-exit mark is written: %r" % mark)


def report_program_preview(s):
    """Reports > Categories: the report program asks whether to preview, shows the page in its
    preview and prints it through the print dialog to a PDF file that lists the task categories."""
    p, frame = first_start(s)
    menu(s, p, frame, "Tools", "Task Categories")
    for name in ("Garden", "Invoices"):
        s.click_control(p.window(procedure="BrowseTaskCategories", shot=False), "?Insert")
        form = p.window(procedure="UpdateCategories", shot=False)
        s.type_into(form, "?CAT:Category", name)
        s.key("Tab")
        s.click_control(p.window(procedure="UpdateCategories", shot=False), "?OK")
        p.gone(procedure="UpdateCategories")
    s.click_control(p.window(procedure="BrowseTaskCategories", shot=False), "?Close")
    categories = sorted(r["Category"] for r in s.records("CATEGORIES"))
    check("Garden" in categories and "Invoices" in categories, "the categories were added: %s" % categories)
    menu(s, p, frame, "Reports", "Categories")
    rpts = s.attach("ov_rpts", timeout=20)
    answer_box(s, rpts, "PREVIEW")  # Yes, the default
    preview = rpts.window(cls="QDialog", title="Category List", timeout=20)
    check(control(preview, "1 page(s)"), "the preview counts one page")
    shot = s.shoot_window(preview)
    check(page_drawn(shot), "the preview's page shows its texts and lines")
    s.click_control(preview, "Print")
    dialog = rpts.window(cls="QPrintDialog", timeout=15)
    s.activate(dialog)
    s.key("Return")
    box = answer_box(s, rpts, "The report was saved as ")
    saved = [c["text"] for c in box["controls"] if "saved as" in c.get("text", "")][0]
    pdf = saved.split("saved as ", 1)[1].rstrip(".")
    text = subprocess.run(["pdftotext", "-layout", pdf, "-"], stdout=subprocess.PIPE, check=True,
                          timeout=20).stdout.decode("utf-8", "replace")
    check("Category List" in text, "the printout has its title:\n%s" % text)
    for c in categories:
        check(c in text, "the printout lists the category %r:\n%s" % (c, text))
    exit_program(s, p)
