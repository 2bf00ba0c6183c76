#include "FolderId.h"

#include <sys/stat.h>

wxString FolderId::Of(const wxString& path)
{
    struct stat info;
    if (stat(path.fn_str(), &info) != 0)
        return wxString();
    return wxString::Format("%llu:%llu", static_cast<unsigned long long>(info.st_dev),
                            static_cast<unsigned long long>(info.st_ino));
}
