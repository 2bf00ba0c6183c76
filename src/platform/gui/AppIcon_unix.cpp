// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gui/AppIcon.h"

#include <wx/icon.h>
#include <wx/image.h>
#include <wx/mstream.h>

#include "vorlix_icons.h"

wxIconBundle AppIcon::Load()
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    wxIconBundle bundle;
    for (const VorlixIconImage& image : vorlix_icon_images) {
        wxMemoryInputStream stream(image.data, image.size);
        wxImage picture(stream, wxBITMAP_TYPE_PNG);
        if (picture.IsOk()) {
            wxIcon icon;
            icon.CopyFromBitmap(wxBitmap(picture));
            bundle.AddIcon(icon);
        }
    }
    return bundle;
}
