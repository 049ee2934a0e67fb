#pragma once
// Files for the unit tests that save and load: a folder of each test's own
// under the system's temporary folder (removed with everything in it when
// the test ends, even one left read-only), and whole files as bytes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct ScratchFolder {
    static const ::testing::TestInfo* Test() { return ::testing::UnitTest::GetInstance()->current_test_info(); }
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("koru_" + std::to_string(::getpid()) + "_" + Test()->test_suite_name() + "_" +
                                 Test()->name());
    ScratchFolder() { std::filesystem::create_directories(dir); }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(dir, std::filesystem::perms(0755), ignored);
        std::filesystem::remove_all(dir, ignored);
    }
    std::string operator/(const std::string& name) const { return (dir / name).string(); }
};

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
// Bytes that differ from their neighbours and from another seed's.
inline Bytes Pattern(size_t size, uint8_t seed) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(seed + i * 13 + (i >> 8));
    return bytes;
}
