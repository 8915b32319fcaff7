#include "tools/vpedrive/module_abi.h"

#include "testsupport/test_paths.h"

#include <gtest/gtest.h>

#include <string>

using namespace Corvinex::Vpedrive;

namespace {

// The bytes of `text` with its embedded zero bytes (a string literal's own zero ends it).
template <size_t N> ModuleAbi AbiOf(const char (&text)[N]) {
    return AbiOfBytes(reinterpret_cast<const BYTE*>(text), N);
}

std::wstring BuildFile(const std::wstring& relative) {
    return VpeTest::ProgramFolder() + L"..\\" + relative;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

TEST(ModuleAbi, TypeNamesBetweenZeroBytesTellTheAbi) {
    EXPECT_EQ(AbiOf("\0\0\0\0.?AVIVeilpathEngine@VeilpathEngine@Corvinex@@\0"), ModuleAbi::Msvc);
    EXPECT_EQ(AbiOf("\0.?AUPoint@@\0"), ModuleAbi::Msvc);
    EXPECT_EQ(AbiOf("x\0N8Corvinex14VeilpathEngine15IVeilpathEngineE\0"), ModuleAbi::Gcc);
    EXPECT_EQ(AbiOf("\0N12_GLOBAL__N_114ScriptedEngineE\0"), ModuleAbi::Gcc);
}

TEST(ModuleAbi, TextThatOnlyLooksLikeATypeNameDoesNotCount) {
    // The binding's own ".?A" prefix, names inside other text, and broken lengths.
    EXPECT_EQ(AbiOf("\0.?A\0"), ModuleAbi::Unknown);
    EXPECT_EQ(AbiOf("\0.?AVPoint@\0"), ModuleAbi::Unknown);
    EXPECT_EQ(AbiOf("\0see .?AVPoint@@\0"), ModuleAbi::Unknown);
    EXPECT_EQ(AbiOf("\0N8Corvinex\0"), ModuleAbi::Unknown);
    EXPECT_EQ(AbiOf("\0N8Corvinex15VeilpathEngineE\0"), ModuleAbi::Unknown);
    EXPECT_EQ(AbiOf("\0Name of a thing\0"), ModuleAbi::Unknown);
    EXPECT_EQ(AbiOf(".?AVPoint@@"), ModuleAbi::Unknown);
}

TEST(ModuleAbi, TheMoreNumerousKindWinsAndATieTellsNothing) {
    EXPECT_EQ(AbiOf("\0.?AVA@@\0.?AVB@@\0N1a1bE\0"), ModuleAbi::Msvc);
    EXPECT_EQ(AbiOf("\0.?AVA@@\0N1a1bE\0N1a1cE\0"), ModuleAbi::Gcc);
    EXPECT_EQ(AbiOf("\0.?AVA@@\0N1a1bE\0"), ModuleAbi::Unknown);
}

TEST(ModuleAbi, TheBuiltHarnessesAndEnginesAreJudgedByTheirOwnNames) {
    ModuleAbi abi = ModuleAbi::Msvc;
    ASSERT_TRUE(ReadModuleAbi(BuildFile(L"bin\\vpetest.exe"), &abi));
    EXPECT_EQ(abi, ModuleAbi::Gcc);
    ASSERT_TRUE(ReadModuleAbi(VpeTest::TestEnginePath(L"scripted_engine"), &abi));
    EXPECT_EQ(abi, ModuleAbi::Gcc);
    // An engine without polymorphic classes carries no names.
    ASSERT_TRUE(ReadModuleAbi(VpeTest::TestEnginePath(L"null_engine"), &abi));
    EXPECT_EQ(abi, ModuleAbi::Unknown);
    EXPECT_FALSE(ReadModuleAbi(BuildFile(L"bin\\no-such-module.dll"), &abi));
    EXPECT_EQ(abi, ModuleAbi::Unknown);

    if (!Exists(BuildFile(L"msvc\\bin\\vpetest.exe")))
        GTEST_SKIP() << "the MSVC-ABI build (build/msvc) is not there";
    ASSERT_TRUE(ReadModuleAbi(BuildFile(L"msvc\\bin\\vpetest.exe"), &abi));
    EXPECT_EQ(abi, ModuleAbi::Msvc);
    ASSERT_TRUE(ReadModuleAbi(BuildFile(L"msvc\\bin\\vpe.dll"), &abi));
    EXPECT_EQ(abi, ModuleAbi::Msvc);
    // Built with /GR-: no type descriptors at all.
    ASSERT_TRUE(ReadModuleAbi(BuildFile(L"msvc\\tests\\engines\\nortti_engine\\vpe.dll"), &abi));
    EXPECT_EQ(abi, ModuleAbi::Unknown);
}

TEST(ModuleAbi, NamesRoundTrip) {
    ModuleAbi abi = ModuleAbi::Unknown;
    ASSERT_TRUE(ParseAbiName(AbiName(ModuleAbi::Msvc), &abi));
    EXPECT_EQ(abi, ModuleAbi::Msvc);
    ASSERT_TRUE(ParseAbiName(L"GCC", &abi));
    EXPECT_EQ(abi, ModuleAbi::Gcc);
    EXPECT_FALSE(ParseAbiName(L"unknown", &abi));
    EXPECT_FALSE(ParseAbiName(L"", &abi));
}
