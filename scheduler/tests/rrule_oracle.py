#!/usr/bin/python3
"""Compares the scheduler's recurrence rules with python-dateutil's rrule on random tasks.

For every schedule that both define the same way (chosen weekdays; the nth and last weekday of the
month; the last day of the month; semi-monthly without offset; every n minutes, hours, days,
weeks; monthly and yearly on a day that every month has) it checks
  - the chain of next occurrences from an occurrence, as the runner produces them, and
  - rescheduling (back, then forward) to a random moment: the first occurrence after it.
Usage: rrule_oracle.py PATH_TO_OCCURRENCE_PROBE [TASKS] [SEED]
"""
import datetime as dt
import random
import subprocess
import sys

from dateutil.rrule import (DAILY, HOURLY, MINUTELY, MONTHLY, WEEKLY, YEARLY, FR, MO, SA, SU, TH,
                            TU, WE, rrule)

DAY_ZERO = dt.date(1801, 1, 1).toordinal() - 4  # day number 4 is 1 January 1801
WEEKDAYS = [SU, MO, TU, WE, TH, FR, SA]          # the task's Sunday..Saturday flags
CHAIN = 24                                       # next occurrences checked per task


def to_rt(when):
    """A datetime as the runtime's (day number, centiseconds + 1)."""
    date = when.date().toordinal() - DAY_ZERO
    cs = ((when.hour * 60 + when.minute) * 60 + when.second) * 100 + when.microsecond // 10000
    return date, cs + 1


def days_text(chosen):
    return "".join("x" if i in chosen else "-" for i in range(7))


def random_task(rng):
    """(probe fields, rrule arguments, how "after" is decided) of one random task."""
    start = dt.datetime(rng.randint(1990, 2040), rng.randint(1, 12), rng.randint(1, 28),
                        rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59),
                        rng.randint(0, 99) * 10000)
    kind = rng.choice(["weekdays", "dom-weekdays", "nth", "days-of-weeks", "last-day", "semi-1st",
                       "semi-last", "monthly", "yearly", "min", "hou", "day", "wee", "mon", "yea"])
    chosen = sorted(rng.sample(range(7), rng.randint(1, 7)))
    weeks = sorted(rng.sample(range(5), rng.randint(1, 5)))  # 0..3 first..fourth, 4 last
    weeks_text = "".join("x" if i in weeks else "-" for i in range(5))
    unit_spelling = {"min": "Minute(s)", "hou": "HOURS", "day": "day(s)", "wee": "Weeks",
                     "mon": "month(s)", "yea": "Year(s)"}
    if kind == "weekdays":
        return (f"type=DayOfWeek days={days_text(chosen)}",
                dict(freq=DAILY, byweekday=[WEEKDAYS[i] for i in chosen]), "minute", start)
    if kind == "dom-weekdays":
        return (f"type=DayOfMonth days={days_text(chosen)}",
                dict(freq=DAILY, byweekday=[WEEKDAYS[i] for i in chosen]), "minute", start)
    if kind == "nth":
        nths = [w + 1 if w < 4 else -1 for w in weeks]
        return (f"type=DayOfMonth days={days_text(chosen)} weeks={weeks_text}",
                dict(freq=MONTHLY, byweekday=[WEEKDAYS[i](n) for i in chosen for n in nths]),
                "minute", start)
    if kind == "days-of-weeks":
        monthdays = set()
        for w in weeks:
            monthdays |= set(range(-7, 0)) if w == 4 else set(range(7 * w + 1, 7 * w + 8))
        return (f"type=DayOfMonth weeks={weeks_text}",
                dict(freq=MONTHLY, bymonthday=sorted(monthdays)), "minute", start)
    if kind == "last-day":
        return "type=DayOfMonth last=1", dict(freq=MONTHLY, bymonthday=-1), "minute", start
    if kind == "semi-1st":
        return "type=Monthly repeat=1st15", dict(freq=MONTHLY, bymonthday=[1, 15]), "minute", start
    if kind == "semi-last":
        return "type=Monthly repeat=15last", dict(freq=MONTHLY, bymonthday=[15, -1]), "minute", start
    if kind == "monthly":
        return "type=Monthly", dict(freq=MONTHLY), "minute", start
    if kind == "yearly":
        return "type=Yearly", dict(freq=YEARLY), "minute", start
    every = {"min": [1, 2, 5, 15, 45, 90, 1439, 1440, 1500, 10000],
             "hou": [1, 2, 5, 23, 24, 25, 100],
             "day": [1, 2, 3, 7, 10, 30],
             "wee": [1, 2, 3, 5],
             "mon": [1, 2, 3, 6, 12, 13],
             "yea": [1, 2, 4]}[kind]
    n = rng.choice(every)
    freq = {"min": MINUTELY, "hou": HOURLY, "day": DAILY, "wee": WEEKLY, "mon": MONTHLY,
            "yea": YEARLY}[kind]
    after = "exact" if kind in ("min", "hou") else "minute"
    return (f"type=Custom every={n} unit={unit_spelling[kind]}", dict(freq=freq, interval=n),
            after, start)


def is_after(occurrence, moment, rule):
    """The scheduler's "past the reference" test on (date, time) pairs."""
    (d, t), (md, mt) = occurrence, moment
    margin = 0 if rule == "exact" else 6000
    return d > md or (d == md and t > mt + margin)


def main():
    probe = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 600
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 20240611)
    lines, expected = [], []
    for _ in range(count):
        fields, rule_args, after, start = random_task(rng)
        occurrences = [to_rt(o) for o in rrule(dtstart=start, count=60, **rule_args)]
        # The chain: from the first occurrence, as the runner moves the task after each run.
        d, t = occurrences[0]
        lines.append(f"next {fields} date={d} time={t} count={CHAIN}")
        expected.append((fields, " ".join(f"{d}:{t}" for d, t in occurrences[1:CHAIN + 1])))
        # Rescheduling a task that sits at occurrence j to a moment between the start and j + 10.
        j = rng.randint(0, 40)
        d, t = occurrences[j]
        lo, hi = occurrences[0], occurrences[j + 10]
        md = rng.randint(lo[0], hi[0])
        mt = rng.randint(1, 8640000)
        md, mt = min(max((md, mt), lo), hi)
        first = next(o for o in occurrences if is_after(o, (md, mt), after))
        lines.append(f"resched {fields} date={d} time={t} mdate={md} mtime={mt}")
        expected.append((fields + f" from {d}:{t} to moment {md}:{mt}", f"{first[0]}:{first[1]}"))

    run = subprocess.run([probe], input="\n".join(lines) + "\n", capture_output=True, text=True,
                         check=True)
    got = run.stdout.splitlines()
    assert len(got) == len(lines), f"probe answered {len(got)} of {len(lines)} lines"
    failures = [(what, want, have) for (what, want), have in zip(expected, got) if want != have]
    for what, want, have in failures[:15]:
        print(f"MISMATCH {what}\n  rrule: {want}\n  ours:  {have}")
    print(f"{len(lines) - len(failures)} of {len(lines)} checks agree with rrule")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
