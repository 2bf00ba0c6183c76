// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/WipeOptions.h"

#include <wx/translation.h>

namespace {

const char* const longOptions[] = {"recursive",   "dry-run", "verify",      "quiet",       "trash",
                                   "help",        "version", "free-space",  "report",      "method",
                                   "keep-traces", "zero",    "verbose",     "force",       "files0-from",
                                   "drive",       "list-drives", "certificate"};

// The option a long name stands for, as getopt_long reads it: the name itself
// or the one option it is the start of; empty, with error set, for none or
// several.
wxString LongName(const wxString& typed, wxString& error)
{
    wxString found, candidates;
    for (const char* option : longOptions) {
        if (typed == option)
            return typed;
        if (!typed.empty() && wxString(option).StartsWith(typed)) {
            found = option;
            candidates += (candidates.empty() ? "--" : ", --") + found;
        }
    }
    if (candidates.empty())
        error = wxString::Format(_("unknown option --%s"), typed);
    else if (candidates != "--" + found)
        error = wxString::Format(_("option --%s is ambiguous (%s)"), typed, candidates);
    else
        return found;
    return wxString();
}

WipeOptions Invalid(const wxString& error)
{
    WipeOptions options;
    options.action = WipeOptions::Action::Invalid;
    options.error = error;
    return options;
}

}  // namespace

WipeOptions WipeOptions::Parse(const std::vector<wxString>& args)
{
    WipeOptions options;
    bool help = false, version = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const wxString& arg = args[i];
        if (arg == "--") {
            options.paths.insert(options.paths.end(), args.begin() + i + 1, args.end());
            break;
        }
        if (arg.StartsWith("--")) {
            wxString name = arg.Mid(2), value;
            const bool inlineValue = name.Contains("=");
            if (inlineValue) {
                value = name.AfterFirst('=');
                name = name.BeforeFirst('=');
            }
            // The drive's name typed again: never shortened, never guessed.
            if (name.StartsWith("yes-wipe-") && !inlineValue && name.length() > 9) {
                if (!options.confirmedName.empty())
                    return Invalid(_("option --yes-wipe-NAME can be given only once"));
                options.confirmedName = name.Mid(9);
                continue;
            }
            wxString error;
            name = LongName(name, error);
            if (name.empty())
                return Invalid(error);
            const bool takesValue = name == "method" || name == "free-space" || name == "report"
                                    || name == "files0-from" || name == "drive" || name == "certificate";
            // --verify takes a value only after '=': a word after it is a path.
            if (name == "verify" && inlineValue) {
                if (!DriveWiper::VerificationFrom(value, options.driveVerify))
                    return Invalid(wxString::Format(_("unknown verification '%s' (all, sample or none)"), value));
                options.verify = options.driveVerify != DriveWiper::Verification::None;
                continue;
            }
            if (!takesValue && inlineValue)
                return Invalid(wxString::Format(_("option --%s takes no value"), name));
            if (takesValue && !inlineValue) {
                if (i + 1 == args.size())
                    return Invalid(wxString::Format(_("option --%s needs a value"), name));
                value = args[++i];
            }
            if (takesValue && value.empty())
                return Invalid(wxString::Format(_("option --%s needs a value"), name));
            if (name == "free-space" && !options.freeSpaceFolder.empty())
                return Invalid(_("option --free-space can be given only once"));
            if (name == "files0-from" && !options.namesFrom.empty())
                return Invalid(_("option --files0-from can be given only once"));
            if (name == "drive" && !options.drive.empty())
                return Invalid(_("option --drive can be given only once"));
            if (name == "recursive") options.recursive = true;
            else if (name == "dry-run") options.dryRun = true;
            else if (name == "verify") options.verify = true;
            else if (name == "quiet") options.quiet = true;
            else if (name == "trash") options.trash = true;
            else if (name == "keep-traces") options.keepTraces = true;
            else if (name == "zero") options.zero = true;
            else if (name == "verbose") options.verbose = true;
            else if (name == "force") options.force = true;
            else if (name == "files0-from") options.namesFrom = value;
            else if (name == "help") help = true;
            else if (name == "version") version = true;
            else if (name == "free-space") options.freeSpaceFolder = value;
            else if (name == "report") options.reportFile = value;
            else if (name == "drive") options.drive = value;
            else if (name == "list-drives") options.listDrives = true;
            else if (name == "certificate") options.certificateFile = value;
            else if (name == "method") {
                if (value == "random") options.method = WipeMethod::Random;
                else if (value == "dod") options.method = WipeMethod::DoD;
                else return Invalid(wxString::Format(_("unknown method '%s' (random or dod)"), value));
            }
            continue;
        }
        // A lone "-" names no file this program could wipe: taken as a path,
        // it is refused like any other missing file.
        if (arg.StartsWith("-") && arg.length() > 1) {
            for (size_t k = 1; k < arg.length(); ++k) {
                switch (static_cast<wxChar>(arg[k])) {
                case 'r': options.recursive = true; break;
                case 'n': options.dryRun = true; break;
                case 'q': options.quiet = true; break;
                case 'z': options.zero = true; break;
                case 'v': options.verbose = true; break;
                case 'f': options.force = true; break;
                case 'h': help = true; break;
                default: return Invalid(wxString::Format(_("unknown option -%s"), wxString(arg[k])));
                }
            }
            continue;
        }
        options.paths.push_back(arg);
    }
    const bool wholeDrive = options.listDrives || !options.drive.empty();
    if (help)
        options.action = Action::Help;
    else if (version)
        options.action = Action::Version;
#ifdef __WINDOWS__
    else if (wholeDrive)
        return Invalid(_("Wiping a whole drive is not available on Windows yet."));
#endif
    else if (wholeDrive && (!options.paths.empty() || !options.namesFrom.empty() || !options.freeSpaceFolder.empty()
                            || options.trash))
        return Invalid(_("--drive and --list-drives go without files, --free-space and --trash"));
    else if (options.listDrives && !options.drive.empty())
        return Invalid(_("--list-drives goes without --drive"));
    else if (!options.confirmedName.empty() && options.drive.empty())
        return Invalid(_("--yes-wipe-NAME confirms a --drive"));
    else if (!options.certificateFile.empty() && options.drive.empty())
        return Invalid(_("--certificate records a --drive wipe"));
    else if (!options.certificateFile.empty() && options.dryRun)
        return Invalid(_("--certificate records a real wipe, not a dry run"));
    else if (!options.drive.empty() && !options.reportFile.empty())
        return Invalid(_("--report records files and free space; a drive has --certificate"));
    else if (wholeDrive) {
        // Checked by DriveCommand against the drive itself.
    }
    // As du and wc: a name both in the list and after it would be ambiguous
    // (a forgotten * would wipe more than the list).
    else if (!options.namesFrom.empty() && !options.paths.empty())
        return Invalid(wxString::Format(_("a path cannot be given with --files0-from: %s"), options.paths[0]));
    else if (options.paths.empty() && options.namesFrom.empty() && options.freeSpaceFolder.empty() && !options.trash)
        return Invalid(_("no file to wipe"));
    else if (options.dryRun && !options.reportFile.empty())
        return Invalid(_("--report records a real run, not a dry run"));
#ifdef __WINDOWS__
    // Reading back past the cache is not done on Windows yet: refused here
    // rather than failing every file.
    else if (options.verify)
        return Invalid(_("--verify is not available on Windows yet"));
#endif
    return options;
}

wxString WipeOptions::Usage()
{
    // The options stay as they are typed; their descriptions start in one
    // column, whatever the language.
    const struct {
        const char* option;
        const char* description;
    } lines[] = {
        {"  -r, --recursive        ", wxTRANSLATE("wipe the files in folders too (links are never entered)")},
        {"      --method METHOD    ", wxTRANSLATE("random (one pass, the default) or dod (three passes)")},
        {"      --trash            ", wxTRANSLATE("wipe everything in your Trash, with its records")},
        {"      --free-space DIR   ", wxTRANSLATE("wipe the free space of the filesystem DIR is on")},
        {"      --free-space IMAGE ", wxTRANSLATE("or all that is unused on an ext2/3/4 device or image not mounted")},
        {"  -n, --dry-run          ", wxTRANSLATE("list what would be wiped and refused; touch nothing")},
        {"      --report FILE      ", wxTRANSLATE("write a record of the run as JSON to FILE")},
        {"      --files0-from=F    ", wxTRANSLATE("wipe the files named in F, each name ended by a NUL;")},
        {"                         ", wxTRANSLATE("F is - for standard input (find -print0 writes such lists)")},
        {"  -z, --zero             ", wxTRANSLATE("add a last pass of zeros, so that the wipe does not show")},
        {"  -f, --force            ", wxTRANSLATE("make a read-only file of yours writable to wipe it")},
        {"      --verify           ", wxTRANSLATE("read each file's last pass back from the device")},
        {"      --list-drives      ", wxTRANSLATE("list the drives, and why any of them cannot be wiped")},
        {"      --drive DEVICE     ", wxTRANSLATE("wipe the whole drive DEVICE (/dev/sdb): every block, then discard")},
        {"      --yes-wipe-NAME    ", wxTRANSLATE("confirm --drive with the drive's name (sdb) where no terminal asks")},
        {"      --verify=HOW       ", wxTRANSLATE("for --drive: all (the default), sample (10 %) or none read back")},
        {"      --certificate FILE ", wxTRANSLATE("for --drive: write a certificate of the wipe to FILE")},
        {"      --keep-traces      ", wxTRANSLATE("leave the thumbnails and recent-files entries of wiped files")},
        {"  -q, --quiet            ", wxTRANSLATE("no progress and no summary; refusals are still listed")},
        {"  -v, --verbose          ", wxTRANSLATE("name each pass over each file as it begins")},
        {"      --version          ", wxTRANSLATE("print the version and exit")},
        {"  -h, --help             ", wxTRANSLATE("print this help and exit")},
    };
    wxString text = _("Usage: vorlix-wipe [OPTION]... [--] PATH...") + "\n"
                    + _("  or:  vorlix-wipe [OPTION]... --drive DEVICE") + "\n"
                    + _("Overwrite each file in place, synced to the device, then delete it.") + "\n\n";
    for (const auto& line : lines)
        text += line.option + wxGetTranslation(line.description) + "\n";
    return text + "\n"
           + _("Exit status: 0 every file wiped, 1 some file not wiped, 2 usage error,\n"
               "130 stopped by a signal.")
           + "\n";
}
