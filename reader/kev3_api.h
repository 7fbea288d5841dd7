/* The entries of the reader driver library "TalvoKEV3.dll" (libTalvoKEV3.so),
 * with the argument lists the tool uses. Every entry returns a status, 0 on
 * success. Texts are zero-terminated single-byte strings in buffers of
 * KEV3_TEXT_SIZE characters; a handle is passed by address.
 *
 * The tool never calls these names directly: it binds them at run time
 * (reader/kev3_dll.h). They are declared here once so that the binding's
 * pointer types and the simulated library's definitions cannot drift apart. */
#pragma once

#include <stdint.h>

#define KEV3_TEXT_SIZE 126

#ifdef __cplusplus
extern "C" {
#endif

/* Looked up but never called by the tool. */
int32_t kev3LibVer(char* Version);
int32_t kev3GetDeviceCount(int32_t* Count, int32_t Reserved);
int32_t kev3GetSerialNumber(int32_t Index, int32_t Reserved, char* Serial);
/* Looked up but never called by the tool. */
int32_t kev3GetIndex(const char* Serial, int32_t* Index);
int32_t kev3GetDescriptionBySerialNumber(const char* Serial, char* Description);
int32_t kev3GetDescriptionByIndex(int32_t Index, int32_t Reserved, char* Description);
int32_t kev3GetPort(const char* Serial, char* Port);
int32_t kev3GetDeviceType(const char* Serial, int32_t* Type);
/* Stores the handle of the opened device. */
int32_t kev3Open(int32_t* Handle, const char* Serial);
/* Closes the device and sets the handle to -1. */
int32_t kev3Close(int32_t* Handle);
int32_t kev3Write(int32_t* Handle, const void* Bytes, int32_t Count, int32_t* Written, int32_t TimeoutMs);
int32_t kev3Read(int32_t* Handle, void* Buffer, int32_t Capacity, int32_t* ReadCount, int32_t TimeoutMs);

#ifdef __cplusplus
}
#endif
