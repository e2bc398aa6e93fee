// MorvelRussia.dll as a host sees it: the export and import tables, the
// register calling convention, and the host's floating-point state.
#include "contract/records.h"
#include "regcall.h"

#include <windows.h>

#include "fpu_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

extern "C" {
RegCallFrame g_regCall;
std::uint32_t g_regCallSavedEsp;
}

RegCallFrame RegCall(void* fn, std::uint32_t eax, std::uint32_t edx, std::uint32_t ecx,
                     std::uint32_t misalign) {
    g_regCall = RegCallFrame{};
    g_regCall.fn = fn;
    g_regCall.eax = eax;
    g_regCall.edx = edx;
    g_regCall.ecx = ecx;
    g_regCall.misalign = misalign;
    MorvelRegCall();
    return g_regCall;
}

namespace morvel {
namespace {

std::uint32_t Arg(const void* p) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p));
}

class Dll : public ::testing::Test {
protected:
    static HMODULE module;

    static void SetUpTestSuite() { module = LoadLibraryA("MorvelRussia.dll"); }

    void SetUp() override { ASSERT_NE(module, nullptr) << "MorvelRussia.dll not loaded"; }

    static void* Export(const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(module, name));
    }
};
HMODULE Dll::module = nullptr;

TEST_F(Dll, ExportsTheSixFunctionsByNameAndOrdinal) {
    const char* names[] = {"_GrabNumber", "_Release", "_GetScore", "_AddQSO", "_Run", "_GetInfo"};
    for (int ordinal = 1; ordinal <= 6; ++ordinal) {
        void* byName = Export(names[ordinal - 1]);
        void* byOrdinal = reinterpret_cast<void*>(
            GetProcAddress(module, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(ordinal))));
        ASSERT_NE(byName, nullptr) << names[ordinal - 1];
        EXPECT_EQ(byName, byOrdinal) << names[ordinal - 1];
    }

    // Nothing else is exported.
    auto* base = reinterpret_cast<const unsigned char*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    EXPECT_EQ(exports->NumberOfNames, 6u);
    EXPECT_EQ(exports->NumberOfFunctions, 6u);
    EXPECT_EQ(exports->Base, 1u);
}

TEST_F(Dll, ImportsOnlySystemLibraries) {
    const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL",   "GDI32.DLL",
                                           "COMCTL32.DLL", "ADVAPI32.DLL", "ODBC32.DLL",
                                           "MSVCRT.DLL",   "SHELL32.DLL",  "UXTHEME.DLL"};
    auto* base = reinterpret_cast<const unsigned char*>(module);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* imports = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    int count = 0;
    for (; imports->Name != 0; ++imports, ++count) {
        std::string name = reinterpret_cast<const char*>(base + imports->Name);
        for (char& c : name) {
            c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        }
        EXPECT_TRUE(allowed.count(name) != 0) << "imports " << name;
        if (name == "ODBC32.DLL") {
            // Only undecorated ANSI entry points: Wine's "...A" ones are stubs.
            auto* thunk =
                reinterpret_cast<const IMAGE_THUNK_DATA32*>(base + imports->OriginalFirstThunk);
            for (; thunk->u1.AddressOfData != 0; ++thunk) {
                if (IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal)) {
                    continue;
                }
                const std::string fn =
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + thunk->u1.AddressOfData)
                        ->Name;
                EXPECT_NE(fn.back(), 'A') << fn;
                EXPECT_NE(fn.back(), 'W') << fn;
            }
        }
    }
    EXPECT_GT(count, 0);
}

TEST_F(Dll, RegisterConventionKeepsStackAndCalleeSavedRegisters) {
    std::vector<unsigned char> info(600, 0xFF);
    auto record = std::make_unique<TQSOData>();
    std::memset(record.get(), 0, sizeof(TQSOData));
    ShortString number;
    std::memset(&number, 0xEE, sizeof number);
    for (std::uint32_t misalign : {4u, 8u, 12u, 0u}) {
        struct Case {
            const char* name;
            std::uint32_t eax, edx;
        } cases[] = {{"_GetInfo", Arg(info.data()), 0},
                     {"_GetScore", Arg(record.get()), 0},
                     {"_AddQSO", Arg(record.get()), 0},
                     {"_GrabNumber", Arg(record.get()), Arg(&number)},
                     {"_Release", 0, 0}};
        for (const Case& c : cases) {
            const RegCallFrame f = RegCall(Export(c.name), c.eax, c.edx, 0xDEADBEEF, misalign);
            EXPECT_EQ(f.espAfter, f.espBefore) << c.name << " misalign " << misalign;
            EXPECT_EQ(f.ebx, 0x11111111u) << c.name;
            EXPECT_EQ(f.esi, 0x22222222u) << c.name;
            EXPECT_EQ(f.edi, 0x33333333u) << c.name;
            EXPECT_EQ(f.ebp, 0x44444444u) << c.name;
        }
    }
    // The results arrived through the registers.
    EXPECT_EQ(info[0], 13);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(&info[1]), 13), "Morvel Russia");
    EXPECT_EQ(info[260], 14);
    EXPECT_EQ(info[14], 0xFF);
    EXPECT_EQ(info[275], 0xFF);
    EXPECT_EQ(number.bytes[0], 0); // not running: an empty suggestion, still written
    EXPECT_EQ(number.bytes[1], 0xEE);
    EXPECT_EQ(RegCall(Export("_GetScore"), Arg(record.get())).result, 0u);
    EXPECT_EQ(RegCall(Export("_AddQSO"), Arg(record.get())).result, 0u);
}

using test::ControlWord;
using test::Mxcsr;
using test::StatusWord;

// A Delphi host runs with invalid operation, zero divide and overflow
// unmasked (control word $1332, MXCSR $1900).
TEST_F(Dll, HostFloatingPointStateSurvivesEveryExport) {
    std::vector<unsigned char> info(600, 0);
    auto record = std::make_unique<TQSOData>();
    std::memset(record.get(), 0, sizeof(TQSOData));
    ShortString number{};
    const std::uint16_t hostCw = 0x1332;
    const std::uint32_t hostMxcsr = 0x1900;
    const std::pair<const char*, std::uint32_t> calls[] = {{"_GetInfo", Arg(info.data())},
                                                           {"_GetScore", Arg(record.get())},
                                                           {"_AddQSO", Arg(record.get())},
                                                           {"_GrabNumber", Arg(record.get())},
                                                           {"_Release", 0}};
    for (const auto& [name, eax] : calls) {
        asm volatile("fnclex");
        asm volatile("fldcw %0" : : "m"(hostCw));
        asm volatile("ldmxcsr %0" : : "m"(hostMxcsr));
        // Reserved bit 6 reads back as set: compare with what the host has.
        const std::uint16_t hostState = ControlWord();
        RegCall(Export(name), eax, Arg(&number));
        const std::uint16_t cw = ControlWord();
        const std::uint16_t sw = StatusWord();
        const std::uint32_t mxcsr = Mxcsr();
        const std::uint16_t relaxed = 0x037F;
        asm volatile("fldcw %0" : : "m"(relaxed));
        EXPECT_EQ(cw, hostState) << name;
        EXPECT_EQ(cw & 0x3F, hostCw & 0x3F) << name;
        EXPECT_EQ(sw & 0x3F, 0) << name;
        EXPECT_EQ(mxcsr, hostMxcsr) << name;
    }
}

} // namespace
} // namespace morvel
