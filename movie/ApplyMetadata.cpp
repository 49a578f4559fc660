#include "movie/ApplyMetadata.h"

#include "app/AppState.h"
#include "app/StartupTrace.h"
#include "movie/MetaRecord.h"
#include "movie/MovieLoader.h"
#include "movie/MovieMetadata.h"
#include "movie/TextConversion.h"

bool applyMetadata(HWND mainWindow, HWND hostWindow, std::string response)
{
    const MovieMetadata movie = readMovieMetadata(parseMetadata(response));
    const std::wstring title =
        toWideString(movie.title) + L" - " + (appState.baseTitle ? appState.baseTitle : L"");
    const std::wstring movieUrl = toWideString(movie.movieUrl);

    OutputDebugStringW(toWideString(widenBytewise(movie.flashVars)).c_str());

    UINT placement = SWP_SHOWWINDOW | (movie.stage.known ? 0 : SWP_NOSIZE);
    SetWindowPos(hostWindow, HWND_TOP, 0, 0, movie.stage.width, movie.stage.height, placement);

    traceMark("metadata");
    if (!loadMovie(mainWindow, hostWindow, movieUrl.c_str(), movie.flashVars.c_str()))
        return false;
    SetWindowTextW(mainWindow, title.c_str());
    appState.aspectRatio = stageAspectRatio(movie.stage);
    return true;
}
