// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CertificatePdf.h"

// No cairo in the Windows build: the certificate is its JSON record alone.
bool CertificatePdf::Available()
{
    return false;
}

bool CertificatePdf::Render(const Document&, std::string& pdf, wxString& detail)
{
    pdf.clear();
    detail = "PDF output is not available on Windows";
    return false;
}
