// Whole-file reads and writes for tests that check the bytes a program left behind.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

/// The whole file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);
/// Replaces the file's content, creating the folders it lies in.
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
bool PathExists(const std::filesystem::path& path);

} // namespace testing_support
