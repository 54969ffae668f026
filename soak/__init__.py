"""Works on a copy of the Windows build's bin folder in a temporary folder, with its own state
file. One library file is missing when the program starts; the schedule puts it back, and later
takes library files away and back again. Each step changes the simulated bridges (attach, detach,
a second bridge, another generation, another identity, failing operations, overlong and
unterminated strings), presses a button or moves a library file, and is a checkpoint: a model of
the program, fed the same changes, says what the window must show, and the read-outs of the live
window must match it within two ticks. Every box the program opens must be one the model
explains, only one may be open at a time, and a fault that stays is reported once.

Before the schedule, a warm-up goes once through each thing that Wine keeps GDI objects or
memory for after its first use (WARM_KINDS): a box of each kind over the window, the copy menu, a
tooltip, a reset with time away. The figures taken after it are the baseline; should one of them
not show, the baseline waits for the counts to stay still instead.

At the end the process must be alive, every open of the simulated library closed, no box open,
and its handles, GDI objects, windows and private memory no higher than the baseline, within the
bounds of soak/report.py. Prints the figures; exits 1 on any finding.

The parts: schedule.py, the schedule and the steps; program.py, the model of the program, with
the values it shares with the program read from its source; wine.py, the Wine session, the probe
(probe_window.cpp) and the display; report.py, the figures and the end checks.
"""
