// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <wx/init.h>

#include <windows.h>

#include "engine/RandomWiper.h"
#include "engine/WipeQueue.h"
#include "engine/Wiper.h"
#include "platform/InPlaceFile.h"

// Started by a test with this variable set to a file: wipes it and is killed
// right after its first rename, as a crash would end it there.
const wchar_t* const killedWipeVariable = L"VORLIX_TEST_KILLED_WIPE";

int KilledWipe(const std::wstring& path)
{
    InPlaceFile::afterRename = [] { ::TerminateProcess(::GetCurrentProcess(), 9); };
    WipeQueue queue;
    queue.AddPath(wxString(path.c_str(), path.size()));
    Wiper::ResetRun();
    RandomWiper().Wipe(&queue);
    return 1;  // never killed: no rename happened
}

// The engine uses the toolkit's strings and threads: its base stays up for the
// whole test program.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    wxInitializer toolkit;
    if (!toolkit.IsOk())
        return 1;
    wchar_t killed[32768];
    const DWORD length = ::GetEnvironmentVariableW(killedWipeVariable, killed, 32768);
    if (length != 0 && length < 32768)
        return KilledWipe(std::wstring(killed, length));
    return RUN_ALL_TESTS();
}
