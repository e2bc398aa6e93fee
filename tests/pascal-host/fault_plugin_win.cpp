// MorvelFault.dll: a stand-in for MorvelRussia.dll that proves the Pascal
// host's checks catch what they are meant to. It exports the same six names,
// forwards every call to the real MorvelRussia.dll in its own folder, and
// injects the one fault that the environment variable MORVEL_FAULT names
// (none when unset or "none"):
//
//   x87-control-word    the control word left with every exception masked
//   x87-exception-flag  a zero-divide flag left pending, unmasked
//   x87-stack           a value left on the x87 stack
//   mxcsr               MXCSR left with another rounding mode
//   ebx esi edi ebp     that callee-saved register left clobbered
//   direction-flag      the direction flag left set
//   callee-pops         4 bytes of the caller's stack removed on return
//   record-write        one byte of the host's record written
//   record-overread     the byte after the host's record read
//   duplicate-answer    1 answered for a duplicate
//   shortstring-length  _GrabNumber's characters moved onto its length byte
//
// The floating-point and register faults follow every export; the others
// follow the exports they concern.
#include "contract/contract.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

using namespace morvel;

namespace {

enum class Fault {
    None,
    ControlWord,
    ExceptionFlag,
    StackValue,
    Mxcsr,
    Ebx,
    Esi,
    Edi,
    Ebp,
    DirectionFlag,
    CalleePops,
    RecordWrite,
    RecordOverread,
    DuplicateAnswer,
    ShortStringLength,
};

struct NamedFault {
    std::string_view name;
    Fault fault;
};

constexpr NamedFault kFaults[] = {
    {"none", Fault::None},
    {"x87-control-word", Fault::ControlWord},
    {"x87-exception-flag", Fault::ExceptionFlag},
    {"x87-stack", Fault::StackValue},
    {"mxcsr", Fault::Mxcsr},
    {"ebx", Fault::Ebx},
    {"esi", Fault::Esi},
    {"edi", Fault::Edi},
    {"ebp", Fault::Ebp},
    {"direction-flag", Fault::DirectionFlag},
    {"callee-pops", Fault::CalleePops},
    {"record-write", Fault::RecordWrite},
    {"record-overread", Fault::RecordOverread},
    {"duplicate-answer", Fault::DuplicateAnswer},
    {"shortstring-length", Fault::ShortStringLength},
};

HMODULE g_self = nullptr;

struct Real {
    Fault fault = Fault::None;
    GrabNumberProc grabNumber = nullptr;
    ReleaseProc release = nullptr;
    GetScoreProc getScore = nullptr;
    AddQSOProc addQSO = nullptr;
    RunProc run = nullptr;
    GetInfoProc getInfo = nullptr;
};

[[noreturn]] void Die(const std::string& message) {
    const std::string line = "MorvelFault.dll: " + message + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
    ExitProcess(3);
}

Fault FaultFromEnvironment() {
    char value[64] = {};
    const DWORD length = GetEnvironmentVariableA("MORVEL_FAULT", value, sizeof value);
    if (length == 0) {
        return Fault::None;
    }
    if (length >= sizeof value) {
        Die("MORVEL_FAULT is too long");
    }
    for (const NamedFault& named : kFaults) {
        if (named.name == value) {
            return named.fault;
        }
    }
    Die(std::string("unknown MORVEL_FAULT \"") + value + "\"");
}

template <typename Proc>
Proc Find(HMODULE module, const char* name) {
    FARPROC address = GetProcAddress(module, name);
    if (address == nullptr) {
        Die(std::string("the real DLL has no export ") + name);
    }
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(address));
}

// The real DLL, loaded on the first call (not in DllMain, under the loader
// lock), from this DLL's own folder.
const Real& TheReal() {
    static const Real real = [] {
        Real r;
        r.fault = FaultFromEnvironment();
        char path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameA(g_self, path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) {
            Die("cannot find its own file name");
        }
        std::string file(path, length);
        file = file.substr(0, file.find_last_of("\\/") + 1) + "MorvelRussia.dll";
        HMODULE module = LoadLibraryA(file.c_str());
        if (module == nullptr) {
            Die("cannot load " + file);
        }
        r.grabNumber = Find<GrabNumberProc>(module, "_GrabNumber");
        r.release = Find<ReleaseProc>(module, "_Release");
        r.getScore = Find<GetScoreProc>(module, "_GetScore");
        r.addQSO = Find<AddQSOProc>(module, "_AddQSO");
        r.run = Find<RunProc>(module, "_Run");
        r.getInfo = Find<GetInfoProc>(module, "_GetInfo");
        return r;
    }();
    return real;
}

std::int32_t Answer(std::int32_t result) {
    if (TheReal().fault == Fault::DuplicateAnswer && result == kDuplicate) {
        return kOnePoint;
    }
    return result;
}

void TouchRecord(const TQSOData* data) {
    auto* bytes = reinterpret_cast<const volatile std::uint8_t*>(data);
    if (TheReal().fault == Fault::RecordWrite) {
        auto* last = const_cast<volatile std::uint8_t*>(bytes) + sizeof(TQSOData) - 1;
        *last = static_cast<std::uint8_t>(*last ^ 0x5A);
    } else if (TheReal().fault == Fault::RecordOverread) {
        const std::uint8_t past = bytes[sizeof(TQSOData)];
        static_cast<void>(past);
    }
}

// The last thing each export does: nothing after it touches the x87 unit
// or MXCSR.
void LeaveFpuFault() {
    switch (TheReal().fault) {
    case Fault::ControlWord: {
        std::uint16_t cw = 0;
        asm volatile("fnstcw %0" : "=m"(cw));
        cw |= 0x3F;
        asm volatile("fldcw %0" : : "m"(cw));
        break;
    }
    case Fault::ExceptionFlag: {
        // 1/0 with every exception masked sets the zero-divide flag; the
        // host's control word, loaded again, leaves it pending and unmasked.
        std::uint16_t cw = 0;
        asm volatile("fnstcw %0" : "=m"(cw));
        const std::uint16_t masked = cw | 0x3F;
        const float zero = 0.0F;
        asm volatile("fldcw %1\n\t"
                     "fld1\n\t"
                     "fdivs %2\n\t"
                     "fstp %%st(0)\n\t"
                     "fldcw %0"
                     :
                     : "m"(cw), "m"(masked), "m"(zero));
        break;
    }
    case Fault::StackValue:
        asm volatile("fld1");
        break;
    case Fault::Mxcsr: {
        std::uint32_t mxcsr = 0;
        asm volatile("stmxcsr %0" : "=m"(mxcsr));
        mxcsr ^= 0x6000;
        asm volatile("ldmxcsr %0" : : "m"(mxcsr));
        break;
    }
    default:
        break;
    }
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_self = instance;
    }
    return TRUE;
}

// What the export stubs do on return: clobber 1 EBX, 2 ESI, 4 EDI, 8 EBP;
// 16 set the direction flag; 32 return with "ret $4".
__attribute__((used)) std::uint32_t FaultReturnMask() {
    switch (TheReal().fault) {
    case Fault::Ebx:
        return 1;
    case Fault::Esi:
        return 2;
    case Fault::Edi:
        return 4;
    case Fault::Ebp:
        return 8;
    case Fault::DirectionFlag:
        return 16;
    case Fault::CalleePops:
        return 32;
    default:
        return 0;
    }
}

MORVEL_HOST_CALL __attribute__((used)) void ForwardGrabNumber(const TQSOData* data,
                                                              ShortString* number) {
    TheReal().grabNumber(data, number);
    if (TheReal().fault == Fault::ShortStringLength) {
        const std::size_t length = number->bytes[0];
        std::memmove(number->bytes, number->bytes + 1, length);
    }
    TouchRecord(data);
    LeaveFpuFault();
}

MORVEL_HOST_CALL __attribute__((used)) void ForwardRelease() {
    TheReal().release();
    LeaveFpuFault();
}

MORVEL_HOST_CALL __attribute__((used)) std::int32_t ForwardGetScore(const TQSOData* data) {
    const std::int32_t result = Answer(TheReal().getScore(data));
    TouchRecord(data);
    LeaveFpuFault();
    return result;
}

MORVEL_HOST_CALL __attribute__((used)) std::int32_t ForwardAddQSO(const TQSOData* data) {
    const std::int32_t result = Answer(TheReal().addQSO(data));
    TouchRecord(data);
    LeaveFpuFault();
    return result;
}

MORVEL_HOST_CALL __attribute__((used)) std::uintptr_t ForwardRun(std::int32_t ignored,
                                                                 const TQSOData* data) {
    const std::uintptr_t window = TheReal().run(ignored, data);
    TouchRecord(data);
    LeaveFpuFault();
    return window;
}

MORVEL_HOST_CALL __attribute__((used)) void ForwardGetInfo(TPluginInfo* info) {
    TheReal().getInfo(info);
    LeaveFpuFault();
}

} // extern "C"

// The exports: each calls its forwarder with EAX, EDX and ECX untouched, then
// returns as the fault says, keeping the result in EAX.
asm(R"(
    .text
    .globl _FaultGrabNumber
_FaultGrabNumber:
    call _ForwardGrabNumber
    jmp fault_return
    .globl _FaultRelease
_FaultRelease:
    call _ForwardRelease
    jmp fault_return
    .globl _FaultGetScore
_FaultGetScore:
    call _ForwardGetScore
    jmp fault_return
    .globl _FaultAddQSO
_FaultAddQSO:
    call _ForwardAddQSO
    jmp fault_return
    .globl _FaultRun
_FaultRun:
    call _ForwardRun
    jmp fault_return
    .globl _FaultGetInfo
_FaultGetInfo:
    call _ForwardGetInfo
    jmp fault_return

fault_return:
    pushl %eax
    call _FaultReturnMask
    movl %eax, %ecx
    popl %eax
    testl $1, %ecx
    jz 1f
    movl $0x0BADF00D, %ebx
1:  testl $2, %ecx
    jz 2f
    movl $0x0BADF00D, %esi
2:  testl $4, %ecx
    jz 3f
    movl $0x0BADF00D, %edi
3:  testl $8, %ecx
    jz 4f
    movl $0x0BADF00D, %ebp
4:  testl $16, %ecx
    jz 5f
    std
5:  testl $32, %ecx
    jz 6f
    ret $4
6:  ret
)");
