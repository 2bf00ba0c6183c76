// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/DriveWipeFacts.h"
#include "platform/CertificatePdf.h"

#include <wx/string.h>

#include <string>
#include <vector>

// The certificate of one whole-drive wipe: a JSON record of every fact of
// it (fields in docs/certificate.md), and a printed page for people that
// states the same, leaves a line to sign and gives the SHA-256 of the JSON
// file, so that the paper and the record can be matched to each other.
// The sanitization is NIST SP 800-88's Clear: overwriting what the drive
// lets any program address.
class DriveCertificate {
public:
    // The record as saved, UTF-8; times in local time with their offset.
    static std::string Json(const DriveWipeFacts& facts);
    // The printed lines, in the user's language; jsonName is the record's
    // file name and checksum the SHA-256 of its bytes.
    static std::vector<CertificatePdf::Line> Lines(const DriveWipeFacts& facts, const wxString& jsonName,
                                                   const std::string& checksum);

    // The two files a name given by the user stands for: the PDF is the
    // name itself when it ends in ".pdf" (in any case), else the name with
    // ".pdf" added; the JSON is the same name with ".json" in place of that.
    static wxString PdfPath(const wxString& file);
    static wxString JsonPath(const wxString& file);

    // Whether both files can be written, asked before a run so that no
    // drive is wiped without the certificate asked for. Changes nothing.
    static bool CanSave(const wxString& file, wxString& error);
    // Writes the JSON file, then the PDF, each whole or not at all and
    // never through a link (WholeFile). False, with the reason in error,
    // when either could not be written; a JSON written before the PDF
    // failed stays, as a record of its own.
    static bool Save(const DriveWipeFacts& facts, const wxString& file, wxString& error);

    // "12.5": how much of every pass was written, in percent with one
    // decimal, rounded down, so that an unfinished wipe never reads 100.
    static wxString Percent(const DriveWipeFacts& facts);
    // ISO 8601 in local time with the zone's offset: "2026-12-09T19:04:05+01:00".
    static wxString Time(const wxDateTime& time);
};
