// The validity rule through the merge: a runtime-shaped input with a few
// random bytes changed is refused, or merged with a warning of the rule, or
// merged into a set in which the rule finds nothing.  200 mutants here;
// JW_MUTANTS asks for more (the fuzz build's plan target runs without end).
#include <cstdlib>
#include <random>

#include "EngineTest.h"
#include "engine/MergeJob.h"

namespace jw::enginetest {
namespace {

// One fresh folder of inputs per mutant.
struct Inputs : MergeFixture {
    void TestBody() override {}
};

TEST(Mutants, AreRefusedOrWarnedOrMergedIntoASetThatChecksClean) {
    const int mutants = std::getenv("JW_MUTANTS") ? std::atoi(std::getenv("JW_MUTANTS")) : 200;
    std::mt19937_64 rng(20041917);
    int refused = 0, warned = 0;
    for (int m = 0; m < mutants; ++m) {
        Inputs f;
        f.Make(SampleSet(6, Days(6, 10, 4)), SampleSet(6, Days(6, 14, 4)));
        const fs::path victims[] = {f.backup.Master, f.existing.Master, f.backup.DataFiles.at(1), f.existing.DataFiles.at(2),
                                    f.existing.DataFiles.at(3), f.emptyFile};
        const fs::path& victim = victims[rng() % std::size(victims)];
        std::string bytes = ReadFile(victim);
        // Mostly the headers and first records, where the fields are.
        for (int k = 1 + static_cast<int>(rng() % 3); k > 0; --k)
            bytes[rng() % std::min<std::size_t>(bytes.size(), rng() % 2 ? 640 : bytes.size())] = static_cast<char>(rng());
        WriteFile(victim, bytes);
        MergePlan plan;
        try {
            plan = RunMergeJob(f.Request("09-12-2004", 8));
        } catch (const Error&) {
            ++refused;
            continue;
        }
        warned += !plan.Problems.empty();
        const auto found = plan.Problems.empty() ? CheckTrendSet(ReadTrendSet(plan.MasterTarget)) : std::vector<Problem>{};
        EXPECT_TRUE(found.empty()) << "mutant " << m << " of " << victim << ": " << ProblemText(found.front());
    }
    std::cout << mutants << " mutants: " << refused << " refused, " << warned << " merged with a warning\n";
}

}  // namespace
}  // namespace jw::enginetest
