// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <wx/string.h>

#include <string>
#include <vector>

// A certificate printed as an A4 PDF through cairo, one or two pages, its
// words kept as text that a reader can search and copy (and pdftotext reads
// back). Labels stand in a column of their own, values beside them wrap at
// spaces, or anywhere in a word longer than the line.
class CertificatePdf {
public:
    enum class Style {
        Title,      // large, at the top
        Note,       // a paragraph across the page
        Heading,    // a section's name
        Field,      // label and value side by side
        Signature,  // label, then a line to sign or write on
        Checksum,   // label, then value in a fixed-width font, shrunk to stay on one line
    };
    struct Line {
        Style style;
        wxString label;
        wxString value;
    };
    struct Document {
        wxString title;    // the PDF's own title, as readers show it
        wxString creator;  // the program that made it, with its version
        std::vector<Line> lines;
    };

    // False where PDFs cannot be made (Windows): Render always fails there.
    static bool Available();
    // The document's PDF bytes in pdf; false, with the reason in detail,
    // when cairo could not make them.
    static bool Render(const Document& document, std::string& pdf, wxString& detail);
};
