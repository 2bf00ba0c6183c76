// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CertificatePdf.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <new>

namespace {

// A4 in points, with 2 cm kept free around the text.
constexpr double pageWidth = 595.28, pageHeight = 841.89, margin = 56.7;
constexpr double textWidth = pageWidth - 2 * margin;
constexpr double bodySize = 10, lineHeight = 14, titleSize = 18, headingSize = 12;
constexpr double columnGap = 12;
// The toy API's names, which fontconfig resolves to the system's faces.
const char* const sans = "sans-serif";
const char* const fixed = "monospace";

std::string Utf8(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

void Font(cairo_t* cr, const char* family, bool bold, double size)
{
    cairo_select_font_face(cr, family, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

double Width(cairo_t* cr, const std::string& text)
{
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents.x_advance;
}

// Where the character after the one at `at` starts: words are cut between
// characters, never inside one.
size_t NextCharacter(const std::string& text, size_t at)
{
    do
        ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80);
    return at;
}

// One paragraph in lines no wider than width in the current font.
void WrapParagraph(cairo_t* cr, const std::string& paragraph, double width, std::vector<std::string>& lines)
{
    std::string line;
    for (size_t at = 0; at <= paragraph.size();) {
        const size_t space = std::min(paragraph.find(' ', at), paragraph.size());
        std::string word = paragraph.substr(at, space - at);
        at = space + 1;
        const std::string longer = line.empty() ? word : line + " " + word;
        if (Width(cr, longer) <= width) {
            line = longer;
            continue;
        }
        if (!line.empty())
            lines.push_back(line);
        // A word wider than a line (a serial number, a path) goes in pieces,
        // each as many characters as fit, at least one.
        while (Width(cr, word) > width) {
            size_t cut = NextCharacter(word, 0);
            for (size_t next = NextCharacter(word, cut); next <= word.size() && Width(cr, word.substr(0, next)) <= width;
                 next = NextCharacter(word, next))
                cut = next;
            lines.push_back(word.substr(0, cut));
            word.erase(0, cut);
        }
        line = word;
    }
    lines.push_back(line);
}

std::vector<std::string> Wrap(cairo_t* cr, const wxString& text, double width)
{
    const std::string utf8 = Utf8(text);
    std::vector<std::string> lines;
    for (size_t start = 0;;) {
        const size_t end = utf8.find('\n', start);
        WrapParagraph(cr, utf8.substr(start, end == std::string::npos ? std::string::npos : end - start), width,
                      lines);
        if (end == std::string::npos)
            return lines;
        start = end + 1;
    }
}

// Draws the lines one below the other, starting a new page where the next
// block would not fit on this one.
class Pen {
public:
    explicit Pen(cairo_t* context) : cr(context) {}

    void Space(double height) { y += height; }
    // Room for a block of height on this page, or a new page.
    void Keep(double height)
    {
        if (y + height > pageHeight - margin) {
            cairo_show_page(cr);
            y = margin + bodySize;
        }
    }
    void Text(double x, const std::string& text)
    {
        cairo_move_to(cr, x, y);
        cairo_show_text(cr, text.c_str());
    }
    void Rule(double from, double to, double below)
    {
        cairo_set_line_width(cr, 0.6);
        cairo_move_to(cr, from, y + below);
        cairo_line_to(cr, to, y + below);
        cairo_stroke(cr);
    }

    cairo_t* const cr;
    double y = margin + titleSize;  // the baseline of the next line
};

// The label column's width: the widest label, but never more than two
// fifths of the line, so that values keep room (longer labels wrap).
double LabelWidth(cairo_t* cr, const std::vector<CertificatePdf::Line>& lines)
{
    Font(cr, sans, true, bodySize);
    double widest = 0;
    for (const CertificatePdf::Line& line : lines)
        if (line.style == CertificatePdf::Style::Field)
            widest = std::max(widest, Width(cr, Utf8(line.label)));
    return std::min(widest, textWidth * 0.4);
}

void Draw(Pen& pen, const CertificatePdf::Line& line, double labelWidth)
{
    cairo_t* cr = pen.cr;
    using Style = CertificatePdf::Style;
    switch (line.style) {
    case Style::Title:
    case Style::Note: {
        const bool title = line.style == Style::Title;
        Font(cr, sans, title, title ? titleSize : bodySize);
        const double height = title ? titleSize * 1.4 : lineHeight;
        for (const std::string& text : Wrap(cr, line.label, textWidth)) {
            pen.Keep(height);
            pen.Text(margin, text);
            pen.Space(height);
        }
        pen.Space(title ? 8 : 4);
        break;
    }
    case Style::Heading:
        pen.Space(10);
        // A heading stays with the first line under it.
        pen.Keep(headingSize + 2 * lineHeight);
        Font(cr, sans, true, headingSize);
        pen.Text(margin, Utf8(line.label));
        pen.Rule(margin, margin + textWidth, 4);
        pen.Space(headingSize + 8);
        break;
    case Style::Field: {
        const double valueX = margin + labelWidth + columnGap;
        Font(cr, sans, true, bodySize);
        const std::vector<std::string> labels = Wrap(cr, line.label, labelWidth);
        Font(cr, sans, false, bodySize);
        const std::vector<std::string> values = Wrap(cr, line.value, textWidth - labelWidth - columnGap);
        const size_t rows = std::max(labels.size(), values.size());
        pen.Keep(rows * lineHeight);
        for (size_t row = 0; row < rows; ++row) {
            Font(cr, sans, true, bodySize);
            if (row < labels.size())
                pen.Text(margin, labels[row]);
            Font(cr, sans, false, bodySize);
            if (row < values.size())
                pen.Text(valueX, values[row]);
            pen.Space(lineHeight);
        }
        pen.Space(2);
        break;
    }
    case Style::Signature: {
        pen.Space(2 * lineHeight);
        pen.Keep(lineHeight);
        Font(cr, sans, false, bodySize);
        const std::string label = Utf8(line.label);
        pen.Text(margin, label);
        const double from = margin + std::min(Width(cr, label) + columnGap, textWidth / 2);
        pen.Rule(from, margin + textWidth, 2);
        pen.Space(lineHeight);
        break;
    }
    case Style::Checksum: {
        pen.Space(lineHeight);
        pen.Keep(2 * lineHeight);
        Font(cr, sans, true, bodySize);
        for (const std::string& text : Wrap(cr, line.label, textWidth)) {
            pen.Text(margin, text);
            pen.Space(lineHeight);
        }
        // Shrunk rather than wrapped: a checksum is compared as one string.
        Font(cr, fixed, false, bodySize);
        const std::string value = Utf8(line.value);
        const double width = Width(cr, value);
        if (width > textWidth)
            cairo_set_font_size(cr, bodySize * textWidth / width);
        pen.Keep(lineHeight);
        pen.Text(margin, value);
        pen.Space(lineHeight);
        break;
    }
    }
}

cairo_status_t Append(void* closure, const unsigned char* data, unsigned int length)
{
    try {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        return CAIRO_STATUS_NO_MEMORY;
    }
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

bool CertificatePdf::Available()
{
    return true;
}

bool CertificatePdf::Render(const Document& document, std::string& pdf, wxString& detail)
{
    pdf.clear();
    cairo_surface_t* surface = cairo_pdf_surface_create_for_stream(Append, &pdf, pageWidth, pageHeight);
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, Utf8(document.title).c_str());
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATOR, Utf8(document.creator).c_str());
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 0, 0, 0);
    Pen pen(cr);
    const double labelWidth = LabelWidth(cr, document.lines);
    for (const Line& line : document.lines)
        Draw(pen, line, labelWidth);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    // Finishing writes the last page and the file's trailer.
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        detail = wxString::FromUTF8(cairo_status_to_string(status));
        pdf.clear();
        return false;
    }
    return true;
}
