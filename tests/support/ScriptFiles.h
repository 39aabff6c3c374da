// Scripts written to a private temporary folder for one test.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace vantrell {

class ScriptFiles {
public:
    ScriptFiles() {
        char pattern[] = "/tmp/vantrell-test-XXXXXX";
        const char* dir = ::mkdtemp(pattern);
        if (dir == nullptr) throw std::runtime_error("mkdtemp failed");
        m_dir = dir;
    }
    ~ScriptFiles() { std::system(("rm -rf '" + m_dir + "'").c_str()); }

    std::string Write(const std::string& name, const std::string& content) const {
        const std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

private:
    std::string m_dir;
};

}  // namespace vantrell
