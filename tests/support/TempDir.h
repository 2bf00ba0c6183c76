// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/Printing.h"

inline void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// True for anything at path, a dangling link included.
inline bool Exists(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

// A folder of real files for one test, removed with everything in it.
class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/vorlix-test-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir()
    {
        // Tests may leave read-only folders behind; make them removable first.
        std::system(("chmod -R u+rwx '" + path + "' 2>/dev/null; rm -rf '" + path + "'").c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path; }
    std::string Path(const std::string& name) const { return path + "/" + name; }

    std::string File(const std::string& name, const std::string& content = "data") const
    {
        WriteFile(Path(name), content);
        return Path(name);
    }
    std::string Folder(const std::string& name) const
    {
        mkdir(Path(name).c_str(), 0755);
        return Path(name);
    }

    std::string path;
};
