// The host contract in one place: the records (records.h), the calling
// convention and the six exported functions of MorvelRussia.dll.
//
// Calling convention: the host's 32-bit register convention. Arguments go left
// to right in EAX, EDX and ECX (no function takes more than three, so nothing
// is passed on the stack), an integer or handle result comes back in EAX, and
// the callee removes nothing from the stack: GCC's regparm(3) on i386.
//
// Connection (offset 0 of TQSOData) is an ODBC connection handle (SQLHDBC)
// that the host has connected to its log database before _Run; it must stay
// valid while the plug-in's window lives.
//
// Export table (name = ordinal): _GrabNumber = 1, _Release = 2, _GetScore = 3,
// _AddQSO = 4, _Run = 5, _GetInfo = 6. The C++ names below carry no leading
// underscore (MorvelGrabNumber for _GrabNumber, ...); the module definition
// file gives the exported names.
#pragma once

#include "contract/records.h"

#include <cstdint>

#if defined(__i386__)
#define MORVEL_HOST_CALL __attribute__((regparm(3)))
#else
#define MORVEL_HOST_CALL
#endif

namespace morvel {

// Results of _AddQSO and _GetScore.
inline constexpr std::int32_t kDuplicate = -1;
inline constexpr std::int32_t kNotRunning = 0;
inline constexpr std::int32_t kOnePoint = 1;

// Pointer types for a host that loads the module with GetProcAddress.
typedef MORVEL_HOST_CALL void (*GrabNumberProc)(const TQSOData* data, ShortString* number);
typedef MORVEL_HOST_CALL void (*ReleaseProc)();
typedef MORVEL_HOST_CALL std::int32_t (*GetScoreProc)(const TQSOData* data);
typedef MORVEL_HOST_CALL std::int32_t (*AddQSOProc)(const TQSOData* data);
// The result is the main window's HWND (0 when no window could be made).
typedef MORVEL_HOST_CALL std::uintptr_t (*RunProc)(std::int32_t ignored, const TQSOData* data);
typedef MORVEL_HOST_CALL void (*GetInfoProc)(TPluginInfo* info);

} // namespace morvel

extern "C" {
MORVEL_HOST_CALL void MorvelGrabNumber(const morvel::TQSOData* data, morvel::ShortString* number);
MORVEL_HOST_CALL void MorvelRelease();
MORVEL_HOST_CALL std::int32_t MorvelGetScore(const morvel::TQSOData* data);
MORVEL_HOST_CALL std::int32_t MorvelAddQSO(const morvel::TQSOData* data);
MORVEL_HOST_CALL std::uintptr_t MorvelRun(std::int32_t ignored, const morvel::TQSOData* data);
MORVEL_HOST_CALL void MorvelGetInfo(morvel::TPluginInfo* info);
}
