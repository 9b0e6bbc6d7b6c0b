// The function table: 70 rows in the order the host has always seen them.
// Names, counts and type strings are part of the host contract (the blank in
// "I, I" included); M_DRVSPACE shares M_DRVFREE's entry.
#include "table.h"

#include "functions.h"

namespace marvo {
namespace {

const abi::TableRow rows[] = {
    {"M_ACTKEYB", M_ACTKEYB, 1, ".C"},
    {"M_DRIVES", M_DRIVES, 0, ""},
    {"M_DRVBYTES", M_DRVBYTES, 1, "C"},
    {"M_DRVUSED", M_DRVUSED, 1, "C"},
    {"M_DRVFREE", M_DRVFREE, 1, "C"},
    {"M_DRVSPACE", M_DRVFREE, 1, "C"},
    {"M_DRVTYPE", M_DRVTYPE, 1, "C"},
    {"M_DSERIAL", M_DSERIAL, 1, "C"},
    {"M_FCRC32", M_FCRC32, 1, "C"},
    {"M_FCRC16", M_FCRC16, 1, "C"},
    {"M_GETKEYB", M_GETKEYB, 0, ""},
    {"M_MKEYBID", M_MKEYBID, 2, "I, I"},
    {"M_MKDIR", M_MKDIR, 1, "C"},
    {"M_RMDIR", M_RMDIR, 1, "C"},
    {"M_LOGOFF", M_LOGOFF, 0, ""},
    {"M_LOGOFFX", M_LOGOFFX, 0, ""},
    {"M_DOWN", M_DOWN, 0, ""},
    {"M_DOWNX", M_DOWNX, 0, ""},
    {"M_REBOOT", M_REBOOT, 0, ""},
    {"M_REBOOTX", M_REBOOTX, 0, ""},
    {"M_PWROFF", M_PWROFF, 0, ""},
    {"M_PWROFFX", M_PWROFFX, 0, ""},
    {"M_STRCRC16", M_STRCRC16, 1, "C"},
    {"M_STRCRC32", M_STRCRC32, 1, "C"},
    {"M_SLEEP", M_SLEEP, 1, "I"},
    {"M_DRVBYTESX", M_DRVBYTESX, 1, "C"},
    {"M_DRVUSEDX", M_DRVUSEDX, 1, "C"},
    {"M_DRVFREEX", M_DRVFREEX, 1, "C"},
    {"M_DRVFREECX", M_DRVFREECX, 1, "C"},
    {"M_FDTESTW", M_FDTESTW, 2, "C,.L"},
    {"M_ALT", M_ALT, 0, ""},
    {"M_BSPACE", M_BSPACE, 0, ""},
    {"M_CTRL", M_CTRL, 0, ""},
    {"M_ESC", M_ESC, 0, ""},
    {"M_LSHIFT", M_LSHIFT, 0, ""},
    {"M_RSHIFT", M_RSHIFT, 0, ""},
    {"M_SCRL", M_SCRL, 0, ""},
    {"M_KEY", M_KEY, 1, "I"},
    {"M_KEY2", M_KEY2, 2, "I,I"},
    {"M_KEY3", M_KEY3, 3, "I,I,I"},
    {"M_WKEY", M_WKEY, 2, "I,I"},
    {"M_WKEY2", M_WKEY2, 3, "I,I,I"},
    {"M_WKEY3", M_WKEY3, 4, "I,I,I,I"},
    {"M_SHFCOPY", M_SHFCOPY, 4, "C,C,C,I"},
    {"M_SHFDEL", M_SHFDEL, 4, "C,.?,C,I"},
    {"M_SHFMOVE", M_SHFMOVE, 4, "C,C,C,I"},
    {"M_IDXNO", M_IDXNO, 1, "I"},
    {"M_IDXNOF", M_IDXNOF, 1, "I"},
    {"M_IGOTOP", M_IGOTOP, 1, "I"},
    {"M_IGOTOPF", M_IGOTOPF, 1, "I"},
    {"M_ISKIP", M_ISKIP, 2, "I,I"},
    {"M_ISKIPF", M_ISKIPF, 2, "I,I"},
    {"M_ENCRPTW", M_ENCRPTW, 2, "C,C"},
    {"M_DECRPTW", M_DECRPTW, 2, "C,C"},
    {"M_FENCRPTW", M_FENCRPTW, 3, "C,C,C"},
    {"M_FDECRPTW", M_FDECRPTW, 3, "C,C,C"},
    {"M_MENCRPTW", M_MENCRPTW, 2, "R,C"},
    {"M_MDECRPTW", M_MDECRPTW, 2, "R,C"},
    {"M_FDCLEARW", M_FDCLEARW, 2, "C,.L"},
    {"M_MACNBIOW", M_MACNBIOW, 0, ""},
    {"M_MACADAPW", M_MACADAPW, 0, ""},
    {"M_ENCRPTWX", M_ENCRPTWX, 1, "C"},
    {"M_DECRPTWX", M_DECRPTWX, 1, "C"},
    {"M_MECRPTWX", M_MECRPTWX, 1, "R"},
    {"M_MDCRPTWX", M_MDCRPTWX, 1, "R"},
    {"M_FECRPTWX", M_FECRPTWX, 2, "C,C"},
    {"M_FDCRPTWX", M_FDCRPTWX, 2, "C,C"},
    {"M_CRPTINIT", M_CRPTINIT, 2, "C,.?"},
    {"M_CRPTQUIT", M_CRPTQUIT, 0, ""},
    {"M_INFO", M_INFO, 1, "I"},
};

static_assert(sizeof rows / sizeof rows[0] == 70);

const abi::TableHeader header = {nullptr, 70, rows};

} // namespace

const abi::TableHeader& FunctionTable()
{
    return header;
}

} // namespace marvo
