#include "bank/bank_files.h"

#include <gtest/gtest.h>

#include "bank/bank_arguments.h"
#include "bank/patch_inputs.h"
#include "host.h"

namespace timbrex {
namespace {

TEST(BankFiles, FurtherOpmFilesAreNumberedBeforeTheSuffix) {
    using testing::native;
    struct Row {
        std::string out;
        size_t number;
        std::string want;
    };
    const Row rows[] = {
        {"bank.opm", 2, "bank-2.opm"},
        {"bank", 11, "bank-11"},
        {"my.banks.opm", 3, "my.banks-3.opm"},
        {native("songs.d/bank"), 2, native("songs.d/bank-2")},
        {native("songs.d/.opm"), 2, native("songs.d/.opm-2")},
        {"songs.d/bank.opm", 2, "songs.d/bank-2.opm"},
    };
    for (const Row& row : rows) EXPECT_EQ(numbered_path(row.out, row.number), row.want) << row.out;
}

TEST(BankFiles, PresetsGoIntoTheFolderOut) {
    std::vector<BankInstrument> instruments(2);
    instruments[0].name = "a";
    instruments[1].name = "A";
    for (const std::string& out : {std::string("presets"), std::string("presets") + testing::kSeparator}) {
        const BankPlan plan = plan_bank(BankFormat::dmp, out, instruments);
        EXPECT_EQ(plan.folder, out);
        ASSERT_EQ(plan.files.size(), 2u);
        EXPECT_EQ(plan.files[0].path, testing::native("presets/a.dmp"));
        EXPECT_EQ(plan.files[1].path, testing::native("presets/A_2.dmp"));
        EXPECT_EQ(plan.files[1].bytes.size(), 51u);
    }
}

TEST(PatchInputs, NamesAreFileNamesWithoutTheSuffix) {
    EXPECT_EQ(patch_name("music/Title_Theme_12.vpf"), "Title_Theme_12");
    EXPECT_EQ(patch_name(testing::native("a/b/c.VPF")), "c");
    EXPECT_EQ(patch_name("plain"), "plain");
    EXPECT_EQ(patch_name("x.vpf.bak"), "x.vpf.bak");
    EXPECT_EQ(patch_name(".vpf"), "");
}

TEST(BankArguments, FormatOutAndPatches) {
    const BankRequest request = parse_bank_arguments({"opm", "bank.opm", "a.vpf", "kit", "--help"});
    EXPECT_EQ(request.kind, BankRequestKind::write);
    EXPECT_EQ(request.format, BankFormat::opm);
    EXPECT_EQ(request.out, "bank.opm");
    EXPECT_EQ(request.patches, (std::vector<std::string>{"a.vpf", "kit", "--help"})) << "options come first only";
    EXPECT_EQ(parse_bank_arguments({"dmp", "p", "a"}).format, BankFormat::dmp);
    EXPECT_EQ(parse_bank_arguments({"wopn", "p", "a"}).format, BankFormat::wopn);
    EXPECT_EQ(parse_bank_arguments({"--version", "x"}).kind, BankRequestKind::version);
}

}  // namespace
}  // namespace timbrex
