// The validity rule through the merge: a runtime-shaped input with a few
// random bytes changed is refused, or merged with a warning of the rule, or
// merged into a set in which the rule finds nothing.  200 mutants here;
// JW_MUTANTS asks for more (the fuzz build's plan target runs without end).
#include <cstdlib>
#include <random>

#include "EngineTest.h"
#include "base/Errors.h"
#include "engine/MergeJob.h"
#include "formats/Validity.h"

namespace jw::enginetest {
namespace {

// One fresh folder of inputs per mutant.
struct Inputs : MergeFixture {
    void TestBody() override {}
};

TEST(Mutants, AreRefusedOrWarnedOrMergedIntoASetThatChecksClean) {
    const char* asked = std::getenv("JW_MUTANTS");
    const int mutants = asked ? std::atoi(asked) : 200;
    std::mt19937_64 rng(20041917);
    int refused = 0, warned = 0, clean = 0;
    for (int m = 0; m < mutants; ++m) {
        Inputs f;
        f.Make(SetOf(6, "C:\\B", {At(6, 10), At(6, 11), At(6, 12), At(6, 13)}),
               SetOf(6, "C:\\E", {At(6, 14), At(6, 15), At(6, 16), At(6, 17)}));
        const fs::path victims[] = {f.backup.Master,          f.existing.Master,         f.backup.DataFiles.at(1),
                                    f.existing.DataFiles.at(2), f.existing.DataFiles.at(3), f.emptyFile};
        const fs::path& victim = victims[rng() % std::size(victims)];
        std::string bytes = ReadAll(victim);
        // Mostly the headers and first records, where the fields are.
        for (int k = 1 + static_cast<int>(rng() % 3); k > 0; --k)
            bytes[rng() % std::min<std::size_t>(bytes.size(), rng() % 2 ? 640 : bytes.size())] = static_cast<char>(rng());
        WriteAll(victim, bytes);

        const MergeRequest r = f.Request("09-12-2004", 8);
        MergePlan plan;
        try {
            plan = RunMergeJob(r);
        } catch (const Error&) {
            ++refused;
            continue;
        }
        if (!plan.Problems.empty()) {
            ++warned;
            continue;
        }
        const auto found = CheckTrendSet(ReadTrendSet(plan.MasterTarget));
        EXPECT_TRUE(found.empty()) << "mutant " << m << " of " << victim << ": " << ProblemText(found.front());
        ++clean;
    }
    EXPECT_EQ(refused + warned + clean, mutants);
    std::cout << mutants << " mutants: " << refused << " refused, " << warned << " merged with a warning, " << clean
              << " merged clean\n";
}

}  // namespace
}  // namespace jw::enginetest
