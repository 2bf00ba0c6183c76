#include <gtest/gtest.h>
#include <wx/init.h>

#if defined(__SANITIZE_THREAD__)
// A detached wxThread finishes inside the toolkit after the run's finished flag
// is set, and nothing can join it; at exit the toolkit destroys a mutex that
// thread last used, which ThreadSanitizer cannot order. Only that report.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:pthread_mutex_destroy\n";
}
#endif

// The wipe thread is a wxThread and the engine uses the toolkit's strings and
// files, so the toolkit's base must be up for the whole test program.
int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    wxInitializer toolkit;
    if (!toolkit.IsOk())
        return 1;
    return RUN_ALL_TESTS();
}
