#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "support/Printing.h"
#include <fstream>
#include <string>

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

    std::string File(const std::string& name, const std::string& content = "data") const
    {
        const std::string full = path + "/" + name;
        Write(full, content);
        return full;
    }
    static void Write(const std::string& file, const std::string& content)
    {
        std::ofstream(file, std::ios::binary) << content;
    }
    std::string Folder(const std::string& name) const
    {
        const std::string full = path + "/" + name;
        mkdir(full.c_str(), 0755);
        return full;
    }

    std::string path;
};
