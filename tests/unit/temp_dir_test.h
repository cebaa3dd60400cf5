#pragma once
// A test with a folder of its own for the files it writes, removed after it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace zuv::testing {

class temp_dir_test : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("zuv_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name()) +
                "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    // Writes text, byte for byte, to a file in the folder; returns its path.
    std::string write(const std::string& name, const std::string& text) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    std::filesystem::path dir_;
};

}  // namespace zuv::testing
