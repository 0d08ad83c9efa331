// A temporary sub-net root with unit 1's directory, removed again at the end of a test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class UnitDirectory {
public:
    UnitDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ferix-hh-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        home_ = pattern;
        std::filesystem::create_directory(home_ / "Ferix1");
    }
    ~UnitDirectory() {
        std::error_code ec;
        std::filesystem::remove_all(home_, ec);
    }
    UnitDirectory(const UnitDirectory&) = delete;
    UnitDirectory& operator=(const UnitDirectory&) = delete;

    // FerixHomeDir and FerixDir(1) as the control wants them.
    std::string homeDir() const { return home_.string() + "/"; }
    static std::string unitDir() { return "Ferix1/"; }

    std::filesystem::path home() const { return home_; }
    std::filesystem::path path(const std::string& name) const { return home_ / "Ferix1" / name; }

    void write(const std::string& name, const std::string& text) const {
        writeAt(path(name), text);
    }
    static void writeAt(const std::filesystem::path& where, const std::string& text) {
        std::ofstream out(where, std::ios::binary);
        out << text;
    }
    std::string read(const std::string& name) const { return readAt(path(name)); }
    static std::string readAt(const std::filesystem::path& where) {
        std::ifstream in(where, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(path(name)); }

private:
    std::filesystem::path home_;
};
