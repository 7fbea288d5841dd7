#pragma once

// Control entries of the simulated D2XX library, found by name (dlsym) by the
// tests and the demo. Keys of SimFtdiSet (device -1 for the global ones):
//   global: sample_period_ns (virtual time per bit-bang sample, default 16000),
//           call_cost_ns (virtual time per library call, default 125000)
//   device: description, com (-1: no COM port), held (1: open elsewhere),
//           purge_status, write_shortfall (bytes missing from every write),
//           read_limit (most bytes one read returns, -1: no limit), phase,
//           card (10 hex digits, empty: no card), arrive_us, remove_us,
//           samples_per_bit, rate_error, duty_skew, jitter, glitch_rate,
//           dropout_rate, dropout_length, inverted, start_phase, seed
// Keys of SimFtdiGet: power (CBUS3 latched high), open, opens, closes.
// A scenario file holds global "key=value" lines, then one "[device]"
// section per device that starts with "serial=" and goes on with device keys;
// "#" starts a comment line. The environment variable ZT_FTDI_SIM_SCENARIO
// names a scenario file loaded when the library is loaded.
extern "C" {
using TSimFtdiReset = void (*)();
using TSimFtdiAddDevice = int (*)(const char* Serial, const char* Description);
using TSimFtdiSet = int (*)(int Device, const char* Key, const char* Value);
using TSimFtdiGet = int (*)(int Device, const char* Key);
using TSimFtdiTraceCount = int (*)();
using TSimFtdiTraceLine = const char* (*)(int Index);
using TSimFtdiClearTrace = void (*)();
using TSimFtdiNowNs = long long (*)();
using TSimFtdiAdvanceNs = void (*)(long long Ns);
using TSimFtdiLoadScenario = int (*)(const char* Path);
}
