// Payload extraction writes real files; the payload comes from the stand-in.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

#include "core/payload.h"
#include "tests/host/fake_platform.h"

namespace lumiran {
namespace {

namespace fs = std::filesystem;

platform::ModuleHandle Module() { return reinterpret_cast<platform::ModuleHandle>(0x400000); }

std::vector<std::uint8_t> ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::uint8_t> PseudoExecutable(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::mt19937 random(7);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[2] = '\n';  // would be mangled by a text-mode stream on Windows
    bytes[3] = '\r';
    return bytes;
}

class Payload : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        fake::Fake().script.payload = PseudoExecutable(996352);
        root = fs::temp_directory_path() /
               ("lumiran-payload-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root;
};

TEST_F(Payload, CreatesTheFolderAndItsParentAndWritesTheExactBytes) {
    const fs::path exe = root / "Programs" / "Lumiran" / "Lumiran.exe";
    ASSERT_TRUE(ExtractPayload(Module(), exe.wstring()));
    EXPECT_EQ(ReadAll(exe), fake::Fake().script.payload);
    EXPECT_EQ(fake::CallsOf("LoadDataResource").at(0).args, (std::vector<std::wstring>{L"4194304", L"201"}));
}

TEST_F(Payload, ALongerExistingFileEndsExactlyThePayloadLong) {
    const fs::path exe = root / "Lumiran.exe";
    std::ofstream(exe, std::ios::binary) << std::string(2 * 996352, 'x');
    ASSERT_TRUE(ExtractPayload(Module(), exe.wstring()));
    EXPECT_EQ(fs::file_size(exe), 996352u);
    EXPECT_EQ(ReadAll(exe), fake::Fake().script.payload);
}

TEST_F(Payload, NoPayloadOrAnEmptyOneTouchesNothing) {
    const fs::path exe = root / "Programs" / "Lumiran" / "Lumiran.exe";
    fake::Fake().script.payloadMissing = true;
    EXPECT_FALSE(ExtractPayload(Module(), exe.wstring()));
    fake::Fake().script.payloadMissing = false;
    fake::Fake().script.payload.clear();
    EXPECT_FALSE(ExtractPayload(Module(), exe.wstring()));
    EXPECT_FALSE(fs::exists(root / "Programs"));
}

TEST_F(Payload, APlainFileWhereTheFolderShouldBeFails) {
    std::ofstream(root / "Programs") << "in the way";
    EXPECT_FALSE(ExtractPayload(Module(), (root / "Programs" / "Lumiran" / "Lumiran.exe").wstring()));
    EXPECT_TRUE(fs::is_regular_file(root / "Programs"));
}

#ifdef _WIN32
// Windows paths are wide natively; on the host the standard library's path
// conversion from wide text accepts ASCII only, so this runs in the cross build.
TEST_F(Payload, FoldersWithSpacesAndNonAsciiNames) {
    const std::wstring exe = root.wstring() + L"/Zoë 测试 用户/Programs/Lumiran/Lumiran.exe";
    ASSERT_TRUE(ExtractPayload(Module(), exe));
    EXPECT_EQ(ReadAll(fs::path(exe)), fake::Fake().script.payload);
}
#endif

TEST_F(Payload, AnEmptyPathFails) { EXPECT_FALSE(ExtractPayload(Module(), L"")); }

TEST_F(Payload, AFolderAtThePathItselfFails) {
    fs::create_directories(root / "Lumiran.exe");
    EXPECT_FALSE(ExtractPayload(Module(), (root / "Lumiran.exe").wstring()));
}

TEST_F(Payload, APathWithoutSeparatorWritesIntoTheCurrentFolder) {
    const fs::path previous = fs::current_path();
    fs::current_path(root);
    const bool written = ExtractPayload(Module(), L"Lumiran.exe");
    fs::current_path(previous);
    ASSERT_TRUE(written);
    EXPECT_EQ(ReadAll(root / "Lumiran.exe"), fake::Fake().script.payload);
}

#ifndef _WIN32
TEST_F(Payload, ADiskThatFillsUpFails) {
    // /dev/full accepts the open and refuses every byte.
    EXPECT_FALSE(ExtractPayload(Module(), L"/dev/full"));
}

TEST_F(Payload, AFailureThatShowsOnlyAtCloseFails) {
    // A payload smaller than the stream's buffer reaches the device only
    // when the file is closed: the install must not count it as written.
    fake::Fake().script.payload = PseudoExecutable(100);
    EXPECT_FALSE(ExtractPayload(Module(), L"/dev/full"));
}

TEST_F(Payload, AWriteCutShortFailsAndLeavesThePartialFile) {
    // A file-size limit stands in for a disk that fills up mid-write.
    const fs::path exe = root / "Lumiran.exe";
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written = ExtractPayload(Module(), exe.wstring());
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    ASSERT_TRUE(fs::exists(exe));
    const std::vector<std::uint8_t> partial = ReadAll(exe);
    EXPECT_EQ(partial.size(), 64u * 1024u);
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), fake::Fake().script.payload.begin()));
}
#endif

}  // namespace
}  // namespace lumiran
