// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/DriveCertificate.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>

// A drive's certificate read back as others read it: the PDF by poppler's
// pdftotext and pdfinfo, the JSON by Python's parser, its checksum by
// sha256sum.

namespace {

const time_t started = 1796835845;  // 2026-12-09T17:04:05Z

DriveWipeFacts Finished()
{
    DriveWipeFacts f;
    f.device = "/dev/sdz";
    f.name = "sdz";
    f.manufacturer = wxString::FromUTF8("Sämsung Électronique");
    f.model = wxString::FromUTF8("Portable SSD Ωmega 1TB");
    f.serial = "S5XYNJ0R123456K";
    f.bus = "USB";
    f.media = "flash";
    f.size = 1000204886016;
    f.sectorSize = 512;
    f.method = WipeMethod::DoD;
    f.passes = 3;
    f.pattern = "0x00, 0xFF, random block";
    f.verification = "all";
    f.verified = true;
    f.verifyResult = "every block matched";
    f.bytesVerified = f.size;
    f.discarded = true;
    f.discardKind = "secure discard";
    f.start = wxDateTime(started);
    f.end = wxDateTime(started + 3 * 3600 + 17);
    f.complete = true;
    f.bytesWritten = 3 * f.size;
    f.passesDone = 3;
    f.reached = f.size;
    f.host = "lab-bench-7";
    f.operatorName = "j.doe";
    return f;
}

// The PDF's text as laid out on the page, each run of spaces made one, so
// that a label and its value read "Label: value".
std::string PdfText(const std::string& pdf)
{
    const ProcessResult result = RunProcess({"/usr/bin/pdftotext", "-layout", pdf, "-"});
    EXPECT_EQ(result.status, 0) << "pdftotext (poppler-utils) is needed: " << result.err;
    return std::regex_replace(result.out, std::regex("[ \t]+"), " ");
}

// Every value of the JSON file by its dotted path ("drive.model"), as JSON
// gives it; started.epoch and ended.epoch are its times as Unix seconds.
std::map<std::string, std::string> JsonFields(const std::string& json)
{
    const char* script = R"(
import datetime, json, sys
def walk(path, value):
    if isinstance(value, dict):
        for key, inner in value.items():
            walk(path + [key], inner)
    else:
        print('.'.join(path) + '=' + json.dumps(value, ensure_ascii=False))
record = json.load(open(sys.argv[1], encoding='utf-8'))
walk([], record)
for key in ('started', 'ended'):
    print(key + '.epoch=' + str(int(datetime.datetime.fromisoformat(record[key]).timestamp())))
)";
    const ProcessResult result = RunProcess({"/usr/bin/python3", "-c", script, json});
    EXPECT_EQ(result.status, 0) << result.err;
    std::map<std::string, std::string> fields;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);)
        fields[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    return fields;
}

std::string Checksum(const std::string& path)
{
    return RunProcess({"/usr/bin/sha256sum", path}).out.substr(0, 64);
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace

// Every fact is in both files, UTF-8 names intact, times with their zone,
// and the checksum printed on the page is that of the JSON file's bytes.
TEST(DriveCertificate, StatesEveryFactInBothFilesWithTheJsonsChecksumOnThePage)
{
    TempDir dir;
    wxString error;
    ASSERT_TRUE(DriveCertificate::CanSave(dir.Path("cert.pdf"), error)) << error;
    ASSERT_TRUE(DriveCertificate::Save(Finished(), dir.Path("cert.pdf"), error)) << error;

    auto json = JsonFields(dir.Path("cert.json"));
    EXPECT_EQ(json["drive.manufacturer"], "\"Sämsung Électronique\"");
    EXPECT_EQ(json["drive.model"], "\"Portable SSD Ωmega 1TB\"");
    EXPECT_EQ(json["drive.serial"], "\"S5XYNJ0R123456K\"");
    EXPECT_EQ(json["drive.size"], "1000204886016");
    EXPECT_EQ(json["drive.bus"], "\"USB\"");
    EXPECT_EQ(json["drive.media"], "\"flash\"");
    EXPECT_EQ(json["sanitization.category"], "\"Clear\"");
    EXPECT_EQ(json["sanitization.standard"], "\"NIST SP 800-88 Rev. 1\"");
    EXPECT_EQ(json["sanitization.method"], "\"dod\"");
    EXPECT_EQ(json["sanitization.passes"], "3");
    EXPECT_EQ(json["sanitization.pattern"], "\"0x00, 0xFF, random block\"");
    EXPECT_EQ(json["discard.done"], "true");
    EXPECT_EQ(json["discard.kind"], "\"secure discard\"");
    EXPECT_EQ(json["verification.method"], "\"all\"");
    EXPECT_EQ(json["verification.verified"], "true");
    EXPECT_EQ(json["verification.mismatch_offset"], "null");
    EXPECT_EQ(json["tool.version"], "\"" VORLIX_VERSION "\"");
    EXPECT_EQ(json["host"], "\"lab-bench-7\"");
    EXPECT_EQ(json["operator"], "\"j.doe\"");
    EXPECT_EQ(json["status"], "\"complete\"");
    EXPECT_EQ(json["progress.percent"], "100.0");
    EXPECT_EQ(json["started.epoch"], std::to_string(started));
    EXPECT_EQ(json["ended.epoch"], std::to_string(started + 3 * 3600 + 17));
    const std::regex iso("\"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d\"");
    EXPECT_TRUE(std::regex_match(json["started"], iso)) << json["started"];

    const std::string text = PdfText(dir.Path("cert.pdf"));
    const std::string start = json["started"].substr(1, 25), end = json["ended"].substr(1, 25);
    for (const char* line :
         {"Certificate of Sanitization", "Device: /dev/sdz", "Manufacturer: Sämsung Électronique",
          "Model: Portable SSD Ωmega 1TB", "Serial number: S5XYNJ0R123456K", "(1000204886016 bytes)",
          "Interface: USB", "Media type: Flash memory", "Method: Clear, as NIST SP 800-88",
          "Technique: Overwrite, 3 passes", "Pattern: 0x00, 0xFF, random block", "Discard: Done (secure discard)",
          "Verification: Every block read back", "Result: Passed: every block matched", "Status: Complete",
          "(100.0 %), 3 of 3 passes done", "Tool: Vorlix " VORLIX_VERSION, "Host: lab-bench-7", "Operator: j.doe",
          "Signature of the operator:", "SHA-256 of the JSON record cert.json:"})
        EXPECT_TRUE(Has(text, line)) << line << "\n" << text;
    EXPECT_TRUE(Has(text, "Started: " + start) && Has(text, "Ended: " + end)) << text;
    EXPECT_FALSE(Has(text, "Reason:") || Has(text, "not sanitized")) << text;

    std::smatch digest;
    ASSERT_TRUE(std::regex_search(text, digest, std::regex("\\b[0-9a-f]{64}\\b"))) << text;
    EXPECT_EQ(digest.str(), Checksum(dir.Path("cert.json")));

    const std::string info = RunProcess({"/usr/bin/pdfinfo", dir.Path("cert.pdf")}).out;
    EXPECT_TRUE(Has(info, "(A4)") && Has(info, "Title:") && Has(info, "Certificate of Sanitization")) << info;
    EXPECT_TRUE(std::regex_search(info, std::regex("Pages: +[12]\n"))) << info;
}

// A stopped wipe is incomplete, says how far it got, rounded down, and why;
// a name without ".pdf" gets both endings added.
TEST(DriveCertificate, AStoppedWipeIsIncompleteWithHowFarItGotAndWhy)
{
    DriveWipeFacts f = Finished();
    f.size = 1000000;
    f.complete = false;
    f.stopped = true;
    f.bytesWritten = 1234999;  // 41.17 % of three passes
    f.passesDone = 1;
    f.reached = 234999;
    f.verified = false;
    f.verifyResult.clear();
    f.discarded = false;
    f.discardKind.clear();
    f.discardNote = "Not done: the wipe was stopped.";
    f.stopReason = "stopped by the user";
    TempDir dir;
    wxString error;
    ASSERT_TRUE(DriveCertificate::Save(f, dir.Path("stopped"), error)) << error;

    auto json = JsonFields(dir.Path("stopped.json"));
    EXPECT_EQ(json["status"], "\"incomplete\"");
    EXPECT_EQ(json["progress.bytes_written"], "1234999");
    EXPECT_EQ(json["progress.bytes_to_write"], "3000000");
    EXPECT_EQ(json["progress.percent"], "41.1");
    EXPECT_EQ(json["progress.passes_done"], "1");
    EXPECT_EQ(json["stopped"], "true");
    EXPECT_EQ(json["reason"], "\"stopped by the user\"");
    EXPECT_EQ(json["discard.done"], "false");

    const std::string text = PdfText(dir.Path("stopped.pdf"));
    for (const char* line : {"this drive is not sanitized", "Status: Incomplete", "(41.1 %), 1 of 3 passes done",
                                    "Reason: stopped by the user", "Discard: Not done: the wipe was stopped.",
                                    "SHA-256 of the JSON record stopped.json:"})
        EXPECT_TRUE(Has(text, line)) << line << "\n" << text;

    // One byte short of the end is still not 100 %.
    f.bytesWritten = 3 * f.size - 1;
    EXPECT_TRUE(Has(DriveCertificate::Json(f), "\"percent\": 99.9,"));
}

// A read-back that found a difference fails the certificate and names the
// first byte that differs.
TEST(DriveCertificate, AFailedVerificationSaysSoWithTheOffset)
{
    DriveWipeFacts f = Finished();
    f.verified = false;
    f.mismatch = true;
    f.mismatchOffset = 7340032;
    f.verifyResult = "the byte at offset 7340032 differs from what was written";
    f.complete = false;
    f.stopReason = "the verification found data that differs";
    TempDir dir;
    wxString error;
    ASSERT_TRUE(DriveCertificate::Save(f, dir.Path("failed.PDF"), error)) << error;

    auto json = JsonFields(dir.Path("failed.json"));
    EXPECT_EQ(json["verification.verified"], "false");
    EXPECT_EQ(json["verification.mismatch_offset"], "7340032");
    EXPECT_EQ(json["status"], "\"incomplete\"");
    const std::string text = PdfText(dir.Path("failed.PDF"));
    for (const char* line : {"Result: Failed: the byte at offset 7340032 differs",
                                    "First differing byte: at offset 7340032", "Status: Incomplete"})
        EXPECT_TRUE(Has(text, line)) << line << "\n" << text;
}

// Values longer than a line wrap within the page: nothing is cut off.
TEST(DriveCertificate, LongValuesWrapWithinThePage)
{
    DriveWipeFacts f = Finished();
    f.model = "Enterprise Capacity Helium Platform With An Uncommonly Long Marketing Name For Its Model Line 18TB";
    f.serial = wxString('7', 40) + wxString::FromUTF8("ÄÖÜ") + wxString('X', 80);
    TempDir dir;
    wxString error;
    ASSERT_TRUE(DriveCertificate::Save(f, dir.Path("long.pdf"), error)) << error;

    const std::string text = PdfText(dir.Path("long.pdf"));
    std::istringstream words(std::string(f.model.utf8_str()));
    for (std::string word; words >> word;)
        EXPECT_TRUE(Has(text, word)) << word << "\n" << text;
    // pdftotext drops what lies beyond the page's edge.
    EXPECT_TRUE(Has(std::regex_replace(text, std::regex("\\s+"), ""), std::string(f.serial.utf8_str()))) << text;
}

// A link at either name is never followed: the file it points at stays.
TEST(DriveCertificate, NeverWritesThroughALink)
{
    TempDir dir;
    const std::string victim = dir.File("victim", "keep me");
    for (const char* name : {"cert.json", "cert.pdf"}) {
        ASSERT_EQ(symlink(victim.c_str(), dir.Path(name).c_str()), 0);
        wxString error;
        EXPECT_FALSE(DriveCertificate::CanSave(dir.Path("cert.pdf"), error)) << name;
        EXPECT_FALSE(DriveCertificate::Save(Finished(), dir.Path("cert.pdf"), error)) << name;
        EXPECT_TRUE(Has(std::string(error.utf8_str()), name)) << error;
        EXPECT_EQ(ReadFile(victim), "keep me") << name;
        unlink(dir.Path(name).c_str());
    }
}
