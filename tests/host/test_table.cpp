// The function table as the host reads it: 70 rows with the names, counts
// and type strings the library publishes, row 5 sharing row 4's entry.
#include <gtest/gtest.h>

#include "host.h"
#include "testdir.h"

namespace {

struct Row {
    const char* name;
    uint16_t count;
    const char* types;
};

// The published table, in stored order.
const Row kRows[70] = {
    {"M_ACTKEYB", 1, ".C"},
    {"M_DRIVES", 0, ""},
    {"M_DRVBYTES", 1, "C"},
    {"M_DRVUSED", 1, "C"},
    {"M_DRVFREE", 1, "C"},
    {"M_DRVSPACE", 1, "C"},
    {"M_DRVTYPE", 1, "C"},
    {"M_DSERIAL", 1, "C"},
    {"M_FCRC32", 1, "C"},
    {"M_FCRC16", 1, "C"},
    {"M_GETKEYB", 0, ""},
    {"M_MKEYBID", 2, "I, I"},
    {"M_MKDIR", 1, "C"},
    {"M_RMDIR", 1, "C"},
    {"M_LOGOFF", 0, ""},
    {"M_LOGOFFX", 0, ""},
    {"M_DOWN", 0, ""},
    {"M_DOWNX", 0, ""},
    {"M_REBOOT", 0, ""},
    {"M_REBOOTX", 0, ""},
    {"M_PWROFF", 0, ""},
    {"M_PWROFFX", 0, ""},
    {"M_STRCRC16", 1, "C"},
    {"M_STRCRC32", 1, "C"},
    {"M_SLEEP", 1, "I"},
    {"M_DRVBYTESX", 1, "C"},
    {"M_DRVUSEDX", 1, "C"},
    {"M_DRVFREEX", 1, "C"},
    {"M_DRVFREECX", 1, "C"},
    {"M_FDTESTW", 2, "C,.L"},
    {"M_ALT", 0, ""},
    {"M_BSPACE", 0, ""},
    {"M_CTRL", 0, ""},
    {"M_ESC", 0, ""},
    {"M_LSHIFT", 0, ""},
    {"M_RSHIFT", 0, ""},
    {"M_SCRL", 0, ""},
    {"M_KEY", 1, "I"},
    {"M_KEY2", 2, "I,I"},
    {"M_KEY3", 3, "I,I,I"},
    {"M_WKEY", 2, "I,I"},
    {"M_WKEY2", 3, "I,I,I"},
    {"M_WKEY3", 4, "I,I,I,I"},
    {"M_SHFCOPY", 4, "C,C,C,I"},
    {"M_SHFDEL", 4, "C,.?,C,I"},
    {"M_SHFMOVE", 4, "C,C,C,I"},
    {"M_IDXNO", 1, "I"},
    {"M_IDXNOF", 1, "I"},
    {"M_IGOTOP", 1, "I"},
    {"M_IGOTOPF", 1, "I"},
    {"M_ISKIP", 2, "I,I"},
    {"M_ISKIPF", 2, "I,I"},
    {"M_ENCRPTW", 2, "C,C"},
    {"M_DECRPTW", 2, "C,C"},
    {"M_FENCRPTW", 3, "C,C,C"},
    {"M_FDECRPTW", 3, "C,C,C"},
    {"M_MENCRPTW", 2, "R,C"},
    {"M_MDECRPTW", 2, "R,C"},
    {"M_FDCLEARW", 2, "C,.L"},
    {"M_MACNBIOW", 0, ""},
    {"M_MACADAPW", 0, ""},
    {"M_ENCRPTWX", 1, "C"},
    {"M_DECRPTWX", 1, "C"},
    {"M_MECRPTWX", 1, "R"},
    {"M_MDCRPTWX", 1, "R"},
    {"M_FECRPTWX", 2, "C,C"},
    {"M_FDCRPTWX", 2, "C,C"},
    {"M_CRPTINIT", 2, "C,.?"},
    {"M_CRPTQUIT", 0, ""},
    {"M_INFO", 1, "I"},
};

class Table : public ::testing::TestWithParam<const char*> {};

TEST_P(Table, HeaderRowsAndEntries)
{
    fllhost::Host host;
    ASSERT_TRUE(host.load(testing_support::Deliverable(GetParam())));
    const abi::TableHeader* header = host.header();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header->next, nullptr);
    ASSERT_EQ(header->count, 70);
    EXPECT_EQ(host.version(), 5000u);
    ASSERT_EQ(host.functions().size(), 70u);
    for (int i = 0; i < 70; ++i) {
        const abi::TableRow& row = header->rows[i];
        const auto& f = host.functions()[i];
        EXPECT_STREQ(row.name, kRows[i].name) << "row " << i;
        EXPECT_EQ(row.count, kRows[i].count) << kRows[i].name;
        EXPECT_STREQ(row.types, kRows[i].types) << kRows[i].name;
        EXPECT_NE(row.entry, nullptr) << kRows[i].name;
        EXPECT_EQ(f.name, kRows[i].name);
        EXPECT_EQ(f.types, kRows[i].types);
        EXPECT_EQ(f.entry, row.entry);
    }
    EXPECT_EQ(header->rows[5].entry, header->rows[4].entry) << "M_DRVSPACE is M_DRVFREE";
    for (int i = 0; i < 70; ++i)
        for (int j = i + 1; j < 70; ++j)
            if (!(i == 4 && j == 5)) {
                EXPECT_NE(header->rows[i].entry, header->rows[j].entry) << i << " " << j;
            }
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, Table, ::testing::Values("marvo32.fll", "marvo32w9.fll"));

TEST(TableLookup, NamesAreFoundInAnyCase)
{
    fllhost::Host host;
    ASSERT_TRUE(host.load(testing_support::Deliverable("marvo32.fll")));
    ASSERT_NE(host.find("m_strcrc32"), nullptr);
    EXPECT_EQ(host.find("m_strcrc32")->name, "M_STRCRC32");
    EXPECT_EQ(host.find("M_NOSUCH"), nullptr);
}

TEST(TableLookup, ALibraryThatIsNotThereIsReported)
{
    testing_support::TempDir dir;
    fllhost::Host host;
    std::string error;
    EXPECT_FALSE(host.load(dir.file("missing.fll"), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(host.loaded());
    EXPECT_EQ(host.call("M_STRCRC32", {fllhost::Value::Text("a")}).refused, "no library is loaded");
}

} // namespace
