// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DiscardGathering.h"

// The volume trims a file's clusters while the file still holds them, so
// each file is trimmed at once as Discard does; only its outcome is kept
// until asked for.

DiscardGathering::~DiscardGathering() = default;

size_t DiscardGathering::Note(int fd, const wxString&)
{
    const size_t ticket = nextTicket++;
    ::Discard discard;
    discard.Before(fd);
    Noted& noted = filesystems[0].files[ticket];
    noted.outcome = discard.After(wxString());
    noted.bytes = discard.Bytes();
    return ticket;
}

void DiscardGathering::Drop(size_t ticket)
{
    filesystems[0].files.erase(ticket);
}

void DiscardGathering::Full(const Each&)
{
}

void DiscardGathering::All(const Each& each)
{
    for (const auto& file : filesystems[0].files)
        each(file.first, file.second.outcome, file.second.bytes);
    filesystems.clear();
}
