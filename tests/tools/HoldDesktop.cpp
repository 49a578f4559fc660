// Holds Wine's desktop for a session of scripts/lib/wine-env.sh. The desktop
// process quits a second after its last user leaves, and the next program
// that needs it starts it again, handing it that program's standard error: a
// test's output pipe then stays open until the desktop quits once more. Kept
// running from the start of the session, with its streams on /dev/null, this
// program is a user all along; wineserver -k ends it.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    GetDesktopWindow();
    Sleep(INFINITE);
    return 0;
}
