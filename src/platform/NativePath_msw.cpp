#include "NativePath.h"

wxString NativePath::Decode(const String& native)
{
    return wxString(native.c_str(), native.size());
}

bool NativePath::Encode(const wxString& path, String& native)
{
    String wide(path.wc_str(), path.length());
    if (wide.find(L'\0') != String::npos)
        return false;
    native = std::move(wide);
    return true;
}

bool NativePath::IsExact(const wxString& path)
{
    String native;
    return Encode(path, native);
}

// The toolkit's Windows paths are the system's own UTF-16 text.
wxString NativePath::FromToolkit(const wxString& path)
{
    return path;
}

wxString NativePath::Display(const wxString& path)
{
    return path;
}
