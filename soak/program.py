"""The model of the program: what tornak.exe does with the simulated bridge, call by call
(identity/probe.cpp, identity/rewrite.cpp, window/event_boundary.cpp), so that what it shows can
be told in advance; and the simulated bridge as tornak-sim and the libraries keep it. Every value
it shares with the program it reads from the program's own source."""

import codecs
import copy
import json
import os
import re

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def from_source(path, pattern, what, count=None):
    """Every match of pattern in one of the program's sources: the program's own constants,
    rather than copies of them. Stops the soak when there is none (or not count of them)."""
    with open(os.path.join(ROOT, path)) as source:
        found = re.findall(pattern, source.read())
    if not found or (count is not None and len(found) != count):
        raise SystemExit("soak: %s in %s is not where the soak reads it (%r)" % (what, path, pattern))
    return found


def text_in(path, name):
    """A C++ string constant by its name, its escapes (\\r\\n) read as C++ reads them."""
    text = from_source(path, r'\b%s\[\] = u?"((?:[^"\\]|\\.)*)";' % name, name, 1)[0]
    return codecs.decode(text, "unicode_escape")


def number_in(path, name):
    """An integer constant by its name."""
    return int(from_source(path, r"\b%s = (0x[0-9A-Fa-f]+|\d+);" % name, name, 1)[0], 0)


TICK_MS = number_in("window/timing.hpp", "kTimer1PeriodMs")
TICK = TICK_MS / 1000
NEW, OLD = "new", "old"
LIBRARY_FILE = dict(zip((NEW, OLD), (stem + ".dll" for stem in from_source(
    "cp210x/loaded_cp210x.cpp", r'LibraryGeneration::New \? "(\w+)" : "(\w+)"', "library files", 1)[0])))
# The vendor library's entry points, from the X-macro that the binding and the simulated
# libraries are both built from.
ENTRY_POINTS = from_source("cp210x/cp210x_api.hpp", r"\bX\((CP210x_\w+),", "entry points")
# Each button and the product ID it writes, from the presets' table.
BUTTONS = {button: int(pid, 16) for button, pid in
           from_source("identity/presets.hpp", r'\{"(\w+)", u"[^"]*", u"([0-9A-F]+)"\}', "presets")}
VENDOR_ID = int(text_in("identity/presets.hpp", "kVendorIdText"), 16)
LIST_BUFFER, SERIAL_BUFFER, PRODUCT_BUFFER = (number_in("cp210x/cp210x_api.hpp", name) for name in (
    "kListStringBufferSize", "kSerialBufferSize", "kProductBufferSize"))
DEVICE_NOT_FOUND, INVALID_HANDLE = (number_in("sim/sim_status.hpp", n) for n in ("kDeviceNotFound", "kInvalidHandle"))
WARNING = text_in("identity/probe.hpp", "kSeveralBridgesWarning")
NO_DEVICE, NEW_DRIVER, OLD_DRIVER = (text_in("identity/probe.hpp", name) for name in (
    "kNoDeviceText", "kNewDriverText", "kOldDriverText"))
DRIVER_TYPE = from_source("window/layout.hpp", r'\{"DriverType", ControlKind::Label, u"([^"]*)"', "DriverType", 1)[0]
# The device interface class of the device path the simulator makes (SystemListStrings).
PATH_GUID = from_source("sim/state/state.cpp", r'"#(\{[0-9a-f-]+\})"', "the device path's GUID", 1)[0]
# The boxes' texts for a fault, by kind, as fault/fault.cpp words them.
FAULT_TEXTS = dict(from_source("fault/fault.cpp", r'\{FaultKind::(\w+), "[^"]*",\s*"([^"]*)"', "fault texts"))


# What a subscript fault of each routine says of the buffer (convert/convert.cpp), its numbers %d.
SUBSCRIPT_DETAILS = {routine: "%d".join(re.findall(r'"([^"]*)"', detail)) for routine, detail in from_source(
    "convert/convert.cpp", r'Fault::Subscript\("(\w+)", ([^;]*)\);', "subscript faults", 2)}


def fault_text(kind, subject, detail=""):
    shape = re.sub(r"\[(.*?)\]", lambda part: part.group(1) if detail else "", FAULT_TEXTS[kind])
    return shape.replace("{subject}", subject).replace("{detail}", detail)


def subscript_fault(routine, *numbers):
    return Fault(fault_text("Subscript", routine, SUBSCRIPT_DETAILS[routine] % numbers))


def succeeded(status):
    low = status & 0xFFFF
    return (low - 0x10000 if low >= 0x8000 else low) == 0


class Fault(Exception):
    def __init__(self, text):
        super().__init__(text)
        self.text = text


# The simulated bridge, as tornak-sim and the libraries keep it -----------------------------

class Bridge:
    def __init__(self, name, seen):
        self.name, self.seen = name, seen
        self.vid, self.pid = VENDOR_ID, 0xEA60
        self.pending_vid = self.pending_pid = None
        self.serial = self.product = b""
        self.lists = [b"", b"", b""]
        self.serial_length = self.product_length = None
        self.unterminated = [False, False, False]
        self.reenumeration = 0

    def seen_by(self, generation):
        return self.seen == "both" or self.seen == generation

    def system_lists(self):
        path = "\\\\?\\usb#vid_%04x&pid_%04x#%s#%s" % (self.vid, self.pid, self.serial.decode("latin-1"), PATH_GUID)
        return [self.serial, self.product, path.encode("latin-1")]

    def change(self, change):
        """Changes what the bridge reports; the list strings the system made follow, as the
        simulator's do."""
        before = self.system_lists()
        change()
        self.lists = [made if text == old else text for text, old, made in zip(self.lists, before, self.system_lists())]


class Simulation:
    def __init__(self):
        self.bridges = []
        self.failures = {}  # (operation, generation or None) -> status
        self.present = {NEW: True, OLD: True}  # library files in the program's folder
        self.away = set()  # names of the bridges off the bus after a reset

    def visible(self, generation):
        return [b for b in self.bridges if b.seen_by(generation) and b.name not in self.away]

    def injected(self, operation, generation):
        return self.failures.get((operation, generation), self.failures.get((operation, None)))


class Straddle:
    """The simulation as a probe sees it when a change lands in the middle of it: the calls before
    the switch see the state before the change, the later ones the state after it."""

    def __init__(self, before, after, switch_at):
        self.before, self.after, self.switch_at, self.calls = before, after, switch_at, 0

    def current(self):
        return self.before if self.calls < self.switch_at else self.after

    @property
    def present(self):
        return self.current().present

    @property
    def bridges(self):
        return self.before.bridges + self.after.bridges

    def visible(self, generation):
        return self.current().visible(generation)

    def injected(self, operation, generation):
        self.calls += 1
        return self.current().injected(operation, generation)


# The program: RefreshDeviceInfo, ApplyIdentityPreset and the window's fault boundary ----------

class Program:
    """What tornak does with the simulated bridge, call by call, so that what it shows can be
    told in advance. Handles are tokens; only the one opened in the current event is open."""

    def __init__(self, sim):
        self.sim = sim
        self.loaded = {NEW: False, OLD: False}
        self.num_devices = self.device_handle = self.next_token = 0
        self.new_driver_active = self.prod_string_written = False
        self.last_fault = self.open_handle = None
        self.fields = {"ProdString": "", "Rvid": "", "Rpid": "", "Rsernum": "", "Rprodstr": "",
                       "DriverType": DRIVER_TYPE}
        self.boxes = []  # texts of the boxes shown, in order
        self.reset_bridge = None  # the bridge the last reset restarted

    # The library: loads on first use, injected failures return without touching outputs.
    def call(self, generation, operation):
        if not self.loaded[generation]:
            if not self.sim.present[generation]:
                raise Fault(fault_text("LibraryNotFound", LIBRARY_FILE[generation]))
            self.loaded[generation] = True
        return self.sim.injected(operation, generation)

    def bridge_of(self, handle):
        if handle is None or handle != self.open_handle:
            return None, INVALID_HANDLE
        bridge = self.open_bridge
        return (bridge, 0) if bridge in self.sim.bridges else (None, DEVICE_NOT_FOUND)

    def get_num_devices(self, g):
        if (status := self.call(g, "CP210x_GetNumDevices")) is not None:
            return status
        self.num_devices = len(self.sim.visible(g))
        return 0

    def get_product_string(self, g, buffer, selector):
        if (status := self.call(g, "CP210x_GetProductString")) is not None:
            return status
        visible = self.sim.visible(g)
        if not visible:
            return DEVICE_NOT_FOUND
        text = visible[0].lists[selector]
        if visible[0].unterminated[selector]:
            count = min(len(text), LIST_BUFFER)
            buffer[:count] = text[:count]
            buffer[count:] = b"#" * (LIST_BUFFER - count)
        else:
            count = min(len(text), LIST_BUFFER - 1)
            buffer[:count] = text[:count]
            buffer[count] = 0
        return 0

    def open(self, g):
        if (status := self.call(g, "CP210x_Open")) is not None:
            return status
        visible = self.sim.visible(g)
        if not visible:
            return DEVICE_NOT_FOUND
        self.next_token += 1
        self.open_handle = ("handle", self.next_token)
        self.open_bridge = visible[0]
        self.device_handle = self.open_handle
        return 0

    def close(self, g, handle):
        self.call(g, "CP210x_Close")
        if handle == self.open_handle:
            self.open_handle = None

    def read_id(self, g, operation, handle, field):
        if (status := self.call(g, operation)) is not None:
            return status, None
        bridge, why = self.bridge_of(handle)
        return (why, None) if bridge is None else (0, getattr(bridge, field))

    def read_string(self, g, operation, handle, buffer, field, reported):
        if (status := self.call(g, operation)) is not None:
            return status, None
        bridge, why = self.bridge_of(handle)
        if bridge is None:
            return why, None
        text = getattr(bridge, field)
        count = min(len(text), len(buffer))
        buffer[:count] = text[:count]
        length = getattr(bridge, reported)
        return 0, (count if length is None else length) & 0xFF

    def write_id(self, g, operation, handle, value, field):
        if self.call(g, operation) is not None:
            return
        bridge, _ = self.bridge_of(handle)
        if bridge is not None:
            setattr(bridge, field, value & 0xFFFF)

    def reset(self, g, handle):
        if self.call(g, "CP210x_Reset") is not None:
            return
        bridge, _ = self.bridge_of(handle)
        if bridge is not None:
            def take_effect():
                if bridge.pending_vid is not None:
                    bridge.vid = bridge.pending_vid
                if bridge.pending_pid is not None:
                    bridge.pid = bridge.pending_pid
                bridge.pending_vid = bridge.pending_pid = None
            bridge.change(take_effect)
            self.reset_bridge = bridge

    # identity/bridge_access.hpp
    def count_one_bridge(self, g):
        return succeeded(self.get_num_devices(g)) and self.num_devices == 1

    def open_bridge_slot(self, g):
        return succeeded(self.open(g))

    # identity/probe.cpp
    def read_bridge(self, g, b):
        if not self.count_one_bridge(g):
            return False
        for selector, name in enumerate(("list_serial", "list_description", "list_path")):
            self.get_product_string(g, b[name], selector)
        if not self.open_bridge_slot(g):
            return False
        handle = self.device_handle
        try:
            ok = self.read_device(g, handle, b)
        except Fault:
            try:
                self.close(g, handle)
            except Fault:
                pass
            raise
        self.close(g, handle)
        return ok

    def read_device(self, g, handle, b):
        # A status that reads as success but comes without a value leaves the buffer's last one.
        def keep(key, answer):
            status, value = answer
            if value is not None:
                b[key] = value
            return succeeded(status)

        return (keep("vid", self.read_id(g, "CP210x_GetDeviceVid", handle, "vid")) and
                keep("pid", self.read_id(g, "CP210x_GetDevicePid", handle, "pid")) and
                keep("serial_length", self.read_string(g, "CP210x_GetDeviceSerialNumber", handle, b["serial"],
                                                       "serial", "serial_length")) and
                keep("product_length", self.read_string(g, "CP210x_GetDeviceProductString", handle, b["product"],
                                                        "product", "product_length")))

    @staticmethod
    def len_array(buffer):
        zero = buffer.find(0)
        if zero < 0:
            raise subscript_fault("LenArray", len(buffer))
        return zero

    @staticmethod
    def convert_to_string(buffer, length):
        if length <= 0:
            return ""
        if length > len(buffer):
            raise subscript_fault("ConvertToString", len(buffer), len(buffer))
        # A static control shows its text up to the first NUL; the soak feeds ASCII and NULs only.
        return bytes(buffer[:length]).split(b"\0")[0].decode("latin-1")

    def set_field(self, name, text):
        self.fields[name] = text
        if name == "ProdString":
            self.prod_string_written = True

    def show_identity(self, g, b):
        texts = [self.convert_to_string(b[n], self.len_array(b[n]))
                 for n in ("list_serial", "list_description", "list_path")]
        self.set_field("ProdString", " ".join(texts))
        self.set_field("Rvid", "%X" % b["vid"])
        self.set_field("Rpid", "%X" % b["pid"])
        self.set_field("Rsernum", self.convert_to_string(b["serial"], b["serial_length"]))
        self.set_field("Rprodstr", self.convert_to_string(b["product"], b["product_length"]))
        self.new_driver_active = g == NEW
        self.set_field("DriverType", NEW_DRIVER if g == NEW else OLD_DRIVER)

    def show_no_device(self, g):
        for name in ("Rvid", "Rpid", "Rsernum", "Rprodstr"):
            self.set_field(name, "")
        if self.num_devices > 1:
            self.boxes.append(WARNING)
        if g == NEW:
            self.device_handle = -1
        self.set_field("DriverType", NO_DEVICE)

    def refresh_device_info(self):
        b = {n: bytearray(LIST_BUFFER) for n in ("list_serial", "list_description", "list_path")}
        b.update(serial=bytearray(SERIAL_BUFFER), product=bytearray(PRODUCT_BUFFER),
                 vid=0, pid=0, serial_length=0, product_length=0)
        for g in (NEW, OLD):
            if g == OLD and self.device_handle != -1:
                break
            if self.read_bridge(g, b):
                self.show_identity(g, b)
            else:
                self.show_no_device(g)

    # identity/rewrite.cpp
    def apply_identity_preset(self, pid):
        g = NEW if self.new_driver_active else OLD
        if not self.count_one_bridge(g):
            return
        if not self.open_bridge_slot(g):
            return
        handle = self.device_handle
        try:
            self.write_id(g, "CP210x_SetPid", handle, pid, "pending_pid")
            self.write_id(g, "CP210x_SetVid", handle, VENDOR_ID, "pending_vid")
            self.reset(g, handle)
        except Fault:
            self.close(g, handle)
            raise
        self.close(g, handle)

    # window/event_boundary.cpp: EventBoundary::Run, and MainWindow::ReportFault
    def run_event(self, from_timer, work):
        try:
            work()
            if from_timer:
                self.last_fault = None
            return None
        except Fault as fault:
            for name in ("Rvid", "Rpid", "Rsernum", "Rprodstr"):
                self.set_field(name, "")
            self.set_field("DriverType", NO_DEVICE)
            repeated = from_timer and self.last_fault == fault.text
            self.last_fault = fault.text
            if not repeated:
                self.boxes.append(fault.text)
            return fault.text

    def tick(self):
        return self.run_event(True, self.refresh_device_info)

    def click(self, pid):
        return self.run_event(False, lambda: self.apply_identity_preset(pid))

    def straddled_boxes(self, after):
        """Every box a single tick can show when the change to `after` lands between two of its
        library calls; self is the program as it was before the change."""
        boxes = set()
        for switch_at in range(1, 2 * 10 + 1):  # a probe makes at most ten calls per generation
            program = copy.deepcopy(self)
            program.sim = Straddle(program.sim, copy.deepcopy(after), switch_at)
            program.boxes = []
            program.tick()
            boxes.update(program.boxes)
        return boxes

    def settle(self):
        """Ticks until the state repeats. Returns what a checkpoint compares: the read-outs,
        whether the steady ticks write ProdString, the fault they end in, and every box text
        the ticks up to then can show."""
        self.boxes = []
        faults = set()
        fault = None
        for _ in range(4):
            self.prod_string_written = False
            fault = self.tick()
            if fault is not None:
                faults.add(fault)
        # A tick that straddles a change can succeed and so make the fault news once more.
        return dict(self.fields), self.prod_string_written, fault, set(self.boxes) | faults


def read_state_file(path):
    """The parts of the state file the end check needs: each bridge's IDs (and the time it is
    back, when it left the bus), the open handles, and the opens and closes per generation."""
    with open(path) as f:
        state = json.load(f)
    bridges = {b["name"]: {key: int(b[key], 16) for key in ("vid", "pid", "pending_vid", "pending_pid") if key in b}
               for b in state["bridges"]}
    for b in state["bridges"]:
        if "away_until" in b:
            bridges[b["name"]]["away_until"] = b["away_until"]
    return bridges, state["handles"], {"opens": state["opens"], "closes": state["closes"]}
