"""The schedule and its steps: a seeded random sequence of changes to the simulated bridges, the
library files and the buttons, each a checkpoint at which the live window must match the model
of the program (soak/program.py); before it, a warm-up; after it, the end checks (soak/report.py)."""

import collections
import copy
import os
import random
import subprocess
import time

from soak import report
from soak.program import (BUTTONS, ENTRY_POINTS, LIBRARY_FILE, LIST_BUFFER, NEW, OLD, PRODUCT_BUFFER, SERIAL_BUFFER,
                          TICK, TICK_MS, VENDOR_ID, WARNING, Bridge, Program, Simulation, read_state_file)
from soak.wine import Session

MATCH_WITHIN = 2 * TICK + 0.3  # two ticks and a margin; time with a box open does not count
POLL = 0.1
# After the program's last box, how long a checkpoint waits for another one before it ends: one
# probe can show a box from each generation, and Wine takes a while to put the second one up
# (about 0.12 s after the first is answered). Well short of a tick, so that a warning from each
# generation on every tick (two bridges) still leaves gaps to end in; while it runs, the
# checkpoint looks more often, so that the second box is answered at once and the gap stays wide.
BOX_QUIET = TICK / 2
# How long a checkpoint lasts at least: read-outs that already match before the program's next
# tick say nothing, and that tick may still show a box from a probe of the state before.
DWELL = TICK + 0.2
# The warm-up bridge's product string: wider than its read-out, so that it has a tooltip.
WIDE_PRODUCT = b"CP2102N USB to UART Bridge Controller, Kavren bench"
# The operations made to fail: every entry point but CP210x_Close, since a close that fails
# leaves the handle open in the library's books, which is the library's doing, not the program's.
OPERATIONS = [name for name in ENTRY_POINTS if name != "CP210x_Close"]
STATUSES = [0x5304, 0xFF, 0x10000]  # the last reads as success in the low 16 bits
# Re-enumeration times drawn for a bridge (ms), in ticks: each is over well within a checkpoint's
# DWELL, and the soak waits for a bridge that is away before its next step all the same.
REENUMERATION_MS = [0, TICK_MS // 4, TICK_MS * 2 // 3]
# tornak-sim's options for the three list strings, in the order of their selectors.
LIST_OPTIONS = ("list-serial", "list-description", "list-path")


class Soak:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.findings = []
        self.checkpoints = self.faults_injected = self.mismatches = self.boxes_answered = 0
        self.repeats = self.stacked = self.unexplained = self.presses_away = 0
        self.kinds = {}
        self.sim = Simulation()
        self.model = Program(self.sim)
        self.names = 0
        self.allowed_boxes = set()
        self.warmed = set()  # of WARM_KINDS, those the program has been through
        self.recent = collections.deque(maxlen=4)  # the last steps, told with a finding
        self.probe = Session(args.windows_bin, args.probe)

    def finding(self, text):
        self.findings.append(text)
        print("FINDING at checkpoint %d: %s" % (self.checkpoints, text), flush=True)
        print("  the steps up to it: " + "; ".join(self.recent), flush=True)

    def note_step(self, label):
        self.recent.append("%.1f s %s" % (time.monotonic() - self.started, label))

    def tool(self, *arguments):
        result = subprocess.run([self.args.sim, *arguments], env=self.probe.env, capture_output=True, text=True)
        if result.returncode != 0:
            raise RuntimeError("tornak-sim %s: %s" % (" ".join(arguments), result.stderr.strip()))
        return result.stdout

    def library_file(self, generation, present):
        path = os.path.join(self.probe.bin, LIBRARY_FILE[generation])
        os.rename(*((path + ".away", path) if present else (path, path + ".away")))
        self.sim.present[generation] = present

    # Steps: each changes the simulation and the model alike --------------------------------

    def random_bytes(self, low, high, nul=False):
        alphabet = "ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz0123456789 -_.#&%\"\\"
        text = "".join(self.rng.choice(alphabet) for _ in range(self.rng.randint(low, high))).encode()
        if nul and text:
            at = self.rng.randrange(len(text))
            text = text[:at] + b"\0" + text[at + 1:]
        return text

    def random_serial(self):
        roll = self.rng.random()
        if roll < 0.1:
            return self.random_bytes(SERIAL_BUFFER + 1, 120)  # longer than the buffer
        if roll < 0.2:
            return self.random_bytes(2, 12, nul=True)
        return self.random_bytes(1, 16)

    def random_product(self):
        roll = self.rng.random()
        if roll < 0.1:
            return self.random_bytes(PRODUCT_BUFFER + 1, 200)  # longer than the buffer
        return self.rng.choice([b"CP2102 USB to UART Bridge Controller", b"CP2102N USB to UART Bridge Controller",
                                b"Kavren Link", b""]) if roll < 0.6 else self.random_bytes(0, 40)

    def random_id(self):
        return self.rng.choice([0xEA60, 0xEA61, 0x840E, VENDOR_ID, 0, 0xFFFF, self.rng.randrange(0x10000)])

    def bridge_options(self, bridge):
        return ["--seen", bridge.seen, "--vid", "%04X" % bridge.vid, "--pid", "%04X" % bridge.pid,
                "--serial-hex", bridge.serial.hex(), "--product-hex", bridge.product.hex(),
                *(part for option, text in zip(LIST_OPTIONS, bridge.lists) for part in ("--%s-hex" % option, text.hex())),
                "--reenumeration-ms", str(bridge.reenumeration)]

    def attach(self):
        self.names += 1
        bridge = Bridge("b%d" % self.names, self.rng.choice([NEW, NEW, OLD, "both"]))
        bridge.vid, bridge.pid = self.rng.choice([VENDOR_ID, VENDOR_ID, self.random_id()]), self.random_id()
        bridge.serial, bridge.product = self.random_serial(), self.random_product()
        bridge.lists = bridge.system_lists()
        bridge.reenumeration = self.rng.choice(REENUMERATION_MS)
        if self.rng.random() < 0.1:
            bridge.lists[2] = bridge.lists[2] + b"x" * 300  # longer than LIST_BUFFER
        self.tool("attach", bridge.name, *self.bridge_options(bridge))
        self.sim.bridges.append(bridge)
        return "attach " + bridge.name + " (" + bridge.seen + ")"

    def detach(self):
        bridge = self.rng.choice(self.sim.bridges)
        self.tool("detach", bridge.name)
        self.sim.bridges.remove(bridge)
        return "detach " + bridge.name

    def move(self):
        bridge = self.rng.choice(self.sim.bridges)
        bridge.seen = self.rng.choice([s for s in (NEW, OLD, "both") if s != bridge.seen])
        self.tool("set", bridge.name, "--seen", bridge.seen)
        return "move " + bridge.name + " to " + bridge.seen

    def change_identity(self):
        bridge = self.rng.choice(self.sim.bridges)
        changes, options = {}, []
        if self.rng.random() < 0.6:
            changes["pid"] = self.random_id()
            options += ["--pid", "%04X" % changes["pid"]]
        if self.rng.random() < 0.3:
            changes["vid"] = self.random_id()
            options += ["--vid", "%04X" % changes["vid"]]
        if self.rng.random() < 0.5:
            changes["serial"] = self.random_serial()
            options += ["--serial-hex", changes["serial"].hex()]
        if not options or self.rng.random() < 0.4:
            changes["product"] = self.random_product()
            options += ["--product-hex", changes["product"].hex()]
        bridge.change(lambda: vars(bridge).update(changes))
        self.tool("set", bridge.name, *options)
        return "identity of " + bridge.name

    def fail(self):
        operation = self.rng.choice(OPERATIONS)
        status = self.rng.choice(STATUSES)
        generation = self.rng.choice([NEW, OLD, None])
        options = ["--generation", generation] if generation else []
        self.tool("fail", operation, "0x%X" % status, *options)
        self.sim.failures[(operation, generation)] = status
        self.faults_injected += 1
        return "fail %s 0x%X %s" % (operation, status, generation or "both")

    def clear_failures(self):
        self.tool("fail", "--clear")
        self.sim.failures.clear()
        return "clear failures"

    def overlong(self):
        bridge = self.rng.choice(self.sim.bridges)
        which = self.rng.choice(["serial", "product", "list"])
        self.faults_injected += 1
        if which == "list":
            index = self.rng.randrange(3)
            bridge.lists[index] = self.random_bytes(LIST_BUFFER, 400)
            name = LIST_OPTIONS[index]
            self.tool("set", bridge.name, "--" + name + "-hex", bridge.lists[index].hex())
            return "overlong " + name + " of " + bridge.name
        buffer = SERIAL_BUFFER if which == "serial" else PRODUCT_BUFFER
        length = self.rng.choice([None, self.rng.randint(buffer + 1, 255), self.rng.randint(0, buffer)])
        setattr(bridge, which + "_length", length)
        self.tool("set", bridge.name, "--" + which + "-length", "real" if length is None else str(length))
        return "%s of %s reports length %s" % (which, bridge.name, "real" if length is None else length)

    def unterminated(self):
        bridge = self.rng.choice(self.sim.bridges)
        index = self.rng.randrange(3)
        name = LIST_OPTIONS[index]
        bridge.unterminated[index] = not bridge.unterminated[index]
        if bridge.unterminated[index]:
            self.faults_injected += 1
        self.tool("set", bridge.name, "--unterminated" if bridge.unterminated[index] else "--terminated", name)
        return ("unterminated " if bridge.unterminated[index] else "terminated ") + name + " of " + bridge.name

    def move_library(self):
        generation = self.rng.choice([NEW, OLD])
        present = not self.sim.present[generation]
        self.library_file(generation, present)
        if not present:
            self.faults_injected += 1
        return ("restore " if present else "remove ") + LIBRARY_FILE[generation]

    def choose_step(self):
        bridges = len(self.sim.bridges)
        steps = [(self.attach, 4 if bridges == 0 else 2 if bridges < 3 else 0),
                 (self.detach, 2 if bridges else 0), (self.move, 2 if bridges else 0),
                 (self.change_identity, 3 if bridges else 0), (self.fail, 1.5),
                 (self.clear_failures, 2 if self.sim.failures else 0), (self.overlong, 1.5 if bridges else 0),
                 (self.unterminated, 1 if bridges else 0), (self.move_library, 0.5)]
        if any(not present for present in self.sim.present.values()) and self.rng.random() < 0.3:
            return self.move_library if self.rng.random() < 0.5 else self.restore_libraries
        functions, weights = zip(*steps)
        return self.rng.choices(functions, weights)[0]

    def restore_libraries(self):
        restored = [g for g in (NEW, OLD) if not self.sim.present[g]]
        for generation in restored:
            self.library_file(generation, True)
        return "restore " + " ".join(LIBRARY_FILE[g] for g in restored)

    # The warm-up's steps ------------------------------------------------------------------

    def attach_wide(self):
        """A bridge with a tooltip and time away after a reset. The first is seen by the new
        generation; the second by both, so that the new one counts two (the warning) and the old
        one, which probes next, opens a bridge for the first time."""
        self.names += 1
        bridge = Bridge("b%d" % self.names, "both" if self.sim.bridges else NEW)
        bridge.serial, bridge.product = b"0001", WIDE_PRODUCT
        bridge.lists = bridge.system_lists()
        bridge.reenumeration = max(REENUMERATION_MS)
        self.tool("attach", bridge.name, *self.bridge_options(bridge))
        self.sim.bridges.append(bridge)
        return "attach " + bridge.name + " (" + bridge.seen + "), its product string wider than its read-out"

    def overlong_serial(self):
        bridge = self.sim.bridges[0]
        bridge.serial_length = SERIAL_BUFFER + 1
        self.tool("set", bridge.name, "--serial-length", str(bridge.serial_length))
        self.faults_injected += 1
        return "serial of %s reports length %d" % (bridge.name, bridge.serial_length)

    def detach_all(self):
        self.tool("detach", "--all")
        self.sim.bridges.clear()
        return "detach all"

    def warm_up(self):
        """Goes through each of WARM_KINDS once, checked against the model as the schedule's steps are."""
        self.checkpoint(self.restore_libraries)
        self.checkpoint(self.attach_wide)
        for kind, command in (("tooltip", "tooltip Rprodstr"), ("copy menu", "menu")):
            answer = self.probe.ask(command)
            self.note_step(command + ": " + answer)
            if answer == "ok":
                self.warmed.add(kind)
        self.press()
        self.checkpoint(self.overlong_serial)  # a fault box
        self.checkpoint(self.attach_wide)  # two bridges: the warning
        self.checkpoint(self.detach_all)

    # Checkpoints --------------------------------------------------------------------------

    def answer_boxes(self, seen):
        """Answers every open box, checking each against what the model explains."""
        boxes = self.probe.json("boxes")
        if len(boxes) > 1:
            self.stacked += 1
            self.finding("%d boxes open at once: %r" % (len(boxes), boxes))
        answered = 0
        while boxes:
            text = self.probe.json("dismiss")
            if text is None:
                break
            answered += 1
            self.boxes_answered += 1
            self.warmed.add("warning box" if text == WARNING else "fault box")
            seen.append(text)
            if text not in self.allowed_boxes:
                self.unexplained += 1
                self.finding("a box the model does not explain: %r (expected one of %r)" % (text, self.allowed_boxes))
            boxes = self.probe.json("boxes")
        return answered

    def check(self, label, expected, compare_prod_string, fault):
        """Polls the window until the read-outs match; then, for a fault that stays, watches two
        more ticks for it coming back."""
        seen = []
        started = time.monotonic()
        deadline = started + MATCH_WITHIN
        give_up = started + 15
        last_box = None
        fields = None
        while True:
            if self.answer_boxes(seen):
                last_box = time.monotonic()
                deadline = max(deadline, last_box + TICK)
            shown = self.probe.json("fields")
            if shown is None and time.monotonic() < give_up:
                time.sleep(POLL / 5)  # the program is in the middle of an event: look again soon
                continue
            fields = shown or {}
            wanted = {k: v for k, v in expected.items() if compare_prod_string or k != "ProdString"}
            matched = all(fields.get(k) == v for k, v in wanted.items())
            quiet = last_box is None or time.monotonic() - last_box >= BOX_QUIET
            if matched and quiet and time.monotonic() - started >= DWELL and not self.probe.json("boxes"):
                break
            if matched and time.monotonic() > give_up:
                self.finding("%s: boxes kept coming for 15 s" % label)
                break
            if not matched and time.monotonic() > deadline:
                self.mismatches += 1
                differing = {k: (fields.get(k), v) for k, v in wanted.items() if fields.get(k) != v}
                self.finding("%s: read-outs (shown, expected) %r; all shown %r" % (label, differing, fields))
                # Go on from what the window shows.
                self.model.fields.update(fields)
                break
            time.sleep(POLL if quiet else POLL / 5)
        if fault is not None and WARNING not in self.allowed_boxes:
            end = time.monotonic() + 2 * TICK + 0.2
            while time.monotonic() < end:
                self.answer_boxes(seen)
                time.sleep(POLL)
        if fault is not None:
            shown = sum(1 for text in seen if text == fault)
            if shown > 1:
                self.repeats += 1
                self.finding("%s: the same fault reported %d times: %r" % (label, shown, fault))
        if not compare_prod_string:
            self.model.fields["ProdString"] = fields.get("ProdString", "")

    def checkpoint(self, step):
        previous_boxes = self.allowed_boxes
        before = copy.deepcopy(self.model)
        label = step()
        self.note_step(label)
        kind = step.__name__
        if kind == "move_library" or kind == "restore_libraries":
            kind = "library file"
        self.kinds[kind] = self.kinds.get(kind, 0) + 1
        expected, writes_prod_string, fault, boxes = self.model.settle()
        self.allowed_boxes = previous_boxes | boxes | before.straddled_boxes(self.sim)
        self.checkpoints += 1
        self.check(label, expected, writes_prod_string, fault)
        self.allowed_boxes = boxes
        return label

    def press(self):
        name = self.rng.choice(sorted(BUTTONS))
        previous_boxes = self.allowed_boxes
        self.model.boxes = []
        self.model.reset_bridge = None
        fault = self.model.click(BUTTONS[name])
        pressed = set(self.model.boxes)
        away = self.model.reset_bridge if self.model.reset_bridge and self.model.reset_bridge.reenumeration else None
        away_boxes = self.boxes_while_away(away) if away else set()
        expected, writes_prod_string, tick_fault, boxes = self.model.settle()
        self.allowed_boxes = previous_boxes | pressed | boxes | away_boxes
        self.kinds["button"] = self.kinds.get("button", 0) + 1
        self.checkpoints += 1
        self.probe.ask("click " + name)
        label = "press " + name
        self.note_step(label)
        seen = []
        if fault is not None:
            # A press always gets its answer.
            deadline = time.monotonic() + MATCH_WITHIN
            while fault not in seen and time.monotonic() < deadline:
                self.answer_boxes(seen)
                time.sleep(POLL)
            if fault not in seen:
                self.mismatches += 1
                self.finding("%s: no box for %r" % (label, fault))
        self.check(label, expected, writes_prod_string, tick_fault)
        self.allowed_boxes = boxes
        self.compare_identities(label)
        if away:
            self.presses_away += 1
            self.warmed.add("reset with time away")
            self.await_return(away)

    def boxes_while_away(self, bridge):
        """Every box the ticks from a reset to the bridge's return can show: those while it is
        away, one that its return straddles, and those after it. The read-outs end as they would
        without the time away, but a fault that stays is news again after a tick without it."""
        away = copy.deepcopy(self.model)
        back = copy.deepcopy(self.sim)
        away.sim.away.add(bridge.name)
        away.boxes = []
        away.tick()
        boxes = set(away.boxes) | away.straddled_boxes(back)
        away.sim.away.clear()
        return boxes | away.settle()[3]

    def await_return(self, bridge):
        """Waits until the bridge is back, as the state file tells, so that the next step finds it."""
        bridges, _, _ = read_state_file(self.probe.state)
        until = bridges.get(bridge.name, {}).get("away_until", 0) / 1000.0
        time.sleep(max(0.0, until - time.time()) + 0.05)

    def compare_identities(self, label):
        """The IDs in the state file against the model's, after a button wrote them."""
        bridges, _, _ = read_state_file(self.probe.state)
        for bridge in self.sim.bridges:
            actual = {k: v for k, v in bridges.get(bridge.name, {}).items() if k != "away_until"}
            wanted = {"vid": bridge.vid, "pid": bridge.pid}
            if bridge.pending_vid is not None:
                wanted["pending_vid"] = bridge.pending_vid
            if bridge.pending_pid is not None:
                wanted["pending_pid"] = bridge.pending_pid
            if actual != wanted:
                self.mismatches += 1
                self.finding("%s: bridge %s has %r, expected %r" % (label, bridge.name, actual, wanted))
                for key in ("vid", "pid", "pending_vid", "pending_pid"):
                    setattr(bridge, key, actual.get(key))

    def run(self):
        self.started = time.monotonic()
        self.tool("reset")
        missing = self.rng.choice([NEW, OLD])
        self.library_file(missing, False)
        self.probe.start()
        print("soak: seed %d, %s minute(s), %s missing at the start, folder %s" %
              (self.args.seed, self.args.minutes, LIBRARY_FILE[missing], self.probe.folder), flush=True)

        # Form_Load: the first probe, with the handle slot at -1, before the window shows.
        self.model.device_handle = -1
        expected, writes, fault, boxes = self.model.settle()
        self.allowed_boxes = boxes
        self.checkpoints += 1
        self.check("start", expected, writes, fault)

        end = time.monotonic() + 60 * self.args.minutes
        # The first probe's boxes come before the window shows, and warm nothing that a box over
        # it needs.
        self.warmed.clear()
        self.warm_up()
        baseline = reason = None
        samples = []
        while True:
            # At quiet moments only: every one until the baseline is taken, then now and then.
            if not self.allowed_boxes and (baseline is None or
                                           time.monotonic() - self.started >= samples[-1]["at"] + report.SAMPLE_EVERY):
                samples.append(self.sample())
                if baseline is None:
                    reason = report.settled(samples, self.warmed)
                    if reason:
                        baseline, warmed = samples[-1], sorted(self.warmed)
            if time.monotonic() >= end:
                break
            # A press while a warning is open is dropped, as every event is while another runs:
            # presses come only where no box is due.
            if self.rng.random() < 0.12 and not self.allowed_boxes:
                self.press()
            else:
                self.checkpoint(self.choose_step())

        # Back to a plain bench: no failures, both libraries, no bridges; nothing may be open.
        self.checkpoint(self.clear_failures)
        self.checkpoint(self.restore_libraries)
        while self.sim.bridges:
            self.checkpoint(self.detach)
        time.sleep(2 * TICK)
        seen = []
        self.answer_boxes(seen)
        if seen:
            self.finding("boxes after the bench was cleared: %r" % seen)
        final = self.sample()
        if baseline is None:
            self.finding("no baseline: no %s, and the counts never stayed still for %d s" %
                         (", ".join(k for k in report.WARM_KINDS if k not in self.warmed), report.FLAT_SECONDS))
            baseline, warmed = (samples or [final])[0], sorted(self.warmed)
        return report.finish(self, final, baseline, reason, warmed, samples)

    def sample(self):
        """The program's figures, taken with no box open and no fault pending, and the seconds
        into the run."""
        self.answer_boxes([])
        stats = self.probe.json("stats")
        stats["private_kib"] = self.probe.private_kib()
        stats["at"] = round(time.monotonic() - self.started, 1)
        return stats
