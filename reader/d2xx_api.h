#pragma once

#include <cstdint>

namespace reader {

// The D2XX library's own types: a handle is an opaque pointer, statuses and
// double words stay 32 bits wide.
using FT_HANDLE = void*;
using FT_STATUS = uint32_t;
using DWORD = uint32_t;

constexpr FT_STATUS FT_OK = 0;
constexpr FT_STATUS FT_INVALID_HANDLE = 1;
constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
constexpr FT_STATUS FT_NOT_SUPPORTED = 17;

// Flags of FT_ListDevices and FT_OpenEx.
constexpr DWORD FT_LIST_NUMBER_ONLY = 0x80000000;
constexpr DWORD FT_LIST_BY_INDEX_SERIAL = 0x40000001;
constexpr DWORD FT_LIST_BY_INDEX_DESCRIPTION = 0x40000002;
constexpr DWORD FT_OPEN_BY_SERIAL_NUMBER = 1;

// Bit modes.
constexpr uint8_t FT_MODE_RESET = 0x00;
constexpr uint8_t FT_MODE_ASYNC_BITBANG = 0x01;
constexpr uint8_t FT_MODE_SYNC_BITBANG = 0x04;
constexpr uint8_t FT_MODE_CBUS_BITBANG = 0x20;

}  // namespace reader
