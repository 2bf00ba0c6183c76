// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/DriveCertificate.h"

#include "engine/ByteSize.h"
#include "engine/JsonText.h"
#include "engine/RunReport.h"
#include "platform/Digest.h"
#include "platform/WholeFile.h"

#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/utils.h>

#include <algorithm>
#include <cmath>

#ifndef VORLIX_VERSION
#define VORLIX_VERSION "unknown"
#endif

namespace {

using JsonText::OrNull;
using JsonText::Quoted;

const char* const standard = "NIST SP 800-88 Rev. 1";

std::string Utf8(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return std::string(utf8.data(), utf8.length());
}

std::string Number(uint64_t value)
{
    return std::to_string(value);
}

const char* Bool(bool value)
{
    return value ? "true" : "false";
}

// The faces fill these in; a certificate without them names this process's.
wxString Host(const DriveWipeFacts& facts)
{
    return facts.host.empty() ? wxGetHostName() : facts.host;
}

wxString Operator(const DriveWipeFacts& facts)
{
    return facts.operatorName.empty() ? wxGetUserId() : facts.operatorName;
}

uint64_t ToWrite(const DriveWipeFacts& facts)
{
    return facts.size * static_cast<uint64_t>(std::max(facts.passes, 1));
}

wxString Or(const wxString& text, const wxString& otherwise)
{
    return text.empty() ? otherwise : text;
}

wxString MediaText(const wxString& media)
{
    if (media == "flash")
        return _("Flash memory (SSD, memory card, USB stick)");
    if (media == "spinning")
        return _("Spinning disk");
    return _("Unknown");
}

wxString VerificationText(const wxString& verification)
{
    if (verification == "all")
        return _("Every block read back and compared");
    if (verification == "sample")
        return _("A sample spread over the whole drive read back and compared");
    return _("Not read back");
}

wxString ResultText(const DriveWipeFacts& facts)
{
    wxString text = facts.verified ? _("Passed") : facts.verification == "none" ? _("Not verified") : _("Failed");
    return facts.verifyResult.empty() ? text : text + ": " + facts.verifyResult;
}

wxString DiscardText(const DriveWipeFacts& facts)
{
    if (facts.discarded)
        return wxString::Format(_("Done (%s)"), facts.discardKind);
    // The note says itself that none was done, and why.
    return Or(facts.discardNote, _("Not done"));
}

}  // namespace

wxString DriveCertificate::Percent(const DriveWipeFacts& facts)
{
    const uint64_t total = ToWrite(facts);
    if (total == 0)
        return "0.0";
    // In long double: bytes times a thousand can pass 64 bits on a large drive.
    const long double share = std::floor(1000.0L * static_cast<long double>(facts.bytesWritten) / total);
    const uint64_t permille = static_cast<uint64_t>(std::min(share, 1000.0L));
    return wxString::Format("%llu.%llu", static_cast<unsigned long long>(permille / 10),
                            static_cast<unsigned long long>(permille % 10));
}

wxString DriveCertificate::Time(const wxDateTime& time)
{
    if (!time.IsValid())
        return wxString();
    // The toolkit gives the offset as +HHMM; ISO 8601's extended form has +HH:MM.
    wxString text = time.Format("%Y-%m-%dT%H:%M:%S%z");
    if (text.length() >= 5)
        text.insert(text.length() - 2, ":");
    return text;
}

std::string DriveCertificate::Json(const DriveWipeFacts& f)
{
    std::string json = "{\n";
    json += "  \"certificate_format\": 1,\n";
    json += "  \"title\": \"Certificate of Sanitization\",\n";
    json += "  \"tool\": {\"name\": \"Vorlix\", \"version\": \"" VORLIX_VERSION "\"},\n";
    json += "  \"host\": " + Quoted(Host(f)) + ",\n";
    json += "  \"operator\": " + Quoted(Operator(f)) + ",\n";
    json += "  \"drive\": {\"device\": " + Quoted(f.device) + ", \"name\": " + OrNull(f.name)
            + ", \"manufacturer\": " + OrNull(f.manufacturer) + ", \"model\": " + OrNull(f.model)
            + ", \"serial\": " + OrNull(f.serial) + ", \"size\": " + Number(f.size)
            + ", \"sector_size\": " + Number(f.sectorSize) + ", \"bus\": " + OrNull(f.bus)
            + ", \"media\": " + Quoted(Or(f.media, "unknown")) + "},\n";
    json += std::string("  \"sanitization\": {\"standard\": \"") + standard
            + "\", \"category\": \"Clear\", \"technique\": \"overwrite\", \"method\": \""
            + (f.method == WipeMethod::DoD ? "dod" : "random") + "\", \"passes\": " + std::to_string(f.passes)
            + ", \"pattern\": " + OrNull(f.pattern) + "},\n";
    json += std::string("  \"discard\": {\"done\": ") + Bool(f.discarded) + ", \"kind\": " + OrNull(f.discardKind)
            + ", \"note\": " + OrNull(f.discardNote) + "},\n";
    json += "  \"verification\": {\"method\": " + Quoted(Or(f.verification, "none")) + ", \"verified\": "
            + Bool(f.verified) + ", \"result\": " + OrNull(f.verifyResult) + ", \"bytes_verified\": "
            + Number(f.bytesVerified) + ", \"mismatch_offset\": " + (f.mismatch ? Number(f.mismatchOffset) : "null")
            + "},\n";
    json += "  \"started\": " + OrNull(Time(f.start)) + ",\n";
    json += "  \"ended\": " + OrNull(Time(f.end)) + ",\n";
    json += std::string("  \"status\": \"") + (f.complete ? "complete" : "incomplete") + "\",\n";
    json += "  \"progress\": {\"bytes_written\": " + Number(f.bytesWritten) + ", \"bytes_to_write\": "
            + Number(ToWrite(f)) + ", \"percent\": " + Utf8(Percent(f)) + ", \"passes_done\": "
            + std::to_string(f.passesDone) + ", \"reached\": " + Number(f.reached) + "},\n";
    json += std::string("  \"stopped\": ") + Bool(f.stopped) + ",\n";
    json += "  \"reason\": " + OrNull(f.complete ? wxString() : f.stopReason) + "\n";
    json += "}\n";
    return json;
}

std::vector<CertificatePdf::Line> DriveCertificate::Lines(const DriveWipeFacts& f, const wxString& jsonName,
                                                          const std::string& checksum)
{
    using Style = CertificatePdf::Style;
    const wxString unknown = _("Unknown");
    std::vector<CertificatePdf::Line> lines;
    const auto add = [&lines](Style style, const wxString& label, const wxString& value = wxString()) {
        lines.push_back({style, label, value});
    };
    add(Style::Title, _("Certificate of Sanitization"));
    if (!f.complete)
        add(Style::Note, _("The wipe did not finish as asked: this drive is not sanitized."));

    add(Style::Heading, _("Drive"));
    add(Style::Field, _("Device:"), f.device);
    add(Style::Field, _("Manufacturer:"), Or(f.manufacturer, unknown));
    add(Style::Field, _("Model:"), Or(f.model, unknown));
    add(Style::Field, _("Serial number:"), Or(f.serial, unknown));
    add(Style::Field, _("Capacity:"),
        wxString::Format(_("%s (%llu bytes)"), ByteSize::Text(f.size), static_cast<unsigned long long>(f.size)));
    add(Style::Field, _("Interface:"), Or(f.bus, unknown));
    add(Style::Field, _("Media type:"), MediaText(f.media));

    add(Style::Heading, _("Sanitization"));
    add(Style::Field, _("Method:"), wxString::Format(_("Clear, as %s describes it"), standard));
    add(Style::Field, _("Technique:"),
        wxString::Format(wxPLURAL("Overwrite, %d pass", "Overwrite, %d passes", f.passes), f.passes));
    add(Style::Field, _("Pattern:"), Or(f.pattern, unknown));
    add(Style::Field, _("Discard:"), DiscardText(f));
    add(Style::Field, _("Verification:"), VerificationText(f.verification));
    add(Style::Field, _("Result:"), ResultText(f));
    if (f.mismatch)
        add(Style::Field, _("First differing byte:"),
            wxString::Format(_("at offset %llu"), static_cast<unsigned long long>(f.mismatchOffset)));

    add(Style::Heading, _("Run"));
    add(Style::Field, _("Started:"), Or(Time(f.start), unknown));
    add(Style::Field, _("Ended:"), Or(Time(f.end), unknown));
    add(Style::Field, _("Status:"), f.complete ? _("Complete") : _("Incomplete"));
    add(Style::Field, _("Progress:"),
        wxString::Format(_("%s of %s written (%s %%), %d of %d passes done"), ByteSize::Text(f.bytesWritten),
                         ByteSize::Text(ToWrite(f)), Percent(f), f.passesDone, f.passes));
    if (!f.complete)
        add(Style::Field, _("Reason:"), Or(f.stopReason, unknown));
    add(Style::Field, _("Tool:"), "Vorlix " VORLIX_VERSION);
    add(Style::Field, _("Host:"), Host(f));
    add(Style::Field, _("Operator:"), Operator(f));

    add(Style::Signature, _("Signature of the operator:"));
    add(Style::Signature, _("Date:"));
    add(Style::Checksum, wxString::Format(_("SHA-256 of the JSON record %s:"), jsonName),
        wxString::FromUTF8(checksum.c_str()));
    return lines;
}

wxString DriveCertificate::PdfPath(const wxString& file)
{
    return file.Lower().EndsWith(".pdf") ? file : file + ".pdf";
}

wxString DriveCertificate::JsonPath(const wxString& file)
{
    return (file.Lower().EndsWith(".pdf") ? file.Left(file.length() - 4) : file) + ".json";
}

namespace {

// True for Done; else the reason, named with the file, in error.
bool Written(WholeFile::Result result, const wxString& path, wxString& error)
{
    switch (result) {
    case WholeFile::Result::Done: return true;
    case WholeFile::Result::Link: error = RunReport::ReasonText(WipeFailure::Link); break;
    case WholeFile::Result::NotRegular: error = RunReport::ReasonText(WipeFailure::NotRegular); break;
    case WholeFile::Result::Failed: break;
    }
    error = path + ": " + error;
    return false;
}

}  // namespace

bool DriveCertificate::CanSave(const wxString& file, wxString& error)
{
    if (!CertificatePdf::Available()) {
        error = _("A PDF certificate cannot be made on this system.");
        return false;
    }
    for (const wxString& path : {JsonPath(file), PdfPath(file)})
        if (!Written(WholeFile::Check(path, error), path, error))
            return false;
    return true;
}

bool DriveCertificate::Save(const DriveWipeFacts& facts, const wxString& file, wxString& error)
{
    const wxString jsonPath = JsonPath(file), pdfPath = PdfPath(file);
    const std::string json = Json(facts);
    const std::string checksum = Digest::Sha256Hex(json);
    if (checksum.empty()) {
        error = _("The checksum of the certificate could not be computed.");
        return false;
    }
    // Made in memory first: nothing is written when the PDF cannot be made.
    const CertificatePdf::Document document{_("Certificate of Sanitization"), "Vorlix " VORLIX_VERSION,
                                            Lines(facts, wxFileName(jsonPath).GetFullName(), checksum)};
    std::string pdf;
    wxString detail;
    if (!CertificatePdf::Render(document, pdf, detail)) {
        error = wxString::Format(_("The PDF certificate could not be made: %s"), detail);
        return false;
    }
    return Written(WholeFile::Write(jsonPath, json, error), jsonPath, error)
           && Written(WholeFile::Write(pdfPath, pdf, error), pdfPath, error);
}
