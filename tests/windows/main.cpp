#include <gtest/gtest.h>
#include <wx/init.h>

// The engine uses the toolkit's strings and threads: its base stays up for the
// whole test program.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    wxInitializer toolkit;
    if (!toolkit.IsOk())
        return 1;
    return RUN_ALL_TESTS();
}
