// M_INFO: the library's banner in a bordered host window for some seconds.
#include <climits>
#include <cstring>

#include "host/functions.h"
#include "host/params.h"
#include "host/results.h"
#include "host/services.h"

namespace {

using namespace marvo;

// Four lines of exactly 48 characters.
constexpr char kBanner[] = "Marvo32 - extension library for FoxPro, v1.0.0.3\n"
                           "Danubia Soft s.r.o., Mlynska 14, Bratislava, SK \n"
                           "Support: velmora@danubiasoft.sk, 02/5441 2280   \n"
                           "Web: www.danubiasoft.sk/velmora                 ";
static_assert(sizeof kBanner == 196);

// Double-line box in the OEM code page: top, bottom, left, right, corners.
constexpr char kBorder[16] = {'\xCD', '\xCD', '\xBA', '\xBA', '\xC9', '\xBB', '\xC8', '\xBC',
                              '\xCD', '\xCD', '\xBA', '\xBA', '\xC9', '\xBB', '\xC8', '\xBC'};

// Left column, top row, right column, bottom row.
constexpr int32_t kRect[4] = {28, 1, 78, 6};

uint32_t defineWindow()
{
    const uint32_t border[2] = {0, Arg(kBorder)};
    return RequestService(abi::kSvcWindowDefine, Arg(kRect), 2048, 4, 1, Arg(border));
}

void showText(uint32_t window, char* text)
{
    const int32_t setup[3] = {0, 0, 1};
    RequestService(abi::kSvcWindowSetState, window, 3);
    RequestService(abi::kSvcWindowSetup, window, Arg(setup), 2, 1);
    RequestService(abi::kSvcWindowPutText, window, Arg(text));
}

// The host's wait is its key wait, whose time-out is signed: a huge time
// would turn negative, so it is cut to what the wait can hold.
uint32_t waitMilliseconds(int32_t seconds)
{
    return seconds > INT32_MAX / 1000 ? INT32_MAX / 1000 * 1000u : seconds * 1000u;
}

} // namespace

HOST_FUNCTION(M_INFO)
{
    char banner[sizeof kBanner];
    std::memcpy(banner, kBanner, sizeof kBanner);
    const int32_t seconds = ParamInteger(pb, 1);
    uint32_t window = defineWindow();
    if (window != 0)
        showText(window, banner);
    // The host waits for a key when asked for no time at all, so no time
    // means no wait.
    if (seconds > 0)
        TimedWait(waitMilliseconds(seconds));
    RequestService(abi::kSvcWindowSetState, window, 1);
    ReturnInteger(0, 1);
}
