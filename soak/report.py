"""The report: the program's figures against the baseline taken once it is warm, the end checks,
and the figures printed (and written with --report)."""

import json

from soak.program import read_state_file

# What "flat" means, final against the warmed-up baseline: margins for a first use that the
# warm-up does not reach and for the heap's own ups and downs. A leak per tick or per box grows
# past these within the minute the test command runs.
BOUNDS = {"handles": 8, "gdi": 16, "windows": 0, "private_kib": 2048}

# What Wine makes GDI objects for the first time the program shows it, and keeps: a box over the
# window (the first probe's boxes, which come before the window shows, leave that to the first box
# after them), the copy menu, a tooltip. In the 64-bit program each adds some 10 to 30 of them
# once, together about 40. And the first reset of a bridge with time away, whose return the
# simulated library announces from a thread of its own: Wine keeps some 1.2 MB after that thread.
# A baseline taken before all of them makes a leak of each.
WARM_KINDS = ("warning box", "fault box", "copy menu", "tooltip", "reset with time away")
# Should one not show, the baseline is taken once the counts have stayed still this long (s).
FLAT_SECONDS = 10
# Seconds between the samples after the baseline (before it, every quiet step is one).
SAMPLE_EVERY = 10


def settled(samples, warmed):
    """Why the last sample can be the baseline: "warm", every one of WARM_KINDS gone through;
    "flat", the counts the same for FLAT_SECONDS. None while neither holds."""
    if warmed.issuperset(WARM_KINDS):
        return "warm"
    last = samples[-1]
    since = last["at"]
    for earlier in reversed(samples):
        if any(earlier[key] != last[key] for key in ("handles", "gdi", "windows")):
            break
        since = earlier["at"]
    return "flat" if last["at"] - since >= FLAT_SECONDS else None


def finish(soak, final, baseline, reason, warmed, samples):
    """The end checks, on a bench cleared of failures and bridges, and the report. True when
    nothing was found."""
    open_boxes = soak.probe.json("boxes")
    _, handles, counts = read_state_file(soak.probe.state)
    exit_code = soak.probe.json("quit")["exitCode"]

    if not final["alive"]:
        soak.finding("the program is not running at the end")
    if open_boxes:
        soak.finding("boxes left open: %r" % open_boxes)
    if handles or counts.get("opens") != counts.get("closes"):
        soak.finding("opens not closed: handles %r, opens %r, closes %r" %
                     (handles, counts.get("opens"), counts.get("closes")))
    growth = {}
    for key, bound in BOUNDS.items():
        if final.get(key) is None or baseline.get(key) is None:
            soak.finding("no figure for %s" % key)
            continue
        growth[key] = final[key] - baseline[key]
        if growth[key] > bound:
            soak.finding("%s grew from %s to %s (bound +%d)" % (key, baseline[key], final[key], bound))
    if exit_code != 0:
        soak.finding("the program ended with %r when closed" % exit_code)

    figures = {
        "seed": soak.args.seed, "minutes": soak.args.minutes, "checkpoints": soak.checkpoints, "steps": soak.kinds,
        "presses_with_time_away": soak.presses_away, "faults_injected": soak.faults_injected,
        "boxes_answered": soak.boxes_answered, "mismatches": soak.mismatches, "unexplained_boxes": soak.unexplained,
        "repeated_faults": soak.repeats, "stacked_boxes": soak.stacked, "opens": counts.get("opens"),
        "closes": counts.get("closes"), "open_handles_left": len(handles), "baseline_at": baseline["at"],
        "baseline_reason": reason, "warmed": warmed, "baseline": baseline, "final": final, "growth": growth,
        "bounds": BOUNDS, "samples": samples, "findings": soak.findings,
    }
    text = json.dumps(figures, indent=2)
    print(text)
    if soak.args.report:
        with open(soak.args.report, "w") as f:
            f.write(text + "\n")
    return not soak.findings
