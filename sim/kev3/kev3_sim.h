/* Control entries of the simulated reader driver library libTalvoKEV3.so.
 * Tests find them with dlsym in the same loaded library the tool binds.
 *
 * Scenario text: one command per line, words separated by blanks, "#" starts
 * a comment line. Commands:
 *   clock virtual | clock real
 *       virtual: time moves only by kev3SimAdvance and by read time-outs;
 *       real: the steady clock (the default).
 *   device <serial> <type> [<description...>]
 *       plugs in a reader after the attached ones (driver index = position).
 *       Its device name answer defaults to "<description> v1.00".
 *   name <serial> <text...>        data field of its device-name answer
 *   card <serial> <data>           data field of its read-card answer from now
 *                                  on ("R" or "T" and 16 hex digits); "-": no card
 *   cards <serial> <period-ms> <shown-ms> <data>...
 *                                  one card after the other: each period the
 *                                  next card lies on the reader for shown-ms
 *   held <serial> 1|0              the device is held by another program: open fails
 *   fault <serial> <fault>         how the device answers: none, no-answer,
 *                                  short-write, check, direction, address,
 *                                  command, junk, two-frames, no-etx, too-long
 *   inject <entry> <nth> <status> [after]
 *                                  the nth call of entry from now (1 = next,
 *                                  0 = every call) returns status; with "after"
 *                                  the call does its work first
 *   unplug <serial>                removes the device; later ones move up
 *
 * With no scenario the library presents one KEV-4 reader on which a card from
 * a short fixed list appears every few seconds. The environment variable
 * ZT_KEV3_SIM_SCENARIO names a scenario file to use instead. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Back to the start state: the scenario file, else the default reader; the
 * clock at 0, no faults, the trace empty. Returns 0, the number of the first
 * bad line of the scenario file, or -1 when the file cannot be read (the
 * state is then empty, and the problem is written to standard error). */
int kev3SimReset(void);
/* Drops every device, fault and trace line and applies Scenario; virtual
 * clock at 0. Returns 0, or the number of the first bad line (the lines
 * before it stay applied). */
int kev3SimLoad(const char* Scenario);
/* Applies Scenario to the current state (plug, unplug, cards, faults). */
int kev3SimApply(const char* Scenario);
/* Moves the virtual clock on. */
void kev3SimAdvance(int32_t Ms);
int64_t kev3SimNow(void);
/* Number of devices open at the moment. */
int32_t kev3SimOpenDevices(void);
/* Copies the trace of driver calls, one line per call
 * ("<entry> <arguments> -> <status>"), zero-terminated, into Buffer; returns
 * the length of the whole trace. */
int32_t kev3SimTrace(char* Buffer, int32_t Capacity);
void kev3SimClearTrace(void);

#ifdef __cplusplus
}
#endif
